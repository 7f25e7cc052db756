#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace tessera {

// One mounted file system.
struct MountEntry
{
    // What is mounted; for an SMB share //[user@]host[:port]/share, the share possibly
    // percent-encoded.
    QString from;
    // The mount point path.
    QString on;
    // The file-system type; every SMB share, kernel or GVfs, is reported as "smbfs".
    QString type;

    friend bool operator==(const MountEntry &, const MountEntry &) = default;
};

// The file systems mounted on this computer, and which of them are a given SMB share.
namespace MountTable {

// The type that SMB shares are reported with.
inline constexpr QStringView smbType = u"smbfs";

// The mounted file systems of this process's mount table, in the order the system lists them;
// empty when the table cannot be read.
QList<MountEntry> current();

// The entries of a mount table in the /proc/<pid>/mountinfo format. Kernel SMB mounts (cifs,
// smb3) become "smbfs" entries with their source; each GVfs FUSE mount is replaced by one
// "smbfs" entry per SMB share folder in it (a folder that cannot be listed gives none).
QList<MountEntry> fromMountInfo(const QByteArray &mountInfo);

// The directory URLs of the mount points of that host's share, in list order.
QList<QUrl> mountPoints(const QString &host, const QString &share,
                        const QList<MountEntry> &entries);

// The type of the file system that holds a path, as the mount table names it ("ext4", "cifs",
// "fuse.gvfsd-fuse"): the mount with the longest mount point containing the path, the later one
// when mounts are stacked. The path should be absolute and free of symbolic links; empty when no
// mount contains it.
QString fileSystemType(const QString &path, const QByteArray &mountInfo);
// The same from this process's mount table, for an existing path (resolved first).
QString fileSystemType(const QString &path);

// Whether a mount source of the form //[user@]host[:port]/share names that host and share.
bool source(const QString &from, const QString &host, const QString &share);

} // namespace MountTable
} // namespace tessera
