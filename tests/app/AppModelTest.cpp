// The application model driven without QML, against the real stand-in service and a local folder
// standing for the NAS. Every run test asserts what is on disk and what the stand-in holds.

#include "app/AppModel.h"

#include "core/naming/Naming.h"
#include "tests/copy/CopyTestSupport.h"
#include "tests/reelcheck/StandIn.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <sys/stat.h>
#include <unistd.h>

using namespace tessera;
using namespace tessera::testing;

namespace {

constexpr char accessKey[] = "model-test-key-0451";
const QString reel1 = QStringLiteral("00_TST_Reel1");

bool ffmpeg(const QString &arguments, const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"),
                  QStringLiteral("-v error -y -f lavfi -i ").append(arguments).split(u' ') << path);
    return process.waitForFinished(120000) && process.exitCode() == 0;
}

QStringList filesBelow(const QString &folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names;
}

struct Identity
{
    ino_t inode = 0;
    qint64 modified = 0;
    friend bool operator==(const Identity &, const Identity &) = default;
};

Identity identityOf(const QString &path)
{
    struct stat info
    {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {info.st_ino, qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// Lets detached copies and their coroutines finish, so that nothing outlives a test.
void settle()
{
    QThreadPool::globalInstance()->waitForDone();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
        QTest::qWait(10);
    }
}

} // namespace

class AppModelTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_movies; // made once: good and wrong-size movies
    std::unique_ptr<QTemporaryDir> m_work;
    std::unique_ptr<StandIn> m_standIn;
    QString m_nas;
    QString m_drop;
    QString m_editorFolder;
    QStringList m_copied; // what the desktop's clipboard was given
    QList<QUrl> m_opened;

    QString movie(const QString &name) const { return m_movies.filePath(name); }

    // The editor's export: a copy of a made movie under a loose name.
    QUrl exported(const QString &made, const QString &name) const
    {
        const QString path = QDir(m_editorFolder).filePath(name);
        QFile::remove(path);
        QFile::copy(movie(made), path);
        return QUrl::fromLocalFile(path);
    }

    std::unique_ptr<AppModel> makeModel(const QUrl &apiBase, const QString &nasFolder)
    {
        auto settings = std::make_unique<QSettings>(m_work->filePath(QStringLiteral("s.ini")),
                                                    QSettings::IniFormat);
        settings->setValue(QStringLiteral("apiBase"), apiBase.toString());
        settings->setValue(QStringLiteral("nasURL"), QUrl::fromLocalFile(nasFolder).toString());
        settings->setValue(QStringLiteral("editorName"), QStringLiteral("Kit Orr"));
        AppModel::Options options;
        options.settings = std::move(settings);
        options.timing.probeTimeout = std::chrono::milliseconds(500);
        options.timing.submitPause = std::chrono::milliseconds(50);
        options.timing.pollInterval = std::chrono::milliseconds(100);
        options.timing.httpTimeout = 2.0;
        options.desktop.copyText = [this](const QString &text) { m_copied << text; };
        options.desktop.openURL = [this](const QUrl &url) { m_opened << url; };
        options.builtInKey = QString::fromLatin1(accessKey);
        return std::make_unique<AppModel>(std::move(options));
    }

    std::unique_ptr<AppModel> makeModel() { return makeModel(m_standIn->base(), m_nas); }

    // Drop, continue, and wait for the reel list and the readings.
    static void toConfirm(AppModel &model, const QList<QUrl> &files)
    {
        model.add(files);
        model.goToConfirm();
        QCOMPARE(model.step(), Step::confirm);
        QTRY_VERIFY(!model.reels().isEmpty() && !model.checkingFiles());
        if (!model.selectedReel())
            model.pickReel(QStringLiteral("recTST1"));
    }

    QString dayFolder(const AppModel &model) const
    {
        return QDir(m_drop).filePath(Naming::dayFolder(model.version()));
    }

    QJsonArray submissions() { return m_standIn->submissions(accessKey); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(ffmpeg("color=c=gray:s=7972x3424:r=30 -frames:v 3 -c:v prores_ks -profile:v 1",
                       movie("awall.mov")));
        QVERIFY(ffmpeg("color=c=gray:s=5612x304:r=30 -frames:v 3 -c:v prores_ks -profile:v 4 "
                       "-pix_fmt yuva444p10le",
                       movie("surtitles.mov")));
        QVERIFY(ffmpeg("color=c=gray:s=5600x300:r=30 -frames:v 3 -c:v prores_ks -profile:v 4 "
                       "-pix_fmt yuva444p10le",
                       movie("surtitles-wrong-size.mov")));
    }

    void init()
    {
        m_work = std::make_unique<QTemporaryDir>();
        m_nas = m_work->filePath(QStringLiteral("nas"));
        m_drop = m_nas + u'/' + Naming::dropPath.toString();
        m_editorFolder = m_work->filePath(QStringLiteral("export"));
        QVERIFY(QDir().mkpath(m_drop) && QDir().mkpath(m_editorFolder));
        m_standIn = std::make_unique<StandIn>(m_drop, QString::fromLatin1(accessKey));
        QVERIFY(m_standIn->base().isValid());
        m_copied.clear();
        m_opened.clear();
    }

    void cleanup()
    {
        settle();
        QVERIFY2(!m_standIn->output().contains(accessKey), "the key reached the stand-in's log");
        m_standIn.reset();
    }

    // The whole road twice: a good reel to "Ready for QLab", then "Submit fixed files" with a
    // movie re-exported at the wrong size after it was checked, to "Needs fixing".
    void wholeRoadToReadyThenNeedsFixing()
    {
        auto model = makeModel();
        QAbstractItemModelTester tester(model->rowsModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QString edlPath = QDir(m_editorFolder).filePath(QStringLiteral("cut.edl"));
        put(edlPath, "TITLE: Halcyon\n001  AX  V  C  00:00:00:00 00:00:01:00\n"
                     "* FROM CLIP NAME: 00-TST-Reel1 awall.mov\n"
                     "* FROM CLIP NAME: 00-TST-Reel1 surtitles.mov\n");
        toConfirm(*model, {exported("awall.mov", QStringLiteral("00-TST-Reel1 awall.mov")),
                           exported("surtitles.mov", QStringLiteral("00-TST-Reel1 surtitles.mov")),
                           QUrl::fromLocalFile(edlPath)});
        QCOMPARE(model->selectedReel()->name, reel1); // found from the file names
        QCOMPARE(model->fileProblems(), (QList<QStringList>{{}, {}}));
        QCOMPARE(model->plannedOriginalRenames().size(), 3);
        QVERIFY2(model->canSubmit(), qPrintable(model->submitBlockerText()));

        model->startCopy();
        QCOMPARE(model->step(), Step::copy);
        QTRY_COMPARE_WITH_TIMEOUT(model->phaseKind(), Phase::Kind::finished, 30000);
        QCOMPARE(model->submission()->status, u"Ready for QLab");

        const QString v = model->version();
        const QString aw = reel1 + QStringLiteral("_awall_v") + v + QStringLiteral(".mov");
        const QString st = reel1 + QStringLiteral("_surtitles_v") + v + QStringLiteral(".mov");
        const QString edl = QStringLiteral("Halcyon_v") + v + QStringLiteral(".edl");
        const QString day = dayFolder(*model);
        QCOMPARE(filesBelow(day), (QStringList{aw, st, edl}));
        QCOMPARE(contents(day + u'/' + aw), contents(movie("awall.mov")));
        QCOMPARE(contents(day + u'/' + st), contents(movie("surtitles.mov")));
        QCOMPARE(contents(day + u'/' + edl),
                 ("TITLE: Halcyon\n001  AX  V  C  00:00:00:00 00:00:01:00\n* FROM CLIP NAME: " +
                  aw + "\n* FROM CLIP NAME: " + st + "\n")
                     .toUtf8());

        // The rows, the originals and what the service holds.
        QList<FileState> states;
        for (const FileRow &row : model->rows())
            states << row.state;
        QCOMPARE(states, (QList<FileState>{FileState::done, FileState::done, FileState::done}));
        QCOMPARE(model->rows().last().detail, u"2 clip names updated to the new names");
        QCOMPARE(filesBelow(m_editorFolder), (QStringList{aw, st, edl}));
        QVERIFY(
            contents(m_editorFolder + u'/' + edl).contains("CLIP NAME: 00-TST-Reel1 awall.mov"));
        QCOMPARE(model->originalsOutcome(),
                 QStringList{QStringLiteral("Renamed 3 originals to match the NAS.")});
        QJsonArray held = submissions();
        QCOMPARE(held.size(), 1);
        QCOMPARE(held.at(0)[QStringLiteral("status")].toString(), u"Ready for QLab");
        QCOMPARE(held.at(0)[QStringLiteral("editor")].toString(), u"Kit Orr");

        // Again for the same reel; the re-export lands after the check.
        model->submitFixedFiles();
        QCOMPARE(model->step(), Step::drop);
        QCOMPARE(model->keptReel()->name, reel1);
        const QUrl fixed = exported("surtitles.mov", QStringLiteral("surtitles take 2.mov"));
        model->add({fixed});
        model->goToConfirm();
        QTRY_VERIFY(!model->checkingFiles());
        QVERIFY(model->version() > v);
        QVERIFY(!model->completenessWarning()); // a kept reel gets no completeness note
        QVERIFY2(model->canSubmit(), qPrintable(model->submitBlockerText()));
        QFile::remove(fixed.toLocalFile());
        QFile::copy(movie("surtitles-wrong-size.mov"), fixed.toLocalFile());
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->phaseKind(), Phase::Kind::finished, 30000);
        QCOMPARE(model->submission()->status, u"Needs fixing");
        QVERIFY2(model->submission()->problems.join(u' ').contains(u"5612×304"),
                 qPrintable(model->submission()->problems.join(u'\n')));
        held = submissions();
        QCOMPARE(held.size(), 2);
        QCOMPARE(held.at(1)[QStringLiteral("status")].toString(), u"Needs fixing");
    }

    // The service takes the submission but its answer is lost: the model confirms and makes one.
    void lostAnswerConfirmsIntoOneSubmission()
    {
        LossyRelay relay(quint16(m_standIn->base().port()), 1);
        auto model = makeModel(relay.base(), m_nas);
        toConfirm(*model,
                  {exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        model->setSurface(model->files().first().id, QStringLiteral("surtitles"));
        QList<Phase::Kind> phases;
        connect(model.get(), &AppModel::phaseChanged, this, [&] { phases << model->phaseKind(); });
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->phaseKind(), Phase::Kind::finished, 30000);
        QVERIFY(phases.contains(Phase::Kind::confirming));
        QCOMPARE(submissions().size(), 1);
    }

    // Down at submit, then "Try again": the same key, nothing copied twice, one submission.
    void serviceDownAtSubmitThenTryAgain()
    {
        auto model = makeModel();
        toConfirm(*model,
                  {exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        const quint16 port = quint16(m_standIn->base().port());
        m_standIn.reset(); // the service goes away after the reel list came
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->phaseKind(), Phase::Kind::failed, 20000);
        QVERIFY2(model->failureMessage().startsWith(
                     u"The files are safely on the NAS, but submitting didn't work."),
                 qPrintable(model->failureMessage()));
        const auto key = model->submissionKey();
        QVERIFY(key && key->size() == 36);
        const QString copy = dayFolder(*model) + u'/' + model->rows().first().finalName;
        const Identity before = identityOf(copy);
        QVERIFY(before.inode != 0);

        m_standIn = std::make_unique<StandIn>(m_drop, QString::fromLatin1(accessKey),
                                              QStringLiteral("127.0.0.1:%1").arg(port));
        model->run();
        QTRY_COMPARE_WITH_TIMEOUT(model->phaseKind(), Phase::Kind::finished, 20000);
        QCOMPARE(model->submissionKey(), key);
        QCOMPARE(model->rows().first().state, FileState::alreadyThere);
        QCOMPARE(identityOf(copy), before);
        QCOMPARE(submissions().size(), 1);
    }

    // "Stop" during the second copy, then "Try again": the first file is not copied again and no
    // partial file is left behind.
    void stopMidCopyThenTryAgain()
    {
        auto model = makeModel();
        toConfirm(*model,
                  {exported("awall.mov", QStringLiteral("00_TST_Reel1_awall.mov")),
                   exported("surtitles.mov", QStringLiteral("00_TST_Reel1_surtitles.mov"))});
        connect(model.get(), &AppModel::transferChanged, this, [&] {
            if (model->transfer() && model->transfer()->index == 2)
                model->stop();
        });
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->phaseKind(), Phase::Kind::failed, 20000);
        QCOMPARE(model->failureMessage(), u"Copy stopped.");
        const QString day = dayFolder(*model);
        const QString first = model->rows().at(0).finalName;
        QCOMPARE(filesBelow(day), QStringList{first});
        QCOMPARE(model->rows().at(1).state, FileState::failed);
        const Identity before = identityOf(day + u'/' + first);

        disconnect(model.get(), &AppModel::transferChanged, this, nullptr);
        model->run();
        QTRY_COMPARE_WITH_TIMEOUT(model->phaseKind(), Phase::Kind::finished, 20000);
        QCOMPARE(model->rows().at(0).state, FileState::alreadyThere);
        QCOMPARE(model->rows().at(1).state, FileState::done);
        QCOMPARE(identityOf(day + u'/' + first), before);
        QCOMPARE(filesBelow(day).size(), 2);
        QCOMPARE(submissions().size(), 1);
    }

    // Each NAS fault stops the run with its sentence and leaves the NAS as it was.
    void nasFaults()
    {
        // A missing NAS folder and a full NAS are met by the window's road and fault tests.
        const QUrl st = exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"));
        {
            const QString bare = m_work->filePath(QStringLiteral("bare-share"));
            QVERIFY(QDir().mkpath(bare));
            auto model = makeModel(m_standIn->base(), bare);
            toConfirm(*model, {st});
            model->startCopy();
            QTRY_COMPARE(model->phaseKind(), Phase::Kind::failed);
            QCOMPARE(model->failureMessage(),
                     u"The NAS is connected but the folder Halcyon_Drop/Reels isn't there. Ask "
                     u"production to check the share.");
            QCOMPARE(filesBelow(bare), QStringList());
        }
        {
            // A movie of another reel, dropped from today's folder on the NAS, blocks the run.
            auto model = makeModel();
            model->add({st});
            model->goToConfirm();
            const QString day = dayFolder(*model);
            QVERIFY(QDir().mkpath(day));
            const QString theirs =
                day + QStringLiteral("/00_TST_Reel2_surtitles_v") + model->version() + ".mov";
            QVERIFY(QFile::copy(movie("surtitles.mov"), theirs));
            model->add({QUrl::fromLocalFile(theirs)});
            QTRY_VERIFY(!model->reels().isEmpty() && !model->checkingFiles());
            model->pickReel(QStringLiteral("recTST1"));
            model->setReelConfirmed(true);
            model->setSurface(model->files().at(1).id, QStringLiteral("awall"));
            QVERIFY(model->fileProblems().at(1).contains(
                QStringLiteral("00_TST_Reel2_surtitles_v") + model->version() +
                QStringLiteral(".mov already belongs to 00_TST_Reel2.")));
            QCOMPARE(model->submitBlockerText(),
                     u"Fix the problems in red, then drop the files again.");
            model->startCopy();
            QCOMPARE(model->step(), Step::confirm);
            QCOMPARE(filesBelow(day).size(), 1);
        }
    }

    // Closing the window mid-copy and while polling: nothing crashes, nothing resumes on the
    // deleted model, no partial file stays.
    void modelDestroyedDuringCopyAndPolling()
    {
        auto model = makeModel();
        toConfirm(*model,
                  {exported("awall.mov", QStringLiteral("00_TST_Reel1_awall.mov")),
                   exported("surtitles.mov", QStringLiteral("00_TST_Reel1_surtitles.mov"))});
        const QString day = dayFolder(*model);
        AppModel *raw = model.release();
        connect(raw, &AppModel::transferChanged, raw, [raw] {
            if (raw->transfer() && raw->transfer()->index == 1)
                raw->deleteLater();
        });
        QPointer<AppModel> watch = raw;
        raw->startCopy();
        QTRY_VERIFY(!watch);
        settle();
        for (const QString &name : filesBelow(day))
            QVERIFY2(!name.endsWith(u".partial"), qPrintable(name));

        // Waiting on a verdict that cannot come: the stand-in looks at another folder.
        const QString elsewhere = m_work->filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkpath(elsewhere));
        m_standIn = std::make_unique<StandIn>(elsewhere, QString::fromLatin1(accessKey));
        model = makeModel();
        toConfirm(*model,
                  {exported("surtitles.mov", QStringLiteral("00_TST_Reel1 surtitles.mov"))});
        model->startCopy();
        QTRY_COMPARE_WITH_TIMEOUT(model->phaseKind(), Phase::Kind::waiting, 20000);
        QTRY_VERIFY(model->waitingForFiles());
        m_standIn->stop();
        QTRY_VERIFY(model->pollTrouble());
        QCOMPARE(model->phaseKind(), Phase::Kind::waiting);
        model.reset();
        settle();
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

    // Taking in files: which are kept, which are named as left out, and the EDL.
    void dropIntake()
    {
        auto model = makeModel();
        QAbstractItemModelTester tester(model->filesModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QString folder = m_work->filePath(QStringLiteral("drop"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/sub")));
        for (const char *name : {"b.mov", "a.MOV", ".hidden.mov", "notes.txt", "z.edl"})
            put(folder + u'/' + QLatin1StringView(name), "x");
        const auto at = [&](const char *name) {
            return QUrl::fromLocalFile(m_work->filePath(QLatin1StringView(name)));
        };
        model->add({at("one_floor.mov"), at("b.txt"), at("c.edl"), at("d.edl")});
        QCOMPARE(model->files().size(), 1);
        QCOMPARE(model->files().first().slot, (Slot{Surface::floor, Proxy::full}));
        QCOMPARE(model->edl(), at("c.edl"));
        QVERIFY(model->newEDL());
        QCOMPARE(model->dropMessage(),
                 u"Drop one EDL at a time. Kept c.edl. Only .mov and .edl files can go in. Left "
                 u"out: b.txt.");
        model->add({at("one_floor.mov"), QUrl::fromLocalFile(folder)});
        QStringList names;
        for (const DroppedFile &file : model->files())
            names << CopyPlanner::fileName(file.url);
        QCOMPARE(names, (QStringList{"one_floor.mov", "a.MOV", "b.mov"}));
        QCOMPARE(model->edl(), QUrl::fromLocalFile(folder + QStringLiteral("/z.edl")));
        QCOMPARE(model->dropMessage(), std::nullopt);
        model->add({at("1.txt"), at("2.txt"), at("3.txt"), at("4.txt"), at("5.txt")});
        QCOMPARE(model->dropMessage(),
                 u"Only .mov and .edl files can go in. Left out: 1.txt, 2.txt, 3.txt and 2 more.");
        QTRY_COMPARE(model->filesModel()->rowCount(), 3);
        model->remove(model->files().at(1));
        QCOMPARE(model->files().size(), 2);
    }

    // The gates between the steps and the settings they keep.
    void gatesAndSettings()
    {
        auto model = makeModel();
        const QUrl st = exported("surtitles.mov", QStringLiteral("00_TST_Reel1_surtitles.mov"));
        model->add({st, exported("surtitles.mov", QStringLiteral("00_TST_Reel1_surtitles_b.mov"))});
        model->setSurface(model->files().at(1).id, QStringLiteral("surtitles"));
        model->setEditor(QString(61, u'x'));
        QVERIFY(!model->canContinue());
        model->setEditor(QString(60, u'x'));
        QVERIFY(model->canContinue());
        model->goToConfirm();
        QTRY_VERIFY(!model->reels().isEmpty() && !model->checkingFiles());

        // One message at a time, in order.
        model->setSelectedReel(std::nullopt);
        QCOMPARE(model->submitBlockerText(), u"Pick the reel.");
        model->pickReel(QStringLiteral("recTST2"));
        QCOMPARE(model->submitBlockerText(), u"Check the reel first.");
        model->setReelConfirmed(true);
        model->pickReel(QStringLiteral("recTST2")); // the same reel keeps the confirmation
        QVERIFY(model->reelConfirmed());
        model->pickReel(QStringLiteral("recTST1"));
        QVERIFY(!model->reelConfirmed());
        QCOMPARE(model->submitBlockerText(),
                 u"Two files point at the same surface. Change one of them.");
        model->setSurface(model->files().at(1).id, QString());
        QCOMPARE(model->submitBlockerText(), u"Pick a surface for every file.");
        model->remove(model->files().at(1));
        model->setNote(QString(2001, u'n'));
        QCOMPARE(model->submitBlockerText(), u"The note is too long (2000 characters at most).");
        model->setNote(QString(2000, u'n'));
        QVERIFY(model->canSubmit());
        model->setEditor(QString(61, u'x'));
        QCOMPARE(model->submitBlockerText(), u"Say who you are on the first step.");

        // Settings: what was changed is there for the next start; a missing option is on.
        model->setEditor(QStringLiteral("Mira"));
        model->setMe(
            SlackUser{QStringLiteral("U7"), QStringLiteral("mira"), QStringLiteral("Mira Lantz")});
        model->setRenameOriginals(false);
        QVERIFY(model->plannedOriginalRenames().isEmpty());
        model.reset();
        QSettings stored(m_work->filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("editorName")).toString(), u"Mira");
        QCOMPARE(stored.value(QStringLiteral("slackUserID")).toString(), u"U7");
        QCOMPARE(stored.value(QStringLiteral("renameOriginalsDefaultOn")).toString(), u"false");
        model = makeModel();
        QCOMPARE(model->me(), (SlackUser{QStringLiteral("U7"), QString(), "Mira Lantz"}));
        QVERIFY(!model->renameOriginals());
        stored.remove(QStringLiteral("renameOriginalsDefaultOn"));
        stored.sync();
        model = makeModel();
        QVERIFY(model->renameOriginals());
        model->startOver();
        QCOMPARE(model->editor(), u"Kit Orr");
        QCOMPARE(model->step(), Step::drop);
    }

    // Help goes to the service; when it can't, the message goes on the clipboard and into Slack.
    void helpIsSentOrFallsBack()
    {
        auto model = makeModel();
        model->openHelp();
        QVERIFY(model->helpOpen());
        QVERIFY(model->helpContextLines().contains(u"Step: Drop"));
        model->setHelpMessage(QStringLiteral("\n  The copy stalls.  \n"));
        model->sendHelp();
        QTRY_COMPARE(model->helpKind(), HelpState::Kind::sent);
        QCOMPARE(model->helpMessage(), QString());
        QTRY_VERIFY(m_standIn->output().contains("What's going on: The copy stalls.\n"));

        m_standIn->stop();
        model->openHelp();
        QCOMPARE(model->helpKind(), HelpState::Kind::editing);
        model->setHelpMessage(QStringLiteral("Still stuck."));
        model->sendHelp();
        QTRY_COMPARE(model->helpKind(), HelpState::Kind::fellBack);
        QCOMPARE(model->helpMessage(), u"Still stuck.");
        QCOMPARE(m_copied.size(), 1);
        QVERIFY(m_copied.first().startsWith(
            u"Tessera help request from Kit Orr\nWhat's going on: Still stuck.\n\nStep: Drop"));
        QVERIFY(!m_copied.first().contains(QLatin1StringView(accessKey)));
        QCOMPARE(m_opened, QList<QUrl>{HelpReport::slackURL()});
    }

    // Demo scenes fill the model without the network and leave the stored settings alone.
    void demoScenes()
    {
        const QString demo = m_work->filePath(QStringLiteral("demo"));
        QVERIFY(QDir().mkpath(demo));
        put(demo + QStringLiteral("/00_TST_Reel1_awall.mov"), "x");
        put(demo + QStringLiteral("/00_TST_Reel1_floor.mov"), "x");
        put(demo + QStringLiteral("/extra.mov"), "x");
        qputenv("TESSERA_DEMO_DIR", demo.toUtf8());
        qputenv("TESSERA_DEMO_MANY", "1");
        const auto unset = qScopeGuard([] {
            for (const char *name : {"TESSERA_DEMO", "TESSERA_DEMO_DIR", "TESSERA_DEMO_MANY"})
                qunsetenv(name);
        });
        for (const char *scene : {"drop", "copying", "fixing", "waiting"}) {
            qputenv("TESSERA_DEMO", scene);
            auto model = makeModel();
            model->loadDemoIfAsked();
            QVERIFY(model->isDemo());
            QCOMPARE(model->me()->id, u"U1");
            model->setEditor(QStringLiteral("Someone Else"));
            model->setMe(std::nullopt);
            if (qstrcmp(scene, "drop") == 0) {
                QVERIFY(model->files().isEmpty());
            } else if (qstrcmp(scene, "copying") == 0) {
                QCOMPARE(model->transfer()->line(),
                         u"Copying 3 of 3 · 2.4 of 6.1 GB · 410 MB/s · about 9 s left");
                QCOMPARE(model->rows().at(2).state, FileState::copying);
            } else if (qstrcmp(scene, "fixing") == 0) {
                QCOMPARE(model->phaseKind(), Phase::Kind::finished);
                QCOMPARE(model->submission()->problems.size(), 15);
                QCOMPARE(model->files().at(2).slot, (Slot{Surface::surtitles, Proxy::full}));
            } else {
                QCOMPARE(model->phaseKind(), Phase::Kind::waiting);
                QCOMPARE(model->submissionNumber(), 12);
            }
        }
        QSettings stored(m_work->filePath(QStringLiteral("s.ini")), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("editorName")).toString(), u"Kit Orr");
        QVERIFY(!stored.contains(QStringLiteral("slackUserID")));
        QVERIFY2(!m_standIn->output().contains(" /api/"), m_standIn->output().constData());
    }
};

QTEST_GUILESS_MAIN(AppModelTest)
#include "AppModelTest.moc"
