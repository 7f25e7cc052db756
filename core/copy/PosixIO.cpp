#include "core/copy/PosixIO.h"

#include "core/copy/SafeCopier.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tessera::PosixIO {

QString errorText(int error)
{
    char buffer[256];
    // GNU strerror_r: thread-safe, returns a pointer to the text (not always into `buffer`).
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

QString detailText(const char *step, int error)
{
    return QString::fromLatin1(step).arg(errorText(error));
}

void failIO(const QString &name, const char *step, int error)
{
    throw CopyError::io(name, detailText(step, error));
}

QByteArray nativePath(const QUrl &url)
{
    return QFile::encodeName(url.isLocalFile() ? url.toLocalFile() : url.path());
}

bool pathExists(const QByteArray &path)
{
    struct stat info;
    return ::lstat(path.constData(), &info) == 0;
}

Descriptor::~Descriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

// O_NONBLOCK keeps a named pipe or device from holding the open forever.
int openForReading(const QUrl &url, const QString &shownName, const char *step, int flags)
{
    Descriptor input(
        ::open(nativePath(url).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | flags));
    if (input.get() < 0)
        failIO(shownName, step, errno);
    struct stat info;
    if (::fstat(input.get(), &info) != 0)
        failIO(shownName, step, errno);
    if (S_ISDIR(info.st_mode))
        throw CopyError::io(shownName, QStringLiteral("it is a folder, not a file"));
    if (!S_ISREG(info.st_mode))
        throw CopyError::io(shownName, QStringLiteral("it isn't a regular file"));
    return input.release();
}

ssize_t readSome(int fd, char *buffer, qint64 length)
{
    ssize_t count;
    do {
        count = ::read(fd, buffer, static_cast<size_t>(length));
    } while (count < 0 && errno == EINTR);
    return count;
}

ssize_t readFull(int fd, char *buffer, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const ssize_t count = readSome(fd, buffer + done, length - done);
        if (count < 0)
            return -errno;
        if (count == 0)
            break;
        done += count;
    }
    return static_cast<ssize_t>(done);
}

int writeAll(int fd, const char *data, qint64 length)
{
    while (length > 0) {
        const ssize_t count = ::write(fd, data, static_cast<size_t>(length));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += count;
        length -= count;
    }
    return 0;
}

void readAhead(int fd, qint64 offset)
{
    ::posix_fadvise(fd, offset, SafeCopier::chunk, POSIX_FADV_WILLNEED);
}

Original::Original(const QUrl &url, const QString &name)
    : url_(url)
    , name_(name)
    , input_(openForReading(url, name, "can't open the original (%1)"))
{
    struct stat info;
    if (::fstat(input_.get(), &info) == 0)
        before_ = Version::of(info);
    ::posix_fadvise(input_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
}

qint64 Original::unchangedSize() const
{
    // An export written over the movie while it was read leaves a copy that is neither the old
    // movie nor the new one; one saved through a rename leaves it whole but no longer what the
    // editor has.
    struct stat named;
    if (::stat(nativePath(url_).constData(), &named) != 0)
        failIO(name_, "can't see the file (%1)", errno);
    struct stat opened;
    if (!before_ || ::fstat(input_.get(), &opened) != 0 || !(Version::of(opened) == *before_) ||
        !(Version::of(named) == *before_))
        throw CopyError::io(name_,
                            QStringLiteral("the original changed while it was being copied"));
    return before_->size;
}

} // namespace tessera::PosixIO
