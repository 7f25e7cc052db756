// Demo mode: the window in a chosen state, without the NAS, the service or the editor's settings.

#include "app/AppModel.h"
#include "core/copy/CopyPlanner.h"
#include "core/naming/Naming.h"
#include "core/naming/VersionStamp.h"

#include <QDir>
#include <QTimer>

namespace tessera {

namespace {

QList<SlackUser> demoUsers()
{
    return {{QStringLiteral("U1"), QStringLiteral("mira"), QStringLiteral("Mira Lantz")},
            {QStringLiteral("U2"), QStringLiteral("tome"), QStringLiteral("Tomé Arvel")},
            {QStringLiteral("U3"), QStringLiteral("kit"), QStringLiteral("Kit Damaso")}};
}

QList<Reel> demoReels()
{
    return {{QStringLiteral("recA"), QStringLiteral("00_TST_Reel1")},
            {QStringLiteral("recB"), QStringLiteral("00_TST_Reel2")},
            {QStringLiteral("recC"), QStringLiteral("02_CAB_Reel1")}};
}

bool isSet(const char *name)
{
    return qEnvironmentVariableIsSet(name);
}

} // namespace

void AppModel::loadDemoIfAsked()
{
    if (!isSet("TESSERA_DEMO") || !isSet("TESSERA_DEMO_DIR"))
        return;
    m_isDemo = true;
    Q_EMIT demoChanged();
    const QString scene = qEnvironmentVariable("TESSERA_DEMO");

    QList<QUrl> demoFiles;
    const QDir folder(qEnvironmentVariable("TESSERA_DEMO_DIR"));
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    for (const QString &name : names)
        demoFiles << QUrl::fromLocalFile(folder.filePath(name));

    if (m_editor.isEmpty())
        setEditor(QStringLiteral("Demo"));
    setUsers(UsersState::loaded, demoUsers());
    if (!isSet("TESSERA_DEMO_PICK"))
        setMe(demoUsers().first());
    if (scene == u"drop")
        return;

    add(demoFiles);
    if (isSet("TESSERA_DEMO_MIN"))
        QTimer::singleShot(500, this, [this] { Q_EMIT shrinkRequested(); });
    setReelList(demoReels(), std::nullopt, false);
    setSelectedReel(demoReels().first());
    if (isSet("TESSERA_DEMO_KEPT"))
        setKeptReel(demoReels().first());
    setVersion(VersionStamp::next(QDateTime::currentDateTime(), std::nullopt));
    if (qEnvironmentVariable("TESSERA_DEMO_SIZES") == u"fixture") {
        for (Surface surface : allSurfaces)
            m_exportSizes[surface] = FrameSize{64, 32};
    }
    setStep(Step::confirm);
    QList<DroppedFile> files = m_files;
    for (DroppedFile &file : files)
        if (!file.slot)
            file.slot = Slot{Surface::surtitles, Proxy::full};
    setFiles(files);
    refreshChecks();

    if (scene == u"confirm")
        return;
    if (scene == u"copying")
        startDemoTransfer();
    else
        startDemoCopy(scene == u"fixing");
}

void AppModel::loadDemoLists()
{
    setUsers(UsersState::loaded, demoUsers());
    setReelList(demoReels(), std::nullopt, false);
    if (m_step == Step::confirm)
        preselectReel();
}

void AppModel::startDemoTransfer()
{
    QList<FileRow> rows;
    for (const DroppedFile &file : std::as_const(m_files)) {
        const qsizetype i = rows.size();
        const FileState state = i < 2    ? FileState::done
                                : i == 2 ? FileState::copying
                                         : FileState::waiting;
        rows << FileRow{CopyPlanner::fileName(file.url),
                        finalName(file).value_or(QString()),
                        file.slot,
                        state,
                        i == 2 ? 0.32 : 0.0,
                        std::nullopt};
    }
    setRows(rows);
    setStep(Step::copy);
    setPhase({Phase::Kind::copying, {}});
    TransferStatus transfer;
    transfer.index = 3;
    transfer.count = int(m_files.size());
    transfer.copiedBytes = 2'400'000'000;
    transfer.totalBytes = 6'100'000'000;
    transfer.fraction = 0.39;
    transfer.speed = QStringLiteral("410 MB/s");
    transfer.timeLeft = QStringLiteral("about 9 s left");
    setTransfer(transfer);
}

void AppModel::startDemoCopy(bool fixing)
{
    QList<FileRow> rows;
    for (const DroppedFile &file : std::as_const(m_files))
        rows << FileRow{CopyPlanner::fileName(file.url),
                        finalName(file).value_or(QString()),
                        file.slot,
                        FileState::done,
                        0,
                        std::nullopt};
    if (m_edl) {
        const auto rewritten = rewrittenEDL();
        rows << FileRow{CopyPlanner::fileName(*m_edl),
                        Naming::edlName(m_version),
                        std::nullopt,
                        FileState::done,
                        0,
                        QStringLiteral("%1 clip names updated to the new names")
                            .arg(rewritten ? rewritten->changed : 0)};
    }
    setRows(rows);
    m_submissionID = QStringLiteral("recS");
    m_submissionNumber = 12;
    m_submittedAt = QDateTime::currentDateTime().addSecs(-125);
    SubmissionStatus status;
    status.id = QStringLiteral("recS");
    status.number = 12;
    setStep(Step::copy);
    if (!fixing) {
        status.status = QStringLiteral("Checking");
        setSubmission(status);
        setPhase({Phase::Kind::waiting, {}});
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
    m_finishedAt = QDateTime::currentDateTime();
    setSubmission(status);
    setPhase({Phase::Kind::finished, {}});
}

} // namespace tessera
