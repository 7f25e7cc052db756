#include "core/copy/SafeCopier.h"

#include "core/copy/ChunkBuffers.h"
#include "core/copy/CopyPlanner.h"
#include "core/copy/GioCopier.h"
#include "core/copy/MountTable.h"
#include "core/copy/PosixIO.h"
#include "core/copy/Sha256.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace tessera {

QString CopyError::description() const
{
    switch (kind) {
    case Kind::io:
        return QStringLiteral("Copying %1 stopped: %2. Files already checked are kept. Press Try "
                              "again to carry on.")
            .arg(name, detail);
    case Kind::sizeMismatch:
        return QStringLiteral("%1 arrived at the wrong size. Press Try again to copy it again.")
            .arg(name);
    case Kind::hashMismatch:
        return QStringLiteral("%1 didn't read back the same as the original. Press Try again to "
                              "copy it again.")
            .arg(name);
    case Kind::appeared:
        return QStringLiteral("Another file called %1 appeared in the drop folder while copying. "
                              "Nothing was overwritten.")
            .arg(name);
    case Kind::cancelled:
        return QStringLiteral("Copy stopped.");
    case Kind::connectionLost:
        return QStringLiteral("The connection to the NAS was lost while copying %1 (%2). Files "
                              "already checked are kept. Press Try again once the NAS is back.")
            .arg(name, detail);
    }
    return {};
}

namespace SafeCopier {

QString RenameError::description() const
{
    return kind == Kind::exists ? QStringLiteral("a file with that name already exists") : text;
}

namespace {

using namespace PosixIO;

std::mutex seamLock;
std::function<QString()> tokenSource;
std::atomic<Testing::RenameSupport> renameSupport{Testing::RenameSupport::exclusive};
std::atomic<bool> everythingIsAShare{false};

// How a file system is written and read back.
enum class Strategy {
    // A local disk: the page cache is ours to drop, and the kernel's read-ahead keeps the disk
    // busy while we hash.
    local,
    // A network share: every write waits for the server, so hashing runs beside it, and the
    // read-back asks the server directly (O_DIRECT). A kernel SMB mount caches written pages as a
    // disk does, so they are dropped chunk by chunk.
    kernelShare,
    // The GVfs FUSE mount: as a kernel share, but it keeps no written pages (fincore shows none
    // after a plain 8 MiB write), so the per-chunk write-back calls would only cost time. Used
    // only where GIO cannot reach the share's daemon itself.
    gvfsShare,
};

// Chosen by the mount table's type of the folder that holds the path.
Strategy strategyFor(const QByteArray &path)
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

// The share's file for a path on a GVfs mount whose daemon GIO reaches; nothing for a local disk,
// a kernel share, or a GVfs mount GIO does not map (its FUSE mount is used then).
std::optional<GioFile> throughGio(const QUrl &url)
{
    if (strategyFor(nativePath(url)) != Strategy::gvfsShare)
        return std::nullopt;
    return Gio::fileFor(url);
}

// fsync, then close; both failures mean the server did not confirm the bytes.
void finishPartial(Descriptor &output, const QString &name)
{
    if (::fsync(output.get()) != 0)
        failIO(name, "the NAS didn't confirm the write (%1)", errno);
    // The bytes are on the server now; their clean pages need not stay in our cache.
    ::posix_fadvise(output.get(), 0, 0, POSIX_FADV_DONTNEED);
    if (::close(output.release()) != 0)
        failIO(name, "the NAS didn't confirm the write (%1)", errno);
}

struct Partial
{
    QUrl url;
    QByteArray path;
    int fd = -1;
};

Partial createPartial(const QUrl &destination, const QString &name)
{
    constexpr int attempts = 5;
    for (int attempt = 1;; ++attempt) {
        Partial partial;
        partial.url = partialURL(destination, newToken());
        partial.path = nativePath(partial.url);
        partial.fd =
            ::open(partial.path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (partial.fd >= 0)
            return partial;
        const int error = errno;
        if (error != EEXIST || attempt == attempts)
            failIO(name, "can't write to the drop folder (%1)", error);
    }
}

// Reads through the page cache after dropping what it holds of the file, so that the bytes come
// from the disk, and drops each block behind us; the kernel's read-ahead of the next block
// overlaps reading and hashing.
QString hashCached(int fd, const QString &shownName, const Progress &progress, char *buffer)
{
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    Sha256 hash;
    qint64 total = 0;
    for (;;) {
        const ssize_t count = readSome(fd, buffer, chunk);
        if (count < 0)
            failIO(shownName, "can't read it (%1)", errno);
        if (count == 0)
            break;
        readAhead(fd, total + count);
        hash.update(buffer, count);
        ::posix_fadvise(fd, total, count, POSIX_FADV_DONTNEED);
        total += count;
        if (progress && !progress(total))
            throw CopyError::cancelled();
    }
    return hash.hex();
}

// Reads a descriptor opened with O_DIRECT: no page of the client's cache is involved, each read
// goes to the server. The next chunk is read while this one is hashed.
QString hashDirect(int fd, const QString &shownName, const Progress &progress,
                   const ChunkBuffers &buffers)
{
    Sha256 hash;
    qint64 total = 0;
    std::future<ssize_t> reading = std::async(std::launch::async, readFull, fd, buffers[0], chunk);
    for (int current = 0;; current ^= 1) {
        const ssize_t count = reading.get();
        if (count < 0)
            failIO(shownName, "can't read it (%1)", int(-count));
        if (count == chunk)
            reading = std::async(std::launch::async, readFull, fd, buffers[current ^ 1], chunk);
        hash.update(buffers[current], count);
        total += count;
        if (count > 0 && progress && !progress(total))
            throw CopyError::cancelled();
        if (count < chunk)
            break;
    }
    return hash.hex();
}

QString hashFile(const QUrl &url, const QString &shownName, const Progress &progress,
                 const ChunkBuffers &buffers)
{
    const char *step = "can't open it (%1)";
    if (strategyFor(nativePath(url)) != Strategy::local) {
        try {
            Descriptor input(openForReading(url, shownName, step, O_DIRECT));
            // Nothing of the file stays in the cache afterwards either.
            ::posix_fadvise(input.get(), 0, 0, POSIX_FADV_DONTNEED);
            return hashDirect(input.get(), shownName, progress, buffers);
        } catch (const CopyError &error) {
            // A share that refuses O_DIRECT (EINVAL) is read the local way.
            if (error != CopyError::io(shownName, detailText(step, EINVAL)))
                throw;
        }
    }
    Descriptor input(openForReading(url, shownName, step));
    return hashCached(input.get(), shownName, progress, buffers[0]);
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

// Streams input to output on a local disk, hashing what is read.
QString writeLocal(int input, Descriptor &output, const QString &name, const Progress &progress,
                   char *buffer)
{
    Sha256 hash;
    qint64 total = 0;
    qint64 previousLength = 0;
    for (;;) {
        const ssize_t count = readSome(input, buffer, chunk);
        if (count < 0)
            failIO(name, "can't read the original (%1)", errno);
        if (count == 0)
            break;
        readAhead(input, total + count);
        hash.update(buffer, count);
        if (const int error = writeAll(output.get(), buffer, count))
            failIO(name, "the NAS stopped taking data (%1)", error);
        settle(output.get(), total, count, previousLength);
        previousLength = count;
        total += count;
        if (progress && !progress(total))
            throw CopyError::cancelled();
    }
    finishPartial(output, name);
    return hash.hex();
}

// Streams input to a share: each chunk is written on a helper thread while the next one is read
// and hashed here, so the server never waits for our hashing.
QString writeShare(int input, Descriptor &output, const QString &name, const Progress &progress,
                   const ChunkBuffers &buffers, bool settleChunks)
{
    Sha256 hash;
    qint64 read = 0;
    qint64 written = 0;
    qint64 writingLength = 0;
    // Its destructor waits, so no write outlives a failure here.
    std::future<int> writing;
    for (int current = 0;; current ^= 1) {
        // This buffer's last write was waited for one round ago.
        const ssize_t count = readSome(input, buffers[current], chunk);
        if (count < 0)
            failIO(name, "can't read the original (%1)", errno);
        if (count > 0) {
            readAhead(input, read + count);
            hash.update(buffers[current], count);
        }
        if (writing.valid()) {
            if (const int error = writing.get())
                failIO(name, "the NAS stopped taking data (%1)", error);
            written += writingLength;
            if (progress && !progress(written))
                throw CopyError::cancelled();
        }
        if (count == 0)
            break;
        writing = std::async(std::launch::async, [fd = output.get(), data = buffers[current], count,
                                                  offset = read, writingLength, settleChunks] {
            const int error = writeAll(fd, data, count);
            if (!error && settleChunks)
                settle(fd, offset, count, writingLength);
            return error;
        });
        writingLength = count;
        read += count;
    }
    finishPartial(output, name);
    return hash.hex();
}

void removeSoon(const QByteArray &path)
{
    // A share may refuse for a moment to remove a file its server still holds open.
    for (int attempt = 0; ::unlink(path.constData()) != 0 && errno != ENOENT && attempt < 10;
         ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// Removes our own partial file after a failure and turns rename failures into copy errors.
[[noreturn]] void abandon(const QByteArray &partial, Descriptor *output, const QString &name)
{
    // Closed first: a share may refuse to remove a file that is still open.
    if (output && output->get() >= 0)
        ::close(output->release());
    removeSoon(partial);
    try {
        throw;
    } catch (const RenameError &error) {
        if (error.kind == RenameError::Kind::exists)
            throw CopyError::appeared(name);
        throw CopyError::io(name, error.text);
    }
}

Sent sendPosix(const QUrl &from, const QUrl &to, const Progress &progress,
               const ChunkBuffers &buffers)
{
    const QString name = CopyPlanner::fileName(to);
    if (pathExists(nativePath(to)))
        throw CopyError::appeared(name);
    const Original original(from, name);
    const Partial partial = createPartial(to, name);
    Descriptor output(partial.fd);
    try {
        const Strategy strategy = strategyFor(partial.path);
        const QString digest = strategy == Strategy::local
                                   ? writeLocal(original.fd(), output, name, progress, buffers[0])
                                   : writeShare(original.fd(), output, name, progress, buffers,
                                                strategy == Strategy::kernelShare);
        const qint64 expected = original.unchangedSize();
        if (size(partial.url, name) != expected)
            throw CopyError::sizeMismatch(name);
        return Sent{to, partial.url, digest, expected};
    } catch (...) {
        abandon(partial.path, &output, name);
    }
}

QString placePosix(const Sent &sent, const Progress &checking, const ChunkBuffers &buffers)
{
    const QString name = CopyPlanner::fileName(sent.to);
    try {
        if (hashFile(sent.partial, name, checking, buffers) != sent.digest)
            throw CopyError::hashMismatch(name);
        renameNoReplace(sent.partial, sent.to);
        return sent.digest;
    } catch (...) {
        abandon(nativePath(sent.partial), nullptr, name);
    }
}

bool linkRefused(int error)
{
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS ||
           error == EINVAL || error == EMLINK;
}

} // namespace

QString copy(const QUrl &from, const QUrl &to, const Progress &progress, const Progress &checking)
{
    if (const auto destination = throughGio(to))
        return place(Gio::send(*destination, from, to, progress), checking);
    // One pair of buffers for both halves.
    const ChunkBuffers buffers;
    return placePosix(sendPosix(from, to, progress, buffers), checking, buffers);
}

Sent send(const QUrl &from, const QUrl &to, const Progress &progress)
{
    if (const auto destination = throughGio(to))
        return Gio::send(*destination, from, to, progress);
    return sendPosix(from, to, progress, ChunkBuffers());
}

QString place(const Sent &sent, const Progress &checking)
{
    if (const auto partial = throughGio(sent.partial))
        return Gio::place(*partial, sent, checking);
    return placePosix(sent, checking, ChunkBuffers());
}

void discard(const Sent &sent) noexcept
{
    try {
        if (const auto partial = throughGio(sent.partial))
            Gio::discard(*partial);
        else
            removeSoon(nativePath(sent.partial));
    } catch (...) {
        // Left under its partial name, as after a crash; the next run does not count it.
    }
}

QString copyOverlapped(const QUrl &from, const QUrl &to, const Transfer &transfer)
{
    if (const auto destination = throughGio(to))
        return Gio::copyOverlapped(*destination, from, to, transfer);
    const auto report = [&](qint64 sent, qint64 checked) {
        return !transfer || transfer(sent, checked);
    };
    const ChunkBuffers buffers;
    const Sent sent = sendPosix(
        from, to, [&](qint64 done) { return report(done, 0); }, buffers);
    return placePosix(
        sent, [&](qint64 done) { return report(sent.size, done); }, buffers);
}

QString copyOverlapped(const QUrl &from, const QUrl &to, const Control &control)
{
    if (control.stop.stopped())
        throw CopyError::cancelled();
    return copyOverlapped(from, to, [&](qint64 sent, qint64 checked) {
        return !control.stop.stopped() && (!control.transfer || control.transfer(sent, checked));
    });
}

QString write(const QByteArray &data, const QUrl &to, const Control &control)
{
    if (control.stop.stopped())
        throw CopyError::cancelled();
    return write(data, to);
}

bool removePartial(const QUrl &partial, const CopyStop &stop) noexcept
{
    static const QRegularExpression shape(QStringLiteral("^.+\\.[0-9a-f]{12}\\.partial$"));
    if (!shape.match(partial.fileName()).hasMatch() || stop.stopped())
        return false;
    try {
        if (const auto file = throughGio(partial))
            Gio::discard(*file);
        else
            removeSoon(nativePath(partial));
        return !pathExists(nativePath(partial));
    } catch (...) {
        return false;
    }
}

QString write(const QByteArray &data, const QUrl &to)
{
    if (const auto destination = throughGio(to))
        return Gio::write(*destination, data, to);
    const QString name = CopyPlanner::fileName(to);
    if (pathExists(nativePath(to)))
        throw CopyError::appeared(name);
    const QString digest = sha256(data);
    const Partial partial = createPartial(to, name);
    Descriptor output(partial.fd);
    try {
        if (const int error = writeAll(output.get(), data.constData(), data.size()))
            failIO(name, "the NAS stopped taking data (%1)", error);
        finishPartial(output, name);
        if (size(partial.url, name) != data.size())
            throw CopyError::sizeMismatch(name);
        if (hashFile(partial.url, name, {}, ChunkBuffers()) != digest)
            throw CopyError::hashMismatch(name);
        renameNoReplace(partial.url, to);
        return digest;
    } catch (...) {
        abandon(partial.path, &output, name);
    }
}

void renameNoReplace(const QUrl &from, const QUrl &to)
{
    if (const auto source = throughGio(from)) {
        if (const auto target = throughGio(to))
            return Gio::renameNoReplace(*source, *target);
    }
    const QByteArray source = nativePath(from);
    const QByteArray target = nativePath(to);
    const Testing::RenameSupport support = renameSupport.load();

    int error = EINVAL;
    if (support == Testing::RenameSupport::exclusive) {
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return;
        error = errno;
    }
    if (error == EEXIST)
        throw RenameError::exists();
    if (error != EINVAL && error != ENOTSUP && error != EOPNOTSUPP && error != ENOSYS)
        throw RenameError::failed(errorText(error));

    // No exclusive rename here (typically an SMB share). A hard link is just as atomic and
    // never replaces; the old name is then removed.
    error = EPERM;
    if (support != Testing::RenameSupport::plainOnly) {
        if (::link(source.constData(), target.constData()) == 0) {
            if (::unlink(source.constData()) != 0)
                throw RenameError::failed(errorText(errno));
            return;
        }
        error = errno;
    }
    if (error == EEXIST)
        throw RenameError::exists();
    if (!linkRefused(error))
        throw RenameError::failed(errorText(error));

    // Last resort, racy by nature: look before a plain rename.
    if (pathExists(target))
        throw RenameError::exists();
    if (::rename(source.constData(), target.constData()) != 0)
        throw RenameError::failed(errorText(errno));
}

QString sha256(const QUrl &url, const std::optional<QString> &name, const Progress &progress)
{
    const QString shownName = name.value_or(CopyPlanner::fileName(url));
    if (const auto file = throughGio(url))
        return Gio::sha256(*file, shownName, progress);
    return hashFile(url, shownName, progress, ChunkBuffers());
}

QString sha256(const QByteArray &data)
{
    Sha256 hash;
    hash.update(data.constData(), data.size());
    return hash.hex();
}

qint64 size(const QUrl &url, const std::optional<QString> &name)
{
    struct stat info;
    if (::stat(nativePath(url).constData(), &info) != 0)
        failIO(name.value_or(CopyPlanner::fileName(url)), "can't see the file (%1)", errno);
    return static_cast<qint64>(info.st_size);
}

QUrl partialURL(const QUrl &destination, const QString &token)
{
    const QString path = destination.isLocalFile() ? destination.toLocalFile() : destination.path();
    return QUrl::fromLocalFile(path + u'.' + token + partialSuffix.toString());
}

QString newToken()
{
    {
        std::lock_guard guard(seamLock);
        if (tokenSource)
            return tokenSource();
    }
    const quint64 random = QRandomGenerator::system()->generate64() >> 16;
    return QString::asprintf("%012llx", static_cast<unsigned long long>(random));
}

namespace Testing {

void setTokenSource(std::function<QString()> source)
{
    std::lock_guard guard(seamLock);
    tokenSource = std::move(source);
}

void setRenameSupport(RenameSupport support)
{
    renameSupport.store(support);
}

void setEverythingIsAShare(bool share)
{
    everythingIsAShare.store(share);
}

} // namespace Testing
} // namespace SafeCopier
} // namespace tessera
