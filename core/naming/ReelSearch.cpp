#include "core/naming/ReelSearch.h"

#include "core/naming/Decimal.h"

#include <algorithm>
#include <optional>

namespace tessera::ReelSearch {

namespace {

struct ReelParts
{
    std::optional<qint64> chapterNumber;
    QString chapterCode;
    std::optional<qint64> reelNumber;
    QString lowerName;
};

ReelParts partsOf(const Reel &reel)
{
    const QList<QString> pieces = reel.name.split(u'_', Qt::SkipEmptyParts);
    ReelParts parts;
    if (!pieces.isEmpty())
        parts.chapterNumber = readDecimal(pieces.at(0));
    if (pieces.size() > 1)
        parts.chapterCode = pieces.at(1).toLower();
    if (pieces.size() > 2) {
        const QString third = pieces.at(2).toLower();
        if (third.startsWith(u"reel"))
            parts.reelNumber = readDecimal(QStringView(third).mid(4));
    }
    parts.lowerName = reel.name.toLower();
    return parts;
}

bool isNumberWord(const QString &word)
{
    return std::all_of(word.begin(), word.end(), [](QChar c) { return c.isNumber(); });
}

bool wordMatches(const QString &word, const ReelParts &parts)
{
    if (isNumberWord(word)) {
        // A value that cannot be read equals only an absent field.
        const std::optional<qint64> value = readDecimal(word);
        if (word.size() >= 2 && word.startsWith(u'0'))
            return value == parts.chapterNumber;
        return value == parts.reelNumber;
    }
    if (word.startsWith(u"reel")) {
        const std::optional<qint64> number = readDecimal(QStringView(word).mid(4));
        if (number)
            return parts.reelNumber == number;
    }
    return parts.chapterCode.startsWith(word) || parts.lowerName.contains(word);
}

bool isBlank(const QString &query)
{
    return std::all_of(query.begin(), query.end(), [](QChar c) { return c == u' ' || c == u'\t'; });
}

} // namespace

bool matches(const Reel &reel, const QString &query)
{
    QString lowered = query.toLower();
    lowered.replace(u'_', u' ').replace(u'\t', u' ');
    const QList<QString> words = lowered.split(u' ', Qt::SkipEmptyParts);
    const ReelParts parts = partsOf(reel);
    return std::all_of(words.begin(), words.end(),
                       [&](const QString &word) { return wordMatches(word, parts); });
}

QList<Reel> filter(const QList<Reel> &reels, const QString &query)
{
    if (isBlank(query))
        return reels;
    QList<Reel> result;
    std::copy_if(reels.begin(), reels.end(), std::back_inserter(result),
                 [&](const Reel &reel) { return matches(reel, query); });
    return result;
}

} // namespace tessera::ReelSearch
