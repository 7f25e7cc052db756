#include "core/naming/SurfaceMatcher.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace tessera::SurfaceMatcher {

namespace {

QRegularExpression compiled(const QString &pattern)
{
    QRegularExpression re(pattern);
    re.optimize();
    return re;
}

const QRegularExpression &versionTailPattern()
{
    static const QRegularExpression pattern =
        compiled(QStringLiteral(R"(_v[0-9]+[a-z]*(?:_[a-z0-9]{1,2})*(?=(?:_[a-z0-9]{2,4})?$))"));
    return pattern;
}

const QRegularExpression &proxyPattern()
{
    static const QRegularExpression pattern =
        compiled(QStringLiteral(R"((?<![a-z])proxy_?[248](?![0-9]))"));
    return pattern;
}

// Whole-word patterns: the word may touch digits and underscores, never letters.
const QRegularExpression &wordPattern(const QString &word)
{
    static const QHash<QString, QRegularExpression> patterns = [] {
        QHash<QString, QRegularExpression> table;
        for (const char *word :
             {"a_?wall", "b_?wall", "c_?wall", "d_?wall", "floor", "surtitles?|subs"}) {
            const QString text = QString::fromLatin1(word);
            table.insert(text, compiled(QStringLiteral("(?<![a-z])(?:") + text +
                                        QStringLiteral(")(?![a-z])")));
        }
        return table;
    }();
    return *patterns.find(word);
}

bool contains(const QString &prepared, const QString &word)
{
    return wordPattern(word).match(prepared).hasMatch();
}

} // namespace

QString normalise(const QString &name)
{
    QString result = name.toLower();
    result.replace(u' ', u'_').replace(u'-', u'_');
    return result;
}

QString withoutVersion(const QString &name)
{
    QString result = normalise(name);
    result.replace(u'.', u'_');
    result.remove(versionTailPattern());
    return result;
}

std::optional<Surface> surface(const QString &name)
{
    const QString prepared = withoutVersion(name);
    const QList<QString> tokenList = prepared.split(u'_', Qt::SkipEmptyParts);
    const QSet<QString> tokens(tokenList.begin(), tokenList.end());

    QList<Surface> candidates;
    const std::pair<QChar, Surface> walls[] = {{u'a', Surface::awall},
                                               {u'b', Surface::bwall},
                                               {u'c', Surface::cwall},
                                               {u'd', Surface::dwall}};
    for (const auto &[letter, wall] : walls) {
        if (tokens.contains(QString(letter)) ||
            contains(prepared, letter + QStringLiteral("_?wall")))
            candidates.append(wall);
    }
    if (contains(prepared, QStringLiteral("floor")))
        candidates.append(Surface::floor);
    if (contains(prepared, QStringLiteral("surtitles?|subs")))
        candidates.append(Surface::surtitles);

    if (candidates.size() != 1)
        return std::nullopt;
    return candidates.first();
}

Proxy proxy(const QString &name)
{
    const QRegularExpressionMatch match = proxyPattern().match(withoutVersion(name));
    if (!match.hasMatch())
        return Proxy::full;
    const QString found = match.captured();
    return proxyFromRawValue(found.back().digitValue()).value_or(Proxy::full);
}

std::optional<Slot> match(const QString &name)
{
    const std::optional<Surface> found = surface(name);
    if (!found)
        return std::nullopt;
    return Slot{*found, Proxy::full};
}

} // namespace tessera::SurfaceMatcher
