#include "core/copy/SafeCopier.h"

#include "tests/copy/CopyTestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <linux/magic.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

using namespace tessera;
using namespace tessera::testing;

namespace {

QByteArray randomBytes(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(generator.generate() & 0xff);
    return bytes;
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

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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
    if (::mincore(map, static_cast<size_t>(length), resident.data()) == 0)
        count =
            std::count_if(resident.begin(), resident.end(), [](unsigned char f) { return f & 1; });
    ::munmap(map, static_cast<size_t>(length));
    return count;
}

bool onTmpfs(const QString &path)
{
    struct statfs info;
    return ::statfs(QFile::encodeName(path).constData(), &info) == 0 && info.f_type == TMPFS_MAGIC;
}

const QString mine = QStringLiteral("mine.mov");
const QString A = QStringLiteral("A.mov");
const QString B = QStringLiteral("B.mov");
const QString C = QStringLiteral("C.mov");

// A source folder and a separate day folder, so that listings show only what the copier left.
struct Folders
{
    QTemporaryDir root;
    Folders()
    {
        QDir().mkpath(root.filePath(QStringLiteral("source")));
        QDir().mkpath(day());
    }
    QString source(const QString &name = mine) const
    {
        return root.filePath(QStringLiteral("source/") + name);
    }
    QString day(const QString &name = {}) const
    {
        return root.filePath(QStringLiteral("day/") + name);
    }
    QStringList left() const { return listing(day()); }
    QString copy(const QString &to = A) const
    {
        return SafeCopier::copy(file(source()), file(day(to)));
    }
    // Copies the source file into the day folder; returns the error it threw.
    CopyError failedCopy(const QString &to = A, const SafeCopier::Progress &progress = {},
                         const SafeCopier::Progress &checking = {}) const
    {
        return thrown<CopyError>(
            [&] { SafeCopier::copy(file(source()), file(day(to)), progress, checking); });
    }
};

// The local disk's way, and the share's way (hashing beside the writes, O_DIRECT read-back).
void bothWays_data()
{
    QTest::addColumn<bool>("share");
    QTest::newRow("local disk") << false;
    QTest::newRow("share") << true;
}

void bothWays()
{
    QFETCH(bool, share);
    SafeCopier::Testing::setEverythingIsAShare(share);
}

} // namespace

class SafeCopierTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        SafeCopier::Testing::setTokenSource({});
        SafeCopier::Testing::setRenameSupport(SafeCopier::Testing::RenameSupport::exclusive);
        SafeCopier::Testing::setEverythingIsAShare(false);
    }

    void copyPlacesVerifiedBytesUnderTheFinalNameOnly_data()
    {
        QTest::addColumn<bool>("share");
        QTest::addColumn<qint64>("size");
        for (const bool share : {false, true}) {
            const char *way = share ? "share" : "local disk";
            QTest::addRow("%s, three chunks", way) << share << 2 * SafeCopier::chunk + 3;
            QTest::addRow("%s, empty", way) << share << qint64(0);
        }
    }

    void copyPlacesVerifiedBytesUnderTheFinalNameOnly()
    {
        QFETCH(bool, share);
        QFETCH(qint64, size);
        SafeCopier::Testing::setEverythingIsAShare(share);
        Folders folders;
        const QByteArray bytes = randomBytes(size);
        put(folders.source(), bytes);

        QList<qint64> copied, checked;
        const QString digest = SafeCopier::copy(
            file(folders.source()), file(folders.day(A)),
            [&](qint64 n) { return copied.append(n), true; },
            [&](qint64 n) { return checked.append(n), true; });

        // Nothing of the destination stays in the page cache (tmpfs keeps every page by nature;
        // an empty file has none to map).
        if (!onTmpfs(folders.day()) && size > 0)
            QCOMPARE(residentPages(folders.day(A)), 0);
        QCOMPARE(digest, hex(bytes));
        // A report after every chunk and at the end; none for an empty file.
        QList<qint64> steps;
        for (qint64 done = 0; done < size; done = std::min(done + SafeCopier::chunk, size))
            steps << std::min(done + SafeCopier::chunk, size);
        QCOMPARE(copied, steps);
        QCOMPARE(checked, steps);
        QCOMPARE(folders.left(), QStringList{A});
        QCOMPARE(contents(folders.day(A)), bytes);
        QCOMPARE(QFile::permissions(folders.day(A)) & 0x7777,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser |
                     QFile::ReadGroup | QFile::ReadOther);
    }

    void destinationAppearingDuringTheCopyIsKeptAndRenameNeverReplaces_data()
    {
        QTest::addColumn<SafeCopier::Testing::RenameSupport>("support");
        QTest::newRow("exclusive rename") << SafeCopier::Testing::RenameSupport::exclusive;
        QTest::newRow("hard link") << SafeCopier::Testing::RenameSupport::linkOnly;
        QTest::newRow("look, then rename") << SafeCopier::Testing::RenameSupport::plainOnly;
    }

    void destinationAppearingDuringTheCopyIsKeptAndRenameNeverReplaces()
    {
        QFETCH(SafeCopier::Testing::RenameSupport, support);
        SafeCopier::Testing::setRenameSupport(support);
        Folders folders;
        const QByteArray bytes = randomBytes(SafeCopier::chunk + 10);
        put(folders.source(), bytes);
        const QString destination = folders.day(A);
        QCOMPARE(folders.failedCopy(A,
                                    [&](qint64) {
                                        if (!QFile::exists(destination))
                                            put(destination, "theirs");
                                        return true;
                                    }),
                 CopyError::appeared(A));
        QCOMPARE(folders.left(), QStringList{A});
        QCOMPARE(contents(destination), QByteArray("theirs"));
        // Already there before the copy: refused the same way, before a byte is sent.
        const CopyError early = folders.failedCopy(A, [](qint64) { return false; });
        QCOMPARE(early, CopyError::appeared(A));
        QCOMPARE(early.description(),
                 QStringLiteral("Another file called A.mov appeared in the drop folder while "
                                "copying. Nothing was overwritten."));

        // A free name is taken the same way.
        QCOMPARE(folders.copy(QStringLiteral("B.mov")), hex(bytes));
        QCOMPARE(folders.left(), (QStringList{A, QStringLiteral("B.mov")}));
        QCOMPARE(contents(folders.day(QStringLiteral("B.mov"))), bytes);

        // The rename itself: it refuses to replace, and other failures keep their own text.
        QTemporaryDir dir;
        const auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
        const auto rename = [&](const char *from, const char *to) {
            return thrown<SafeCopier::RenameError>(
                [&] { SafeCopier::renameNoReplace(file(at(from)), file(at(to))); });
        };
        put(at("a"), "A");
        put(at("b"), "B");
        QCOMPARE(rename("a", "b"), SafeCopier::RenameError::exists());
        QCOMPARE(contents(at("a")), QByteArray("A"));
        QCOMPARE(contents(at("b")), QByteArray("B"));

        QCOMPARE(rename("gone", "c"), SafeCopier::RenameError::failed(systemText(ENOENT)));
        QCOMPARE(listing(dir.path()), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    }

    // The run sends one file while the one before is read back and named: each half keeps the
    // copy's promises, and a sent file that is not placed goes.
    void oneFileIsPlacedWhileTheNextIsSent_data() { bothWays_data(); }
    void oneFileIsPlacedWhileTheNextIsSent()
    {
        bothWays();
        Folders folders;
        const qint64 size = 2 * SafeCopier::chunk + 7;
        const QByteArray a = randomBytes(size);
        const QByteArray b = QByteArray(a).append('b');
        put(folders.source(A), a);
        put(folders.source(B), b);
        const auto send = [&](const QString &from, const QString &to) {
            return SafeCopier::send(file(folders.source(from)), file(folders.day(to)));
        };

        QList<qint64> steps;
        const SafeCopier::Sent first =
            SafeCopier::send(file(folders.source(A)), file(folders.day(A)),
                             [&](qint64 n) { return steps.append(n), true; });
        QCOMPARE(steps, (QList<qint64>{SafeCopier::chunk, 2 * SafeCopier::chunk, size}));
        QCOMPARE(first.to, file(folders.day(A)));
        QCOMPARE(first.digest, hex(a));
        QCOMPARE(first.size, size);
        // Sent, not named: only the partial file holds the bytes.
        QCOMPARE(folders.left(), QStringList{first.partial.fileName()});
        QCOMPARE(contents(first.partial.toLocalFile()), a);

        auto placing = std::async(std::launch::async, [&] { return SafeCopier::place(first); });
        const SafeCopier::Sent second = send(B, B);
        QCOMPARE(placing.get(), hex(a));
        QCOMPARE(contents(folders.day(A)), a);

        // A file that appeared under the name meanwhile is kept; the partial file goes.
        put(folders.day(B), "theirs");
        QCOMPARE(thrown<CopyError>([&] { SafeCopier::place(second); }), CopyError::appeared(B));
        QCOMPARE(contents(folders.day(B)), QByteArray("theirs"));
        QCOMPARE(folders.left(), (QStringList{A, B}));

        SafeCopier::discard(send(B, C));
        QCOMPARE(folders.left(), (QStringList{A, B}));
        const SafeCopier::Sent changed = send(B, C);
        QFile partial(changed.partial.toLocalFile());
        QVERIFY(partial.open(QIODevice::ReadWrite) && partial.seek(SafeCopier::chunk) &&
                partial.putChar('!'));
        partial.close();
        QCOMPARE(thrown<CopyError>([&] { SafeCopier::place(changed); }),
                 CopyError::hashMismatch(C));
        QCOMPARE(folders.left(), (QStringList{A, B}));

        // Where nothing can overlap, the overlapped copy reads back after sending.
        QList<std::pair<qint64, qint64>> reports;
        QCOMPARE(SafeCopier::copyOverlapped(file(folders.source(B)), file(folders.day(C)),
                                            [&](qint64 sent, qint64 checked) {
                                                return reports.append({sent, checked}), true;
                                            }),
                 hex(b));
        QCOMPARE(reports.first(), std::make_pair(SafeCopier::chunk, qint64(0)));
        QCOMPARE(reports.last(), std::make_pair(size + 1, size + 1));
        QCOMPARE(contents(folders.day(C)), b);
    }

    void partialNameCollisionsAreRetriedUpToFiveTimes()
    {
        Folders folders;
        put(folders.source(), "mine");
        QCOMPARE(SafeCopier::partialURL(file(folders.day(A)), QStringLiteral("0a1b2c3d4e5f")),
                 file(folders.day(QStringLiteral("A.mov.0a1b2c3d4e5f.partial"))));
        static const QRegularExpression token(QStringLiteral("^[0-9a-f]{12}$"));
        QVERIFY(token.match(SafeCopier::newToken()).hasMatch());
        QVERIFY(SafeCopier::newToken() != SafeCopier::newToken());

        // Someone else's partial files hold the first four names of A.mov and all five of B.mov.
        QStringList foreign;
        for (const char *name : {"A", "B"}) {
            for (int i = 1; i <= (*name == 'A' ? 4 : 5); ++i) {
                foreign.append(QStringLiteral("%1.mov.00000000000%2.partial").arg(name).arg(i));
                put(folders.day(foreign.last()), "not ours");
            }
        }
        int next = 0;
        SafeCopier::Testing::setTokenSource(
            [&] { return QStringLiteral("00000000000%1").arg(++next); });
        QCOMPARE(folders.copy(), hex("mine"));
        QCOMPARE(next, 5);

        // With all five names taken the copy gives up and touches nothing.
        next = 0;
        QCOMPARE(
            folders.failedCopy(QStringLiteral("B.mov")),
            CopyError::io(
                QStringLiteral("B.mov"),
                QStringLiteral("can't write to the drop folder (%1)").arg(systemText(EEXIST))));
        QCOMPARE(next, 5);
        QCOMPARE(folders.left(), QStringList{A} + foreign);
        for (const QString &name : foreign)
            QCOMPARE(contents(folders.day(name)), QByteArray("not ours"));
    }

    void cancellingLeavesNoPartialFile_data() { bothWays_data(); }
    void cancellingLeavesNoPartialFile()
    {
        bothWays();
        Folders folders;
        put(folders.source(), randomBytes(3 * SafeCopier::chunk));
        int calls = 0;
        QCOMPARE(folders.failedCopy(A, [&](qint64) { return ++calls, false; }),
                 CopyError::cancelled());
        QCOMPARE(calls, 1);
        QVERIFY(folders.left().isEmpty());

        // During the read-back too.
        QCOMPARE(folders.failedCopy(A, {}, [](qint64 n) { return n < 2 * SafeCopier::chunk; }),
                 CopyError::cancelled());
        QVERIFY(folders.left().isEmpty());
    }

    void readBackThatDiffersLeavesNoFile_data() { bothWays_data(); }
    void readBackThatDiffersLeavesNoFile()
    {
        bothWays();
        Folders folders;
        const qint64 size = SafeCopier::chunk + 5;
        put(folders.source(), randomBytes(size));
        // A byte goes bad on its way to the disk: changed behind the copier after the last chunk.
        const auto corrupt = [&](qint64 done) {
            QFile partial(partialIn(folders.day()));
            if (done == size && partial.open(QIODevice::ReadWrite) && partial.seek(4096)) {
                char byte = 0;
                partial.getChar(&byte);
                partial.seek(4096);
                partial.putChar(static_cast<char>(byte ^ 0x20));
            }
            return true;
        };
        const CopyError error = folders.failedCopy(A, corrupt);
        QCOMPARE(error, CopyError::hashMismatch(A));
        QCOMPARE(error.description(),
                 QStringLiteral("A.mov didn't read back the same as the "
                                "original. Press Try again to copy it again."));
        QVERIFY(folders.left().isEmpty());

        // Bytes added behind the copier: the sizes differ.
        const auto append = [&](qint64 done) {
            QFile partial(partialIn(folders.day()));
            if (done == size && partial.open(QIODevice::Append))
                partial.write("!");
            return true;
        };
        QCOMPARE(folders.failedCopy(A, append), CopyError::sizeMismatch(A));
        QVERIFY(folders.left().isEmpty());
    }

    void changedMissingOrOddSourcesLeaveNothing()
    {
        Folders folders;
        const QString source = folders.source();
        const auto io = [](const char *detail) {
            return CopyError::io(A, QString::fromLatin1(detail).arg(systemText(ENOENT)));
        };
        QCOMPARE(folders.failedCopy(), io("can't open the original (%1)"));
        QVERIFY(folders.left().isEmpty());

        // Removed while it is being copied.
        put(source, randomBytes(SafeCopier::chunk + 1));
        QCOMPARE(folders.failedCopy(A, [&](qint64) { return QFile::remove(source) || true; }),
                 io("can't see the file (%1)"));
        QVERIFY(folders.left().isEmpty());

        // Exported again while it is being copied: written over, or saved through a rename.
        const CopyError changed =
            CopyError::io(A, QStringLiteral("the original changed while it was being copied"));
        const QByteArray again = randomBytes(SafeCopier::chunk + 1);
        put(source, randomBytes(SafeCopier::chunk + 1));
        QCOMPARE(folders.failedCopy(A, [&](qint64) { return put(source, again), true; }), changed);
        QVERIFY(folders.left().isEmpty());
        QCOMPARE(folders.failedCopy(A,
                                    [&](qint64) {
                                        put(source + u'~', again);
                                        return ::rename(
                                                   QFile::encodeName(source + u'~').constData(),
                                                   QFile::encodeName(source).constData()) == 0;
                                    }),
                 changed);
        QVERIFY(folders.left().isEmpty());
        QFile::remove(source);

        // A named pipe where the movie was would hold a blocking open forever.
        QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
        QCOMPARE(folders.failedCopy(), CopyError::io(A, QStringLiteral("it isn't a regular file")));
        QCOMPARE(thrown<CopyError>([&] { SafeCopier::sha256(file(source)); }).detail,
                 QStringLiteral("it isn't a regular file"));
        QVERIFY(folders.left().isEmpty());

        QTemporaryDir dir;
        const QUrl gone = file(dir.filePath(QStringLiteral("gone.mov")));
        QCOMPARE(thrown<CopyError>([&] { SafeCopier::sha256(gone); }),
                 CopyError::io(QStringLiteral("gone.mov"),
                               QStringLiteral("can't open it (%1)").arg(systemText(ENOENT))));
        QCOMPARE(thrown<CopyError>([&] { SafeCopier::sha256(file(dir.path())); }).detail,
                 QStringLiteral("it is a folder, not a file"));
    }
};

QTEST_GUILESS_MAIN(SafeCopierTest)
#include "SafeCopierTest.moc"
