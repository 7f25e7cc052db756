#include "core/copy/SafeCopier.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

using namespace tessera;

namespace {

QUrl file(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

QByteArray randomBytes(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(generator.generate() & 0xff);
    return bytes;
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(bytes), bytes.size());
}

QByteArray contents(const QString &path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return in.readAll();
}

// Every entry of a folder, hidden ones included, sorted by name.
QStringList listing(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QString partialIn(const QString &folder)
{
    const QStringList partials = QDir(folder).entryList({QStringLiteral("*.partial")}, QDir::Files);
    return partials.size() == 1 ? folder + u'/' + partials.first() : QString();
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// Pages of the file that the page cache holds.
qint64 residentPages(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return -1;
    const off_t length = ::lseek(fd, 0, SEEK_END);
    void *map = ::mmap(nullptr, static_cast<size_t>(length), PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED)
        return -1;
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> resident((length + page - 1) / page);
    qint64 count = -1;
    if (::mincore(map, static_cast<size_t>(length), resident.data()) == 0) {
        count = 0;
        for (unsigned char flags : resident)
            count += flags & 1;
    }
    ::munmap(map, static_cast<size_t>(length));
    return count;
}

bool onTmpfs(const QString &path)
{
    struct statfs info;
    return ::statfs(QFile::encodeName(path).constData(), &info) == 0 && info.f_type == TMPFS_MAGIC;
}

// A source folder and a separate day folder, so that listings show only what the copier left.
struct Folders
{
    QTemporaryDir root;
    QString source() const { return root.path() + QStringLiteral("/source"); }
    QString day() const { return root.path() + QStringLiteral("/day"); }
    Folders()
    {
        QDir().mkpath(source());
        QDir().mkpath(day());
    }
};

} // namespace

class SafeCopierTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        SafeCopier::Testing::setTokenSource({});
        SafeCopier::Testing::setRenameSupport(SafeCopier::Testing::RenameSupport::exclusive);
    }

    void copyPlacesVerifiedBytesUnderTheFinalNameOnly()
    {
        Folders folders;
        const qint64 size = 2 * SafeCopier::chunk + 3;
        const QByteArray bytes = randomBytes(size);
        put(folders.source() + QStringLiteral("/Floor Export.mov"), bytes);
        const QUrl destination = file(folders.day() + QStringLiteral("/A.mov"));

        QList<qint64> copied, checked;
        const QString digest = SafeCopier::copy(
            file(folders.source() + QStringLiteral("/Floor Export.mov")), destination,
            [&](qint64 n) { return copied.append(n), true; },
            [&](qint64 n) { return checked.append(n), true; });

        // The copy and its read-back leave nothing of the destination in the page cache (tmpfs
        // keeps every page in memory by nature).
        if (!onTmpfs(folders.day()))
            QCOMPARE(residentPages(destination.toLocalFile()), 0);
        QCOMPARE(digest, hex(bytes));
        QCOMPARE(SafeCopier::sha256(destination), digest);
        const QList<qint64> steps{SafeCopier::chunk, 2 * SafeCopier::chunk, size};
        QCOMPARE(copied, steps);
        QCOMPARE(checked, steps);
        QCOMPARE(listing(folders.day()), QStringList{QStringLiteral("A.mov")});
        QCOMPARE(contents(destination.toLocalFile()), bytes);
        QCOMPARE(QFile::permissions(destination.toLocalFile()) & 0x7777,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                     QFile::ReadGroup | QFile::ReadOther);
    }

    void zeroByteFileIsPlacedWithoutProgress()
    {
        Folders folders;
        put(folders.source() + QStringLiteral("/empty.mov"), {});
        int reports = 0;
        const QString digest = SafeCopier::copy(
            file(folders.source() + QStringLiteral("/empty.mov")),
            file(folders.day() + QStringLiteral("/E.mov")), [&](qint64) { return ++reports, true; },
            [&](qint64) { return ++reports, true; });
        QCOMPARE(digest, QStringLiteral(
                             "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
        QCOMPARE(reports, 0);
        QCOMPARE(listing(folders.day()), QStringList{QStringLiteral("E.mov")});
        QCOMPARE(QFileInfo(folders.day() + QStringLiteral("/E.mov")).size(), 0);
    }

    void writePlacesBytesWithTheSameChecks()
    {
        Folders folders;
        const QByteArray edl("TITLE: Halcyon\r\n* FROM CLIP NAME: A.mov  \r\n");
        const QUrl destination = file(folders.day() + QStringLiteral("/Halcyon_v2412051430.edl"));
        QCOMPARE(SafeCopier::write(edl, destination), hex(edl));
        QCOMPARE(contents(destination.toLocalFile()), edl);
        QCOMPARE(listing(folders.day()), QStringList{QStringLiteral("Halcyon_v2412051430.edl")});

        // Never over an existing file.
        try {
            SafeCopier::write(QByteArray("other"), destination);
            QFAIL("write must not replace a file");
        } catch (const CopyError &error) {
            QCOMPARE(error, CopyError::appeared(QStringLiteral("Halcyon_v2412051430.edl")));
        }
        QCOMPARE(contents(destination.toLocalFile()), edl);
        QCOMPARE(listing(folders.day()), QStringList{QStringLiteral("Halcyon_v2412051430.edl")});
    }

    void existingDestinationIsNeverTouched()
    {
        Folders folders;
        put(folders.source() + QStringLiteral("/mine.mov"), randomBytes(1000));
        put(folders.day() + QStringLiteral("/A.mov"), QByteArray("theirs"));
        try {
            SafeCopier::copy(file(folders.source() + QStringLiteral("/mine.mov")),
                             file(folders.day() + QStringLiteral("/A.mov")));
            QFAIL("copy must not replace a file");
        } catch (const CopyError &error) {
            QCOMPARE(error, CopyError::appeared(QStringLiteral("A.mov")));
            QCOMPARE(error.description(),
                     QStringLiteral("Another file called A.mov appeared in the drop folder while "
                                    "copying. Nothing was overwritten."));
        }
        QCOMPARE(listing(folders.day()), QStringList{QStringLiteral("A.mov")});
        QCOMPARE(contents(folders.day() + QStringLiteral("/A.mov")), QByteArray("theirs"));
    }

    void destinationAppearingDuringTheCopyIsKept_data()
    {
        QTest::addColumn<SafeCopier::Testing::RenameSupport>("support");
        QTest::newRow("exclusive rename") << SafeCopier::Testing::RenameSupport::exclusive;
        QTest::newRow("hard link") << SafeCopier::Testing::RenameSupport::linkOnly;
        QTest::newRow("look, then rename") << SafeCopier::Testing::RenameSupport::plainOnly;
    }

    void destinationAppearingDuringTheCopyIsKept()
    {
        QFETCH(SafeCopier::Testing::RenameSupport, support);
        SafeCopier::Testing::setRenameSupport(support);
        Folders folders;
        const QByteArray bytes = randomBytes(SafeCopier::chunk + 10);
        put(folders.source() + QStringLiteral("/mine.mov"), bytes);
        const QString destination = folders.day() + QStringLiteral("/A.mov");
        try {
            SafeCopier::copy(file(folders.source() + QStringLiteral("/mine.mov")),
                             file(destination), [&](qint64) {
                                 if (!QFile::exists(destination))
                                     put(destination, QByteArray("theirs"));
                                 return true;
                             });
            QFAIL("copy must not replace a file that appeared meanwhile");
        } catch (const CopyError &error) {
            QCOMPARE(error, CopyError::appeared(QStringLiteral("A.mov")));
        }
        QCOMPARE(listing(folders.day()), QStringList{QStringLiteral("A.mov")});
        QCOMPARE(contents(destination), QByteArray("theirs"));

        // A free name is taken the same way.
        QCOMPARE(SafeCopier::copy(file(folders.source() + QStringLiteral("/mine.mov")),
                                  file(folders.day() + QStringLiteral("/B.mov"))),
                 hex(bytes));
        QCOMPARE(listing(folders.day()),
                 (QStringList{QStringLiteral("A.mov"), QStringLiteral("B.mov")}));
        QCOMPARE(contents(folders.day() + QStringLiteral("/B.mov")), bytes);
    }

    void renameNoReplaceRefusesToReplace_data() { destinationAppearingDuringTheCopyIsKept_data(); }

    void renameNoReplaceRefusesToReplace()
    {
        QFETCH(SafeCopier::Testing::RenameSupport, support);
        SafeCopier::Testing::setRenameSupport(support);
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a")), b = dir.filePath(QStringLiteral("b"));
        put(a, QByteArray("A"));
        put(b, QByteArray("B"));
        try {
            SafeCopier::renameNoReplace(file(a), file(b));
            QFAIL("rename must not replace");
        } catch (const SafeCopier::RenameError &error) {
            QCOMPARE(error, SafeCopier::RenameError::exists());
            QCOMPARE(error.description(), QStringLiteral("a file with that name already exists"));
        }
        QCOMPARE(contents(a), QByteArray("A"));
        QCOMPARE(contents(b), QByteArray("B"));

        SafeCopier::renameNoReplace(file(a), file(dir.filePath(QStringLiteral("c"))));
        QCOMPARE(listing(dir.path()), (QStringList{QStringLiteral("b"), QStringLiteral("c")}));
        QCOMPARE(contents(dir.filePath(QStringLiteral("c"))), QByteArray("A"));

        try {
            SafeCopier::renameNoReplace(file(a), file(dir.filePath(QStringLiteral("d"))));
            QFAIL("renaming a missing file must fail");
        } catch (const SafeCopier::RenameError &error) {
            QCOMPARE(error.kind, SafeCopier::RenameError::Kind::failed);
            QCOMPARE(error.description(), QString::fromLocal8Bit(std::strerror(ENOENT)));
        }
    }

    void partialNameCollisionsAreRetriedUpToFiveTimes()
    {
        Folders folders;
        put(folders.source() + QStringLiteral("/mine.mov"), QByteArray("mine"));
        const QUrl destination = file(folders.day() + QStringLiteral("/A.mov"));
        QCOMPARE(SafeCopier::partialURL(destination, QStringLiteral("0a1b2c3d4e5f")).toLocalFile(),
                 folders.day() + QStringLiteral("/A.mov.0a1b2c3d4e5f.partial"));
        static const QRegularExpression token(QStringLiteral("^[0-9a-f]{12}$"));
        QVERIFY(token.match(SafeCopier::newToken()).hasMatch());
        QVERIFY(SafeCopier::newToken() != SafeCopier::newToken());

        // Someone else's partial files hold the first four names.
        QStringList foreign;
        for (int i = 1; i <= 4; ++i) {
            foreign.append(QStringLiteral("A.mov.00000000000%1.partial").arg(i));
            put(folders.day() + u'/' + foreign.last(), QByteArray("not ours"));
        }
        int next = 0;
        SafeCopier::Testing::setTokenSource(
            [&] { return QStringLiteral("00000000000%1").arg(++next); });
        QCOMPARE(
            SafeCopier::copy(file(folders.source() + QStringLiteral("/mine.mov")), destination),
            hex("mine"));
        QCOMPARE(next, 5);
        QCOMPARE(listing(folders.day()), QStringList{QStringLiteral("A.mov")} + foreign);
        for (const QString &name : foreign)
            QCOMPARE(contents(folders.day() + u'/' + name), QByteArray("not ours"));

        // With all five names taken the copy gives up and touches nothing.
        QStringList taken;
        for (int i = 1; i <= 5; ++i) {
            taken.append(QStringLiteral("B.mov.00000000000%1.partial").arg(i));
            put(folders.day() + u'/' + taken.last(), QByteArray("not ours"));
        }
        next = 0;
        try {
            SafeCopier::copy(file(folders.source() + QStringLiteral("/mine.mov")),
                             file(folders.day() + QStringLiteral("/B.mov")));
            QFAIL("five collisions must stop the copy");
        } catch (const CopyError &error) {
            QCOMPARE(error, CopyError::io(QStringLiteral("B.mov"),
                                          QStringLiteral("can't write to the drop folder (%1)")
                                              .arg(QString::fromLocal8Bit(std::strerror(EEXIST)))));
        }
        QCOMPARE(next, 5);
        QCOMPARE(listing(folders.day()), QStringList{QStringLiteral("A.mov")} + foreign + taken);
        for (const QString &name : taken)
            QCOMPARE(contents(folders.day() + u'/' + name), QByteArray("not ours"));
    }

    void cancellingLeavesNoPartialFile()
    {
        Folders folders;
        put(folders.source() + QStringLiteral("/mine.mov"), randomBytes(3 * SafeCopier::chunk));
        const QUrl source = file(folders.source() + QStringLiteral("/mine.mov"));
        const QUrl destination = file(folders.day() + QStringLiteral("/A.mov"));

        int calls = 0;
        try {
            SafeCopier::copy(source, destination, [&](qint64) { return ++calls, false; });
            QFAIL("a false answer must stop the copy");
        } catch (const CopyError &error) {
            QCOMPARE(error, CopyError::cancelled());
            QCOMPARE(error.description(), QStringLiteral("Copy stopped."));
        }
        QCOMPARE(calls, 1);
        QVERIFY(listing(folders.day()).isEmpty());

        // During the read-back too.
        QVERIFY_THROWS_EXCEPTION(CopyError, SafeCopier::copy(source, destination, {}, [](qint64 n) {
                                     return n < 2 * SafeCopier::chunk;
                                 }));
        QVERIFY(listing(folders.day()).isEmpty());
    }

    void readBackThatDiffersLeavesNoFile()
    {
        Folders folders;
        put(folders.source() + QStringLiteral("/mine.mov"), randomBytes(SafeCopier::chunk + 5));
        const qint64 size = SafeCopier::chunk + 5;
        // A byte goes bad on its way to the disk: changed behind the copier after the last chunk.
        const auto corrupt = [&](qint64 done) {
            if (done == size) {
                QFile partial(partialIn(folders.day()));
                if (partial.open(QIODevice::ReadWrite) && partial.seek(4096)) {
                    char byte = 0;
                    partial.getChar(&byte);
                    partial.seek(4096);
                    partial.putChar(static_cast<char>(byte ^ 0x20));
                }
            }
            return true;
        };
        try {
            SafeCopier::copy(file(folders.source() + QStringLiteral("/mine.mov")),
                             file(folders.day() + QStringLiteral("/A.mov")), corrupt);
            QFAIL("a read-back that differs must stop the copy");
        } catch (const CopyError &error) {
            QCOMPARE(error, CopyError::hashMismatch(QStringLiteral("A.mov")));
            QCOMPARE(error.description(), QStringLiteral("A.mov didn't read back the same as the "
                                                         "original. Press Try again to copy it "
                                                         "again."));
        }
        QVERIFY(listing(folders.day()).isEmpty());

        // Bytes added behind the copier: the sizes differ.
        try {
            SafeCopier::copy(file(folders.source() + QStringLiteral("/mine.mov")),
                             file(folders.day() + QStringLiteral("/A.mov")), [&](qint64 done) {
                                 QFile partial(partialIn(folders.day()));
                                 if (done == size && partial.open(QIODevice::Append))
                                     partial.write("!");
                                 return true;
                             });
            QFAIL("a partial file of the wrong size must stop the copy");
        } catch (const CopyError &error) {
            QCOMPARE(error, CopyError::sizeMismatch(QStringLiteral("A.mov")));
            QCOMPARE(error.description(), QStringLiteral("A.mov arrived at the wrong size. Press "
                                                         "Try again to copy it again."));
        }
        QVERIFY(listing(folders.day()).isEmpty());
    }

    void vanishedSourceLeavesNothing()
    {
        Folders folders;
        const QString source = folders.source() + QStringLiteral("/mine.mov");
        const QString noSuchFile = QString::fromLocal8Bit(std::strerror(ENOENT));
        try {
            SafeCopier::copy(file(source), file(folders.day() + QStringLiteral("/A.mov")));
            QFAIL("a missing source must stop the copy");
        } catch (const CopyError &error) {
            QCOMPARE(error,
                     CopyError::io(QStringLiteral("A.mov"),
                                   QStringLiteral("can't open the original (%1)").arg(noSuchFile)));
            QCOMPARE(error.description(),
                     QStringLiteral("Copying A.mov stopped: can't open the original (%1). Files "
                                    "already checked are kept. Press Try again to carry on.")
                         .arg(noSuchFile));
        }
        QVERIFY(listing(folders.day()).isEmpty());

        // Removed while it is being copied.
        put(source, randomBytes(SafeCopier::chunk + 1));
        try {
            SafeCopier::copy(file(source), file(folders.day() + QStringLiteral("/A.mov")),
                             [&](qint64) { return QFile::remove(source) || true; });
            QFAIL("a source that vanished must stop the copy");
        } catch (const CopyError &error) {
            QCOMPARE(error,
                     CopyError::io(QStringLiteral("A.mov"),
                                   QStringLiteral("can't see the file (%1)").arg(noSuchFile)));
        }
        QVERIFY(listing(folders.day()).isEmpty());

        // A named pipe where the movie was would hold a blocking open forever.
        QFile::remove(source);
        QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
        const CopyError notAFile =
            CopyError::io(QStringLiteral("A.mov"), QStringLiteral("it isn't a regular file"));
        try {
            SafeCopier::copy(file(source), file(folders.day() + QStringLiteral("/A.mov")));
            QFAIL("a named pipe must not be copied");
        } catch (const CopyError &error) {
            QCOMPARE(error, notAFile);
        }
        try {
            SafeCopier::sha256(file(source));
            QFAIL("a named pipe must not be hashed");
        } catch (const CopyError &error) {
            QCOMPARE(error.kind, CopyError::Kind::io);
        }
        QVERIFY(listing(folders.day()).isEmpty());
    }

    void fullDiskLeavesNothing()
    {
        Folders folders;
        const QString nas = folders.root.path() + QStringLiteral("/small-nas");
        QDir().mkpath(nas);
        if (::mount("tmpfs", QFile::encodeName(nas).constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a 1 MB tmpfs to fill up (%1); run as "
                                            "root to test a full disk")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))));
        const auto unmount =
            qScopeGuard([&] { ::umount2(QFile::encodeName(nas).constData(), MNT_DETACH); });

        put(folders.source() + QStringLiteral("/big.mov"), randomBytes(3'000'000));
        put(nas + QStringLiteral("/earlier.mov"), QByteArray("kept"));
        const QString full = QString::fromLocal8Bit(std::strerror(ENOSPC));
        try {
            SafeCopier::copy(file(folders.source() + QStringLiteral("/big.mov")),
                             file(nas + QStringLiteral("/A.mov")));
            QFAIL("a full disk must stop the copy");
        } catch (const CopyError &error) {
            QCOMPARE(error,
                     CopyError::io(QStringLiteral("A.mov"),
                                   QStringLiteral("the NAS stopped taking data (%1)").arg(full)));
        }
        QCOMPARE(listing(nas), QStringList{QStringLiteral("earlier.mov")});
        QCOMPARE(contents(nas + QStringLiteral("/earlier.mov")), QByteArray("kept"));

        QVERIFY_THROWS_EXCEPTION(
            CopyError,
            SafeCopier::write(randomBytes(2'000'000), file(nas + QStringLiteral("/B.edl"))));
        QCOMPARE(listing(nas), QStringList{QStringLiteral("earlier.mov")});
    }

    void digestsAndSizes()
    {
        QCOMPARE(
            SafeCopier::sha256(QByteArray("abc")),
            QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
        QTemporaryDir dir;
        const QByteArray bytes = randomBytes(SafeCopier::chunk + 1);
        put(dir.filePath(QStringLiteral("x.mov")), bytes);
        QCOMPARE(SafeCopier::sha256(file(dir.filePath(QStringLiteral("x.mov")))), hex(bytes));
        QCOMPARE(SafeCopier::size(file(dir.filePath(QStringLiteral("x.mov")))), bytes.size());
        QVERIFY_THROWS_EXCEPTION(CopyError,
                                 SafeCopier::sha256(file(dir.filePath(QStringLiteral("x.mov"))),
                                                    std::nullopt, [](qint64) { return false; }));

        const QString noSuchFile = QString::fromLocal8Bit(std::strerror(ENOENT));
        try {
            SafeCopier::sha256(file(dir.filePath(QStringLiteral("gone.mov"))));
            QFAIL("hashing a missing file must fail");
        } catch (const CopyError &error) {
            QCOMPARE(error, CopyError::io(QStringLiteral("gone.mov"),
                                          QStringLiteral("can't open it (%1)").arg(noSuchFile)));
        }
        try {
            SafeCopier::size(file(dir.filePath(QStringLiteral("gone.mov"))),
                             QStringLiteral("B.mov"));
            QFAIL("the size of a missing file must fail");
        } catch (const CopyError &error) {
            QCOMPARE(error,
                     CopyError::io(QStringLiteral("B.mov"),
                                   QStringLiteral("can't see the file (%1)").arg(noSuchFile)));
        }
        try {
            SafeCopier::sha256(file(dir.path()));
            QFAIL("hashing a folder must fail");
        } catch (const CopyError &error) {
            QCOMPARE(error.detail, QStringLiteral("it is a folder, not a file"));
        }
    }
};

QTEST_GUILESS_MAIN(SafeCopierTest)
#include "SafeCopierTest.moc"
