// The confirm step's gates and problems, with real movies and the real stand-in's reel list.

#include "tests/app/ModelFixture.h"

using namespace tessera;
using namespace tessera::testing;

class ConfirmationTest : public QObject
{
    Q_OBJECT
    ModelFixture f;

private Q_SLOTS:
    void initTestCase() { f.makeMovies(); }
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    // The gates between the steps: one message at a time, in order.
    void gatesInOrder()
    {
        auto model = f.makeModel();
        Intake &intake = *model->intake();
        ReelChoice &reels = *model->reels();
        const Confirmation &confirmation = *model->confirmation();
        model->add({f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1_surtitles.mov")),
                    f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1_surtitles_b.mov"))});
        intake.setSurface(intake.files().at(1).id, QStringLiteral("surtitles"));
        model->identity()->setEditor(QString(61, u'x'));
        QVERIFY(!model->canContinue());
        model->identity()->setEditor(QString(60, u'x'));
        QVERIFY(model->canContinue());
        // Counted and cut as the editor sees them: an emoji is one character, never split.
        const QString face = QStringLiteral("😀");
        model->identity()->useTypedName(face.repeated(61));
        QCOMPARE(model->identity()->editor(), face.repeated(60));
        // The window says at once that a typed name will be cut.
        model->identity()->setUserQuery(face.repeated(60) + u' ');
        QVERIFY(!model->identity()->typedNameCut());
        model->identity()->setUserQuery(face.repeated(61));
        QVERIFY(model->identity()->typedNameCut());
        model->identity()->setUserQuery(QString());
        QVERIFY(model->canContinue());
        model->goToConfirm();
        QTRY_VERIFY(!reels.reels().isEmpty() && !intake.checkingFiles());

        reels.setSelectedReel(std::nullopt);
        QCOMPARE(confirmation.submitBlockerText(), u"Pick the reel.");
        reels.pickReel(QStringLiteral("recTST2"));
        QCOMPARE(confirmation.submitBlockerText(), u"Check the reel first.");
        reels.setReelConfirmed(true);
        reels.pickReel(QStringLiteral("recTST2")); // the same reel keeps the confirmation
        QVERIFY(reels.reelConfirmed());
        reels.pickReel(QStringLiteral("recTST1"));
        QVERIFY(!reels.reelConfirmed());
        QCOMPARE(confirmation.submitBlockerText(),
                 u"Two files point at the same surface. Change one of them.");
        model->add({f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1_surtitles_c.mov"))});
        intake.setSurface(intake.files().at(2).id, QStringLiteral("surtitles"));
        QCOMPARE(confirmation.submitBlockerText(),
                 u"3 files point at the same surface. Give each file a surface of its own.");
        intake.remove(intake.files().at(2));
        QTRY_VERIFY(!intake.checkingFiles());
        intake.setSurface(intake.files().at(1).id, QString());
        QCOMPARE(confirmation.submitBlockerText(), u"Pick a surface for every file.");
        intake.remove(intake.files().at(1));
        model->confirmation()->setNote(QString(2001, u'n'));
        QCOMPARE(confirmation.submitBlockerText(),
                 u"The note is too long (2000 characters at most).");
        model->confirmation()->setNote(QString(2000, u'n'));
        QVERIFY(confirmation.canSubmit());
        model->identity()->setEditor(QString(61, u'x'));
        QCOMPARE(confirmation.submitBlockerText(), u"Say who you are on the first step.");
    }

    // "No reel matches." when the search finds nothing, also in a list that came empty.
    void reelSearchSaysWhenNothingMatches()
    {
        auto model = f.makeModel();
        ReelChoice &reels = *model->reels();
        QVERIFY(!reels.noReelMatches()); // nothing asked yet
        reels.takeReels({});
        QVERIFY(reels.noReelMatches());
        reels.takeReels({{QStringLiteral("recTST1"), reel1}});
        QVERIFY(!reels.noReelMatches());
        reels.setQuery(QStringLiteral("CAB"));
        QVERIFY(reels.noReelMatches());
    }

    // A movie of another reel, dropped from today's folder on the NAS, blocks the run.
    void otherReelsMovieBlocksTheRun()
    {
        auto model = f.makeModel();
        Intake &intake = *model->intake();
        model->add({f.exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        model->goToConfirm();
        const QString day = f.dayFolder(*model);
        QVERIFY(QDir().mkpath(day));
        const QString theirs = day + QStringLiteral("/00_TST_Reel2_surtitles_v") +
                               model->confirmation()->version() + ".mov";
        QVERIFY(QFile::copy(f.movie("surtitles.mov"), theirs));
        model->add({QUrl::fromLocalFile(theirs)});
        QTRY_VERIFY(!model->reels()->reels().isEmpty() && !intake.checkingFiles());
        model->reels()->pickReel(QStringLiteral("recTST1"));
        model->reels()->setReelConfirmed(true);
        intake.setSurface(intake.files().at(1).id, QStringLiteral("awall"));
        QVERIFY(model->confirmation()->fileProblems().at(1).contains(
            QStringLiteral("00_TST_Reel2_surtitles_v") + model->confirmation()->version() +
            QStringLiteral(".mov already belongs to 00_TST_Reel2.")));
        QCOMPARE(model->confirmation()->submitBlockerText(),
                 u"Fix the problems in red, then drop the files again.");
        model->startCopy();
        QCOMPARE(model->step(), Step::confirm);
        QCOMPARE(filesBelow(day).size(), 1);
    }
    // An EDL that dissolves from one reel movie into the other, as editing systems write it:
    // nothing blocks the run, and every clip line of the EDL delivered names a delivered movie.
    void dissolveBetweenReelMoviesIsDelivered()
    {
        auto model = f.makeModel();
        const QString edlPath = QDir(f.editorFolder).filePath(QStringLiteral("cut.edl"));
        const auto edl = [](const QString &outgoing, const QString &incoming) {
            return "TITLE: Halcyon\r\nFCM: NON-DROP FRAME\r\n\r\n"
                   "001  AX       V     C        00:00:00:00 00:00:05:00 01:00:00:00 "
                   "01:00:05:00\r\n"
                   "* FROM CLIP NAME: " +
                   outgoing.toUtf8() +
                   "\r\n"
                   "002  AX       V     C        00:00:05:00 00:00:05:00 01:00:05:00 "
                   "01:00:05:00\r\n"
                   "002  BX       V     D    030 00:00:00:00 00:00:10:00 01:00:05:00 "
                   "01:00:15:00\r\n"
                   "* FROM CLIP NAME: " +
                   outgoing.toUtf8() + "\r\n* TO CLIP NAME: " + incoming.toUtf8() + "\r\n";
        };
        const QString awall = QStringLiteral("00-TST-Reel1 awall.mov");
        const QString surtitles = QStringLiteral("00-TST-Reel1 surtitles.mov");
        put(edlPath, edl(awall, surtitles));
        f.toConfirm(*model, {f.exported("awall.mov", awall), f.exported("surtitles.mov", surtitles),
                             QUrl::fromLocalFile(edlPath)});
        const Confirmation &confirmation = *model->confirmation();
        QCOMPARE(confirmation.edlProblems(), QStringList());
        QVERIFY2(confirmation.canSubmit(), qPrintable(confirmation.submitBlockerText()));
        const QString v = confirmation.version();
        QCOMPARE(confirmation.rewrittenEDL(),
                 (EDLRewriter::Result{
                     edl(reel1 + QStringLiteral("_awall_v") + v + QStringLiteral(".mov"),
                         reel1 + QStringLiteral("_surtitles_v") + v + QStringLiteral(".mov")),
                     3,
                     {}}));
    }
};

QTEST_GUILESS_MAIN(ConfirmationTest)
#include "ConfirmationTest.moc"
