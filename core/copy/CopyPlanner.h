#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace tessera {

// One file of a submission and the name it gets in the day folder.
struct CopyItem
{
    QUrl source;
    QString finalName; // bare file name, no folder part
    // When present these bytes are placed instead of the file at `source` (the rewritten EDL).
    std::optional<QByteArray> content;

    friend bool operator==(const CopyItem &, const CopyItem &) = default;
};

// What has to happen to one item in the day folder.
struct CopyAction
{
    enum class Kind { copy, rename, write, done };

    Kind kind = Kind::done;
    QUrl from;       // copy, rename
    QUrl to;         // every case; for done the destination that already holds the bytes
    QByteArray data; // write

    static CopyAction copy(const QUrl &from, const QUrl &to) { return {Kind::copy, from, to, {}}; }
    static CopyAction rename(const QUrl &from, const QUrl &to)
    {
        return {Kind::rename, from, to, {}};
    }
    static CopyAction write(const QByteArray &data, const QUrl &to)
    {
        return {Kind::write, {}, to, data};
    }
    static CopyAction done(const QUrl &url) { return {Kind::done, {}, url, {}}; }

    QUrl destination() const { return to; }

    friend bool operator==(const CopyAction &, const CopyAction &) = default;
};

// Why a submission cannot be planned. Thrown by CopyPlanner::plan.
struct CopyPlanError
{
    // badName: a final name that is not one plain file name (empty, "." or "..", or holding a
    // slash or a NUL) would place the file outside the day folder.
    enum class Kind { nameTaken, duplicateName, otherReel, badName };

    Kind kind = Kind::nameTaken;
    QString name; // the final name, or for otherReel the dropped file's own name
    QString reel; // otherReel: the reel the file's name belongs to

    static CopyPlanError nameTaken(const QString &name) { return {Kind::nameTaken, name, {}}; }
    static CopyPlanError duplicateName(const QString &name)
    {
        return {Kind::duplicateName, name, {}};
    }
    static CopyPlanError otherReel(const QString &file, const QString &reel)
    {
        return {Kind::otherReel, file, reel};
    }
    static CopyPlanError badName(const QString &name) { return {Kind::badName, name, {}}; }

    QString description() const;

    friend bool operator==(const CopyPlanError &, const CopyPlanError &) = default;
};

// How the planner looks at the NAS. sha256 may throw errors of its own; they reach the caller.
class FileInspector
{
public:
    virtual ~FileInspector() = default;
    virtual bool exists(const QUrl &url) = 0;
    // The whole file's SHA-256 as 64 lower-case hexadecimal digits.
    virtual QString sha256(const QUrl &url) = 0;
};

// Decides per item whether to copy, rename, write or leave it. Never touches the disk itself.
namespace CopyPlanner {

using Progress = std::function<void(int position, int count, const QString &finalName)>;

// One action per item, in item order. Throws CopyPlanError or whatever the inspector throws.
QList<CopyAction> plan(const QList<CopyItem> &items, const QString &reel, const QUrl &dayFolder,
                       const QUrl &dropRoot, FileInspector &inspector,
                       const Progress &progress = {});

// The "already belongs to" sentences for the items that would make plan throw otherReel.
QList<QString> otherReelProblems(const QList<CopyItem> &items, const QString &reel,
                                 const QUrl &dropRoot);
QString otherReelMessage(const QString &file, const QString &reel);

// The path with "." and ".." resolved and in composed Unicode form, for comparing locations.
QString standardizedPath(const QUrl &url);
// Strictly below the folder: the folder itself and siblings sharing its name's prefix are not.
bool isInside(const QUrl &url, const QUrl &folder);
bool samePath(const QUrl &a, const QUrl &b);

// A name that stays inside the folder it is appended to: one component, not "." or "..".
bool isPlainName(const QString &name);

// The last path component of a file URL.
QString fileName(const QUrl &url);
// `folder` with `name` appended as one path component.
QUrl appending(const QUrl &folder, const QString &name);

} // namespace CopyPlanner
} // namespace tessera
