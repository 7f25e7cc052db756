// Mounts real SMB shares through GVfs. Run through run-share-test.sh, which starts Samba, a
// session bus and GVfs in private namespaces and passes the shares in the environment.
#include "app/NAS.h"
#include "core/copy/MountTable.h"
#include "core/copy/SafeCopier.h"
#include "tests/app/SilentServer.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tessera;
using namespace std::chrono_literals;

namespace {

QString env(const char *name)
{
    return qEnvironmentVariable(name);
}

NAS shareNAS(const QString &share)
{
    QUrl url;
    url.setScheme(QStringLiteral("smb"));
    url.setHost(env("TESSERA_SMB_HOST"));
    url.setPath(u'/' + share);
    return NAS{url};
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && file.write(data) == data.size();
}

} // namespace

class NASShareTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (env("TESSERA_SMB_HOST").isEmpty())
            QSKIP("Run through run-share-test.sh, which sets up the SMB server and GVfs.");
        guest = shareNAS(env("TESSERA_SMB_GUEST_SHARE"));
        secured = shareNAS(env("TESSERA_SMB_PRIVATE_SHARE"));
    }

    void reachAnswersForTheServerAClosedPortAndASilentServer()
    {
        QCOMPARE(QCoro::waitFor(guest.reach(5s)), NAS::Reach::ok);

        NAS closed = guest;
        closed.url.setPort(446);
        QCOMPARE(QCoro::waitFor(closed.reach(5s)), NAS::Reach::unreachable);

        // The whole loopback network is ours: a server that never answers sits on the SMB port of
        // another loopback address.
        const SilentServer silent(QHostAddress(QStringLiteral("127.0.0.2")), 445);
        QVERIFY(silent.port() == 445);
        NAS quiet = guest;
        quiet.url.setHost(QStringLiteral("127.0.0.2"));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(QCoro::waitFor(quiet.reach(5s)), NAS::Reach::unreachable);
        QVERIFY2(clock.elapsed() >= 5000,
                 qPrintable(QStringLiteral("gave up after %1 ms").arg(clock.elapsed())));

        // Mounting it ends by GIO's own time-out or by mount()'s, whichever comes first.
        clock.restart();
        const int code = QCoro::waitFor(quiet.mount(answerNever()));
        const qint64 gioMs = clock.elapsed();
        qInfo("mounting a silent server: code %d after %lld ms", code, gioMs);
        QVERIFY(code != 0 && code != NAS::refusedSignIn && code != NAS::cancelled);
        QVERIFY(gioMs < std::chrono::milliseconds(NAS::mountTimeout).count() + 2000);
        clock.restart();
        QCOMPARE(QCoro::waitFor(quiet.mount(answerNever(), {}, 1500ms)), int(NAS::timedOut));
        QVERIFY2(clock.elapsed() >= 1490 && clock.elapsed() < 4000,
                 qPrintable(QString::number(clock.elapsed())));
    }

    void wrongAndCancelledSignInsLeaveTheShareUnmounted()
    {
        QVERIFY(!secured.isMounted());

        int asks = 0;
        NAS::SignIn lastSignIn;
        const auto wrongPassword = [&](const NAS::SignIn &signIn, NAS::Answer answer) {
            ++asks;
            lastSignIn = signIn;
            answer(NAS::Credentials{
                env("TESSERA_SMB_USER"), QStringLiteral("not the password"), {}, false});
        };
        QCOMPARE(QCoro::waitFor(secured.mount(wrongPassword)), int(NAS::refusedSignIn));
        QCOMPARE(asks, 1);
        QVERIFY(!lastSignIn.message.isEmpty());
        QVERIFY(!secured.isMounted());

        asks = 0;
        const auto cancelInDialog = [&](const NAS::SignIn &, NAS::Answer answer) {
            ++asks;
            answer(std::nullopt);
        };
        QCOMPARE(QCoro::waitFor(secured.mount(cancelInDialog)), int(NAS::cancelled));
        QCOMPARE(asks, 1);
        QVERIFY(!secured.isMounted());
    }

    void stoppingTheRunWhileTheSignInIsOpenEndsTheMount()
    {
        // The run is stopped while the sign-in dialog is still open; a late answer changes nothing.
        NAS::Answer lateAnswer;
        const auto stop = std::make_shared<bool>(false);
        QElapsedTimer clock;
        const auto keepDialogOpen = [&](const NAS::SignIn &, NAS::Answer answer) {
            qInfo("asked after %lld ms", clock.elapsed());
            lateAnswer = answer;
            QTimer::singleShot(300, [stop] { *stop = true; });
        };
        clock.start();
        QCOMPARE(QCoro::waitFor(secured.mount(keepDialogOpen, [stop] { return *stop; })),
                 int(NAS::cancelled));
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(lateAnswer);
        lateAnswer(
            NAS::Credentials{env("TESSERA_SMB_USER"), env("TESSERA_SMB_PASSWORD"), {}, false});
        QTest::qWait(500);
        QVERIFY(!secured.isMounted());
    }

    void theRightLoginMountsAShareWithoutADropFolder()
    {
        int asks = 0;
        const auto rightPassword = [&](const NAS::SignIn &signIn, NAS::Answer answer) {
            ++asks;
            QVERIFY(signIn.needsUser || !signIn.user.isEmpty());
            answer(
                NAS::Credentials{env("TESSERA_SMB_USER"), env("TESSERA_SMB_PASSWORD"), {}, false});
        };
        QCOMPARE(QCoro::waitFor(secured.mount(rightPassword)), 0);
        QCOMPARE(asks, 1);
        QVERIFY(secured.isMounted());
        QCOMPARE(secured.mountedDropRoot(), std::nullopt);

        // Made on the server, the drop folder shows through the mount.
        QVERIFY(QDir(env("TESSERA_SMB_PRIVATE_DIR")).mkpath(QStringLiteral("Halcyon_Drop/Reels")));
        const auto dropRoot = secured.mountedDropRoot();
        QVERIFY(dropRoot);
        QVERIFY(dropRoot->toLocalFile().startsWith(env("XDG_RUNTIME_DIR") +
                                                   QStringLiteral("/gvfs/smb-share:")));

        // Mounting what is already mounted is a success.
        QCOMPARE(QCoro::waitFor(secured.mount(rightPassword)), 0);
    }

    void theGuestShareMountsAndItsDropFolderIsFound()
    {
        QVERIFY(!guest.isMounted());
        QCOMPARE(guest.mountedDropRoot(), std::nullopt);
        const auto asGuest = [&](const NAS::SignIn &signIn, NAS::Answer answer) {
            qInfo("the guest share asked for a sign-in (anonymous allowed: %d)",
                  signIn.anonymousAllowed);
            answer(NAS::Credentials{{}, {}, {}, true});
        };
        QCOMPARE(QCoro::waitFor(guest.mount(asGuest)), 0);
        QVERIFY(guest.isMounted());
        const auto dropRoot = guest.mountedDropRoot();
        QVERIFY(dropRoot);
        const QString mounted = dropRoot->toLocalFile();
        QVERIFY2(mounted.contains(QStringLiteral("share=drop%20box")), qPrintable(mounted));
        QVERIFY(mounted.endsWith(QStringLiteral("/Halcyon_Drop/Reels/")));

        // A file written through the mount lands in the share on the server.
        QVERIFY(writeFile(mounted + QStringLiteral("hello.txt"), "through the mount"));
        QCOMPARE(contentOf(env("TESSERA_SMB_GUEST_DIR") +
                           QStringLiteral("/Halcyon_Drop/Reels/hello.txt")),
                 QByteArray("through the mount"));
    }

    // The copy engine on a GVfs mount, through GIO: the read-back of a chunk runs while the next
    // ones are written; a file that appears under the final name is never replaced, not even by
    // the rename; a stop or a failure leaves no partial file.
    void copiesThroughTheMountNeverReplaceAFile()
    {
        const auto dropRoot = guest.mountedDropRoot();
        QVERIFY(dropRoot);
        const QString folder = dropRoot->toLocalFile() + QStringLiteral("copies/");
        const QString onServer =
            env("TESSERA_SMB_GUEST_DIR") + QStringLiteral("/Halcyon_Drop/Reels/copies/");
        QVERIFY(QDir().mkpath(folder));
        const auto at = [&](const char *name) {
            return QUrl::fromLocalFile(folder + QString::fromLatin1(name));
        };
        QTemporaryDir local;
        const QUrl source = QUrl::fromLocalFile(local.filePath(QStringLiteral("export.mov")));
        const qint64 size = 4 * SafeCopier::chunk + 4099;
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * 7 + i / 4096);
        QVERIFY(writeFile(source.toLocalFile(), bytes));

        bool overlapped = false;
        QCOMPARE(SafeCopier::copyOverlapped(source, at("A.mov"),
                                            [&](qint64 sent, qint64 checked) {
                                                overlapped =
                                                    overlapped || (checked > 0 && sent < size);
                                                return true;
                                            }),
                 SafeCopier::sha256(bytes));
        QVERIFY2(overlapped, "the read-back did not run beside the writing");
        QVERIFY(contentOf(onServer + QStringLiteral("A.mov")) == bytes);

        // Made through the mount once, while the copy runs.
        const QString taken = folder + QStringLiteral("B.mov");
        std::optional<bool> made;
        try {
            SafeCopier::copyOverlapped(source, QUrl::fromLocalFile(taken), [&](qint64, qint64) {
                if (!made)
                    made = writeFile(taken, "appeared meanwhile");
                return true;
            });
            QFAIL("the copy replaced a file that appeared on the share");
        } catch (const CopyError &error) {
            QVERIFY2(error == CopyError::appeared(QStringLiteral("B.mov")),
                     qPrintable(error.description()));
        }
        QVERIFY(made.value_or(false));
        QCOMPARE(contentOf(onServer + QStringLiteral("B.mov")), QByteArray("appeared meanwhile"));

        // The move onto an existing name fails and leaves both files; a free name is taken.
        try {
            SafeCopier::renameNoReplace(at("A.mov"), at("B.mov"));
            QFAIL("the move replaced a file on the share");
        } catch (const SafeCopier::RenameError &error) {
            QCOMPARE(error, SafeCopier::RenameError::exists());
        }
        QVERIFY(contentOf(onServer + QStringLiteral("A.mov")) == bytes);
        QCOMPARE(contentOf(onServer + QStringLiteral("B.mov")), QByteArray("appeared meanwhile"));
        SafeCopier::renameNoReplace(at("A.mov"), at("D.mov"));

        // Stopped mid-copy, and sent but not placed: nothing stays.
        try {
            SafeCopier::copyOverlapped(source, at("C.mov"), [](qint64 sent, qint64) {
                return sent < 2 * SafeCopier::chunk;
            });
            QFAIL("the copy did not stop");
        } catch (const CopyError &error) {
            QCOMPARE(error, CopyError::cancelled());
        }
        SafeCopier::discard(SafeCopier::send(source, at("C.mov")));
        QCOMPARE(SafeCopier::place(SafeCopier::send(source, at("E.mov"))),
                 SafeCopier::sha256(bytes));

        // What the server lists is seen once it has closed its handles; printed if it differs.
        const auto listed = [&] {
            return QDir(onServer).entryList(QDir::Files | QDir::Hidden, QDir::Name).join(u' ');
        };
        QTRY_COMPARE_WITH_TIMEOUT(listed(), QStringLiteral("B.mov D.mov E.mov"), 5000);
    }

    // The read-back reads what the server holds: bytes changed in the share's own folder after
    // the copier wrote them are caught, so no cache between here and the server answered.
    void readBackSeesBytesChangedOnTheServer()
    {
        const auto dropRoot = guest.mountedDropRoot();
        QVERIFY(dropRoot);
        const QString folder = dropRoot->toLocalFile() + QStringLiteral("changed/");
        const QString onServer =
            env("TESSERA_SMB_GUEST_DIR") + QStringLiteral("/Halcyon_Drop/Reels/changed/");
        QVERIFY(QDir().mkpath(folder));
        // What picks the share's way of writing and reading back.
        QCOMPARE(MountTable::fileSystemType(folder), QStringLiteral("fuse.gvfsd-fuse"));
        QTemporaryDir local;
        const QUrl source = QUrl::fromLocalFile(local.filePath(QStringLiteral("export.mov")));
        const QByteArray bytes(2 * SafeCopier::chunk + 4099, 'h');
        QVERIFY(writeFile(source.toLocalFile(), bytes));

        // After the first chunk is read back, a byte of the last chunk (not asked for yet; the
        // read-back is at most one chunk ahead) changes on the server.
        bool changed = false;
        const auto changeOnServer = [&](qint64) {
            const QStringList partials =
                QDir(onServer).entryList({QStringLiteral("*.partial")}, QDir::Files);
            QFile partial(onServer + partials.value(0));
            changed = changed || (partials.size() == 1 && partial.open(QIODevice::ReadWrite) &&
                                  partial.seek(bytes.size() - 100) && partial.putChar('x'));
            return true;
        };
        try {
            SafeCopier::copy(source, QUrl::fromLocalFile(folder + QStringLiteral("C.mov")), {},
                             changeOnServer);
            QFAIL("the read-back missed bytes changed on the server");
        } catch (const CopyError &error) {
            QCOMPARE(error, CopyError::hashMismatch(QStringLiteral("C.mov")));
        }
        QVERIFY(changed);
        // What a failed copy leaves in the share's folder is seen there once the server has
        // closed its handles; the listing is printed if something stays.
        const auto left = [&] { return QDir(onServer).entryList(QDir::Files | QDir::Hidden); };
        QTRY_VERIFY2_WITH_TIMEOUT(left().isEmpty(), qPrintable(left().join(u' ')), 5000);
    }

private:
    static NAS::AskCredentials answerNever()
    {
        return [](const NAS::SignIn &, NAS::Answer) {};
    }

    NAS guest;
    NAS secured;
};

QTEST_GUILESS_MAIN(NASShareTest)
#include "NASShareTest.moc"
