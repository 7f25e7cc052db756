#include "core/naming/Naming.h"

#include "core/naming/Blanks.h"
#include "core/naming/Decimal.h"

#include <QRegularExpression>

namespace tessera {

namespace {

const QRegularExpression &reelKeyPattern()
{
    static const QRegularExpression pattern = [] {
        QRegularExpression re(
            QRegularExpression::anchoredPattern(uR"(\d{2}_[A-Z]{3}_Reel[1-9]\d*)"));
        re.optimize();
        return re;
    }();
    return pattern;
}

const QRegularExpression &fileNamePattern()
{
    static const QRegularExpression pattern = [] {
        QRegularExpression re(QRegularExpression::anchoredPattern(
            uR"((?<num>\d{2})_(?<code>[A-Z]{3})_Reel(?<reel>[1-9]\d*)_(?<surface>awall|bwall|cwall|dwall|floor|surtitles)(?:_proxy(?<proxy>[248]))?_v(?<version>\d{10})\.mov)"));
        re.optimize();
        return re;
    }();
    return pattern;
}

} // namespace

QString ParsedName::reelKey() const
{
    return chapterNumber + u'_' + chapterCode + QStringLiteral("_Reel") +
           QString::number(reelNumber);
}

namespace Naming {

std::optional<ParsedName> parse(const QString &name)
{
    const QRegularExpressionMatch match = fileNamePattern().match(name);
    if (!match.hasMatch())
        return std::nullopt;
    ParsedName parsed;
    parsed.chapterNumber = match.captured(u"num");
    parsed.chapterCode = match.captured(u"code");
    parsed.reelNumber = readDecimal(match.capturedView(u"reel")).value_or(0);
    parsed.surface = surfaceFromRawValue(match.capturedView(u"surface")).value();
    const auto proxyDigit = readDecimal(match.capturedView(u"proxy"));
    parsed.proxy = proxyDigit ? proxyFromRawValue(*proxyDigit).value_or(Proxy::full) : Proxy::full;
    parsed.version = match.captured(u"version");
    return parsed;
}

QString fileName(const QString &reel, const Slot &slot, const QString &stamp)
{
    return fileName(reel, slot.surface, slot.proxy, stamp);
}

QString fileName(const QString &reel, Surface surface, Proxy proxy, const QString &stamp)
{
    QString name = Blanks::trimmed(reel) + u'_' + rawValue(surface);
    if (proxy != Proxy::full)
        name += QStringLiteral("_proxy") + QString::number(rawValue(proxy));
    return name + QStringLiteral("_v") + stamp + QStringLiteral(".mov");
}

QString edlName(const QString &stamp)
{
    return QStringLiteral("Halcyon_v") + stamp + QStringLiteral(".edl");
}

QString dayFolder(const QString &stamp)
{
    return stamp.left(6);
}

bool isValidReelKey(const QString &key)
{
    return reelKeyPattern().match(key).hasMatch();
}

bool isValidStamp(QStringView stamp)
{
    if (stamp.size() != 10)
        return false;
    for (QChar c : stamp) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace Naming
} // namespace tessera
