#pragma once

#include "app/Alarm.h"
#include "app/KeyedListModel.h"
#include "app/NAS.h"
#include "app/Throttle.h"
#include "app/Workflow.h"
#include "core/copy/CopyProgress.h"
#include "core/copy/DiskInspector.h"
#include "core/copy/EDLRewriter.h"
#include "core/copy/OriginalRenamePlanner.h"
#include "core/naming/SlotCheck.h"
#include "core/precheck/ExportRules.h"
#include "core/precheck/PreCheck.h"
#include "core/naming/Reel.heckAPI.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace tessera {

// The one object behind the window: every piece of workflow state, the gates between the steps,
// and the background work (file checks, the copy-and-submit run, status polling, help). Views
// read its properties and call its operations; it lives on the main thread.
//
// Each published field announces its own change, so a binding re-evaluates only when what it reads
// changed: the copy progress touches `transfer` and single rows of `rows`, nothing else.
class AppModel : public QObject
{
    Q_OBJECT

    Q_PROPERTY(tessera::Workflow::Step step READ step NOTIFY stepChanged)
    Q_PROPERTY(QString stepTitle READ stepTitle NOTIFY stepChanged)
    Q_PROPERTY(bool isDemo READ isDemo NOTIFY demoChanged)

    // Who are you
    Q_PROPERTY(QString editor READ editor WRITE setEditor NOTIFY editorChanged)
    Q_PROPERTY(tessera::Workflow::UsersState usersState READ usersState NOTIFY usersChanged)
    Q_PROPERTY(QVariantMap me READ meForView NOTIFY meChanged)
    Q_PROPERTY(QString userQuery READ userQuery WRITE setUserQuery NOTIFY userQueryChanged)
    Q_PROPERTY(QVariantList foundUsers READ foundUsers NOTIFY foundUsersChanged)
    Q_PROPERTY(QString identityName READ identityName NOTIFY identityChanged)

    // Drop
    Q_PROPERTY(tessera::KeyedListModel *files READ filesModel CONSTANT)
    Q_PROPERTY(int fileCount READ fileCount NOTIFY filesChanged)
    Q_PROPERTY(QString edlFileName READ edlFileName NOTIFY edlChanged)
    Q_PROPERTY(QString dropMessage READ dropMessageText NOTIFY dropMessageChanged)
    Q_PROPERTY(bool canContinue READ canContinue NOTIFY gatesChanged)

    // Confirm
    Q_PROPERTY(QVariantList reels READ reelsForView NOTIFY reelsChanged)
    Q_PROPERTY(QVariantList foundReels READ foundReels NOTIFY foundReelsChanged)
    Q_PROPERTY(QString reelsError READ reelsErrorText NOTIFY reelsChanged)
    Q_PROPERTY(bool loadingReels READ loadingReels NOTIFY reelsChanged)
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(QVariantMap selectedReel READ selectedReelForView WRITE setSelectedReelFromView
                   NOTIFY selectedReelChanged)
    Q_PROPERTY(
        bool reelConfirmed READ reelConfirmed WRITE setReelConfirmed NOTIFY reelConfirmedChanged)
    Q_PROPERTY(QVariantMap keptReel READ keptReelForView NOTIFY keptReelChanged)
    Q_PROPERTY(QString version READ version NOTIFY versionChanged)
    Q_PROPERTY(bool newEDL READ newEDL WRITE setNewEDL NOTIFY newEDLChanged)
    Q_PROPERTY(QString note READ note WRITE setNote NOTIFY noteChanged)
    Q_PROPERTY(bool renameOriginals READ renameOriginals WRITE setRenameOriginals NOTIFY
                   renameOriginalsChanged)
    Q_PROPERTY(bool checkingFiles READ checkingFiles NOTIFY checkingFilesChanged)
    Q_PROPERTY(QStringList reelMismatches READ reelMismatches NOTIFY derivedChanged)
    Q_PROPERTY(QString mismatchText READ mismatchText NOTIFY derivedChanged)
    Q_PROPERTY(
        QVariantList mismatchSuggestions READ mismatchSuggestionsForView NOTIFY derivedChanged)
    Q_PROPERTY(QString completenessWarning READ completenessWarningText NOTIFY derivedChanged)
    Q_PROPERTY(QString edlFinalName READ edlFinalName NOTIFY derivedChanged)
    Q_PROPERTY(QStringList edlProblems READ edlProblems NOTIFY derivedChanged)
    Q_PROPERTY(QString edlClipNote READ edlClipNote NOTIFY derivedChanged)
    Q_PROPERTY(QVariantList plannedRenames READ plannedRenames NOTIFY derivedChanged)
    Q_PROPERTY(QVariantList keptNames READ keptNames NOTIFY derivedChanged)
    Q_PROPERTY(QString submitBlocker READ submitBlockerText NOTIFY gatesChanged)
    Q_PROPERTY(bool canSubmit READ canSubmit NOTIFY gatesChanged)

    // Copy and submit
    Q_PROPERTY(tessera::Workflow::PhaseKind phase READ phaseKind NOTIFY phaseChanged)
    Q_PROPERTY(QString failureMessage READ failureMessage NOTIFY phaseChanged)
    Q_PROPERTY(bool quitNeedsConfirmation READ quitNeedsConfirmation NOTIFY phaseChanged)
    Q_PROPERTY(QString planningLine READ planningLineText NOTIFY planningLineChanged)
    Q_PROPERTY(bool healthDegraded READ healthDegraded NOTIFY healthChanged)
    Q_PROPERTY(tessera::KeyedListModel *rows READ rowsModel CONSTANT)
    Q_PROPERTY(QVariant transfer READ transferForView NOTIFY transferChanged)
    Q_PROPERTY(QString submissionStatus READ submissionStatus NOTIFY submissionChanged)
    Q_PROPERTY(QStringList submissionProblems READ submissionProblems NOTIFY submissionChanged)
    Q_PROPERTY(bool waitingForFiles READ waitingForFiles NOTIFY submissionChanged)
    Q_PROPERTY(QVariant submissionNumber READ submissionNumberForView NOTIFY submissionChanged)
    Q_PROPERTY(QDateTime submittedAt READ submittedAtForView NOTIFY submissionChanged)
    Q_PROPERTY(QDateTime finishedAt READ finishedAtForView NOTIFY submissionChanged)
    Q_PROPERTY(bool showFiles READ showFiles WRITE setShowFiles NOTIFY showFilesChanged)
    Q_PROPERTY(QStringList originalsOutcome READ originalsOutcome NOTIFY originalsOutcomeChanged)
    Q_PROPERTY(bool pollTrouble READ pollTrouble NOTIFY pollTroubleChanged)

    // The NAS sign-in, asked while the share is being mounted
    Q_PROPERTY(bool signInOpen READ signInOpen NOTIFY signInChanged)
    Q_PROPERTY(QString signInMessage READ signInMessage NOTIFY signInChanged)
    Q_PROPERTY(QString signInUser READ signInUser NOTIFY signInChanged)
    Q_PROPERTY(QString signInDomain READ signInDomain NOTIFY signInChanged)
    Q_PROPERTY(bool signInNeedsUser READ signInNeedsUser NOTIFY signInChanged)
    Q_PROPERTY(bool signInGuestAllowed READ signInGuestAllowed NOTIFY signInChanged)

    // Help
    Q_PROPERTY(bool helpOpen READ helpOpen WRITE setHelpOpen NOTIFY helpChanged)
    Q_PROPERTY(QString helpMessage READ helpMessage WRITE setHelpMessage NOTIFY helpChanged)
    Q_PROPERTY(tessera::Workflow::HelpKind helpState READ helpKind NOTIFY helpChanged)
    Q_PROPERTY(QString helpFailure READ helpFailure NOTIFY helpChanged)
    Q_PROPERTY(QStringList helpContextLines READ helpContextLines NOTIFY helpContextChanged)

    // Names of the state enumerations' current cases ("copying" …), which QML cannot spell
    Q_PROPERTY(QString phaseName READ phaseName NOTIFY phaseChanged)
    Q_PROPERTY(QString usersStateName READ usersStateName NOTIFY usersChanged)
    Q_PROPERTY(QString helpStateName READ helpStateName NOTIFY helpChanged)
    Q_PROPERTY(QString typedName READ typedName NOTIFY userQueryChanged)
    Q_PROPERTY(bool canSendHelp READ canSendHelp NOTIFY helpChanged)
    Q_PROPERTY(QVariantList surfaces READ surfacesForView CONSTANT)
    Q_PROPERTY(QString healthDegradedMessage READ healthDegradedMessage CONSTANT)
    Q_PROPERTY(QString edlNameForVersion READ edlNameForVersion NOTIFY versionChanged)
    Q_PROPERTY(QVariantList edlNameSegments READ edlNameSegments NOTIFY derivedChanged)

public:
    // How long the model waits for things; tests shorten them.
    struct Timing
    {
        std::chrono::milliseconds probeTimeout{5000};
        std::chrono::milliseconds submitPause{3000};
        int submitRepeats = 4;
        std::chrono::milliseconds pollInterval{5000};
        double httpTimeout = 10.0; // seconds without an answer
    };

    // The desktop facilities the help fall-back uses; tests record the calls instead.
    struct Desktop
    {
        std::function<void(const QString &)> copyText;
        std::function<void(const QUrl &)> openURL;
    };

    struct Options
    {
        // The settings store; the user's own (organisation "Kestrel", application "Tessera")
        // when none is given.
        std::unique_ptr<QSettings> settings;
        Timing timing;
        Desktop desktop;
        // The application's version text for help requests, and the build's access key.
        QString appVersion;
        QString builtInKey;
    };

    explicit AppModel(QObject *parent = nullptr);
    explicit AppModel(Options options, QObject *parent = nullptr);
    ~AppModel() override;

    // --- Fields, as C++ values ---
    Step step() const { return m_step; }
    QString stepTitle() const { return title(m_step); }
    bool isDemo() const { return m_isDemo; }
    QString editor() const { return m_editor; }
    UsersState usersState() const { return m_usersState; }
    const QList<SlackUser> &slackUsers() const { return m_slackUsers; }
    const std::optional<SlackUser> &me() const { return m_me; }
    QString userQuery() const { return m_userQuery; }
    const QList<DroppedFile> &files() const { return m_files; }
    const std::optional<QUrl> &edl() const { return m_edl; }
    const std::optional<QString> &dropMessage() const { return m_dropMessage; }
    const QList<Reel> &reels() const { return m_reels; }
    const std::optional<QString> &reelsError() const { return m_reelsError; }
    bool loadingReels() const { return m_loadingReels; }
    const std::optional<Reel> &selectedReel() const { return m_selectedReel; }
    bool reelConfirmed() const { return m_reelConfirmed; }
    const std::optional<Reel> &keptReel() const { return m_keptReel; }
    QString query() const { return m_query; }
    QString version() const { return m_version; }
    bool newEDL() const { return m_newEDL; }
    QString note() const { return m_note; }
    bool renameOriginals() const { return m_renameOriginals; }
    bool checkingFiles() const { return m_checkingFiles; }
    const std::optional<QUrl> &dropRoot() const { return m_dropRoot; }
    const Phase &phase() const { return m_phase; }
    const std::optional<QString> &planningLine() const { return m_planningLine; }
    const std::optional<Health> &health() const { return m_health; }
    const QList<FileRow> &rows() const { return m_rows; }
    const std::optional<SubmissionStatus> &submission() const { return m_submission; }
    std::optional<qint64> submissionNumber() const { return m_submissionNumber; }
    std::optional<QDateTime> submittedAt() const { return m_submittedAt; }
    std::optional<QDateTime> finishedAt() const { return m_finishedAt; }
    bool showFiles() const { return m_showFiles; }
    const std::optional<TransferStatus> &transfer() const { return m_transfer; }
    QStringList originalsOutcome() const { return m_originalsOutcome; }
    bool pollTrouble() const { return m_pollTrouble; }
    std::optional<QString> submissionID() const { return m_submissionID; }
    std::optional<QString> submissionKey() const { return m_submissionKey; }
    std::optional<bool> nasOK() const { return m_nasOK; }
    std::optional<bool> vx9OK() const { return m_vx9OK; }
    bool helpOpen() const { return m_helpOpen; }
    QString helpMessage() const { return m_helpMessage; }
    const HelpState &helpState() const { return m_helpState; }
    const ReelCheckAPI &api() const { return m_api; }
    const NAS &nas() const { return m_nas; }

    void setEditor(const QString &editor);
    void setMe(const std::optional<SlackUser> &me);
    void setUserQuery(const QString &query);
    void setQuery(const QString &query);
    void setSelectedReel(const std::optional<Reel> &reel);
    void setReelConfirmed(bool confirmed);
    void setNewEDL(bool newEDL);
    void setNote(const QString &note);
    void setRenameOriginals(bool on);
    void setShowFiles(bool show);
    void setHelpOpen(bool open);
    void setHelpMessage(const QString &message);

    // --- Gates and derived values ---
    EditorIdentity::Identity identity() const;
    QString identityName() const { return identity().editor; }
    bool canContinue() const;
    std::optional<QString> submitBlocker() const;
    bool canSubmit() const;
    SlotCheck slotCheck() const;
    std::optional<QString> finalName(const DroppedFile &file) const;
    QStringList reelMismatches() const;
    QList<Reel> mismatchSuggestions() const;
    QList<QStringList> fileProblems() const;
    QStringList edlProblems() const;
    std::optional<EDLRewriter::Result> rewrittenEDL() const;
    std::optional<QString> completenessWarning() const;
    QList<OriginalRename> plannedOriginalRenames() const;
    HelpContext helpContext() const;
    HelpRequest helpRequest() const;
    // Quitting now stops files on their way to the NAS or a submission in flight.
    bool quitNeedsConfirmation() const { return m_phase.isBusy(); }

    // --- Operations ---
    Q_INVOKABLE void add(const QList<QUrl> &urls);
    void remove(const DroppedFile &file);
    Q_INVOKABLE void remove(const QString &fileID);
    void setSlot(const DroppedFile &file, const std::optional<Slot> &slot);
    // From the surface menu: a surface's raw value ("awall" …) at full size; "" clears it.
    Q_INVOKABLE void setSurface(const QString &fileID, const QString &surface);
    // Asks the window to show its file dialog; the window hands the chosen files to add().
    Q_INVOKABLE void chooseFiles();
    Q_INVOKABLE void pickUser(const QString &id);
    // "Use": the typed text (trimmed, at most 60 characters) becomes the name; the pick is cleared.
    Q_INVOKABLE void useTypedName(const QString &typed);
    Q_INVOKABLE void loadSlackUsers();
    Q_INVOKABLE void loadReels();
    Q_INVOKABLE void pickReel(const QString &id);
    Q_INVOKABLE void goToConfirm();
    Q_INVOKABLE void backToDrop();
    Q_INVOKABLE void refreshChecks();
    Q_INVOKABLE void startCopy();
    // "Try again": restarts the run's task and carries on from what is on the NAS.
    Q_INVOKABLE void run();
    // "Stop": the copy stops at its next progress report and the run before its next action.
    Q_INVOKABLE void stop();
    Q_INVOKABLE void startOver();
    Q_INVOKABLE void submitFixedFiles();
    void clearRun();
    void startPolling();
    Q_INVOKABLE void openHelp();
    Q_INVOKABLE void sendHelp();
    Q_INVOKABLE void answerSignIn(const QString &user, const QString &password,
                                  const QString &domain, bool guest);
    Q_INVOKABLE void cancelSignIn();
    Q_INVOKABLE void loadDemoIfAsked();

    // --- For the views ---
    KeyedListModel *filesModel() const { return m_filesModel; }
    KeyedListModel *rowsModel() const { return m_rowsModel; }
    int fileCount() const { return int(m_files.size()); }
    QString edlFileName() const;
    QString dropMessageText() const { return m_dropMessage.value_or(QString()); }
    QVariantMap meForView() const;
    QVariantList foundUsers() const;
    QVariantList reelsForView() const;
    QVariantList foundReels() const;
    QString reelsErrorText() const { return m_reelsError.value_or(QString()); }
    QVariantMap selectedReelForView() const;
    void setSelectedReelFromView(const QVariantMap &reel);
    QVariantMap keptReelForView() const;
    QString mismatchText() const;
    QVariantList mismatchSuggestionsForView() const;
    QString completenessWarningText() const { return completenessWarning().value_or(QString()); }
    QString edlFinalName() const;
    QString edlClipNote() const;
    QVariantList plannedRenames() const;
    QVariantList keptNames() const;
    QString submitBlockerText() const { return submitBlocker().value_or(QString()); }
    Workflow::PhaseKind phaseKind() const { return m_phase.kind; }
    QString failureMessage() const { return m_phase.message; }
    QString planningLineText() const { return m_planningLine.value_or(QString()); }
    bool healthDegraded() const { return m_health && m_health->isDegraded(); }
    QVariant transferForView() const;
    QString submissionStatus() const;
    QStringList submissionProblems() const;
    bool waitingForFiles() const { return m_submission && m_submission->waitingForFiles; }
    QVariant submissionNumberForView() const;
    QDateTime submittedAtForView() const { return m_submittedAt.value_or(QDateTime()); }
    QDateTime finishedAtForView() const { return m_finishedAt.value_or(QDateTime()); }
    bool signInOpen() const { return m_signIn.has_value(); }
    QString signInMessage() const;
    QString signInUser() const;
    QString signInDomain() const;
    bool signInNeedsUser() const;
    bool signInGuestAllowed() const;
    Workflow::HelpKind helpKind() const { return m_helpState.kind; }
    QString helpFailure() const { return m_helpState.message; }
    QStringList helpContextLines() const;
    // The enumerations' case names, as the window compares them.
    QString phaseName() const;
    QString usersStateName() const;
    QString helpStateName() const;
    Q_INVOKABLE QString fileStateName(int state) const;
    // The search text as "Use" would take it: trimmed, at most 60 characters.
    QString typedName() const;
    // "Send" may be pressed: the message is valid and no request is under way.
    bool canSendHelp() const;
    // The six surfaces in order, each with its raw value and label, for the surface menu.
    QVariantList surfacesForView() const;
    QString healthDegradedMessage() const { return Health::degradedMessage.toString(); }
    // The name a dropped EDL gets for this version, reel or not.
    QString edlNameForVersion() const;
    // The EDL's new name in runs against its current name, as the file rows carry theirs.
    QVariantList edlNameSegments() const;

Q_SIGNALS:
    void stepChanged();
    void demoChanged();
    void editorChanged();
    void usersChanged();
    void meChanged();
    void userQueryChanged();
    void foundUsersChanged();
    void identityChanged();
    void filesChanged();
    void edlChanged();
    void dropMessageChanged();
    void gatesChanged();
    void reelsChanged();
    void foundReelsChanged();
    void queryChanged();
    void selectedReelChanged();
    void reelConfirmedChanged();
    void keptReelChanged();
    void versionChanged();
    void newEDLChanged();
    void noteChanged();
    void renameOriginalsChanged();
    void checkingFilesChanged();
    void derivedChanged();
    void phaseChanged();
    void planningLineChanged();
    void healthChanged();
    void transferChanged();
    void submissionChanged();
    void showFilesChanged();
    void originalsOutcomeChanged();
    void pollTroubleChanged();
    void signInChanged();
    void helpChanged();
    void helpContextChanged();
    // The window shows its file dialog and hands the chosen files to add().
    void chooseFilesRequested();
    // The demo's minimum-size scene: the window shrinks to its minimum content size.
    void shrinkRequested();

public:
    // A background task that can be cancelled: its coroutine checks `cancelled` after every wait,
    // and its own transport lets cancelling end the requests it has outstanding.
    struct Task
    {
        std::shared_ptr<bool> cancelled = std::make_shared<bool>(false);
        std::shared_ptr<HTTPTransport> transport;
        ReelCheckAPI api;
        std::shared_ptr<Alarm> alarm = std::make_shared<Alarm>();
        void cancel();
    };

private:
    struct Reading
    {
        FileStamp stamp;
        PreCheck::Reading reading;
    };
    struct Derived;

    // Fields whose change has effects go through these.
    void setFiles(QList<DroppedFile> files);
    void setStep(Step step);
    void setPhase(const Phase &phase);
    void setRows(QList<FileRow> rows);
    void setRow(const QString &finalName, FileState state, double fraction = 0);
    void setTransfer(const std::optional<TransferStatus> &transfer);
    void setSubmission(const std::optional<SubmissionStatus> &status);
    void setDropMessage(const std::optional<QString> &message);
    void setEDL(const std::optional<QUrl> &edl);
    void setVersion(const QString &version);
    void setKeptReel(const std::optional<Reel> &reel);
    void setCheckingFiles(bool checking);
    void setPlanningLine(const std::optional<QString> &line);
    void setHelpState(const HelpState &state);
    void setUsers(UsersState state, const QList<SlackUser> &users);
    void setReelList(const QList<Reel> &reels, const std::optional<QString> &error, bool loading);
    void setPollTrouble(bool trouble);
    void setHealth(const std::optional<Health> &health);

    // A new task whose requests go through a transport of its own.
    Task newTask() const;
    void preselectReel();
    // Derived values depend on many fields; they are worked out once per change, when read.
    const Derived &derived() const;
    void invalidate();
    void publishDerived();
    void publishRows();
    QList<CopyItem> items(bool withEDLContent) const;
    void updateTransfer(int index, qint64 copied, qint64 verified, bool checking);
    void storeSetting(const QString &key, const QVariant &value);
    // Reads the service's health beside the run or the polling, without holding either up.
    static QCoro::Task<> readHealth(QPointer<AppModel> self, Task task);
    // Ends a sign-in question that is still open, as if cancelled.
    void closeSignIn();

    friend struct DropTasks;
    friend struct RunPipeline;
    friend struct PollLoop;
    friend struct DemoScenes;
    // In demo mode the lists come from the demo's cast instead of the service.
    void loadDemoLists();
    void startDemoTransfer();
    void startDemoCopy(bool fixing);

    QSettings *m_defaults = nullptr;
    std::unique_ptr<QSettings> m_ownedDefaults;
    Timing m_timing;
    Desktop m_desktop;
    QString m_appVersion;
    ReelCheckAPI m_api;
    std::function<std::shared_ptr<HTTPTransport>()> m_makeTransport;
    NAS m_nas;

    Step m_step = Step::drop;
    QString m_editor;
    QList<SlackUser> m_slackUsers;
    UsersState m_usersState = UsersState::loading;
    std::optional<SlackUser> m_me;
    QString m_userQuery;
    QList<DroppedFile> m_files;
    std::optional<QUrl> m_edl;
    std::optional<QString> m_dropMessage;
    QList<Reel> m_reels;
    std::optional<QString> m_reelsError;
    bool m_loadingReels = false;
    std::optional<Reel> m_selectedReel;
    bool m_reelConfirmed = false;
    std::optional<Reel> m_keptReel;
    QString m_query;
    QString m_version;
    bool m_newEDL = false;
    QString m_note;
    bool m_renameOriginals = true;
    QHash<QString, Reading> m_readings;
    bool m_checkingFiles = false;
    std::optional<QUrl> m_dropRoot;
    ExportRules::SizeTable m_exportSizes;
    bool m_isDemo = false;
    Phase m_phase;
    std::optional<QString> m_planningLine;
    std::optional<Health> m_health;
    QList<FileRow> m_rows;
    std::optional<SubmissionStatus> m_submission;
    std::optional<qint64> m_submissionNumber;
    std::optional<QDateTime> m_submittedAt;
    std::optional<QDateTime> m_finishedAt;
    bool m_showFiles = true;
    std::optional<TransferStatus> m_transfer;
    RateMeter m_meter;
    QElapsedTimer m_meterStart;
    qint64 m_workTotal = 0;
    qint64 m_workBase = 0;
    qint64 m_copiedBase = 0;
    QStringList m_originalsOutcome;
    bool m_pollTrouble = false;
    std::optional<QString> m_submissionID;
    bool m_helpOpen = false;
    QString m_helpMessage;
    HelpState m_helpState;
    std::optional<bool> m_nasOK;
    std::optional<bool> m_vx9OK;
    std::optional<QString> m_submissionKey;
    std::optional<NAS::SignIn> m_signIn;
    NAS::Answer m_signInAnswer;

    Task m_checkTask;
    Task m_work;
    Task m_poll;
    Task m_usersTask;
    Task m_reelsTask;
    Task m_helpTask;
    std::shared_ptr<CancelFlag> m_cancel = std::make_shared<CancelFlag>();
    std::shared_ptr<DiskInspector> m_inspector = std::make_shared<DiskInspector>();

    mutable std::unique_ptr<Derived> m_derived;
    bool m_publishQueued = false;
    KeyedListModel *m_filesModel = nullptr;
    KeyedListModel *m_rowsModel = nullptr;
};

} // namespace tessera
