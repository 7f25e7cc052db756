#pragma once

#include "app/KeyedListModel.h"
#include "app/Leash.h"
#include "app/NASSignIn.h"
#include "app/RunState.h"
#include "app/Task.h"
#include "app/Throttle.h"
#include "app/Timing.h"
#include "app/TransferMeter.h"
#include "core/copy/CopyPlanner.h"
#include "core/copy/DiskInspector.h"
#include "core/copy/SafeCopier.h"
#include "core/reelcheck/APIError.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

namespace tessera {

// The copy-and-submit run: from "Copy and submit" until the reel check service confirms the
// submission, and "Try again" after a failure. It holds the run's state, where the run stands,
// one row per file and the progress line; the pipeline does the work.
class CopyRun : public QObject
{
    Q_OBJECT
    Q_PROPERTY(tessera::Workflow::PhaseKind phase READ phaseKind NOTIFY phaseChanged)
    Q_PROPERTY(QString failureMessage READ failureMessage NOTIFY phaseChanged)
    Q_PROPERTY(bool busy READ isBusy NOTIFY phaseChanged)
    Q_PROPERTY(bool canTryAgain READ canTryAgain NOTIFY phaseChanged)
    Q_PROPERTY(bool forgotten READ isForgotten NOTIFY phaseChanged)
    Q_PROPERTY(QString reelName READ reelName NOTIFY stateChanged)
    Q_PROPERTY(QString version READ version NOTIFY stateChanged)
    Q_PROPERTY(QString planningLine READ planningLineText NOTIFY planningLineChanged)
    Q_PROPERTY(tessera::KeyedListModel *rows READ rowsModel CONSTANT)
    Q_PROPERTY(QVariant transfer READ transferForView NOTIFY transferChanged)
    Q_PROPERTY(bool showFiles READ showFiles WRITE setShowFiles NOTIFY showFilesChanged)
    Q_PROPERTY(QStringList originalsOutcome READ originalsOutcome NOTIFY originalsOutcomeChanged)
    Q_PROPERTY(tessera::NASSignIn *signIn READ signIn CONSTANT)

public:
    CopyRun(const NAS &nas, const Service &service, const Timing &timing,
            QObject *parent = nullptr);
    ~CopyRun() override;

    const RunState &state() const { return m_state; }
    const Phase &phase() const { return m_phase; }
    const QList<FileRow> &rows() const { return m_rows; }
    const std::optional<TransferStatus> &transfer() const { return m_transfer; }
    const std::optional<QString> &planningLine() const { return m_planningLine; }
    bool showFiles() const { return m_showFiles; }
    QStringList originalsOutcome() const { return m_state.originalsOutcome; }
    const NAS &nas() const { return m_nas; }
    const Service &service() const { return m_service; }
    const Timing &timing() const { return m_timing; }
    const std::shared_ptr<DiskInspector> &inspector() const { return m_inspector; }

    // Files may be on their way to the NAS or the submission in flight.
    bool isBusy() const { return m_phase.isBusy(); }

    // Takes up a new run: its rows, nothing shown of an earlier one. run() then starts it.
    void start(const RunState &state);
    // Takes up a run kept from before Tessera was closed: one the service has goes on to its
    // verdict; else it waits for "Try again", unless a dropped file changed since, when only
    // "Start over" helps.
    void restore(const RunState &state);
    // "Try again" can carry the run on.
    bool canTryAgain() const { return m_resumable; }
    // The service no longer knows the submission; run() submits the reel again.
    bool isForgotten() const { return m_forgotten; }
    // "Try again": restarts the pipeline, which carries on from what is on the NAS. After the
    // service forgot the submission, "Submit again": a new submission under a new key.
    Q_INVOKABLE void run();
    // "Stop": the run is stopped at once, whatever it waits for; work that cannot be interrupted
    // (a file call on a share that stopped answering) ends in the background, where it can no
    // longer give a file its final name.
    Q_INVOKABLE void stop();
    // Ends the run and forgets it.
    void clear();
    void setShowFiles(bool show);
    // In place of the pipeline, for a rehearsal that copies nothing (demo mode).
    void setRehearsal(std::function<void()> rehearsal) { m_rehearsal = std::move(rehearsal); }
    // How a file is copied to the NAS; tests put in one that stalls, fails and recovers on
    // command. Called off the main thread.
    using Copier = std::function<QString(const QUrl &from, const QUrl &to,
                                         const SafeCopier::Control &control)>;
    void setCopier(Copier copier) { m_copier = std::move(copier); }
    const Copier &copier() const { return m_copier; }
    // Shows a moment of a run as it is given.
    void show(const Phase &phase, const QList<FileRow> &rows,
              const std::optional<TransferStatus> &transfer);

    // --- What the pipeline reports ---
    void setPhase(const Phase &phase);
    // Ends the run with the sentence; the progress line goes.
    void fail(const QString &message);
    void setPlanningLine(const std::optional<QString> &line);
    void setRow(const QString &finalName, FileState state, double fraction = 0);
    void beginTransfer(const QList<qint64> &sizes);
    void updateTransfer(int index, qint64 copied, qint64 verified, bool checking);
    void endTransfer();
    // The connection to the NAS broke while copying that file: the run waits for the share.
    void waitForNAS(const QString &finalName);
    // The share answers again: the run plans afresh and carries on.
    void nasIsBack();
    // A file is on the NAS under its final name, verified.
    void placed(const QString &finalName, qint64 size, const RunState::Verified &copy);
    // A partial file this run made, which stays in the kept run until it is known to be gone.
    void partialMade(const QUrl &partial);
    void partialGone(const QUrl &partial);
    void reachedNAS(bool reached) { Q_EMIT nasReached(reached); }
    void foundDropFolder(const QUrl &dropRoot) { Q_EMIT dropFolderFound(dropRoot); }
    void wantHealth() { Q_EMIT healthCheckWanted(); }
    // The submission request goes out; from now on the service may have it.
    void beginSubmitting();
    // The submission failed; an answer the service gave (other than one it could not make
    // sense of) says it has none under the key.
    void submissionFailed(const APIError &error);
    // The sentence for a submission the service may or may not have.
    static QString uncertainSubmissionMessage();
    // The service confirmed the submission.
    void confirm(const SubmissionCreated &created);
    // The service answered that it does not know the submission (it lost it): the run stops
    // until the editor submits again or starts over.
    void submissionForgotten();
    void addOriginalsOutcome(const QStringList &lines, const QList<std::pair<QUrl, QUrl>> &moves);
    // The submission is in; the verdict is followed from here on.
    void awaitVerdict();
    // The reel check's verdict arrived.
    void conclude();
    NASSignIn *signIn() const { return m_signIn; }

    KeyedListModel *rowsModel() const { return m_rowsModel; }
    Workflow::PhaseKind phaseKind() const { return m_phase.kind; }
    QString failureMessage() const { return m_phase.message; }
    QString reelName() const { return m_state.reel.name; }
    QString version() const { return m_state.version; }
    QString planningLineText() const { return m_planningLine.value_or(QString()); }
    QVariant transferForView() const;

Q_SIGNALS:
    void phaseChanged();
    void stateChanged();
    void planningLineChanged();
    void transferChanged();
    void showFilesChanged();
    void originalsOutcomeChanged();
    void nasReached(bool reached);
    void dropFolderFound(const QUrl &dropRoot);
    void healthCheckWanted();
    // The service confirmed the submission (the state carries its id and number).
    void submitted();
    // The editor's files renamed on this computer.
    void originalsMoved(const QList<std::pair<QUrl, QUrl>> &moves);
    // The submission's verdict is to be followed.
    void followWanted(const QString &submissionID);

private:
    void setRows(QList<FileRow> rows);
    void setTransfer(const std::optional<TransferStatus> &transfer);
    void publishRows();
    void endWork();
    // No byte moved for a while.
    void stalled();
    // The line's words about the NAS, without a speed or a time left while it says them.
    void setHold(TransferStatus::Hold hold);
    // The file's row says that it waits for the NAS.
    void holdRow(const QString &finalName);

    const NAS &m_nas;
    const Service &m_service;
    const Timing &m_timing;
    RunState m_state;
    Phase m_phase;
    QList<FileRow> m_rows;
    std::optional<TransferStatus> m_transfer;
    TransferMeter m_meter;
    std::optional<QString> m_planningLine;
    bool m_showFiles = true;
    Task m_work;
    Brakes m_brakes;
    QTimer m_stallTimer;
    std::optional<QString> m_activeRow; // the file being copied or read back
    int m_index = 0;                    // its place in the plan
    qint64 m_moved = -1;                // its bytes sent and read back so far
    bool m_carryingOn = false;
    std::shared_ptr<DiskInspector> m_inspector = std::make_shared<DiskInspector>();
    std::function<void()> m_rehearsal;
    Copier m_copier = [](const QUrl &from, const QUrl &to, const SafeCopier::Control &control) {
        return SafeCopier::copyOverlapped(from, to, control);
    };
    bool m_resumable = true;
    bool m_forgotten = false;
    NASSignIn *m_signIn = nullptr;
    KeyedListModel *m_rowsModel = nullptr;
};

} // namespace tessera
