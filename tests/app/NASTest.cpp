#include "app/NAS.h"

#include "app/AppModel.h"
#include "app/Once.h"
#include "tests/app/SilentServer.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

using namespace tessera;
using namespace std::chrono_literals;

class NASTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shareIdentityComesFromTheURL()
    {
        const NAS nas{QUrl(QStringLiteral("smb://NAS.Halcyon.local/Drop%20Box/"))};
        QCOMPARE(nas.host(), QStringLiteral("nas.halcyon.local"));
        QCOMPARE(nas.share(), QStringLiteral("Drop Box"));
        QVERIFY(!nas.isLocalFolder());
        QCOMPARE(NAS{QUrl(QStringLiteral("smb:///Production"))}.host(), QString());

        const NAS fallback = NAS::defaultNAS();
        QCOMPARE(fallback.url.scheme(), QStringLiteral("smb"));
        QVERIFY(!fallback.host().isEmpty() && !fallback.share().isEmpty());

        QCOMPARE(NAS::forSetting(QStringLiteral("smb://10.0.0.5/Production")).url,
                 QUrl(QStringLiteral("smb://10.0.0.5/Production")));
        QCOMPARE(NAS::forSetting(QStringLiteral("file:///srv/nas")).url,
                 QUrl::fromLocalFile(QStringLiteral("/srv/nas")));
        QVERIFY(NAS::forSetting(QStringLiteral("file:///srv/nas")).isLocalFolder());
        // A share name with a space, encoded as the settings file keeps it or written as it reads.
        for (const QString &spaced :
             {QStringLiteral("smb://nas/Drop%20Box"), QStringLiteral("smb://nas/Drop Box")})
            QCOMPARE(NAS::forSetting(spaced).share(), QStringLiteral("Drop Box"));
        QTemporaryDir folder;
        auto settings = std::make_unique<QSettings>(folder.filePath(QStringLiteral("s.ini")),
                                                    QSettings::IniFormat);
        settings->setValue(QStringLiteral("nasURL"), QStringLiteral("smb://nas/Drop%20Box"));
        AppModel::Options options;
        options.settings = std::move(settings);
        QCOMPARE(AppModel(std::move(options)).run()->nas().share(), QStringLiteral("Drop Box"));
        for (const QString &invalid :
             {QString(), QStringLiteral("   "), QStringLiteral("nas.halcyon.local/Production"),
              QStringLiteral("smb://nas halcyon/Production"), QStringLiteral("smb://[::1/x")})
            QCOMPARE(NAS::forSetting(invalid), fallback);
    }

    void mountCodesAndTheirSentences()
    {
        QVERIFY(NAS::mountMessage(80).contains(u"didn't accept the login"));
        // Cancelled in Tessera's sign-in or in the system's: one sentence.
        QCOMPARE(NAS::mountMessage(-128), NAS::mountMessage(89));
        QVERIFY(NAS::mountMessage(89).startsWith(u"Connecting to the NAS was cancelled."));
        QVERIFY(NAS::mountMessage(NAS::timedOut).contains(u"(error 1024)"));
        bool asked = false;
        const auto ask = [&](const NAS::SignIn &, NAS::Answer) { asked = true; };
        QCOMPARE(QCoro::waitFor(NAS{QUrl(QStringLiteral("ftp://nas.invalid/share"))}.mount(ask)),
                 int(NAS::notSupported));
        QCOMPARE(QCoro::waitFor(NAS{QUrl(QStringLiteral("smb:///share"))}.mount(ask)),
                 int(NAS::notSupported));
        QVERIFY(!asked);
    }

    void onceRunsOnlyTheFirstOfRacingActions()
    {
        Once once;
        std::atomic<int> runs = 0;
        std::atomic<int> firsts = 0;
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i) {
            threads.emplace_back([&] {
                if (once.run([&] { ++runs; }))
                    ++firsts;
            });
        }
        for (auto &thread : threads)
            thread.join();
        QCOMPARE(runs.load(), 1);
        QCOMPARE(firsts.load(), 1);
        QVERIFY(once.isDone());
        // An action may use the same Once again: it is not called under the lock.
        Once nested;
        bool inner = true;
        QVERIFY(nested.run([&] { inner = nested.run([] {}); }));
        QVERIFY(!inner);
    }

    void reachAnswersForListeningClosedAndSilentServers()
    {
        QTcpServer listening;
        QVERIFY(listening.listen(QHostAddress::LocalHost));
        QCOMPARE(QCoro::waitFor(nasAt(listening.serverPort()).reach(5s)), NAS::Reach::ok);

        QTcpServer closing;
        QVERIFY(closing.listen(QHostAddress::LocalHost));
        const quint16 closedPort = closing.serverPort();
        closing.close();
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(QCoro::waitFor(nasAt(closedPort).reach(5s)), NAS::Reach::unreachable);
        QVERIFY2(clock.elapsed() < 4000,
                 "a refused connection answers without waiting for the time-out");

        const SilentServer silent;
        QVERIFY(silent.port() != 0);
        clock.restart();
        QCOMPARE(QCoro::waitFor(nasAt(silent.port()).reach(1500ms)), NAS::Reach::unreachable);
        QVERIFY2(clock.elapsed() >= 1490 && clock.elapsed() < 4000,
                 qPrintable(QStringLiteral("answered after %1 ms").arg(clock.elapsed())));

        QCOMPARE(QCoro::waitFor(NAS{QUrl(QStringLiteral("smb:///share"))}.reach(1s)),
                 NAS::Reach::unreachable);
    }

    void aLocalFolderStandsForTheShareRoot()
    {
        QTemporaryDir temp;
        const NAS nas{QUrl::fromLocalFile(temp.path())};
        QVERIFY(nas.isLocalFolder());
        QVERIFY(nas.isMounted());
        QCOMPARE(QCoro::waitFor(nas.mount({})), 0);

        const NAS missing{QUrl::fromLocalFile(temp.path() + QStringLiteral("/gone"))};
        QVERIFY(!missing.isMounted());
        const int code = QCoro::waitFor(missing.mount({}));
        QVERIFY(code != 0);
        QVERIFY(NAS::mountMessage(code).contains(QString::number(code)));
    }

    void theFirstMountPointWithTheDropFolderWins()
    {
        QTemporaryDir temp;
        const QString first = temp.filePath(QStringLiteral("first"));
        const QString second = temp.filePath(QStringLiteral("second"));
        const QString other = temp.filePath(QStringLiteral("other share"));
        const auto dropIn = [](const QString &root) {
            return root + QStringLiteral("/Halcyon_Drop/Reels");
        };
        QVERIFY(QDir().mkpath(first) && QDir().mkpath(second) && QDir().mkpath(dropIn(other)));
        const QList<MountEntry> table = {
            {QStringLiteral("//nas.halcyon.local/Other"), other, QStringLiteral("smbfs")},
            {QStringLiteral("//bob@NAS.halcyon.local:445/Production"), first,
             QStringLiteral("smbfs")},
            {QStringLiteral("//nas.halcyon.local/production/"), second, QStringLiteral("smbfs")},
        };
        const NAS nas{QUrl(QStringLiteral("smb://nas.halcyon.local/Production"))};
        // Mounted twice, but neither has the drop folder.
        QCOMPARE(nas.mountedDropRoot(table), std::nullopt);

        QVERIFY(QDir().mkpath(dropIn(second)));
        QCOMPARE(nas.mountedDropRoot(table), QUrl::fromLocalFile(dropIn(second) + u'/'));
        QVERIFY(QDir().mkpath(dropIn(first)));
        QCOMPARE(nas.mountedDropRoot(table), QUrl::fromLocalFile(dropIn(first) + u'/'));

        // A file where the drop folder should be does not count.
        QVERIFY(QDir(dropIn(first)).removeRecursively());
        QVERIFY(QFile(dropIn(first)).open(QIODevice::WriteOnly));
        QCOMPARE(nas.mountedDropRoot(table), QUrl::fromLocalFile(dropIn(second) + u'/'));
    }

private:
    static NAS nasAt(quint16 port)
    {
        return NAS{QUrl(QStringLiteral("smb://127.0.0.1:%1/share").arg(port))};
    }
};

QTEST_GUILESS_MAIN(NASTest)
#include "NASTest.moc"
