// Measures the safe copier on a large file of random bytes on the local disk, beside what the disk
// itself can do and what a plain shell job with the same verification takes.
//
//   tessera-bench-copy [--folder DIR] [--rounds N] [--size BYTES]
//
// (a) the disk's limit: write the file with fsync, read it back with O_DIRECT;
// (b) cp, sync, drop both files from the page cache, sha256sum of copy and original, mv -n;
// (c) SafeCopier::copy;
// (d) OpenSSL SHA-256 on 8 MiB blocks in memory.
// The last line gives the medians of (a), (b), (c) in seconds and the ratios (c)/(b), (c)/(a).
//
//   tests/app/smb/run-share-test.sh build/tools/bench/tessera-bench-copy --smb [--rounds N]
//       [--size BYTES]
//
// The same file copied from the local disk to a real Samba share mounted through GVfs, which the
// share test's script sets up in private namespaces:
// (a) the mount's own best: 8 MiB writes with fsync, then O_DIRECT reads;
// (b) smbclient put, then get, of the source file, straight over SMB;
// (c) SafeCopier::copy onto the mount.
// The last line gives the medians and the ratios (c)/(a), (c)/(b).

#include "core/copy/MountTable.h"
#include "core/copy/SafeCopier.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <optional>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

using namespace tessera;

namespace {

constexpr qint64 block = SafeCopier::chunk;

// The files this run makes; removed on exit and on Ctrl-C, whatever happens.
std::vector<std::string> ownFiles;
std::string ownFolder;

void removeOwnFiles()
{
    for (const std::string &path : ownFiles)
        ::unlink(path.c_str());
    if (!ownFolder.empty())
        ::rmdir(ownFolder.c_str());
}

void onSignal(int)
{
    removeOwnFiles();
    ::_exit(130);
}

[[noreturn]] void die(const std::string &what)
{
    std::fprintf(stderr, "tessera-bench-copy: %s: %s\n", what.c_str(), std::strerror(errno));
    removeOwnFiles();
    std::exit(1);
}

double now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// xorshift64*: fast enough that making 2 GiB of random bytes does not dominate the run.
void fillRandom(char *buffer, qint64 size, quint64 &state)
{
    auto *words = reinterpret_cast<quint64 *>(buffer);
    for (qint64 i = 0; i < size / 8; ++i) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        words[i] = state * 2685821657736338717ULL;
    }
}

char *alignedBlock()
{
    void *memory = nullptr;
    if (::posix_memalign(&memory, 4096, block) != 0)
        die("out of memory");
    std::memset(memory, 0, block);
    return static_cast<char *>(memory);
}

void writeAll(int fd, const char *data, qint64 size, const std::string &path)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            die("writing " + path);
        }
        data += n;
        size -= n;
    }
}

// Writes `size` random bytes to `path` with fsync.
void writeRandomFile(const std::string &path, qint64 size, quint64 seed, char *buffer)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        die("creating " + path);
    for (qint64 done = 0; done < size; done += block) {
        const qint64 n = std::min(block, size - done);
        fillRandom(buffer, n, seed);
        writeAll(fd, buffer, n, path);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0)
        die("syncing " + path);
}

void dropFromCache(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        die("opening " + path);
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// (a): what the disk does with nothing else in the way. The block is made random beforehand and
// only stamped with its number, so no time goes into making bytes.
double diskLimit(const std::string &path, qint64 size, char *buffer)
{
    quint64 seed = 7;
    fillRandom(buffer, block, seed);
    const double start = now();
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            die("creating " + path);
        for (qint64 done = 0; done < size; done += block) {
            std::memcpy(buffer, &done, sizeof done);
            writeAll(fd, buffer, std::min(block, size - done), path);
        }
        if (::fsync(fd) != 0 || ::close(fd) != 0)
            die("syncing " + path);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC);
    if (fd < 0)
        die("opening " + path + " with O_DIRECT");
    for (;;) {
        const ssize_t n = ::read(fd, buffer, block);
        if (n < 0)
            die("reading " + path + " with O_DIRECT");
        if (n == 0)
            break;
    }
    ::close(fd);
    const double seconds = now() - start;
    ::unlink(path.c_str());
    return seconds;
}

// (b): the shell job an operator would write for the same guarantees.
double shellJob(const std::string &source, const std::string &destination)
{
    const std::string partial = destination + ".partial";
    const std::string script = "set -e; cp '" + source + "' '" + partial + "'; sync; " + "dd if='" +
                               source + "' iflag=nocache count=0 status=none; " + "dd if='" +
                               partial + "' iflag=nocache count=0 status=none; " +
                               "a=$(sha256sum < '" + partial + "'); b=$(sha256sum < '" + source +
                               "'); " + "[ \"$a\" = \"$b\" ]; mv -n '" + partial + "' '" +
                               destination + "'";
    const double start = now();
    const int status = std::system(script.c_str());
    const double seconds = now() - start;
    ::unlink(partial.c_str());
    if (status != 0) {
        std::fprintf(stderr, "tessera-bench-copy: the shell job failed (status %d)\n", status);
        removeOwnFiles();
        std::exit(1);
    }
    ::unlink(destination.c_str());
    return seconds;
}

qint64 statusField(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return -1;
}

double residentShare(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        die("opening " + path);
    struct stat info;
    ::fstat(fd, &info);
    const size_t length = static_cast<size_t>(info.st_size);
    void *map = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED)
        die("mapping " + path);
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> pages((length + page - 1) / page);
    if (::mincore(map, length, pages.data()) != 0)
        die("mincore");
    ::munmap(map, length);
    const auto resident =
        std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return p & 1; });
    return pages.empty() ? 0.0 : static_cast<double>(resident) / pages.size();
}

struct CopyRound
{
    double seconds;
    double resident;
    qint64 memoryGrowth;
};

// (c): the safe copier, with the page cache share of its result and its peak memory growth.
CopyRound safeCopy(const std::string &source, const std::string &destination)
{
    // Writing 5 resets the peak resident size, so the peak below is this copy's own.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    const qint64 before = statusField("VmRSS");
    const double start = now();
    try {
        SafeCopier::copy(QUrl::fromLocalFile(QString::fromStdString(source)),
                         QUrl::fromLocalFile(QString::fromStdString(destination)));
    } catch (const CopyError &error) {
        std::fprintf(stderr, "tessera-bench-copy: %s\n", qPrintable(error.description()));
        removeOwnFiles();
        std::exit(1);
    }
    const double seconds = now() - start;
    const qint64 peak = statusField("VmHWM");
    const double resident = residentShare(destination);
    ::unlink(destination.c_str());
    return {seconds, resident, peak - before};
}

// (d): SHA-256 in memory, as seconds for `size` bytes.
double hashInMemory(qint64 size, char *buffer)
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    const double start = now();
    for (qint64 done = 0; done < size; done += block)
        EVP_DigestUpdate(context, buffer, static_cast<size_t>(std::min(block, size - done)));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    return now() - start;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "tessera-bench-copy: %s\n", qPrintable(what));
    removeOwnFiles();
    std::exit(1);
}

QString requiredEnvironment(const char *name)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        fail(QStringLiteral("%1 is not set: run --smb through tests/app/smb/run-share-test.sh")
                 .arg(QString::fromLatin1(name)));
    return value;
}

// Runs a program to its end; returns its seconds, or stops the bench when it fails.
double timedRun(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    const double start = now();
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        fail(QStringLiteral("%1 failed: %2")
                 .arg(program, QString::fromLocal8Bit(process.readAll()).trimmed()));
    return now() - start;
}

struct Share
{
    QString host;
    QString name;
    // The share's folder in the GVfs FUSE mount.
    QString mounted;
};

// Mounts the guest share through GVfs as an editor's file manager would, unless it is mounted.
Share mountGuestShare()
{
    Share share{requiredEnvironment("TESSERA_SMB_HOST"),
                requiredEnvironment("TESSERA_SMB_GUEST_SHARE"),
                {}};
    QUrl url;
    url.setScheme(QStringLiteral("smb"));
    url.setHost(share.host);
    url.setPath(u'/' + share.name);
    QList<QUrl> points = MountTable::mountPoints(share.host, share.name, MountTable::current());
    if (points.isEmpty()) {
        timedRun(QStringLiteral("gio"),
                 {QStringLiteral("mount"), QStringLiteral("-a"), url.toString(QUrl::FullyEncoded)});
        points = MountTable::mountPoints(share.host, share.name, MountTable::current());
    }
    if (points.isEmpty())
        fail(QStringLiteral("the share does not show in the mount table after mounting"));
    share.mounted = QDir::cleanPath(points.first().toLocalFile());
    return share;
}

// The copier on the GVfs mount beside the mount's own best and smbclient.
int benchShare(qint64 size, int rounds)
{
    const Share share = mountGuestShare();
    const std::string name = "tessera-bench-copy-" + std::to_string(::getpid());
    const std::string local = "/var/tmp/" + name;
    const std::string remote = share.mounted.toStdString() + '/' + name;
    if (::mkdir(local.c_str(), 0755) != 0)
        die("making " + local);
    ownFolder = local;
    if (::mkdir(remote.c_str(), 0755) != 0)
        die("making " + remote);
    const std::string source = local + "/source.mov";
    const std::string fetched = local + "/fetched.mov";
    const std::string copied = remote + "/copy.mov";
    const std::string mountFile = remote + "/mount.bin";
    const std::string putFile = remote + "/put.mov";
    ownFiles = {source, fetched, copied, mountFile, putFile};
    const QString onShare = QString::fromStdString(name + "/put.mov");
    const QString service = QStringLiteral("//%1/%2").arg(share.host, share.name);

    char *buffer = alignedBlock();
    std::printf("file: %.2f GiB of random bytes from %s to %s (%s), %d rounds\n",
                size / double(1 << 30), local.c_str(), remote.c_str(),
                qPrintable(MountTable::fileSystemType(QString::fromStdString(remote))), rounds);
    writeRandomFile(source, size, 42, buffer);

    std::vector<double> best, put, get, copier;
    double worstResident = 0;
    std::printf("%-6s %14s %12s %12s %12s %10s\n", "round", "(a) mount s", "(b) put s", "(b) get s",
                "(c) copy s", "resident");
    for (int round = 1; round <= rounds; ++round) {
        best.push_back(diskLimit(mountFile, size, buffer));
        dropFromCache(source);
        put.push_back(timedRun(
            QStringLiteral("smbclient"),
            {QStringLiteral("-N"), service, QStringLiteral("-c"),
             QStringLiteral("put %1 \"%2\"").arg(QString::fromStdString(source), onShare)}));
        get.push_back(timedRun(
            QStringLiteral("smbclient"),
            {QStringLiteral("-N"), service, QStringLiteral("-c"),
             QStringLiteral("get \"%1\" %2").arg(onShare, QString::fromStdString(fetched))}));
        ::unlink(fetched.c_str());
        ::unlink(putFile.c_str());
        dropFromCache(source);
        const CopyRound c = safeCopy(source, copied);
        copier.push_back(c.seconds);
        worstResident = std::max(worstResident, c.resident);
        std::printf("%-6d %14.2f %12.2f %12.2f %12.2f %9.1f%%\n", round, best.back(), put.back(),
                    get.back(), copier.back(), 100 * c.resident);
        std::fflush(stdout);
    }
    std::free(buffer);
    ::rmdir(remote.c_str());

    std::vector<double> smbclient;
    for (size_t i = 0; i < put.size(); ++i)
        smbclient.push_back(put[i] + get[i]);
    const double a = median(best), b = median(smbclient), c = median(copier);
    std::printf("(c) copy rate: %.2f GB/s of file; destination resident after copy: at most "
                "%.1f%%\n",
                size / c / 1e9, 100 * worstResident);
    std::printf("targets: (c)/(a) <= 1.3 %s, (c)/(b) <= 2 %s\n", c / a <= 1.3 ? "met" : "MISSED",
                c / b <= 2 ? "met" : "MISSED");
    std::printf("medians: (a) %.2f s  (b) %.2f s (put %.2f + get %.2f)  (c) %.2f s  (c)/(a) %.2f  "
                "(c)/(b) %.2f\n",
                a, b, median(put), median(get), c, c / a, c / b);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::string folder = "/var/tmp/tessera-bench-copy-" + std::to_string(::getpid());
    int rounds = 3;
    std::optional<qint64> chosenSize;
    bool onShare = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--smb")
            onShare = true;
        else if (arg == "--folder" && i + 1 < argc)
            folder = std::string(argv[++i]) + "/tessera-bench-copy-" + std::to_string(::getpid());
        else if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--size" && i + 1 < argc)
            chosenSize = std::max<qint64>(block, std::atoll(argv[++i]));
        else {
            std::fprintf(stderr, "usage: tessera-bench-copy [--folder DIR | --smb] [--rounds N] "
                                 "[--size BYTES]\n");
            return 2;
        }
    }
    std::atexit(removeOwnFiles);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    // Loopback SMB through three daemons is slower than a disk: a smaller file by default.
    if (onShare)
        return benchShare(chosenSize.value_or(qint64(512) << 20), rounds);
    const qint64 size = chosenSize.value_or(qint64(2) << 30);

    if (::mkdir(folder.c_str(), 0755) != 0)
        die("making " + folder);
    ownFolder = folder;
    const std::string source = folder + "/source.mov";
    const std::string destination = folder + "/copy.mov";
    const std::string diskFile = folder + "/disk.bin";
    ownFiles = {source, destination, destination + ".partial", diskFile};

    struct statfs fs;
    if (::statfs(folder.c_str(), &fs) == 0 && fs.f_type == TMPFS_MAGIC) {
        std::fprintf(stderr,
                     "tessera-bench-copy: %s is on tmpfs; pick a folder on a disk with "
                     "--folder\n",
                     folder.c_str());
        return 1;
    }

    char *buffer = alignedBlock();
    std::printf("file: %.2f GiB of random bytes in %s, %d rounds\n", size / double(1 << 30),
                folder.c_str(), rounds);
    writeRandomFile(source, size, 42, buffer);
    dropFromCache(source);

    std::vector<double> disk, shell, copier, hashing;
    std::vector<double> residents;
    qint64 worstGrowth = 0;
    std::printf("%-6s %12s %12s %12s %12s %10s %12s\n", "round", "(a) disk s", "(b) shell s",
                "(c) copy s", "(d) sha s", "resident", "peak +MiB");
    for (int round = 1; round <= rounds; ++round) {
        disk.push_back(diskLimit(diskFile, size, buffer));
        dropFromCache(source);
        shell.push_back(shellJob(source, destination));
        dropFromCache(source);
        const CopyRound c = safeCopy(source, destination);
        copier.push_back(c.seconds);
        residents.push_back(c.resident);
        worstGrowth = std::max(worstGrowth, c.memoryGrowth);
        hashing.push_back(hashInMemory(size, buffer));
        std::printf("%-6d %12.2f %12.2f %12.2f %12.2f %9.1f%% %12.1f\n", round, disk.back(),
                    shell.back(), copier.back(), hashing.back(), 100 * c.resident,
                    c.memoryGrowth / double(1 << 20));
        std::fflush(stdout);
    }
    std::free(buffer);

    const double a = median(disk), b = median(shell), c = median(copier), d = median(hashing);
    const double worstResident = *std::max_element(residents.begin(), residents.end());
    std::printf("(d) SHA-256 in memory: %.2f GB/s\n", size / d / 1e9);
    std::printf("(c) copy rate: %.2f GB/s of file; destination resident after copy: at most "
                "%.1f%% (target <= 5%%); peak memory growth: %.1f MiB (target <= 32 MiB)\n",
                size / c / 1e9, 100 * worstResident, worstGrowth / double(1 << 20));
    std::printf("targets: (c)/(b) <= 0.6 %s, (c)/(a) <= 1.35 %s, resident %s, memory %s\n",
                c / b <= 0.6 ? "met" : "MISSED", c / a <= 1.35 ? "met" : "MISSED",
                worstResident <= 0.05 ? "met" : "MISSED",
                worstGrowth <= qint64(32) << 20 ? "met" : "MISSED");
    std::printf("medians: (a) %.2f s  (b) %.2f s  (c) %.2f s  (c)/(b) %.2f  (c)/(a) %.2f\n", a, b,
                c, c / b, c / a);
    return 0;
}
