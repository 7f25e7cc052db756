#pragma once

#include "app/Confirmation.h"
#include "app/CopyRun.h"
#include "app/HelpDesk.h"
#include "app/Identity.h"
#include "app/Intake.h"
#include "app/NAS.h"
#include "app/ReelChoice.h"
#include "app/Settings.h"
#include "app/Task.h"
#include "app/Timing.h"
#include "app/Verdict.h"
#include "app/Workflow.h"

#include <QObject>
#include <QSettings>
#include <QUrl>

#include <memory>
#include <optional>

namespace tessera {

// The one object behind the window: the step shown, the settings, and the rooms of the workflow,
// each owning its part of the state and its background work: who the editor is (Identity), what
// was dropped (Intake), the reel (ReelChoice), the confirm step (Confirmation), the copy and
// submission (CopyRun), the reel check's verdict (Verdict) and the help sheet (HelpDesk). It
// moves between the steps and carries what one room's change means for another. It lives on the
// main thread.
class AppModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(tessera::Workflow::Step step READ step NOTIFY stepChanged)
    Q_PROPERTY(QString stepTitle READ stepTitle NOTIFY stepChanged)
    Q_PROPERTY(bool isDemo READ isDemo NOTIFY demoChanged)
    Q_PROPERTY(bool canContinue READ canContinue NOTIFY canContinueChanged)
    Q_PROPERTY(
        bool quitNeedsConfirmation READ quitNeedsConfirmation NOTIFY quitNeedsConfirmationChanged)
    Q_PROPERTY(tessera::Identity *identity READ identity CONSTANT)
    Q_PROPERTY(tessera::Intake *intake READ intake CONSTANT)
    Q_PROPERTY(tessera::ReelChoice *reels READ reels CONSTANT)
    Q_PROPERTY(tessera::Confirmation *confirmation READ confirmation CONSTANT)
    Q_PROPERTY(tessera::CopyRun *run READ run CONSTANT)
    Q_PROPERTY(tessera::Verdict *verdict READ verdict CONSTANT)
    Q_PROPERTY(tessera::HelpDesk *help READ help CONSTANT)
    Q_PROPERTY(int waitingFiles READ waitingFiles NOTIFY waitingFilesChanged)

public:
    struct Options
    {
        // The settings store; the user's own (organisation "Kestrel", application "Tessera")
        // when none is given.
        std::unique_ptr<QSettings> settings;
        Timing timing;
        HelpDesk::Desktop desktop;
        // The application's version text for help requests, and the build's access key.
        QString appVersion;
        QString builtInKey;
    };

    explicit AppModel(QObject *parent = nullptr);
    explicit AppModel(Options options, QObject *parent = nullptr);
    ~AppModel() override;

    Step step() const { return m_step; }
    QString stepTitle() const { return title(m_step); }
    bool isDemo() const { return m_isDemo; }
    Identity *identity() const { return m_identity; }
    Intake *intake() const { return m_intake; }
    ReelChoice *reels() const { return m_reels; }
    Confirmation *confirmation() const { return m_confirmation; }
    CopyRun *run() const { return m_run; }
    Verdict *verdict() const { return m_verdict; }
    HelpDesk *help() const { return m_help; }
    Settings &settings() { return m_settings; }
    Service &service() { return m_service; }
    const NAS &nas() const { return m_nas; }
    std::optional<bool> nasOK() const { return m_nasOK; }
    std::optional<bool> vx9OK() const { return m_vx9OK; }

    // Files opened at start-up that wait until the editor leaves the kept run.
    int waitingFiles() const { return int(m_waiting.size()); }

    // There are files and a name that fits: the drop step may be left.
    bool canContinue() const;
    // Quitting now stops files on their way to the NAS or a submission in flight.
    bool quitNeedsConfirmation() const { return m_run->isBusy(); }
    // The editor's situation, for a help request.
    HelpContext helpContext() const;

    // Files dropped on the window or chosen. On the copy step they start a fresh submission for
    // the same reel, unless the run is under way, when they are ignored.
    Q_INVOKABLE void add(const QList<QUrl> &urls);
    // Files handed in at start-up, after restoreRun(). A kept run the editor has not seen yet is
    // never dropped for them: its own files, unchanged since "Copy and submit", change nothing;
    // other files wait until the editor leaves the kept run.
    void openAtStart(const QList<QUrl> &urls);
    Q_INVOKABLE void goToConfirm();
    Q_INVOKABLE void backToDrop();
    // "Copy and submit".
    Q_INVOKABLE void startCopy();
    // "Submit another reel": a fresh start with the editor's name kept.
    Q_INVOKABLE void startOver();
    // "Submit fixed files": a fresh start for the same reel.
    Q_INVOKABLE void submitFixedFiles();
    // Forgets the run and its files and goes back to the drop step.
    void clearRun();
    // Takes up the run kept from before Tessera was closed, if there is one: first at start-up.
    // A kept run that cannot be read is dropped.
    void restoreRun();
    Q_INVOKABLE void loadDemoIfAsked();

    void setStep(Step step);
    // From now on the model plays demo scenes.
    void setDemo();
    // Asks the window to shrink to its minimum size.
    void requestShrink() { Q_EMIT shrinkRequested(); }

Q_SIGNALS:
    void stepChanged();
    void demoChanged();
    void canContinueChanged();
    void quitNeedsConfirmationChanged();
    // The demo's minimum-size scene: the window shrinks to its minimum content size.
    void shrinkRequested();
    void waitingFilesChanged();

private:
    void wire();
    // The run in progress, kept in the settings at each milestone until it ends.
    void keepRun();
    void setVX9OK(bool reached);

    Settings m_settings;
    Timing m_timing;
    QString m_appVersion;
    Service m_service;
    NAS m_nas;
    Step m_step = Step::drop;
    bool m_isDemo = false;
    std::optional<bool> m_nasOK;
    std::optional<bool> m_vx9OK;
    QList<QUrl> m_waiting;

    Identity *m_identity = nullptr;
    Intake *m_intake = nullptr;
    ReelChoice *m_reels = nullptr;
    Confirmation *m_confirmation = nullptr;
    CopyRun *m_run = nullptr;
    Verdict *m_verdict = nullptr;
    HelpDesk *m_help = nullptr;
};

} // namespace tessera
