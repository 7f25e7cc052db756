#include "core/copy/PosixCopyIO.h"

#include "core/copy/MountTable.h"
#include "core/copy/PosixIO.h"
#include "core/copy/SafeCopier.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessera {

using namespace PosixIO;

namespace {

std::atomic<SafeCopier::Testing::RenameSupport> renameSupport{
    SafeCopier::Testing::RenameSupport::exclusive};
std::atomic<bool> everythingIsAShare{false};

[[noreturn]] void fail(int error)
{
    throw ioFailure(error);
}

// Linux has no uncached mode per descriptor, so each chunk's write-back is started at once and
// the chunk before it is waited for and dropped from the page cache: gigabytes of movie data
// never pile up locally.
void settle(int fd, qint64 offset, qint64 length, qint64 previousLength)
{
    // Advisory only: a file system without sync_file_range still gets the fsync at the end.
    ::sync_file_range(fd, offset, length, SYNC_FILE_RANGE_WRITE);
    if (previousLength > 0) {
        const qint64 previous = offset - previousLength;
        ::sync_file_range(fd, previous, previousLength,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                              SYNC_FILE_RANGE_WAIT_AFTER);
        ::posix_fadvise(fd, previous, previousLength, POSIX_FADV_DONTNEED);
    }
}

class FileOutput : public CopyIO::Output
{
public:
    FileOutput(int fd, bool settleChunks)
        : output_(fd)
        , settleChunks_(settleChunks)
    {}

    void write(const char *data, qint64 length, GCancellable *) override
    {
        if (const int error = writeAll(output_.get(), data, length))
            fail(error);
        if (settleChunks_)
            settle(output_.get(), written_, length, previousLength_);
        previousLength_ = length;
        written_ += length;
    }

    void confirm() override
    {
        if (::fsync(output_.get()) != 0)
            fail(errno);
        // The bytes are on the server now; their clean pages need not stay in our cache.
        ::posix_fadvise(output_.get(), 0, 0, POSIX_FADV_DONTNEED);
        if (::close(output_.release()) != 0)
            fail(errno);
    }

private:
    Descriptor output_;
    bool settleChunks_;
    qint64 written_ = 0;
    qint64 previousLength_ = 0;
};

// Reads through the page cache after dropping what it holds of the file, so that the bytes come
// from the disk, and drops each block behind us; the kernel's read-ahead of the next block
// overlaps reading and hashing. With O_DIRECT no page of the client's cache is involved: each
// read goes to the server.
class FileInput : public CopyIO::Input
{
public:
    FileInput(int fd, qint64 offset, bool direct)
        : input_(fd)
        , offset_(offset)
        , direct_(direct)
    {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        if (!direct)
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }

    qint64 read(char *buffer, qint64 length, GCancellable *) override
    {
        const ssize_t count = readFull(input_.get(), buffer, length);
        if (count < 0)
            fail(int(-count));
        if (!direct_) {
            readAhead(input_.get(), offset_ + count);
            ::posix_fadvise(input_.get(), offset_, count, POSIX_FADV_DONTNEED);
        }
        offset_ += count;
        return count;
    }

private:
    Descriptor input_;
    qint64 offset_;
    bool direct_;
};

bool linkRefused(int error)
{
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS ||
           error == EINVAL || error == EMLINK;
}

} // namespace

IOFailure ioFailure(int error)
{
    using Cause = IOFailure::Cause;
    Cause cause = Cause::other;
    switch (error) {
    case EEXIST:
        cause = Cause::exists;
        break;
    case ENOENT:
        cause = Cause::notFound;
        break;
    case EINVAL:
        cause = Cause::invalid;
        break;
    // The transport to the server broke: aborted, reset, timed out, unreachable, or refused while
    // reconnecting. A descriptor on a regular file sees EPIPE only from a share's broken socket,
    // ENOTCONN when the GVfs FUSE daemon went away, and ESTALE when the server no longer knows
    // the handle after a reconnect or a reboot; each is mended by copying the file again under a
    // new name once the share answers. EIO is left out: a failing disk, local or on the NAS,
    // reports it too, and it would then be retried for minutes instead of being said.
    case ECONNABORTED:
    case ECONNRESET:
    case ECONNREFUSED:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case EHOSTDOWN:
    case ENETUNREACH:
    case ENETDOWN:
    case ENOTCONN:
    case ESHUTDOWN:
    case EPIPE:
    case ESTALE:
        cause = Cause::connection;
        break;
    default:
        break;
    }
    return {cause, errorText(error)};
}

PosixCopyIO::Strategy PosixCopyIO::strategyFor(const QByteArray &path)
{
    // The test seam stands for a kernel share: the local disk behind it caches written pages.
    if (everythingIsAShare.load())
        return Strategy::kernelShare;
    const QString type = MountTable::fileSystemType(QFileInfo(QFile::decodeName(path)).path());
    if (type == u"fuse.gvfsd-fuse")
        return Strategy::gvfsShare;
    if (type == u"cifs" || type == u"smb3")
        return Strategy::kernelShare;
    return Strategy::local;
}

bool PosixCopyIO::exists(const QUrl &url, GCancellable *)
{
    return pathExists(nativePath(url));
}

std::unique_ptr<CopyIO::Output> PosixCopyIO::create(const QUrl &url, GCancellable *)
{
    const int fd =
        ::open(nativePath(url).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        fail(errno);
    return std::make_unique<FileOutput>(fd, strategy_ != Strategy::gvfsShare);
}

std::unique_ptr<CopyIO::Input> PosixCopyIO::read(const QUrl &url, qint64 offset, GCancellable *)
{
    const QByteArray path = nativePath(url);
    // O_DIRECT reads from the server need an aligned offset; a share that refuses O_DIRECT
    // (EINVAL) is read the local way.
    bool direct = strategy_ != Strategy::local && offset % 4096 == 0;
    int fd = -1;
    for (;;) {
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (direct ? O_DIRECT : 0));
        if (fd >= 0 || !direct || errno != EINVAL)
            break;
        direct = false;
    }
    if (fd < 0)
        fail(errno);
    Descriptor input(fd);
    struct stat info;
    if (::fstat(fd, &info) != 0)
        fail(errno);
    if (S_ISDIR(info.st_mode))
        throw IOFailure{IOFailure::Cause::notAFile, QStringLiteral("it is a folder, not a file")};
    if (!S_ISREG(info.st_mode))
        throw IOFailure{IOFailure::Cause::notAFile, QStringLiteral("it isn't a regular file")};
    if (offset > 0 && ::lseek(fd, offset, SEEK_SET) < 0)
        fail(errno);
    return std::make_unique<FileInput>(input.release(), offset, direct);
}

qint64 PosixCopyIO::size(const QUrl &url, GCancellable *)
{
    struct stat info;
    if (::stat(nativePath(url).constData(), &info) != 0)
        fail(errno);
    return static_cast<qint64>(info.st_size);
}

void PosixCopyIO::renameNoReplace(const QUrl &from, const QUrl &to, GCancellable *)
{
    const QByteArray source = nativePath(from);
    const QByteArray target = nativePath(to);
    const SafeCopier::Testing::RenameSupport support = renameSupport.load();
    const IOFailure taken{IOFailure::Cause::exists, errorText(EEXIST)};

    int error = EINVAL;
    if (support == SafeCopier::Testing::RenameSupport::exclusive) {
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return;
        error = errno;
    }
    if (error != EINVAL && error != ENOTSUP && error != EOPNOTSUPP && error != ENOSYS)
        fail(error);

    // No exclusive rename here (typically an SMB share). A hard link is just as atomic and
    // never replaces; the old name is then removed.
    error = EPERM;
    if (support != SafeCopier::Testing::RenameSupport::plainOnly) {
        if (::link(source.constData(), target.constData()) == 0) {
            if (::unlink(source.constData()) != 0)
                fail(errno);
            return;
        }
        error = errno;
    }
    if (!linkRefused(error))
        fail(error);

    // Last resort, racy by nature: look before a plain rename.
    if (pathExists(target))
        throw taken;
    if (::rename(source.constData(), target.constData()) != 0)
        fail(errno);
}

void PosixCopyIO::remove(const QUrl &url)
{
    if (::unlink(nativePath(url).constData()) != 0)
        fail(errno);
}

namespace SafeCopier::Testing {

void setRenameSupport(RenameSupport support)
{
    renameSupport.store(support);
}

void setEverythingIsAShare(bool share)
{
    everythingIsAShare.store(share);
}

} // namespace SafeCopier::Testing
} // namespace tessera
