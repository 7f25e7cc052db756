// The copy-and-submit run against the real stand-in service and a local folder standing for the
// NAS: every test asserts what is on disk and what the stand-in holds.

#include "app/Relay.h"
#include "tests/app/ModelFixture.h"

#include <thread>

using namespace tessera;
using namespace tessera::testing;

class CopyRunTest : public QObject
{
    Q_OBJECT
    ModelFixture f;

private Q_SLOTS:
    void initTestCase() { f.makeMovies(); }
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    // The service takes the submission but its answer is lost: the run confirms and makes one.
    void lostAnswerConfirmsIntoOneSubmission()
    {
        LossyRelay relay(quint16(f.standIn->base().port()), 1);
        auto model = f.makeModel(relay.base(), f.nas);
        f.toConfirm(*model,
                    {f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        model->intake()->setSurface(model->intake()->files().first().id,
                                    QStringLiteral("surtitles"));
        const CopyRun &run = *model->run();
        QList<Phase::Kind> phases;
        connect(&run, &CopyRun::phaseChanged, this, [&] { phases << run.phaseKind(); });
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::finished, 30000);
        QVERIFY(phases.contains(Phase::Kind::confirming));
        QCOMPARE(f.submissions().size(), 1);
    }

    // Down at submit, then "Try again": the same key, nothing copied twice, one submission.
    void serviceDownAtSubmitThenTryAgain()
    {
        auto model = f.makeModel();
        CopyRun &run = *model->run();
        f.toConfirm(*model,
                    {f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        const quint16 port = quint16(f.standIn->base().port());
        f.standIn.reset(); // the service goes away after the reel list came
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::failed, 20000);
        QVERIFY2(run.failureMessage().startsWith(
                     u"The files are safely on the NAS, but submitting didn't work."),
                 qPrintable(run.failureMessage()));
        const QString key = run.state().key;
        QCOMPARE(key.size(), 36);
        const QString copy = f.dayFolder(*model) + u'/' + run.rows().first().finalName;
        const FileIdentity before = identityOf(copy);
        QVERIFY(before.inode != 0);

        f.standIn = std::make_unique<StandIn>(f.drop, QString::fromLatin1(accessKey),
                                              QStringLiteral("127.0.0.1:%1").arg(port));
        run.run();
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::finished, 20000);
        QCOMPARE(run.state().key, key);
        QCOMPARE(run.rows().first().state, FileState::alreadyThere);
        QCOMPARE(identityOf(copy), before);
        QCOMPARE(f.submissions().size(), 1);
    }

    // "Stop" during the second copy, then "Try again": the first file is not copied again and no
    // partial file is left behind.
    void stopMidCopyThenTryAgain()
    {
        auto model = f.makeModel();
        CopyRun &run = *model->run();
        f.toConfirm(*model,
                    {f.exported("awall.mov", QStringLiteral("00_TST_Reel1_awall.mov")),
                     f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1_surtitles.mov"))});
        connect(&run, &CopyRun::transferChanged, this, [&] {
            if (run.transfer() && run.transfer()->index == 2)
                run.stop();
        });
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::failed, 20000);
        QCOMPARE(run.failureMessage(), u"Copy stopped.");
        const QString day = f.dayFolder(*model);
        const QString first = run.rows().at(0).finalName;
        QCOMPARE(filesBelow(day), QStringList{first});
        QCOMPARE(run.rows().at(1).state, FileState::failed);
        const FileIdentity before = identityOf(day + u'/' + first);

        disconnect(&run, &CopyRun::transferChanged, this, nullptr);
        run.run();
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::finished, 20000);
        QCOMPARE(run.rows().at(0).state, FileState::alreadyThere);
        QCOMPARE(run.rows().at(1).state, FileState::done);
        QCOMPARE(identityOf(day + u'/' + first), before);
        QCOMPARE(filesBelow(day).size(), 2);
        QCOMPARE(f.submissions().size(), 1);
    }

    // A share without the drop folder stops the run with its sentence and is left as it was.
    void missingDropFolderStopsTheRun()
    {
        // A full NAS and one that vanishes are met by the window's fault tests.
        const QString bare = f.work->filePath(QStringLiteral("bare-share"));
        QVERIFY(QDir().mkpath(bare));
        auto model = f.makeModel(f.standIn->base(), bare);
        f.toConfirm(*model,
                    {f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        model->startCopy();
        QTRY_COMPARE(model->run()->phaseKind(), Phase::Kind::failed);
        QCOMPARE(model->run()->failureMessage(),
                 u"The NAS is connected but the folder Halcyon_Drop/Reels isn't there. Ask "
                 u"production to check the share.");
        QCOMPARE(filesBelow(bare), QStringList());
    }

    // A worker's report that reaches the main thread after its stage ended, or after its task was
    // abandoned, changes nothing: a finished stage never speaks again.
    void lateReportsChangeNothing()
    {
        QObject target;
        const auto abandoned = std::make_shared<bool>(false);
        const auto relay = std::make_shared<Relay<QObject>>(&target, abandoned);
        int delivered = 0;
        const auto report = [&] {
            std::thread([&] {
                Relay<QObject>::post(relay, [&](QObject *) { ++delivered; });
            }).join();
        };
        report();
        QCoreApplication::processEvents();
        QCOMPARE(delivered, 1);
        report(); // queued while the stage goes on, delivered after it ended
        relay->close();
        QCoreApplication::processEvents();
        QCOMPARE(delivered, 1);

        const auto other = std::make_shared<Relay<QObject>>(&target, abandoned);
        std::thread([&] { Relay<QObject>::post(other, [&](QObject *) { ++delivered; }); }).join();
        *abandoned = true;
        QCoreApplication::processEvents();
        QCOMPARE(delivered, 1);
    }

    // Copy progress reaches the main thread about five times a second; the last report always.
    void throttleThinsProgress()
    {
        Throttle throttle;
        QVERIFY(throttle.ready(false)); // the first report of a file
        QVERIFY(!throttle.ready(false));
        QVERIFY(throttle.ready(true));
        QTest::qSleep(Throttle::intervalMs + 20);
        QVERIFY(throttle.ready(false));
    }
};

QTEST_GUILESS_MAIN(CopyRunTest)
#include "CopyRunTest.moc"
