#include "core/copy/CopyPlanner.h"

#include "core/copy/SafeCopier.h"
#include "core/naming/Naming.h"

#include <QDir>
#include <QSet>

namespace tessera {

QString CopyPlanError::description() const
{
    switch (kind) {
    case Kind::nameTaken:
        return QStringLiteral("There is already a different file called %1 in the drop folder. "
                              "Tessera never overwrites files. Ask the reel check team to look "
                              "at it.")
            .arg(name);
    case Kind::duplicateName:
        return QStringLiteral(
                   "Two files would both be called %1. Pick a different surface for one of them.")
            .arg(name);
    case Kind::otherReel:
        return CopyPlanner::otherReelMessage(name, reel);
    case Kind::badName:
        return QStringLiteral("\"%1\" can't be used as a file name in the drop folder. Ask the "
                              "reel check team to look at the reel's name.")
            .arg(name);
    }
    return {};
}

namespace CopyPlanner {

namespace {

// The reel a dropped file belongs to by its name, when it lies on the NAS and carries a final name.
std::optional<QString> reelOnNAS(const CopyItem &item, const QUrl &dropRoot)
{
    if (!isInside(item.source, dropRoot))
        return std::nullopt;
    const auto parsed = Naming::parse(fileName(item.source));
    if (!parsed)
        return std::nullopt;
    return parsed->reelKey();
}

} // namespace

QString standardizedPath(const QUrl &url)
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
    return QDir::cleanPath(path).normalized(QString::NormalizationForm_C);
}

bool samePath(const QUrl &a, const QUrl &b)
{
    return standardizedPath(a) == standardizedPath(b);
}

bool isInside(const QUrl &url, const QUrl &folder)
{
    QString prefix = standardizedPath(folder);
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    return standardizedPath(url).startsWith(prefix);
}

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(0));
}

QString fileName(const QUrl &url)
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.path();
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QUrl appending(const QUrl &folder, const QString &name)
{
    QString path = folder.isLocalFile() ? folder.toLocalFile() : folder.path();
    if (!path.endsWith(u'/'))
        path += u'/';
    return QUrl::fromLocalFile(path + name);
}

QString otherReelMessage(const QString &file, const QString &reel)
{
    return file + QStringLiteral(" already belongs to ") + reel;
}

QList<CopyAction> plan(const QList<CopyItem> &items, const QString &reel, const QUrl &dayFolder,
                       const QUrl &dropRoot, FileInspector &inspector, const Progress &progress)
{
    QList<CopyAction> actions;
    actions.reserve(items.size());
    QSet<QString> seen;
    const int count = static_cast<int>(items.size());
    for (int i = 0; i < count; ++i) {
        const CopyItem &item = items.at(i);
        if (progress)
            progress(i + 1, count, item.finalName);

        if (!isPlainName(item.finalName))
            throw CopyPlanError::badName(item.finalName);
        const QString key = item.finalName.normalized(QString::NormalizationForm_C);
        if (seen.contains(key))
            throw CopyPlanError::duplicateName(item.finalName);
        seen.insert(key);

        const QUrl destination = appending(dayFolder, item.finalName);

        if (item.content) {
            if (inspector.exists(destination)) {
                const QString there = inspector.sha256(destination);
                if (there != SafeCopier::sha256(*item.content))
                    throw CopyPlanError::nameTaken(item.finalName);
                actions.append(CopyAction::done(destination));
            } else {
                actions.append(CopyAction::write(*item.content, destination));
            }
            continue;
        }

        if (samePath(item.source, destination)) {
            actions.append(CopyAction::done(destination));
            continue;
        }
        const bool inside = isInside(item.source, dropRoot);
        const auto parsed = Naming::parse(fileName(item.source));
        if (inside && parsed && parsed->reelKey() != reel)
            throw CopyPlanError::otherReel(fileName(item.source), parsed->reelKey());

        if (inspector.exists(destination)) {
            // The destination first: when it differs the run stops, whatever the source holds.
            const QString there = inspector.sha256(destination);
            const QString here = inspector.sha256(item.source);
            if (there != here)
                throw CopyPlanError::nameTaken(item.finalName);
            actions.append(CopyAction::done(destination));
        } else if (inside && !parsed) {
            actions.append(CopyAction::rename(item.source, destination));
        } else {
            actions.append(CopyAction::copy(item.source, destination));
        }
    }
    return actions;
}

QList<QString> otherReelProblems(const QList<CopyItem> &items, const QString &reel,
                                 const QUrl &dropRoot)
{
    QList<QString> problems;
    for (const CopyItem &item : items) {
        if (item.content)
            continue;
        const auto owner = reelOnNAS(item, dropRoot);
        if (owner && *owner != reel)
            problems.append(otherReelMessage(fileName(item.source), *owner));
    }
    return problems;
}

} // namespace CopyPlanner
} // namespace tessera
