// The copy-and-submit run against the real stand-in service and a local folder standing for the
// NAS: every test asserts what is on disk and what the stand-in holds.

#include "app/Relay.h"
#include "app/RunRecord.h"
#include "tests/app/ModelFixture.h"

#include <QJsonDocument>

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

    // Every answer to the submission is lost though the stand-in got it: the run can't tell, and
    // says so again at the next start; "Try again" sends the same key, which the stand-in answers
    // with the submission it made.
    void unansweredSubmissionThenTryAgainAfterARestart()
    {
        LossyRelay relay(quint16(f.standIn->base().port()), 5);
        auto model = f.makeModel(relay.base(), f.nas);
        f.toConfirm(*model,
                    {f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        model->intake()->setSurface(model->intake()->files().first().id,
                                    QStringLiteral("surtitles"));
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->run()->phaseKind(), Phase::Kind::failed, 30000);
        const QString unsure = QStringLiteral("Your files are safely on the NAS, but Tessera "
                                              "couldn't tell whether VX9 got the submission.");
        QVERIFY2(model->run()->failureMessage().startsWith(unsure),
                 qPrintable(model->run()->failureMessage()));
        const QString key = model->run()->state().key;
        model.reset();

        model = f.makeModel(relay.base(), f.nas);
        model->restoreRun();
        CopyRun &run = *model->run();
        QVERIFY2(run.failureMessage().startsWith(unsure), qPrintable(run.failureMessage()));
        run.run();
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::finished, 20000);
        QCOMPARE(run.state().key, key);
        const QJsonArray listed = f.submissions();
        QCOMPARE(listed.size(), 1);
        QCOMPARE(listed.first()[u"id"].toString(), run.state().submissionID.value_or(QString()));
        QCOMPARE(f.standIn->output().count("POST /api/submissions 201"), 1);
    }

    // The service loses a submission whose originals were still to be renamed when Tessera was
    // closed: the next start shows the rows as they were, renames the originals, says that VX9
    // doesn't know the submission any more, and "Submit again" makes one new submission under a
    // new key from the renamed files, copying nothing.
    void keptRunOutlivesTheServiceForgettingIt()
    {
        auto model = f.makeModel();
        const QString edl = QDir(f.editorFolder).filePath(QStringLiteral("cut.edl"));
        QFile file(edl);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("TITLE: Halcyon\n001  AX  V  C  00:00:00:00 00:00:01:00\n"
                   "* FROM CLIP NAME: 00_TST_Reel1 surtitles.mov\n");
        file.close();
        f.toConfirm(*model,
                    {f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov")),
                     QUrl::fromLocalFile(edl)});
        model->intake()->setSurface(model->intake()->files().first().id,
                                    QStringLiteral("surtitles"));
        model->confirmation()->setRenameOriginals(false);
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->run()->phaseKind(), Phase::Kind::finished, 20000);
        RunState kept = model->run()->state();
        const QList<FileRow> rows = model->run()->rows();
        const QString day = f.dayFolder(*model);
        QMap<QString, FileIdentity> placed;
        for (const QString &name : filesBelow(day))
            placed.insert(name, identityOf(day + u'/' + name));
        QCOMPARE(placed.size(), 2);
        model.reset();

        const QString port = QString::number(f.standIn->base().port());
        f.standIn.reset();
        f.standIn = std::make_unique<StandIn>(f.drop, QString::fromLatin1(accessKey),
                                              QStringLiteral("127.0.0.1:") + port);
        kept.renameOriginals = true;
        kept.originalsPending = true;
        QSettings(f.settingsFile(), QSettings::IniFormat)
            .setValue("runInProgress", QString::fromUtf8(RunRecord::write(kept)));
        model = f.makeModel();
        model->restoreRun();
        CopyRun &run = *model->run();
        QCOMPARE(run.rows(), rows);
        QCOMPARE(rows.last().detail, u"1 clip name updated to the new names");
        QTRY_VERIFY_WITH_TIMEOUT(run.isForgotten(), 10000);
        QVERIFY(run.failureMessage().startsWith(u"VX9 doesn't know this submission any more"));
        QCOMPARE(run.originalsOutcome(),
                 QStringList{QStringLiteral("Renamed 2 originals to match the NAS.")});
        QVERIFY(QFile::exists(f.editorFolder + u'/' + rows.first().finalName));

        run.run();
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::finished, 20000);
        QVERIFY(run.state().key != kept.key);
        QCOMPARE(f.submissions().size(), 1);
        for (auto it = placed.begin(); it != placed.end(); ++it)
            QCOMPARE(identityOf(day + u'/' + it.key()), it.value());
        QCOMPARE(run.rows().first().state, FileState::alreadyThere);
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

    // Tessera closed after the copy and before the service had the submission: the next start
    // takes the run up on the copy step, "Try again" carries on under the same key and version,
    // and the kept run goes once the verdict is in. Nothing secret is kept.
    void closedMidRunThenCarriesOnAtTheNextStart()
    {
        auto model = f.makeModel();
        const QUrl movie =
            f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"));
        f.toConfirm(*model, {movie});
        const quint16 port = quint16(f.standIn->base().port());
        f.standIn.reset();
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->run()->phaseKind(), Phase::Kind::failed, 20000);
        const RunState before = model->run()->state();
        const QString copy = f.dayFolder(*model) + u'/' + model->run()->rows().first().finalName;
        const FileIdentity placed = identityOf(copy);
        model.reset();
        QVERIFY(!contents(f.settingsFile()).contains(accessKey));

        f.standIn = std::make_unique<StandIn>(f.drop, QString::fromLatin1(accessKey),
                                              QStringLiteral("127.0.0.1:%1").arg(port));
        model = f.makeModel();
        model->restoreRun();
        CopyRun &run = *model->run();
        QCOMPARE(model->step(), Step::copy);
        QVERIFY(
            run.failureMessage().startsWith(u"Tessera was closed before the reel was submitted."));
        QCOMPARE(run.state().key, before.key);
        QCOMPARE(run.rows().first().state, FileState::done);
        run.run();
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::finished, 20000);
        QCOMPARE(run.state().version, before.version);
        QCOMPARE(run.rows().first().state, FileState::alreadyThere);
        QCOMPARE(identityOf(copy), placed);
        QCOMPARE(f.submissions().size(), 1);
        model.reset();
        QVERIFY(!QSettings(f.settingsFile(), QSettings::IniFormat).contains("runInProgress"));

        // A kept run whose movie changed since waits for "Start over"; a damaged one is dropped.
        RunState changed = before;
        changed.stamps.first().size += 1;
        QSettings(f.settingsFile(), QSettings::IniFormat)
            .setValue("runInProgress", QString::fromUtf8(RunRecord::write(changed)));
        model = f.makeModel();
        model->restoreRun();
        QVERIFY(model->run()->failureMessage().startsWith(u"00_TST_Reel1 surtitles.mov changed"));
        QVERIFY(!model->run()->canTryAgain());
        model->startOver();
        model = f.makeModel();
        QSettings(f.settingsFile(), QSettings::IniFormat)
            .setValue("runInProgress", "{\"format\": 1");
        model->restoreRun();
        QCOMPARE(model->step(), Step::drop);
        QVERIFY(!QSettings(f.settingsFile(), QSettings::IniFormat).contains("runInProgress"));
    }

    // The kept run reads back as it was written; anything else is not read.
    void keptRunReadsBackAsWritten()
    {
        RunState state;
        state.reel = {QStringLiteral("recTST1"), reel1};
        state.version = QStringLiteral("2612071848");
        state.key = newSubmissionKey();
        state.files = {{QStringLiteral("a"), QUrl::fromLocalFile("/x/a é.mov"),
                        Slot{Surface::floor, Proxy::half}},
                       {QStringLiteral("b"), QUrl::fromLocalFile("/x/b.mov"), std::nullopt}};
        state.edl = QUrl::fromLocalFile("/x/cut.edl");
        state.stamps.insert("/x/b.mov", {42, QDateTime::fromMSecsSinceEpoch(1765000000123)});
        state.note = QStringLiteral("line\nbreak");
        state.editor = {QStringLiteral("Kit Orr"), QStringLiteral("U7")};
        state.verified.insert(QStringLiteral("n.mov"), {QString(64, u'a'), FileStamp::unknown()});
        state.newEDL = true;
        state.renameOriginals = false;
        state.foundOnNAS.insert(QStringLiteral("m.mov"), FileState::renamed);
        state.foundOnNAS.insert(QStringLiteral("t.mov"), FileState::alreadyThere);
        state.edlContent = QByteArray("TITLE: \xe9t\xe9\0\n", 10);
        state.edlChanges = 3;
        state.maybeSubmitted = true;
        state.submissionID = QStringLiteral("recS");
        state.submissionNumber = 12;
        state.submittedAt = QDateTime::fromMSecsSinceEpoch(1765000000000);
        state.originalsPending = true;
        state.originalsOutcome = {QStringLiteral("Renamed 1 original to match the NAS.")};
        state.partials = {QStringLiteral("file:///x/n.mov.0123456789ab.partial")};
        const QByteArray json = RunRecord::write(state);
        QCOMPARE(RunRecord::read(json), state);

        // A run kept before the later fields is taken up as it was then.
        QJsonObject older = QJsonDocument::fromJson(json).object();
        for (const char *later : {"foundOnNAS", "edlContent", "edlChanges", "maybeSubmitted",
                                  "originalsPending", "originalsOutcome", "partials"})
            older.remove(QLatin1StringView(later));
        RunState before = state;
        before.foundOnNAS.clear();
        before.edlContent.reset();
        before.edlChanges = 0;
        before.maybeSubmitted = before.originalsPending = false;
        before.originalsOutcome.clear();
        before.partials.clear();
        QCOMPARE(RunRecord::read(QJsonDocument(older).toJson()), before);
        for (const QByteArray &damaged :
             {json.left(json.size() / 2), QByteArray(json).replace("\"format\":1", "\"format\":0"),
              QByteArray(json).replace("\"2612071848\"", "2612071848"),
              QByteArray(json).replace("\"proxy\":2", "\"proxy\":3"),
              QByteArray(json).replace("\"renamed\"", "\"copied\""), QByteArray("[]")})
            QVERIFY2(!RunRecord::read(damaged), damaged.constData());
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
        settle(); // the stopped copy ends in the background
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

    // A different file under a final name stops the run with the planner's sentence, before
    // anything is copied, and stays as it was.
    void differentFileUnderTheFinalNameStopsTheRun()
    {
        auto model = f.makeModel();
        f.toConfirm(*model,
                    {f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        model->intake()->setSurface(model->intake()->files().first().id,
                                    QStringLiteral("surtitles"));
        const QString name = *model->confirmation()->finalName(model->intake()->files().first());
        QVERIFY(QDir().mkpath(f.dayFolder(*model)));
        QFile other(f.dayFolder(*model) + u'/' + name);
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("someone else's") == 14);
        other.close();
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->run()->phaseKind(), Phase::Kind::failed, 20000);
        QCOMPARE(model->run()->failureMessage(), CopyPlanError::nameTaken(name).description());
        QCOMPARE(contents(other.fileName()), QByteArray("someone else's"));
        QCOMPARE(filesBelow(f.dayFolder(*model)), QStringList{name});
        QCOMPARE(f.submissions().size(), 0);
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
