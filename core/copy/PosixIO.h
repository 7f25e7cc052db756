#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <sys/stat.h>
#include <sys/types.h>
#include <utility>

// The plain POSIX calls the copier is built on, with its error sentences. Failures throw
// CopyError.
namespace tessera::PosixIO {

QString errorText(int error);
// The step's sentence ("can't read it (%1)") with the system's text for the error.
QString detailText(const char *step, int error);
[[noreturn]] void failIO(const QString &name, const char *step, int error);

QByteArray nativePath(const QUrl &url);
bool pathExists(const QByteArray &path);

// Closes a descriptor on every path unless it was handed on with release().
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {}
    ~Descriptor();
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Opens a regular file to read it; anything else (a folder, a pipe, a device) is refused with a
// sentence of its own. `step` names the open in the error's detail.
int openForReading(const QUrl &url, const QString &shownName, const char *step, int flags = 0);

// read() repeated after EINTR.
ssize_t readSome(int fd, char *buffer, qint64 length);
// Reads until `length` bytes or the end of the file; returns the count or minus the error number.
// A short count therefore always means the end.
ssize_t readFull(int fd, char *buffer, qint64 length);
// Writes everything, continuing after short writes; returns 0 or the error number.
int writeAll(int fd, const char *data, qint64 length);
// Asks for the chunk at `offset` while the one before is hashed and written, so that the disk or
// the server keeps working; plain read-ahead alone covers only a fraction of a chunk.
void readAhead(int fd, qint64 offset);

// The editor's file being copied: opened once, and checked after it was read to be the same file
// with the same contents, as far as the system records it.
class Original
{
public:
    // Throws io "can't open the original".
    Original(const QUrl &url, const QString &name);
    int fd() const { return input_.get(); }
    // The size the copy must have. Throws when the file was written over, replaced or removed
    // since it was opened.
    qint64 unchangedSize() const;

private:
    struct Version
    {
        dev_t device;
        ino_t inode;
        off_t size;
        timespec modified;

        static Version of(const struct stat &info)
        {
            return Version{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
        }
        friend bool operator==(const Version &a, const Version &b)
        {
            return a.device == b.device && a.inode == b.inode && a.size == b.size &&
                   a.modified.tv_sec == b.modified.tv_sec &&
                   a.modified.tv_nsec == b.modified.tv_nsec;
        }
    };

    QUrl url_;
    QString name_;
    Descriptor input_;
    std::optional<Version> before_;
};

} // namespace tessera::PosixIO
