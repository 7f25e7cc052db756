#include "core/copy/GioCopyIO.h"
#include "core/copy/PosixCopyIO.h"
#include "core/copy/SafeCopier.h"
#include "tests/copy/CopyTestSupport.h"
#include "tests/copy/FakeCopyIO.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

#include <cerrno>
#include <future>

using namespace tessera;
using namespace tessera::testing;
using Op = FakeCopyIO::Op;
using Cause = IOFailure::Cause;

namespace {

constexpr qint64 chunk = SafeCopier::chunk;
const QString A = QStringLiteral("A.mov");
const QString token = QStringLiteral("00000000000a");
const QString partialA = QStringLiteral("/day/A.mov.00000000000a.partial");

QUrl day(const QString &name)
{
    return QUrl::fromLocalFile(QStringLiteral("/day/") + name);
}

QByteArray someBytes(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919) >> 5);
    return bytes;
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// The error a copy ended with, or nothing when it succeeded; callable on any thread.
std::optional<CopyError> endOf(const std::function<void()> &copy)
{
    try {
        copy();
    } catch (const CopyError &error) {
        return error;
    }
    return std::nullopt;
}

} // namespace

// The copier's one algorithm against a day folder in memory that fails and stalls on command.
class CopyAlgorithmTest : public QObject
{
    Q_OBJECT

    std::shared_ptr<FakeCopyIO> fake;
    QTemporaryDir dir;

    QUrl original(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("original.mov"));
        put(path, bytes);
        return QUrl::fromLocalFile(path);
    }

private Q_SLOTS:
    void init()
    {
        fake = std::make_shared<FakeCopyIO>();
        SafeCopier::Testing::setIO(fake);
        SafeCopier::Testing::setTokenSource([] { return token; });
    }
    void cleanup()
    {
        SafeCopier::Testing::setIO({});
        SafeCopier::Testing::setTokenSource({});
    }

    void overlappedReadBackDecidesAndItsProgressNeverRunsBackwards()
    {
        const qint64 size = 3 * chunk + 5;
        const QByteArray bytes = someBytes(size);
        const QUrl from = original(bytes);

        // A byte goes bad on its way back through the stream beside the writing.
        fake->corruptAt(chunk + 7);
        QCOMPARE(endOf([&] { SafeCopier::copyOverlapped(from, day(A)); }),
                 CopyError::hashMismatch(A));
        QCOMPARE(fake->bytesRead(), size);
        QVERIFY(fake->names().isEmpty());
        QCOMPARE(fake->calls(Op::rename), 0);

        // The stream beside the writing ends early: reading back carries on from where it
        // stopped, so every byte is read back once and the progress never drops.
        fake->corruptAt(-1);
        fake->endStreamsBesideWritingAt(chunk + 3);
        QList<std::pair<qint64, qint64>> reports;
        SafeCopier::Control control;
        control.transfer = [&](qint64 sent, qint64 checked) {
            return reports.append({sent, checked}), true;
        };
        QCOMPARE(SafeCopier::copyOverlapped(from, day(A), control), hex(bytes));
        QCOMPARE(fake->bytesRead(), 2 * size);
        for (qsizetype i = 1; i < reports.size(); ++i) {
            QVERIFY(reports[i].first >= reports[i - 1].first);
            QVERIFY(reports[i].second >= reports[i - 1].second);
        }
        QCOMPARE(reports.last(), std::make_pair(size, size));
        QCOMPARE(fake->names(), QStringList{day(A).path()});
        QCOMPARE(fake->contents(day(A).path()), bytes);
    }

    // Each step that fails names itself, keeps the cause's kind and leaves nothing behind.
    void failedStepsLeaveNoPartialFile_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("detail");
        QTest::newRow("writing the second chunk")
            << Op::write << 1 << QStringLiteral("the NAS stopped taking data (%1)");
        QTest::newRow("flush and close")
            << Op::confirm << 0 << QStringLiteral("the NAS didn't confirm the write (%1)");
        QTest::newRow("size") << Op::size << 0 << QStringLiteral("can't see the file (%1)");
        QTest::newRow("reading back")
            << Op::read << 1 << QStringLiteral("can't read the copy back from the NAS (%1)");
        QTest::newRow("rename") << Op::rename << 0 << QStringLiteral("%1");
    }
    void failedStepsLeaveNoPartialFile()
    {
        QFETCH(Op, op);
        QFETCH(int, after);
        QFETCH(QString, detail);
        const QUrl from = original(someBytes(2 * chunk + 1));
        const QString text = QStringLiteral("it broke");

        fake->fail(op, {Cause::other, text}, after);
        QCOMPARE(endOf([&] { SafeCopier::copyOverlapped(from, day(A)); }),
                 CopyError::io(A, detail.arg(text)));
        QVERIFY(fake->names().isEmpty());

        // The connection broke instead: the same step, said as a lost connection.
        fake->fail(op, {Cause::connection, text}, after);
        QCOMPARE(endOf([&] { SafeCopier::copyOverlapped(from, day(A)); }),
                 CopyError::connectionLost(A, detail.arg(text)));
        QVERIFY(fake->waitUntilGone(partialA));
        QCOMPARE(fake->names(), QStringList());
    }

    // The EDL's way: the same promises for bytes in memory.
    void writeNeverReplacesAndChecksWhatItWrote()
    {
        const QByteArray edl = "TITLE: REEL 1\r\n001  AX V C 00:00:00:00\r\n";
        const QString R = QStringLiteral("R.edl");
        fake->put(day(R).path(), "theirs");
        QCOMPARE(endOf([&] { SafeCopier::write(edl, day(R)); }), CopyError::appeared(R));
        QCOMPARE(fake->calls(Op::create), 0);

        // Appearing just before the rename: kept, and the partial file goes.
        const QString S = QStringLiteral("S.edl");
        fake->before = [&](Op op, const QString &) {
            if (op == Op::rename)
                fake->put(day(S).path(), "theirs too");
        };
        QCOMPARE(endOf([&] { SafeCopier::write(edl, day(S)); }), CopyError::appeared(S));
        QCOMPARE(fake->contents(day(S).path()), QByteArray("theirs too"));

        // A byte more on the server, or a byte changed on the way back.
        const QString T = QStringLiteral("T.edl");
        fake->before = [&](Op op, const QString &path) {
            if (op == Op::size)
                fake->put(path, *fake->contents(path) + '!');
        };
        QCOMPARE(endOf([&] { SafeCopier::write(edl, day(T)); }), CopyError::sizeMismatch(T));
        fake->before = {};
        fake->corruptAt(3);
        QCOMPARE(endOf([&] { SafeCopier::write(edl, day(T)); }), CopyError::hashMismatch(T));
        QCOMPARE(fake->names(), (QStringList{day(R).path(), day(S).path()}));

        // Placed: the run hears of the partial file before a byte is written to it.
        fake->corruptAt(-1);
        std::optional<int> writesBefore;
        SafeCopier::Control control;
        control.partialMade = [&](const QUrl &partial) {
            QCOMPARE(partial, day(QStringLiteral("T.edl.00000000000a.partial")));
            writesBefore = fake->calls(Op::write);
        };
        const int writes = fake->calls(Op::write);
        QCOMPARE(SafeCopier::write(edl, day(T), control), hex(edl));
        QCOMPARE(writesBefore, writes);
        QCOMPARE(fake->contents(day(T).path()), edl);
    }

    // A write that hangs (a POSIX call cannot be interrupted) does not hold a stop, and nothing
    // gets its final name afterwards; the partial file goes once the write comes back.
    void stopDuringAStalledWriteEndsTheCopyAndNeverRenames()
    {
        const QUrl from = original(someBytes(3 * chunk));
        fake->stall(Op::write);
        SafeCopier::Control control;
        auto copying = std::async(std::launch::async, [&] {
            return endOf([&] { SafeCopier::copyOverlapped(from, day(A), control); });
        });
        QVERIFY(fake->waitUntilStalled());
        control.stop.stop();
        // Returns while the write still hangs (the guard only keeps a broken copier from hanging
        // the test).
        QCOMPARE(copying.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        QCOMPARE(copying.get(), CopyError::cancelled());
        QCOMPARE(fake->names(), QStringList{partialA});

        fake->release();
        QVERIFY(fake->waitUntilGone(partialA));
        QCOMPARE(fake->calls(Op::rename), 0);
        QCOMPARE(fake->calls(Op::write), 1);
    }

    void lostConnectionsAreToldApartAndTheirPartialFilesRemovedLater()
    {
        for (const int error : {ECONNABORTED, ECONNRESET, ETIMEDOUT, EHOSTUNREACH, ENETUNREACH,
                                EHOSTDOWN, ENOTCONN, ESTALE})
            QVERIFY2(ioFailure(error).is(Cause::connection), qPrintable(ioFailure(error).text));
        for (const int error : {EIO, ENOSPC, EACCES, EDQUOT})
            QVERIFY(!ioFailure(error).is(Cause::connection));
        const auto gio = [](int code, const char *text, bool daemonGone = false) {
            return ioFailure(GioError{code, QString::fromLocal8Bit(text), daemonGone});
        };
        QVERIFY(gio(G_IO_ERROR_TIMED_OUT, "Connection timed out").is(Cause::connection));
        QVERIFY(gio(G_IO_ERROR_NOT_MOUNTED, "not mounted").is(Cause::connection));
        QVERIFY(gio(G_IO_ERROR_FAILED, g_strerror(ECONNABORTED)).is(Cause::connection));
        QVERIFY(gio(G_IO_ERROR_FAILED, "The name is not activatable", true).is(Cause::connection));
        QVERIFY(!gio(G_IO_ERROR_FAILED, g_strerror(EIO)).is(Cause::connection));
        QVERIFY(!gio(G_IO_ERROR_NO_SPACE, "No space left on device").is(Cause::connection));

        // A handle that died with the connection: refused mid-stream, not on the first write.
        const QUrl from = original(someBytes(3 * chunk));
        fake->fail(Op::write, {Cause::invalid, QStringLiteral("Invalid argument")}, 1);
        const CopyError lost = *endOf([&] { SafeCopier::copyOverlapped(from, day(A)); });
        QCOMPARE(lost, CopyError::connectionLost(
                           A, QStringLiteral("the NAS stopped taking data (Invalid argument)")));
        QCOMPARE(lost.description(),
                 QStringLiteral("The connection to the NAS was lost while copying A.mov: the NAS "
                                "stopped taking data (Invalid argument). Files already checked "
                                "are kept. Press Try again once the NAS is back."));
        QVERIFY(fake->waitUntilGone(partialA));
        fake->fail(Op::write, {Cause::invalid, QStringLiteral("Invalid argument")});
        QCOMPARE(endOf([&] { SafeCopier::copyOverlapped(from, day(A)); })->kind,
                 CopyError::Kind::io);

        // The share went away with the partial file on it: it stays, and the run removes it
        // later, but nothing whose name the copier did not make.
        const int removals = fake->calls(Op::remove);
        fake->fail(Op::write, {Cause::connection, QStringLiteral("Connection reset")});
        fake->fail(Op::remove, {Cause::connection, QStringLiteral("Connection reset")});
        QCOMPARE(endOf([&] { SafeCopier::copyOverlapped(from, day(A)); })->kind,
                 CopyError::Kind::connectionLost);
        QTRY_COMPARE_WITH_TIMEOUT(fake->calls(Op::remove), removals + 1, 30000);
        QCOMPARE(fake->names(), QStringList{partialA});
        const QStringList notOurs{QStringLiteral("A.mov"), QStringLiteral("A.mov.partial"),
                                  QStringLiteral("A.mov.0A1B2C3D4E5F.partial"),
                                  QStringLiteral("A.mov.0a1b2c3d4e5.partial"),
                                  QStringLiteral(".00000000000a.partial")};
        for (const QString &name : notOurs) {
            fake->put(day(name).path(), "theirs");
            QVERIFY(!SafeCopier::removePartial(day(name)));
        }
        QVERIFY(SafeCopier::removePartial(QUrl::fromLocalFile(partialA)));
        QVERIFY(SafeCopier::removePartial(QUrl::fromLocalFile(partialA)));
        QCOMPARE(fake->names().size(), notOurs.size());
    }
};

QTEST_GUILESS_MAIN(CopyAlgorithmTest)
#include "CopyAlgorithmTest.moc"
