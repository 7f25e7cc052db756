#include "core/naming/ReelDetector.h"

#include "core/naming/Decimal.h"

#include <QRegularExpression>

#include <algorithm>

namespace tessera::ReelDetector {

namespace {

const QRegularExpression &loosePattern()
{
    static const QRegularExpression pattern = [] {
        QRegularExpression re(
            QStringLiteral(R"(^0?(\d{1,2})_([a-z]{3})_reel_?0*([1-9]\d*)(?=[_.]|$))"));
        re.optimize();
        return re;
    }();
    return pattern;
}

} // namespace

std::optional<QString> reelKey(const QString &name)
{
    QString prepared = name.toLower();
    prepared.replace(u' ', u'_').replace(u'-', u'_');
    const QRegularExpressionMatch match = loosePattern().match(prepared);
    if (!match.hasMatch())
        return std::nullopt;
    const auto chapter = readDecimal(match.capturedView(1));
    const auto reel = readDecimal(match.capturedView(3));
    if (!chapter || !reel)
        return std::nullopt;
    return QString::asprintf("%02lld", static_cast<long long>(*chapter)) + u'_' +
           match.captured(2).toUpper() + QStringLiteral("_Reel") + QString::number(*reel);
}

QList<QString> reels(const QList<QString> &names)
{
    QList<QString> keys;
    for (const QString &name : names) {
        if (const auto key = reelKey(name))
            keys.append(*key);
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

std::optional<QString> suggestion(const QList<QString> &names)
{
    const QList<QString> keys = reels(names);
    if (keys.size() != 1)
        return std::nullopt;
    return keys.first();
}

QList<QString> mismatches(const QList<QString> &names, const QString &picked)
{
    QList<QString> keys = reels(names);
    keys.removeAll(picked);
    return keys;
}

QString list(const QList<QString> &items)
{
    if (items.isEmpty())
        return {};
    if (items.size() == 1)
        return items.first();
    return items.first(items.size() - 1).join(u", ") + QStringLiteral(" and ") + items.last();
}

} // namespace tessera::ReelDetector
