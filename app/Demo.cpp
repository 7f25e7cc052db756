#include "app/Demo.h"

#include "app/AppModel.h"
#include "app/DemoService.h"
#include "core/copy/CopyPlanner.h"
#include "core/naming/VersionStamp.h"

#include <QDir>
#include <QTimer>

namespace tessera::Demo {

namespace {

bool isSet(const char *name)
{
    return qEnvironmentVariableIsSet(name);
}

// The run as it stands on the confirm step, taken up by the copy step.
void startRun(AppModel &model, std::optional<QString> submissionID = std::nullopt)
{
    RunState state = model.confirmation()->draft().value_or(RunState{});
    state.key = newSubmissionKey();
    state.submissionID = submissionID;
    model.run()->start(state);
    model.setStep(Step::copy);
}

QList<FileRow> rows(const AppModel &model, const std::function<FileState(qsizetype)> &stateOf)
{
    QList<FileRow> rows;
    for (const DroppedFile &file : model.intake()->files()) {
        const qsizetype i = rows.size();
        rows << FileRow{CopyPlanner::fileName(file.url),
                        model.confirmation()->finalName(file).value_or(QString()),
                        file.slot,
                        stateOf(i),
                        stateOf(i) == FileState::copying ? 0.32 : 0.0,
                        std::nullopt};
    }
    return rows;
}

// A copy under way: two files done, the third at a third.
void showTransfer(AppModel &model)
{
    startRun(model);
    TransferStatus transfer;
    transfer.index = 3;
    transfer.count = int(model.intake()->files().size());
    transfer.copiedBytes = 2'400'000'000;
    transfer.totalBytes = 6'100'000'000;
    transfer.fraction = 0.39;
    transfer.speed = QStringLiteral("410 MB/s");
    transfer.timeLeft = QStringLiteral("about 9 s left");
    model.run()->show(
        {Phase::Kind::copying, {}},
        rows(model,
             [](qsizetype i) {
                 return i < 2 ? FileState::done : i == 2 ? FileState::copying : FileState::waiting;
             }),
        transfer);
}

// Every file copied and the submission in: the reel check at work, or its problems.
void showSubmitted(AppModel &model, bool fixing)
{
    startRun(model, QStringLiteral("recS"));
    QList<FileRow> done = rows(model, [](qsizetype) { return FileState::done; });
    if (const auto &edl = model.intake()->edl()) {
        const auto rewritten = model.confirmation()->rewrittenEDL();
        done << FileRow{CopyPlanner::fileName(*edl),
                        model.confirmation()->edlNameForVersion(),
                        std::nullopt,
                        FileState::done,
                        0,
                        QStringLiteral("%1 clip names updated to the new names")
                            .arg(rewritten ? rewritten->changed : 0)};
    }
    SubmissionStatus status;
    status.id = QStringLiteral("recS");
    status.number = 12;
    if (!fixing) {
        status.status = QStringLiteral("Checking");
        // No submission time: the scene shows the submission's number and no clock.
        model.verdict()->show(status, std::nullopt, std::nullopt);
        model.run()->show({Phase::Kind::waiting, {}}, done, std::nullopt);
        return;
    }
    status.status = SubmissionStatus::needsFixingText.toString();
    status.problems = {
        QStringLiteral("awall: Is 25 fps; every reel movie must be 30 fps."),
        QStringLiteral("floor: Runs 0.4 s longer than the other movies of the reel."),
        QStringLiteral("surtitles: Has an audio track; reel movies carry video only."),
    };
    if (isSet("TESSERA_DEMO_MANY"))
        for (int n = 1; n <= 12; ++n)
            status.problems
                << QStringLiteral("cwall: problem number %1 found by the reel check").arg(n);
    model.verdict()->show(status, std::nullopt, QDateTime::currentDateTime());
    model.run()->show({Phase::Kind::finished, {}}, done, std::nullopt);
}

} // namespace

bool isAsked()
{
    return isSet("TESSERA_DEMO") && isSet("TESSERA_DEMO_DIR");
}

void load(AppModel &model)
{
    // Nothing the editor types is stored, the service and the NAS are never asked, and nothing
    // is copied: "Copy and submit" shows a submission waiting for its verdict.
    model.setDemo();
    model.settings().keepUnchanged();
    model.service().makeTransport = [] { return std::make_shared<DemoService>(); };
    model.intake()->setDropFolderLookup({});
    model.run()->setRehearsal([&model] { showSubmitted(model, false); });
    const QString scene = qEnvironmentVariable("TESSERA_DEMO");

    QList<QUrl> demoFiles;
    const QDir folder(qEnvironmentVariable("TESSERA_DEMO_DIR"));
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    for (const QString &name : names)
        demoFiles << QUrl::fromLocalFile(folder.filePath(name));

    Identity &identity = *model.identity();
    if (identity.editor().isEmpty())
        identity.setEditor(QStringLiteral("Demo"));
    identity.takeUsers(DemoService::users());
    if (!isSet("TESSERA_DEMO_PICK"))
        identity.setMe(DemoService::users().first());
    if (scene == u"drop")
        return;

    model.add(demoFiles);
    if (isSet("TESSERA_DEMO_MIN"))
        QTimer::singleShot(500, &model, [&model] { model.requestShrink(); });
    ReelChoice &reels = *model.reels();
    reels.takeReels(DemoService::reels());
    reels.setSelectedReel(DemoService::reels().first());
    if (isSet("TESSERA_DEMO_KEPT"))
        reels.setKeptReel(DemoService::reels().first());
    model.confirmation()->setVersion(
        VersionStamp::next(QDateTime::currentDateTime(), std::nullopt));
    if (qEnvironmentVariable("TESSERA_DEMO_SIZES") == u"fixture") {
        ExportRules::SizeTable sizes;
        for (Surface surface : allSurfaces)
            sizes[surface] = FrameSize{64, 32};
        model.intake()->setExportSizes(sizes);
    }
    model.setStep(Step::confirm);
    QList<DroppedFile> files = model.intake()->files();
    for (DroppedFile &file : files)
        if (!file.slot)
            file.slot = Slot{Surface::surtitles, Proxy::full};
    model.intake()->setFiles(files);
    model.intake()->refreshChecks();

    if (scene == u"confirm")
        return;
    if (scene == u"copying")
        showTransfer(model);
    else
        showSubmitted(model, scene == u"fixing");
}

} // namespace tessera::Demo
