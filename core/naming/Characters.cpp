#include "core/naming/Characters.h"

#include <QList>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace tessera::Characters {

namespace {

// U+1F1E6 to U+1F1FF, as a UTF-16 surrogate pair at `at`.
bool isRegionalIndicator(const QString &text, qsizetype at)
{
    return at + 1 < text.size() && text.at(at).unicode() == 0xD83C &&
           text.at(at + 1).unicode() >= 0xDDE6 && text.at(at + 1).unicode() <= 0xDDFF;
}

// Where each character ends. Qt 6.4 pairs regional indicators from the wrong one after an emoji
// (a flag after a smiley comes apart), so inside a run of them the pairs are made here, counted
// from the start of the run.
QList<qsizetype> characterEnds(const QString &text)
{
    QList<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype end = finder.toNextBoundary(); end > 0; end = finder.toNextBoundary())
        ends.append(end);

    for (qsizetype start = 0; start < text.size(); ++start) {
        if (!isRegionalIndicator(text, start))
            continue;
        qsizetype end = start;
        while (isRegionalIndicator(text, end))
            end += 2;
        ends.removeIf([&](qsizetype at) { return at > start && at < end; });
        for (qsizetype at = start + 4; at < end; at += 4)
            ends.append(at);
        start = end - 1;
    }
    std::sort(ends.begin(), ends.end());
    return ends;
}

} // namespace

qsizetype count(const QString &text)
{
    return characterEnds(text).size();
}

QString cut(const QString &text, qsizetype limit)
{
    if (limit <= 0)
        return QString();
    const QList<qsizetype> ends = characterEnds(text);
    if (limit >= ends.size())
        return text;
    return text.first(ends.at(limit - 1));
}

} // namespace tessera::Characters
