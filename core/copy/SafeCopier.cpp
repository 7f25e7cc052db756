#include "core/copy/SafeCopier.h"

#include "core/copy/CopyPlanner.h"
#include "core/copy/MountTable.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <openssl/evp.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <memory>
#include <mutex>
#include <new>
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
    }
    return {};
}

namespace SafeCopier {

QString RenameError::description() const
{
    return kind == Kind::exists ? QStringLiteral("a file with that name already exists") : text;
}

namespace {

std::mutex seamLock;
std::function<QString()> tokenSource;
std::atomic<Testing::RenameSupport> renameSupport{Testing::RenameSupport::exclusive};
std::atomic<bool> everythingIsAShare{false};

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

[[noreturn]] void failIO(const QString &name, const char *step, int error)
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

// Closes a descriptor on every path unless it was handed on with release().
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Opens a file to read it. O_NONBLOCK keeps a named pipe or device from holding the open
// forever; anything but a regular file is refused.
int openForReading(const QUrl &url, const QString &shownName, const char *step, int flags = 0)
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

// What tells one state of a file's contents from another, as far as the system records it.
struct Version
{
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;

    friend bool operator==(const Version &a, const Version &b)
    {
        return a.device == b.device && a.inode == b.inode && a.size == b.size &&
               a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
    }
};

Version versionOf(const struct stat &info)
{
    return Version{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

std::optional<Version> versionOf(int fd)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return std::nullopt;
    return versionOf(info);
}

class Sha256
{
public:
    Sha256()
        : context_(EVP_MD_CTX_new())
    {
        if (!context_ || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1)
            throw std::bad_alloc();
    }
    ~Sha256() { EVP_MD_CTX_free(context_); }
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void update(const char *data, qint64 length)
    {
        if (length > 0)
            EVP_DigestUpdate(context_, data, static_cast<size_t>(length));
    }
    QString hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context_, digest, &length);
        return QString::fromLatin1(
            QByteArray(reinterpret_cast<const char *>(digest), static_cast<qsizetype>(length))
                .toHex());
    }

private:
    EVP_MD_CTX *context_;
};

// Asks for the next chunk while this one is hashed and written, so that the disk or the server
// keeps working; plain read-ahead alone covers only a fraction of a chunk.
void readAhead(int fd, qint64 offset)
{
    ::posix_fadvise(fd, offset, chunk, POSIX_FADV_WILLNEED);
}

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
    // after a plain 8 MiB write), so the per-chunk write-back calls would only cost time.
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

// The two chunk buffers of one operation: while one is written or read, the other is hashed.
// Aligned for O_DIRECT.
class Buffers
{
public:
    Buffers()
    {
        for (char *&buffer : buffers_) {
            void *memory = nullptr;
            if (::posix_memalign(&memory, 4096, chunk) != 0)
                throw std::bad_alloc();
            buffer = static_cast<char *>(memory);
        }
    }
    ~Buffers()
    {
        for (char *buffer : buffers_)
            std::free(buffer);
    }
    Buffers(const Buffers &) = delete;
    Buffers &operator=(const Buffers &) = delete;
    char *operator[](int index) const { return buffers_[index]; }

private:
    std::array<char *, 2> buffers_{};
};

ssize_t readSome(int fd, char *buffer, qint64 length)
{
    ssize_t count;
    do {
        count = ::read(fd, buffer, static_cast<size_t>(length));
    } while (count < 0 && errno == EINTR);
    return count;
}

// Reads until `length` bytes or the end of the file; returns the count or minus the error number.
// A short count therefore always means the end.
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

// Writes everything, continuing after short writes; returns 0 or the error number.
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
                   const Buffers &buffers)
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
                 const Buffers &buffers)
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
    ::posix_fadvise(input, 0, 0, POSIX_FADV_SEQUENTIAL);
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
                   const Buffers &buffers, bool settleChunks)
{
    Sha256 hash;
    ::posix_fadvise(input, 0, 0, POSIX_FADV_SEQUENTIAL);
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

QString writePartial(int input, Descriptor &output, const QString &name, const Progress &progress,
                     const Buffers &buffers, Strategy strategy)
{
    if (strategy == Strategy::local)
        return writeLocal(input, output, name, progress, buffers[0]);
    return writeShare(input, output, name, progress, buffers, strategy == Strategy::kernelShare);
}

// Removes our own partial file after a failure and turns rename failures into copy errors.
[[noreturn]] void abandon(const Partial &partial, Descriptor &output, const QString &name)
{
    // Closed first: a share may refuse to remove a file that is still open.
    if (output.get() >= 0)
        ::close(output.release());
    // A share may refuse for a moment to remove a file its server still holds open.
    for (int attempt = 0;
         ::unlink(partial.path.constData()) != 0 && errno != ENOENT && attempt < 10; ++attempt)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    try {
        throw;
    } catch (const RenameError &error) {
        if (error.kind == RenameError::Kind::exists)
            throw CopyError::appeared(name);
        throw CopyError::io(name, error.text);
    }
}

struct Placement
{
    // Writes the partial file, fsyncs and closes it; returns the digest of what was sent.
    std::function<QString(Descriptor &, const Buffers &, Strategy)> fill;
    // The size the partial file must have, asked for once it is written.
    std::function<qint64()> expectedSize;
    Progress checking;
};

// Fills a fresh partial file next to `to`, checks its size and its read-back digest, and gives it
// the final name without replacing anything. Every failure removes the partial file.
QString place(const QUrl &to, const QString &name, const Placement &placement)
{
    const Partial partial = createPartial(to, name);
    Descriptor output(partial.fd);
    // The buffers of this placement, for the copy and for the read-back.
    const Buffers buffers;
    try {
        const QString digest = placement.fill(output, buffers, strategyFor(partial.path));
        const qint64 expected = placement.expectedSize();
        if (size(partial.url, name) != expected)
            throw CopyError::sizeMismatch(name);
        if (hashFile(partial.url, name, placement.checking, buffers) != digest)
            throw CopyError::hashMismatch(name);
        renameNoReplace(partial.url, to);
        return digest;
    } catch (...) {
        abandon(partial, output, name);
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
    const QString name = CopyPlanner::fileName(to);
    if (pathExists(nativePath(to)))
        throw CopyError::appeared(name);
    Descriptor input(openForReading(from, name, "can't open the original (%1)"));
    const std::optional<Version> before = versionOf(input.get());
    return place(to, name,
                 {[&](Descriptor &output, const Buffers &buffers, Strategy strategy) {
                      return writePartial(input.get(), output, name, progress, buffers, strategy);
                  },
                  [&] {
                      // An export written over the movie while it was read leaves a copy that
                      // is neither the old movie nor the new one; one saved through a rename
                      // leaves it whole but no longer what the editor has.
                      struct stat named;
                      if (::stat(nativePath(from).constData(), &named) != 0)
                          failIO(name, "can't see the file (%1)", errno);
                      if (!before || versionOf(input.get()) != before || versionOf(named) != before)
                          throw CopyError::io(name, QStringLiteral("the original changed while it "
                                                                   "was being copied"));
                      return before->size;
                  },
                  checking});
}

QString write(const QByteArray &data, const QUrl &to)
{
    const QString name = CopyPlanner::fileName(to);
    if (pathExists(nativePath(to)))
        throw CopyError::appeared(name);
    const QString digest = sha256(data);
    return place(to, name,
                 {[&](Descriptor &output, const Buffers &, Strategy) {
                      if (const int error = writeAll(output.get(), data.constData(), data.size()))
                          failIO(name, "the NAS stopped taking data (%1)", error);
                      finishPartial(output, name);
                      return digest;
                  },
                  [&] { return static_cast<qint64>(data.size()); },
                  {}});
}

void renameNoReplace(const QUrl &from, const QUrl &to)
{
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
    return hashFile(url, name.value_or(CopyPlanner::fileName(url)), progress, Buffers());
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
