#include "core/naming/NameDiff.h"

#include <vector>

namespace tessera::NameDiff {

QList<QString> tokens(const QString &name)
{
    QList<QString> result;
    QString run;
    for (QChar c : name) {
        if (c == u'_' || c == u'.') {
            if (!run.isEmpty())
                result.append(std::exchange(run, {}));
            result.append(QString(c));
        } else {
            run.append(c);
        }
    }
    if (!run.isEmpty())
        result.append(run);
    return result;
}

QList<Segment> segments(const QString &oldName, const QString &newName)
{
    const QList<QString> a = tokens(oldName);
    const QList<QString> b = tokens(newName);
    const qsizetype n = a.size();
    const qsizetype m = b.size();

    // Longest common subsequence lengths of the suffixes a[i..] and b[j..].
    std::vector<int> table(static_cast<size_t>((n + 1) * (m + 1)), 0);
    const auto at = [&](qsizetype i, qsizetype j) -> int & {
        return table[static_cast<size_t>(i * (m + 1) + j)];
    };
    for (qsizetype i = n - 1; i >= 0; --i) {
        for (qsizetype j = m - 1; j >= 0; --j)
            at(i, j) = a[i] == b[j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    }

    std::vector<bool> kept(static_cast<size_t>(m), false);
    for (qsizetype i = 0, j = 0; i < n && j < m;) {
        if (a[i] == b[j]) {
            kept[static_cast<size_t>(j)] = true;
            ++i;
            ++j;
        } else if (at(i + 1, j) < at(i, j + 1)) {
            ++j;
        } else {
            ++i; // on a tie the old name's token goes first
        }
    }

    QList<Segment> result;
    for (qsizetype j = 0; j < m; ++j) {
        const bool changed = !kept[static_cast<size_t>(j)];
        if (!result.isEmpty() && result.last().changed == changed)
            result.last().text += b[j];
        else
            result.append(Segment{b[j], changed});
    }
    return result;
}

} // namespace tessera::NameDiff
