#include "app/CopyRun.h"

#include "app/Change.h"
#include "app/ModelRows.h"
#include "app/RunPipeline.h"

namespace tessera {

CopyRun::CopyRun(const NAS &nas, const Service &service, const Timing &timing, QObject *parent)
    : QObject(parent)
    , m_nas(nas)
    , m_service(service)
    , m_timing(timing)
    , m_signIn(new NASSignIn(this))
    , m_rowsModel(new KeyedListModel(ModelRows::rowRoles(), this))
{
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(m_timing.stallAfter);
    connect(&m_stallTimer, &QTimer::timeout, this, &CopyRun::stalled);
}

CopyRun::~CopyRun()
{
    // The copy off the main thread stops too, and nothing it reports finds this run.
    endWork();
}

void CopyRun::endWork()
{
    m_work.cancel();
    m_brakes.pull();
    m_signIn->cancel();
    m_stallTimer.stop();
    m_carryingOn = false;
}

void CopyRun::start(const RunState &state)
{
    m_state = state;
    m_resumable = true;
    m_forgotten = false;
    Q_EMIT stateChanged();
    setRows(state.rows());
    setShowFiles(true);
    Q_EMIT originalsOutcomeChanged();
}

void CopyRun::restore(const RunState &state)
{
    start(state);
    for (FileRow &row : m_rows)
        if (state.foundOnNAS.contains(row.finalName))
            row.state = state.foundOnNAS.value(row.finalName);
        else if (state.verified.contains(row.finalName))
            row.state = FileState::done;
    publishRows();
    if (state.submissionID) {
        setShowFiles(false);
        if (!state.originalsPending)
            return awaitVerdict();
        // The pipeline renames the editor's files first.
        setPhase({Phase::Kind::waiting, {}});
        return run();
    }
    if (const auto changed = state.firstChangedFile()) {
        m_resumable = false;
        return setPhase(Phase::failed(
            QStringLiteral("%1 changed or moved since you pressed Copy and submit, so Tessera "
                           "can't carry on with this run. Press Start over and drop the files "
                           "again.")
                .arg(*changed)));
    }
    if (state.maybeSubmitted)
        return setPhase(Phase::failed(uncertainSubmissionMessage()));
    setPhase(Phase::failed(QStringLiteral("Tessera was closed before the reel was submitted. "
                                          "Files already checked are on the NAS. Press Try again "
                                          "to carry on.")));
}

void CopyRun::run()
{
    if (!m_resumable)
        return;
    if (m_rehearsal)
        return m_rehearsal();
    if (m_forgotten) {
        // The old key may still be known to the service with the submission it lost, so the
        // reel goes in under a new one, kept from now on like the first.
        m_forgotten = false;
        m_state.key = newSubmissionKey();
        m_state.maybeSubmitted = false;
        m_state.submissionID.reset();
        m_state.submissionNumber.reset();
        m_state.submittedAt.reset();
        Q_EMIT stateChanged();
    }
    // The task before is over; its copy stops too rather than race the new run to the NAS.
    endWork();
    m_brakes = Brakes();
    m_work = Task::with(m_service);
    RunPipeline::start(this, m_work, m_brakes);
}

void CopyRun::stop()
{
    m_brakes.pull();
    // A wait between probes of the share ends too.
    m_work.alarm->ring();
}

void CopyRun::clear()
{
    endWork();
    m_state = {};
    m_resumable = true;
    m_forgotten = false;
    Q_EMIT stateChanged();
    Q_EMIT originalsOutcomeChanged();
    setRows({});
    setPlanningLine(std::nullopt);
    setTransfer(std::nullopt);
    setPhase({});
}

void CopyRun::show(const Phase &phase, const QList<FileRow> &rows,
                   const std::optional<TransferStatus> &transfer)
{
    setRows(rows);
    setPhase(phase);
    setTransfer(transfer);
}

void CopyRun::setPhase(const Phase &phase)
{
    if (change(m_phase, phase))
        Q_EMIT phaseChanged();
}

void CopyRun::fail(const QString &message)
{
    m_stallTimer.stop();
    m_carryingOn = false;
    setTransfer(std::nullopt);
    setPhase(Phase::failed(message));
}

void CopyRun::setPlanningLine(const std::optional<QString> &line)
{
    if (change(m_planningLine, line))
        Q_EMIT planningLineChanged();
}

void CopyRun::setShowFiles(bool show)
{
    if (change(m_showFiles, show))
        Q_EMIT showFilesChanged();
}

void CopyRun::setTransfer(const std::optional<TransferStatus> &transfer)
{
    if (change(m_transfer, transfer))
        Q_EMIT transferChanged();
}

void CopyRun::setRows(QList<FileRow> rows)
{
    m_rows = std::move(rows);
    publishRows();
}

void CopyRun::setRow(const QString &finalName, FileState state, double fraction)
{
    for (FileRow &row : m_rows) {
        if (row.finalName != finalName)
            continue;
        if (state == FileState::copying || state == FileState::verifying)
            m_activeRow = finalName;
        if (row.state == state && row.fraction == fraction)
            return;
        row.state = state;
        row.fraction = fraction;
        publishRows();
        // Kept, so that a run taken up later shows the row as it was.
        if (state == FileState::alreadyThere || state == FileState::renamed) {
            m_state.foundOnNAS.insert(finalName, state);
            Q_EMIT stateChanged();
        }
        return;
    }
}

void CopyRun::publishRows()
{
    QList<KeyedListModel::Row> rows;
    for (const FileRow &row : std::as_const(m_rows))
        rows << ModelRows::row(row);
    m_rowsModel->setRows(rows);
}

void CopyRun::beginTransfer(const QList<qint64> &sizes)
{
    if (m_carryingOn && m_transfer)
        setTransfer(m_meter.carryOn(*m_transfer, sizes));
    else
        setTransfer(m_meter.begin(sizes));
    m_carryingOn = false;
}

void CopyRun::updateTransfer(int index, qint64 copied, qint64 verified, bool checking)
{
    if (!m_transfer)
        return;
    // The line holds its words about the NAS until a byte moves again.
    const qint64 moved = copied + verified;
    const bool moving = index != m_index || moved != m_moved;
    if (!moving && m_transfer->held())
        return;
    if (moving || !m_stallTimer.isActive())
        m_stallTimer.start();
    m_index = index;
    m_moved = moved;
    setTransfer(m_meter.update(*m_transfer, index, copied, verified, checking));
}

void CopyRun::endTransfer()
{
    m_stallTimer.stop();
    setTransfer(std::nullopt);
}

void CopyRun::stalled()
{
    if (!m_transfer || m_transfer->held() || m_phase.kind != Phase::Kind::copying)
        return;
    setHold(TransferStatus::Hold::stalled);
    if (m_activeRow)
        holdRow(*m_activeRow);
}

void CopyRun::setHold(TransferStatus::Hold hold)
{
    if (!m_transfer)
        return;
    TransferStatus next = *m_transfer;
    next.hold = hold;
    if (hold != TransferStatus::Hold::none) {
        m_meter.pause();
        next.speed.reset();
        next.timeLeft.reset();
    }
    setTransfer(next);
}

void CopyRun::holdRow(const QString &finalName)
{
    for (FileRow &row : m_rows)
        if (row.finalName == finalName &&
            (row.state == FileState::copying || row.state == FileState::verifying)) {
            row.state = FileState::stalled;
            publishRows();
            return;
        }
}

void CopyRun::waitForNAS(const QString &finalName)
{
    holdRow(finalName);
    m_stallTimer.stop();
    m_carryingOn = true;
    m_moved = -1;
    setHold(TransferStatus::Hold::reconnecting);
}

void CopyRun::nasIsBack()
{
    setHold(TransferStatus::Hold::none);
}

void CopyRun::partialMade(const QUrl &partial)
{
    const QString text = partial.toString(QUrl::FullyEncoded);
    if (m_state.partials.contains(text))
        return;
    m_state.partials << text;
    Q_EMIT stateChanged();
}

void CopyRun::partialGone(const QUrl &partial)
{
    if (m_state.partials.removeAll(partial.toString(QUrl::FullyEncoded)) > 0)
        Q_EMIT stateChanged();
}

void CopyRun::placed(const QString &finalName, qint64 size, const RunState::Verified &copy)
{
    m_stallTimer.stop();
    m_moved = -1;
    // Its partial file now has the final name.
    const QString partialPrefix = finalName + u'.';
    m_state.partials.removeIf(
        [&](const QString &partial) { return QUrl(partial).fileName().startsWith(partialPrefix); });
    m_meter.fileDone(size);
    m_state.verified.insert(finalName, copy);
    setRow(finalName, FileState::done);
    Q_EMIT stateChanged();
}

void CopyRun::beginSubmitting()
{
    setPhase({Phase::Kind::submitting, {}});
    m_state.maybeSubmitted = true;
    Q_EMIT stateChanged();
}

void CopyRun::submissionFailed(const APIError &error)
{
    if (error.is<APIError::Uncertain>() || error.is<APIError::BadResponse>())
        return;
    m_state.maybeSubmitted = false;
    Q_EMIT stateChanged();
}

QString CopyRun::uncertainSubmissionMessage()
{
    return QStringLiteral("Your files are safely on the NAS, but Tessera couldn't tell whether "
                          "VX9 got the submission. Press Try again: it is safe, VX9 won't make a "
                          "second one.");
}

void CopyRun::confirm(const SubmissionCreated &created)
{
    m_state.submissionID = created.id;
    m_state.submissionNumber = created.number;
    m_state.submittedAt = QDateTime::currentDateTime();
    m_state.maybeSubmitted = false;
    m_state.originalsPending = m_state.renameOriginals;
    Q_EMIT stateChanged();
    setShowFiles(false);
    Q_EMIT submitted();
}

void CopyRun::submissionForgotten()
{
    m_forgotten = true;
    setTransfer(std::nullopt);
    // Emits phaseChanged after the flag is set, for the footer's button.
    setPhase(Phase::failed(
        QStringLiteral("VX9 doesn't know this submission any more, so its reel check can't "
                       "finish. Your files are safely on the NAS: press Submit again to send the "
                       "reel again without copying anything, or Start over.")));
}

void CopyRun::addOriginalsOutcome(const QStringList &lines,
                                  const QList<std::pair<QUrl, QUrl>> &moves)
{
    if (!moves.isEmpty())
        Q_EMIT originalsMoved(moves);
    m_state.relocate(moves);
    m_state.originalsOutcome << lines;
    m_state.originalsPending = false;
    Q_EMIT stateChanged();
    Q_EMIT originalsOutcomeChanged();
}

void CopyRun::awaitVerdict()
{
    setPhase({Phase::Kind::waiting, {}});
    if (m_state.submissionID)
        Q_EMIT followWanted(*m_state.submissionID);
}

void CopyRun::conclude()
{
    setPhase({Phase::Kind::finished, {}});
}

QVariant CopyRun::transferForView() const
{
    return m_transfer ? QVariant::fromValue(*m_transfer) : QVariant();
}

} // namespace tessera
