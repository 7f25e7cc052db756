#pragma once

#include "core/copy/CopyPlanner.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

namespace tessera {

// What happens to one of the editor's own files after a submission.
struct OriginalRename
{
    enum class Kind { rename, nameTaken };

    Kind kind = Kind::rename;
    QUrl from;         // rename: the editor's file; nameTaken: the file that keeps its name
    QUrl to;           // rename: the same folder with the final name
    QString finalName; // nameTaken: the name that is already taken

    static OriginalRename rename(const QUrl &from, const QUrl &to)
    {
        return {Kind::rename, from, to, {}};
    }
    static OriginalRename nameTaken(const QUrl &file, const QString &finalName)
    {
        return {Kind::nameTaken, file, {}, finalName};
    }

    friend bool operator==(const OriginalRename &, const OriginalRename &) = default;
};

// Gives the editor's exported files the names they got on the NAS.
namespace OriginalRenamePlanner {

// At most one entry per item, in item order; nothing unless every file made it to the NAS.
QList<OriginalRename> plan(const QList<CopyItem> &items, const QUrl &dropRoot,
                           bool everythingSucceeded,
                           const std::function<bool(const QUrl &)> &exists);

} // namespace OriginalRenamePlanner
} // namespace tessera
