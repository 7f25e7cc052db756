#include "core/copy/OriginalRenamePlanner.h"

#include <QSet>

namespace tessera::OriginalRenamePlanner {

QList<OriginalRename> plan(const QList<CopyItem> &items, const QUrl &dropRoot,
                           bool everythingSucceeded,
                           const std::function<bool(const QUrl &)> &exists)
{
    QList<OriginalRename> renames;
    if (!everythingSucceeded)
        return renames;
    QSet<QString> claimed;
    for (const CopyItem &item : items) {
        // A name that would move the file to another folder is no rename of it; the copy planner
        // refuses such a name anyway.
        if (CopyPlanner::isInside(item.source, dropRoot) ||
            !CopyPlanner::isPlainName(item.finalName))
            continue;
        const QUrl target =
            CopyPlanner::appending(item.source.adjusted(QUrl::RemoveFilename), item.finalName);
        if (CopyPlanner::samePath(item.source, target))
            continue;
        const QString targetPath = CopyPlanner::standardizedPath(target);
        if (!exists(target) && !claimed.contains(targetPath)) {
            claimed.insert(targetPath);
            renames.append(OriginalRename::rename(item.source, target));
        } else {
            renames.append(OriginalRename::nameTaken(item.source, item.finalName));
        }
    }
    return renames;
}

} // namespace tessera::OriginalRenamePlanner
