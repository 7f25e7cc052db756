// Mounts real SMB shares through GVfs. Run through run-share-test.sh, which starts Samba, a
// session bus and GVfs in private namespaces and passes the shares in the environment.
#include "app/NAS.h"
#include "tests/app/SilentServer.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

QString errnoText(int result)
{
    return result == 0 ? QStringLiteral("works") : QString::fromLocal8Bit(strerror(errno));
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

    // What the copy engine can rely on when it writes to a GVfs mount.
    void fileOperationsOnTheMountNeverReplaceAFile()
    {
        const auto dropRoot = guest.mountedDropRoot();
        QVERIFY(dropRoot);
        const QString folder = dropRoot->toLocalFile() + QStringLiteral("probe/");
        QVERIFY(QDir().mkpath(folder));
        const QByteArray taken = QByteArray("the file that is already there");
        QVERIFY(writeFile(folder + QStringLiteral("final.mov"), taken));

        // Writing the partial file: create exclusively, write, flush to the server.
        const QByteArray partial = (folder + QStringLiteral("a.partial")).toLocal8Bit();
        const int fd = ::open(partial.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY2(fd >= 0, strerror(errno));
        const QByteArray chunk(1 << 20, 'x');
        QCOMPARE(::write(fd, chunk.constData(), size_t(chunk.size())), ssize_t(chunk.size()));
        const QString syncRange =
            errnoText(::sync_file_range(fd, 0, chunk.size(), SYNC_FILE_RANGE_WRITE));
        const int adviceError = ::posix_fadvise(fd, 0, chunk.size(), POSIX_FADV_DONTNEED);
        const QString advice = adviceError == 0 ? QStringLiteral("works")
                                                : QString::fromLocal8Bit(strerror(adviceError));
        const int fsyncResult = ::fsync(fd);
        const QString fsyncText = errnoText(fsyncResult);
        QCOMPARE(::close(fd), 0);
        QVERIFY2(fsyncResult == 0, qPrintable(fsyncText));

        // Pages of the partial file still in the local cache after dropping them.
        qsizetype resident = -1;
        if (const int reader = ::open(partial.constData(), O_RDONLY); reader >= 0) {
            if (void *map = ::mmap(nullptr, size_t(chunk.size()), PROT_READ, MAP_SHARED, reader, 0);
                map != MAP_FAILED) {
                std::vector<unsigned char> pages(size_t(chunk.size()) /
                                                 size_t(::sysconf(_SC_PAGESIZE)));
                if (::mincore(map, size_t(chunk.size()), pages.data()) == 0)
                    resident = std::count_if(pages.begin(), pages.end(),
                                             [](unsigned char page) { return page & 1; });
                ::munmap(map, size_t(chunk.size()));
            }
            ::close(reader);
        }

        // An uncached read of one aligned block.
        QString directText;
        const int direct = ::open(partial.constData(), O_RDONLY | O_DIRECT);
        if (direct < 0) {
            directText =
                QStringLiteral("refused at open (%1)").arg(QString::fromLocal8Bit(strerror(errno)));
        } else {
            void *block = nullptr;
            QCOMPARE(::posix_memalign(&block, 4096, 4096), 0);
            const ssize_t got = ::read(direct, block, 4096);
            directText = got == 4096 ? QStringLiteral("works")
                                     : QStringLiteral("opens but read gives %1 (%2)")
                                           .arg(got)
                                           .arg(QString::fromLocal8Bit(strerror(errno)));
            ::free(block);
            ::close(direct);
        }

        // Whether a plain rename replaces a taken name.
        QVERIFY(writeFile(folder + QStringLiteral("plain.partial"), "new"));
        QVERIFY(writeFile(folder + QStringLiteral("plain.mov"), "old"));
        const int plain =
            ::rename((folder + QStringLiteral("plain.partial")).toLocal8Bit().constData(),
                     (folder + QStringLiteral("plain.mov")).toLocal8Bit().constData());
        const QString plainText = plain != 0 ? QString::fromLocal8Bit(strerror(errno))
                                  : contentOf(folder + QStringLiteral("plain.mov")) == "new"
                                      ? QStringLiteral("replaces it")
                                      : QStringLiteral("keeps the old file");

        // The exclusive rename onto a taken name must fail; onto a free name it should work.
        const QByteArray finalPath = (folder + QStringLiteral("final.mov")).toLocal8Bit();
        const int onTaken = ::renameat2(AT_FDCWD, partial.constData(), AT_FDCWD,
                                        finalPath.constData(), RENAME_NOREPLACE);
        const int onTakenErrno = errno;
        const QByteArray freePath = (folder + QStringLiteral("free.mov")).toLocal8Bit();
        const int onFree = ::renameat2(AT_FDCWD, partial.constData(), AT_FDCWD,
                                       freePath.constData(), RENAME_NOREPLACE);
        const QString renameText =
            onFree == 0 ? QStringLiteral("works") : QString::fromLocal8Bit(strerror(errno));
        const QByteArray source = onFree == 0 ? freePath : partial;

        const int linked = ::link(
            source.constData(), (folder + QStringLiteral("linked.mov")).toLocal8Bit().constData());
        const QString linkText = errnoText(linked);

        qInfo().noquote()
            << QStringLiteral(
                   "GVfs FUSE mount: renameat2(RENAME_NOREPLACE) %1 (onto a taken name: %2), "
                   "link() %3, "
                   "O_DIRECT %4, fsync %5, sync_file_range %6, posix_fadvise(DONTNEED) %7 (pages "
                   "of 1 MiB "
                   "still cached after it: %8), plain rename() onto a taken name %9")
                   .arg(renameText,
                        onTaken == 0 ? QStringLiteral("REPLACED IT")
                                     : QString::fromLocal8Bit(strerror(onTakenErrno)),
                        linkText, directText, fsyncText, syncRange, advice,
                        QString::number(resident), plainText);

        QCOMPARE(contentOf(folder + QStringLiteral("final.mov")), taken);
        QVERIFY(onTaken != 0);
        QVERIFY(onFree != 0 || QFileInfo::exists(QString::fromLocal8Bit(freePath)));
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
