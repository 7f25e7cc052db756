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
//   TESSERA_SMB_LINK=shaped tests/app/smb/run-share-test.sh
//       build/tools/bench/tessera-bench-copy --smb [--rounds N] [--size BYTES]
//
// From the local disk to a real Samba share mounted through GVfs, which the share test's script
// sets up in private namespaces (shaped like a gigabit LAN with TESSERA_SMB_LINK=shaped), one file
// (1 GiB unless --size says otherwise) and a reel of six files of half that size:
// (u) the unverified copy of the same bytes through GIO, as `gio copy` makes it (g_file_copy);
// (o) SafeCopier::copyOverlapped, each chunk read back while the next ones are written; for the
//     reel one file after the other;
// (s) for the file SafeCopier::copy, send() then place();
// (p) for the reel the two phases overlapped: send() of each file while the one before is placed.
// The last line gives the medians and their ratios to (u).

#include "core/copy/MountTable.h"
#include "core/copy/SafeCopier.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <gio/gio.h>
#include <openssl/evp.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
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

QString sourceDigest(const std::string &path)
{
    return SafeCopier::sha256(QUrl::fromLocalFile(QString::fromStdString(path)));
}

// (u): g_file_copy from the local file to the share's daemon, as `gio copy` does.
double gioCopy(const std::string &source, const std::string &target)
{
    dropFromCache(source);
    GFile *from = g_file_new_for_path(source.c_str());
    GFile *to = g_file_new_for_path(target.c_str());
    GError *error = nullptr;
    const double start = now();
    const bool copied = g_file_copy(from, to, G_FILE_COPY_NONE, nullptr, nullptr, nullptr, &error);
    const double seconds = now() - start;
    g_object_unref(from);
    g_object_unref(to);
    if (!copied) {
        const QString why = QString::fromUtf8(error->message);
        g_error_free(error);
        fail(QStringLiteral("g_file_copy to the share failed: ") + why);
    }
    ::unlink(target.c_str());
    return seconds;
}

QUrl url(const std::string &path)
{
    return QUrl::fromLocalFile(QString::fromStdString(path));
}

// Runs a verified copy; checks that every file arrived with its source's digest, then removes
// them.
double verified(const std::vector<std::string> &sources, const std::vector<std::string> &targets,
                const std::vector<QString> &digests,
                const std::function<std::vector<QString>()> &copy)
{
    for (const std::string &source : sources)
        dropFromCache(source);
    const double start = now();
    std::vector<QString> got;
    try {
        got = copy();
    } catch (const CopyError &error) {
        fail(error.description());
    }
    const double seconds = now() - start;
    if (got != digests)
        fail(QStringLiteral("a copy's digest differs from its source's"));
    for (const std::string &target : targets)
        ::unlink(target.c_str());
    return seconds;
}

// The reel in two phases: each file is sent while the one before it is placed.
std::vector<QString> sendWhilePlacing(const std::vector<std::string> &sources,
                                      const std::vector<std::string> &targets)
{
    std::vector<QString> digests;
    std::optional<SafeCopier::Sent> previous;
    for (size_t i = 0; i < sources.size(); ++i) {
        std::future<QString> placing;
        if (previous)
            placing = std::async(std::launch::async,
                                 [sent = *previous] { return SafeCopier::place(sent); });
        std::optional<SafeCopier::Sent> sent;
        try {
            sent = SafeCopier::send(url(sources[i]), url(targets[i]));
        } catch (...) {
            if (placing.valid())
                placing.wait();
            throw;
        }
        if (placing.valid())
            digests.push_back(placing.get());
        previous = sent;
    }
    digests.push_back(SafeCopier::place(*previous));
    return digests;
}

struct Spread
{
    std::vector<double> values;

    double middle() const { return median(values); }
    QString text() const
    {
        const auto [low, high] = std::minmax_element(values.begin(), values.end());
        return QStringLiteral("%1 s (%2-%3)")
            .arg(middle(), 0, 'f', 2)
            .arg(*low, 0, 'f', 2)
            .arg(*high, 0, 'f', 2);
    }
};

// The verified copies beside the unverified one through GIO, on the same share in the same run.
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
    const qint64 movieSize = size / 2;
    const std::vector<std::string> file{local + "/source.mov"};
    const std::vector<std::string> fileCopy{remote + "/copy.mov"};
    std::vector<std::string> reel, reelCopies;
    for (int i = 1; i <= 6; ++i) {
        reel.push_back(local + "/reel-" + std::to_string(i) + ".mov");
        reelCopies.push_back(remote + "/reel-" + std::to_string(i) + ".mov");
    }
    ownFiles = file;
    ownFiles.insert(ownFiles.end(), reel.begin(), reel.end());
    ownFiles.push_back(fileCopy[0]);
    ownFiles.insert(ownFiles.end(), reelCopies.begin(), reelCopies.end());

    char *buffer = alignedBlock();
    const QString link = qEnvironmentVariable("TESSERA_SMB_LINK", QStringLiteral("loopback"));
    const QString rate =
        link == u"shaped" ? u' ' + qEnvironmentVariable("TESSERA_SMB_RATE", QStringLiteral("1gbit"))
                          : QString();
    std::printf("one file of %.2f GiB and a reel of 6 x %.2f GiB of random bytes, from %s to %s "
                "(%s, link %s%s), %d rounds\n",
                size / double(1 << 30), movieSize / double(1 << 30), local.c_str(), remote.c_str(),
                qPrintable(MountTable::fileSystemType(QString::fromStdString(remote))),
                qPrintable(link), qPrintable(rate), rounds);
    writeRandomFile(file[0], size, 42, buffer);
    for (size_t i = 0; i < reel.size(); ++i)
        writeRandomFile(reel[i], movieSize, 100 + i, buffer);
    std::free(buffer);
    const std::vector<QString> fileDigest{sourceDigest(file[0])};
    std::vector<QString> reelDigests;
    for (const std::string &source : reel)
        reelDigests.push_back(sourceDigest(source));

    Spread fileU, fileO, fileS, reelU, reelP, reelO;
    std::printf("%-6s %12s %12s %12s %12s %12s %12s\n", "round", "file (u) s", "file (o) s",
                "file (s) s", "reel (u) s", "reel (p) s", "reel (o) s");
    for (int round = 1; round <= rounds; ++round) {
        fileU.values.push_back(gioCopy(file[0], fileCopy[0]));
        fileO.values.push_back(verified(file, fileCopy, fileDigest, [&] {
            return std::vector<QString>{SafeCopier::copyOverlapped(url(file[0]), url(fileCopy[0]))};
        }));
        fileS.values.push_back(verified(file, fileCopy, fileDigest, [&] {
            return std::vector<QString>{SafeCopier::copy(url(file[0]), url(fileCopy[0]))};
        }));
        double unverifiedReel = 0;
        for (size_t i = 0; i < reel.size(); ++i)
            unverifiedReel += gioCopy(reel[i], reelCopies[i]);
        reelU.values.push_back(unverifiedReel);
        reelP.values.push_back(verified(reel, reelCopies, reelDigests,
                                        [&] { return sendWhilePlacing(reel, reelCopies); }));
        reelO.values.push_back(verified(reel, reelCopies, reelDigests, [&] {
            std::vector<QString> digests;
            for (size_t i = 0; i < reel.size(); ++i)
                digests.push_back(SafeCopier::copyOverlapped(url(reel[i]), url(reelCopies[i])));
            return digests;
        }));
        std::printf("%-6d %12.2f %12.2f %12.2f %12.2f %12.2f %12.2f\n", round, fileU.values.back(),
                    fileO.values.back(), fileS.values.back(), reelU.values.back(),
                    reelP.values.back(), reelO.values.back());
        std::fflush(stdout);
    }
    ::rmdir(remote.c_str());

    const auto ratio = [](const Spread &verified, const Spread &unverified) {
        return verified.middle() / unverified.middle();
    };
    std::printf("medians (lowest-highest): file (u) %s, (o) %s, (s) %s\n", qPrintable(fileU.text()),
                qPrintable(fileO.text()), qPrintable(fileS.text()));
    std::printf("                          reel (u) %s, (p) %s, (o) %s\n", qPrintable(reelU.text()),
                qPrintable(reelP.text()), qPrintable(reelO.text()));
    std::printf("(u) rate: %.0f MB/s\n",
                (size + 6 * movieSize) / (fileU.middle() + reelU.middle()) / 1e6);
    std::printf("targets: file (o)/(u) <= 1.15 %s; reel (p)/(u) <= 1.15 %s, (o)/(u) <= 1.15 %s\n",
                ratio(fileO, fileU) <= 1.15 ? "met" : "MISSED",
                ratio(reelP, reelU) <= 1.15 ? "met" : "MISSED",
                ratio(reelO, reelU) <= 1.15 ? "met" : "MISSED");
    std::printf(
        "medians: file (u) %.2f s (o) %.2f s (s) %.2f s, reel (u) %.2f s (p) %.2f s (o) %.2f "
        "s; to (u): file (o) %.2f (s) %.2f, reel (p) %.2f (o) %.2f\n",
        fileU.middle(), fileO.middle(), fileS.middle(), reelU.middle(), reelP.middle(),
        reelO.middle(), ratio(fileO, fileU), ratio(fileS, fileU), ratio(reelP, reelU),
        ratio(reelO, reelU));
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
    if (onShare)
        return benchShare(chosenSize.value_or(qint64(1) << 30), rounds);
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
