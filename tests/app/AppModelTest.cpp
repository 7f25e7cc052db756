// The application model as a whole, driven without QML, against the real stand-in service and a
// local folder standing for the NAS: the whole road, the model going away mid-run, and what the
// settings keep for the next start.

#include "tests/app/ModelFixture.h"

#include <QAbstractItemModelTester>

using namespace tessera;
using namespace tessera::testing;

class AppModelTest : public QObject
{
    Q_OBJECT
    ModelFixture f;

private Q_SLOTS:
    void initTestCase() { f.makeMovies(); }
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    // The whole road twice: a good reel to "Ready for QLab", then "Submit fixed files" with a
    // movie re-exported at the wrong size after it was checked, to "Needs fixing".
    void wholeRoadToReadyThenNeedsFixing()
    {
        auto model = f.makeModel();
        const CopyRun &run = *model->run();
        QAbstractItemModelTester tester(run.rowsModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QString edlPath = QDir(f.editorFolder).filePath(QStringLiteral("cut.edl"));
        put(edlPath, "TITLE: Halcyon\n001  AX  V  C  00:00:00:00 00:00:01:00\n"
                     "* FROM CLIP NAME: 00-TST-Reel1 awall.mov\n"
                     "* FROM CLIP NAME: 00-TST-Reel1 surtitles.mov\n");
        f.toConfirm(*model,
                    {f.exported("awall.mov", QStringLiteral("00-TST-Reel1 awall.mov")),
                     f.exported("surtitles.mov", QStringLiteral("00-TST-Reel1 surtitles.mov")),
                     QUrl::fromLocalFile(edlPath)});
        const Confirmation &confirmation = *model->confirmation();
        QCOMPARE(model->reels()->selectedReel()->name, reel1); // found from the file names
        QCOMPARE(confirmation.fileProblems(), (QList<QStringList>{{}, {}}));
        QCOMPARE(confirmation.plannedOriginalRenames().size(), 3);
        QVERIFY2(confirmation.canSubmit(), qPrintable(confirmation.submitBlockerText()));

        model->startCopy();
        QCOMPARE(model->step(), Step::copy);
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::finished, 30000);
        QCOMPARE(model->verdict()->status(), u"Ready for QLab");

        const QString v = confirmation.version();
        const QString aw = reel1 + QStringLiteral("_awall_v") + v + QStringLiteral(".mov");
        const QString st = reel1 + QStringLiteral("_surtitles_v") + v + QStringLiteral(".mov");
        const QString edl = QStringLiteral("Halcyon_v") + v + QStringLiteral(".edl");
        const QString day = f.dayFolder(*model);
        QCOMPARE(filesBelow(day), (QStringList{aw, st, edl}));
        QCOMPARE(contents(day + u'/' + aw), contents(f.movie("awall.mov")));
        QCOMPARE(contents(day + u'/' + st), contents(f.movie("surtitles.mov")));
        QCOMPARE(contents(day + u'/' + edl),
                 ("TITLE: Halcyon\n001  AX  V  C  00:00:00:00 00:00:01:00\n* FROM CLIP NAME: " +
                  aw + "\n* FROM CLIP NAME: " + st + "\n")
                     .toUtf8());

        // The rows, the originals and what the service holds.
        QList<FileState> states;
        for (const FileRow &row : run.rows())
            states << row.state;
        QCOMPARE(states, (QList<FileState>{FileState::done, FileState::done, FileState::done}));
        QCOMPARE(run.rows().last().detail, u"2 clip names updated to the new names");
        QCOMPARE(filesBelow(f.editorFolder), (QStringList{aw, st, edl}));
        QVERIFY(
            contents(f.editorFolder + u'/' + edl).contains("CLIP NAME: 00-TST-Reel1 awall.mov"));
        QCOMPARE(run.originalsOutcome(),
                 QStringList{QStringLiteral("Renamed 3 originals to match the NAS.")});
        QJsonArray held = f.submissions();
        QCOMPARE(held.size(), 1);
        QCOMPARE(held.at(0)[QStringLiteral("status")].toString(), u"Ready for QLab");
        QCOMPARE(held.at(0)[QStringLiteral("editor")].toString(), u"Kit Orr");

        // Again for the same reel; the re-export lands after the check.
        model->submitFixedFiles();
        QCOMPARE(model->step(), Step::drop);
        QCOMPARE(model->reels()->keptReel()->name, reel1);
        const QUrl fixed = f.exported("surtitles.mov", QStringLiteral("surtitles take 2.mov"));
        model->add({fixed});
        model->goToConfirm();
        QTRY_VERIFY(!model->intake()->checkingFiles());
        QVERIFY(confirmation.version() > v);
        QVERIFY(!confirmation.completenessWarning()); // a kept reel gets no completeness note
        QVERIFY2(confirmation.canSubmit(), qPrintable(confirmation.submitBlockerText()));
        QFile::remove(fixed.toLocalFile());
        QFile::copy(f.movie("surtitles-wrong-size.mov"), fixed.toLocalFile());
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(run.phaseKind(), Phase::Kind::finished, 30000);
        QCOMPARE(model->verdict()->status(), u"Needs fixing");
        QVERIFY2(model->verdict()->problems().join(u' ').contains(u"5612×304"),
                 qPrintable(model->verdict()->problems().join(u'\n')));
        held = f.submissions();
        QCOMPARE(held.size(), 2);
        QCOMPARE(held.at(1)[QStringLiteral("status")].toString(), u"Needs fixing");
    }

    // Closing the window mid-copy and while polling: nothing crashes, nothing resumes on the
    // deleted model, no partial file stays.
    void modelDestroyedDuringCopyAndPolling()
    {
        auto model = f.makeModel();
        f.toConfirm(*model,
                    {f.exported("awall.mov", QStringLiteral("00_TST_Reel1_awall.mov")),
                     f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1_surtitles.mov"))});
        const QString day = f.dayFolder(*model);
        AppModel *raw = model.release();
        connect(raw->run(), &CopyRun::transferChanged, raw, [raw] {
            if (raw->run()->transfer() && raw->run()->transfer()->index == 1)
                raw->deleteLater();
        });
        QPointer<AppModel> watch = raw;
        raw->startCopy();
        QTRY_VERIFY(!watch);
        settle();
        for (const QString &name : filesBelow(day))
            QVERIFY2(!name.endsWith(u".partial"), qPrintable(name));

        // Waiting on a verdict that cannot come: the stand-in looks at another folder.
        const QString elsewhere = f.work->filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(elsewhere));
        f.standIn = std::make_unique<StandIn>(elsewhere, QString::fromLatin1(accessKey));
        model = f.makeModel();
        f.toConfirm(*model,
                    {f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->run()->phaseKind(), Phase::Kind::waiting, 20000);
        QTRY_VERIFY(model->verdict()->waitingForFiles());
        f.standIn->stop();
        QTRY_VERIFY(model->verdict()->pollTrouble());
        QCOMPARE(model->run()->phaseKind(), Phase::Kind::waiting);
        model.reset();
        settle();
    }

    // What was changed is there for the next start; a missing option is on; starting over keeps
    // the name.
    void settingsKeptForNextStart()
    {
        auto model = f.makeModel();
        model->identity()->setEditor(QStringLiteral("Mira"));
        model->identity()->setMe(
            SlackUser{QStringLiteral("U7"), QStringLiteral("mira"), QStringLiteral("Mira Lantz")});
        model->confirmation()->setRenameOriginals(false);
        QVERIFY(model->confirmation()->plannedOriginalRenames().isEmpty());
        model.reset();
        QSettings stored(f.settingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("editorName")).toString(), u"Mira");
        QCOMPARE(stored.value(QStringLiteral("slackUserID")).toString(), u"U7");
        QCOMPARE(stored.value(QStringLiteral("renameOriginalsDefaultOn")).toString(), u"false");
        model = f.makeModel();
        QCOMPARE(model->identity()->me(),
                 (SlackUser{QStringLiteral("U7"), QString(), "Mira Lantz"}));
        QVERIFY(!model->confirmation()->renameOriginals());
        stored.remove(QStringLiteral("renameOriginalsDefaultOn"));
        stored.sync();
        model = f.makeModel();
        QVERIFY(model->confirmation()->renameOriginals());
        model->startOver();
        QCOMPARE(model->identity()->editor(), u"Kit Orr");
        QCOMPARE(model->step(), Step::drop);
    }
};

QTEST_GUILESS_MAIN(AppModelTest)
#include "AppModelTest.moc"
