#include "app/AppModel.h"

#include "app/BuildInfo.h"
#include "app/ModelRows.h"
#include "core/copy/CopyPlanner.h"
#include "core/naming/NameDiff.h"
#include "core/naming/Naming.h"
#include "core/naming/ReelDetector.h"
#include "core/naming/ReelSearch.h"
#include "core/precheck/ReelCompleteness.h"
#include "core/reelcheck/NetworkTransport.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMetaEnum>
#include <QOperatingSystemVersion>
#include <QSysInfo>

namespace tessera {

namespace {

constexpr int maxNameLength = 60;
constexpr int maxNoteLength = 2000;

QString settingString(QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

// A stored bool; INI files give it back as the text "true" or "false".
std::optional<bool> settingBool(QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        if (value.toString() == u"true")
            return true;
        if (value.toString() == u"false")
            return false;
    }
    return std::nullopt;
}

std::optional<QUrl> settingURL(QSettings &settings, const QString &key)
{
    const QUrl url(settingString(settings, key), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

bool sameReel(const std::optional<Reel> &a, const std::optional<Reel> &b)
{
    return a.has_value() == b.has_value() && (!a || (a->id == b->id && a->name == b->name));
}

QString runningSystemVersion()
{
    // The kernel's release, cut to "{major}.{minor}.{patch}".
    const QStringList parts = QSysInfo::kernelVersion().split(u'.');
    QStringList numbers;
    for (const QString &part : parts) {
        QString digits;
        for (QChar c : part) {
            if (!c.isDigit())
                break;
            digits += c;
        }
        if (digits.isEmpty())
            break;
        numbers << digits;
        if (numbers.size() == 3)
            break;
    }
    while (!numbers.isEmpty() && numbers.size() < 3)
        numbers << QStringLiteral("0");
    return numbers.join(u'.');
}

} // namespace

namespace {

// Assigns and says whether the field changed, so that only a real change is announced.
template<typename T>
bool change(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

struct AppModel::Derived
{
    SlotCheck slotCheck;
    QList<QStringList> fileProblems;
    QStringList reelMismatches;
    QList<Reel> mismatchSuggestions;
    std::optional<EDLRewriter::Result> rewrittenEDL;
    QStringList edlProblems;
    std::optional<QString> completenessWarning;
    QList<OriginalRename> plannedOriginalRenames;
};

void AppModel::Task::cancel()
{
    *cancelled = true;
    if (transport)
        transport->abortAll();
    alarm->ring();
}

AppModel::AppModel(QObject *parent)
    : AppModel(Options{}, parent)
{}

AppModel::AppModel(Options options, QObject *parent)
    : QObject(parent)
    , m_ownedDefaults(options.settings ? std::move(options.settings)
                                       : std::make_unique<QSettings>(QStringLiteral("Kestrel"),
                                                                     QStringLiteral("Tessera")))
    , m_timing(options.timing)
    , m_desktop(std::move(options.desktop))
    , m_appVersion(options.appVersion.isEmpty() ? BuildInfo::appVersion() : options.appVersion)
    , m_exportSizes(ExportRules::fullSizes())
    , m_filesModel(new KeyedListModel(ModelRows::fileRoles(), this))
    , m_rowsModel(new KeyedListModel(ModelRows::rowRoles(), this))
{
    m_defaults = m_ownedDefaults.get();
    if (!m_desktop.copyText)
        m_desktop.copyText = [](const QString &text) {
            if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
                app->clipboard()->setText(text);
        };
    if (!m_desktop.openURL)
        m_desktop.openURL = [](const QUrl &url) { QDesktopServices::openUrl(url); };

    m_editor = settingString(*m_defaults, QStringLiteral("editorName"));
    const QString storedID = settingString(*m_defaults, QStringLiteral("slackUserID"));
    if (!storedID.isEmpty())
        m_me = SlackUser{storedID, QString(),
                         settingString(*m_defaults, QStringLiteral("slackUserRealName"))};
    m_renameOriginals =
        settingBool(*m_defaults, QStringLiteral("renameOriginalsDefaultOn")).value_or(true);

    m_api.base = settingURL(*m_defaults, QStringLiteral("apiBase")).value_or(m_api.base);
    m_api.timeout = m_timing.httpTimeout;
    m_api.apiKey = ReelCheckAPI::resolveKey(options.builtInKey.isEmpty() ? BuildInfo::apiKey()
                                                                         : options.builtInKey,
                                            ReelCheckAPI::environmentKey());
    m_makeTransport = [] { return std::make_shared<NetworkTransport>(); };
    m_api.transport = m_makeTransport();
    if (const auto nasURL = settingURL(*m_defaults, QStringLiteral("nasURL")))
        m_nas = NAS::forSetting(nasURL->toString());
    else
        m_nas = NAS::defaultNAS();
}

AppModel::~AppModel()
{
    // Every task learns first that it is over, so that a request ended here, whose coroutine
    // resumes at once, touches nothing of this model.
    for (Task *task : {&m_checkTask, &m_work, &m_poll, &m_usersTask, &m_reelsTask, &m_helpTask})
        *task->cancelled = true;
    m_cancel->set();
    if (m_signInAnswer)
        std::exchange(m_signInAnswer, {})(std::nullopt);
    for (Task *task : {&m_checkTask, &m_work, &m_poll, &m_usersTask, &m_reelsTask, &m_helpTask})
        task->cancel();
}

AppModel::Task AppModel::newTask() const
{
    Task task;
    task.transport = m_makeTransport();
    task.api = m_api;
    task.api.transport = task.transport;
    return task;
}

void AppModel::storeSetting(const QString &key, const QVariant &value)
{
    // A demo leaves the editor's own settings as they were.
    if (m_isDemo)
        return;
    if (value.isValid())
        m_defaults->setValue(key, value);
    else
        m_defaults->remove(key);
    m_defaults->sync();
}

// --- Setters and their effects ---

void AppModel::setStep(Step step)
{
    if (!change(m_step, step))
        return;
    Q_EMIT stepChanged();
    invalidate();
}

void AppModel::setEditor(const QString &editor)
{
    if (!change(m_editor, editor))
        return;
    storeSetting(QStringLiteral("editorName"), editor);
    Q_EMIT editorChanged();
    Q_EMIT identityChanged();
    invalidate();
}

void AppModel::setMe(const std::optional<SlackUser> &me)
{
    if (!change(m_me, me))
        return;
    storeSetting(QStringLiteral("slackUserID"), me ? QVariant(me->id) : QVariant());
    storeSetting(QStringLiteral("slackUserRealName"), me ? QVariant(me->realName) : QVariant());
    Q_EMIT meChanged();
    Q_EMIT identityChanged();
    invalidate();
}

void AppModel::setUsers(UsersState state, const QList<SlackUser> &users)
{
    if (m_usersState == state && m_slackUsers == users)
        return;
    m_usersState = state;
    m_slackUsers = users;
    Q_EMIT usersChanged();
    Q_EMIT foundUsersChanged();
    Q_EMIT identityChanged();
    invalidate();
}

void AppModel::setUserQuery(const QString &query)
{
    if (!change(m_userQuery, query))
        return;
    Q_EMIT userQueryChanged();
    Q_EMIT foundUsersChanged();
}

void AppModel::setQuery(const QString &query)
{
    if (!change(m_query, query))
        return;
    Q_EMIT queryChanged();
    Q_EMIT foundReelsChanged();
}

void AppModel::setSelectedReel(const std::optional<Reel> &reel)
{
    if (m_selectedReel == reel)
        return;
    const bool different = !sameReel(m_selectedReel, reel);
    m_selectedReel = reel;
    Q_EMIT selectedReelChanged();
    if (different)
        setReelConfirmed(false);
    invalidate();
}

void AppModel::setReelConfirmed(bool confirmed)
{
    if (!change(m_reelConfirmed, confirmed))
        return;
    Q_EMIT reelConfirmedChanged();
    invalidate();
}

void AppModel::setKeptReel(const std::optional<Reel> &reel)
{
    if (!change(m_keptReel, reel))
        return;
    Q_EMIT keptReelChanged();
    invalidate();
}

void AppModel::setReelList(const QList<Reel> &reels, const std::optional<QString> &error,
                           bool loading)
{
    if (m_reels == reels && m_reelsError == error && m_loadingReels == loading)
        return;
    m_reels = reels;
    m_reelsError = error;
    m_loadingReels = loading;
    Q_EMIT reelsChanged();
    Q_EMIT foundReelsChanged();
    invalidate();
}

void AppModel::setVersion(const QString &version)
{
    if (!change(m_version, version))
        return;
    Q_EMIT versionChanged();
    invalidate();
}

void AppModel::setNewEDL(bool newEDL)
{
    if (!change(m_newEDL, newEDL))
        return;
    Q_EMIT newEDLChanged();
}

void AppModel::setNote(const QString &note)
{
    if (m_note == note)
        return;
    const bool wasTooLong = m_note.size() > maxNoteLength;
    m_note = note;
    Q_EMIT noteChanged();
    if (wasTooLong != (note.size() > maxNoteLength))
        Q_EMIT gatesChanged();
}

void AppModel::setRenameOriginals(bool on)
{
    if (!change(m_renameOriginals, on))
        return;
    storeSetting(QStringLiteral("renameOriginalsDefaultOn"), on);
    Q_EMIT renameOriginalsChanged();
    invalidate();
}

void AppModel::setCheckingFiles(bool checking)
{
    if (!change(m_checkingFiles, checking))
        return;
    Q_EMIT checkingFilesChanged();
    invalidate();
}

void AppModel::setFiles(QList<DroppedFile> files)
{
    if (m_files == files)
        return;
    const auto names = [](const QList<DroppedFile> &list) {
        QStringList result;
        for (const DroppedFile &file : list)
            result << CopyPlanner::fileName(file.url);
        return result;
    };
    const auto locations = [](const QList<DroppedFile> &list) {
        QList<QUrl> result;
        for (const DroppedFile &file : list)
            result << file.url;
        return result;
    };
    const bool namesChanged = names(m_files) != names(files);
    const bool locationsChanged = locations(m_files) != locations(files);
    m_files = std::move(files);
    Q_EMIT filesChanged();
    if (namesChanged)
        setReelConfirmed(false);
    invalidate();
    if (m_step == Step::confirm && locationsChanged)
        refreshChecks();
}

void AppModel::setEDL(const std::optional<QUrl> &edl)
{
    if (!change(m_edl, edl))
        return;
    Q_EMIT edlChanged();
    invalidate();
}

void AppModel::setDropMessage(const std::optional<QString> &message)
{
    if (!change(m_dropMessage, message))
        return;
    Q_EMIT dropMessageChanged();
    Q_EMIT helpContextChanged();
}

void AppModel::setPhase(const Phase &phase)
{
    if (!change(m_phase, phase))
        return;
    Q_EMIT phaseChanged();
    Q_EMIT helpContextChanged();
}

void AppModel::setPlanningLine(const std::optional<QString> &line)
{
    if (!change(m_planningLine, line))
        return;
    Q_EMIT planningLineChanged();
}

void AppModel::setHealth(const std::optional<Health> &health)
{
    if (!change(m_health, health))
        return;
    Q_EMIT healthChanged();
}

void AppModel::setTransfer(const std::optional<TransferStatus> &transfer)
{
    if (!change(m_transfer, transfer))
        return;
    Q_EMIT transferChanged();
}

void AppModel::setSubmission(const std::optional<SubmissionStatus> &status)
{
    m_submission = status;
    Q_EMIT submissionChanged();
    Q_EMIT helpContextChanged();
}

void AppModel::setPollTrouble(bool trouble)
{
    if (!change(m_pollTrouble, trouble))
        return;
    Q_EMIT pollTroubleChanged();
}

void AppModel::setShowFiles(bool show)
{
    if (!change(m_showFiles, show))
        return;
    Q_EMIT showFilesChanged();
}

void AppModel::setHelpOpen(bool open)
{
    if (!change(m_helpOpen, open))
        return;
    Q_EMIT helpChanged();
}

void AppModel::setHelpMessage(const QString &message)
{
    if (!change(m_helpMessage, message))
        return;
    Q_EMIT helpChanged();
}

void AppModel::setHelpState(const HelpState &state)
{
    if (!change(m_helpState, state))
        return;
    Q_EMIT helpChanged();
}

void AppModel::setRows(QList<FileRow> rows)
{
    m_rows = std::move(rows);
    publishRows();
}

void AppModel::setRow(const QString &finalName, FileState state, double fraction)
{
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        FileRow &row = m_rows[i];
        if (row.finalName != finalName)
            continue;
        if (row.state == state && row.fraction == fraction)
            return;
        row.state = state;
        row.fraction = fraction;
        publishRows();
        return;
    }
}

void AppModel::publishRows()
{
    QList<KeyedListModel::Row> rows;
    for (const FileRow &row : std::as_const(m_rows))
        rows << ModelRows::row(row);
    m_rowsModel->setRows(rows);
}

// --- Derived values ---

void AppModel::invalidate()
{
    m_derived.reset();
    Q_EMIT gatesChanged();
    Q_EMIT helpContextChanged();
    // Views learn of the new values once per turn of the event loop, however many fields changed.
    if (m_publishQueued)
        return;
    m_publishQueued = true;
    QMetaObject::invokeMethod(this, &AppModel::publishDerived, Qt::QueuedConnection);
}

void AppModel::publishDerived()
{
    m_publishQueued = false;
    const Derived &d = derived();
    QList<KeyedListModel::Row> rows;
    for (qsizetype i = 0; i < m_files.size(); ++i) {
        const DroppedFile &file = m_files.at(i);
        const QString badge = !file.slot                               ? QStringLiteral("Pick")
                              : d.slotCheck.conflicts.contains(int(i)) ? QStringLiteral("Clash")
                                                                       : QString();
        rows << ModelRows::file(file, finalName(file), d.fileProblems.value(i), badge);
    }
    m_filesModel->setRows(rows);
    Q_EMIT derivedChanged();
}

const AppModel::Derived &AppModel::derived() const
{
    if (m_derived)
        return *m_derived;
    auto d = std::make_unique<Derived>();

    QList<std::optional<Slot>> slots;
    QStringList names;
    for (const DroppedFile &file : m_files) {
        slots << file.slot;
        names << CopyPlanner::fileName(file.url);
    }
    d->slotCheck = SlotCheck(slots);

    if (m_selectedReel) {
        d->reelMismatches = ReelDetector::mismatches(names, m_selectedReel->name);
        for (const QString &name : std::as_const(d->reelMismatches))
            for (const Reel &reel : m_reels)
                if (reel.name == name)
                    d->mismatchSuggestions << reel;
    }

    QList<PreCheck::File> checked;
    for (const DroppedFile &file : m_files) {
        PreCheck::File entry{CopyPlanner::fileName(file.url), std::nullopt, std::nullopt};
        if (file.slot)
            entry.surface = file.slot->surface;
        const auto found = m_readings.constFind(CopyPlanner::standardizedPath(file.url));
        if (found != m_readings.constEnd())
            entry.reading = found->reading;
        checked << entry;
    }
    d->fileProblems = PreCheck::problems(checked, m_exportSizes);
    if (m_selectedReel && m_dropRoot) {
        for (qsizetype i = 0; i < m_files.size(); ++i) {
            const CopyItem item{m_files.at(i).url, finalName(m_files.at(i)).value_or(QString()),
                                std::nullopt};
            for (const QString &problem :
                 CopyPlanner::otherReelProblems({item}, m_selectedReel->name, *m_dropRoot))
                d->fileProblems[i] << problem + u'.';
        }
    }

    if (m_edl && m_selectedReel) {
        QFile file(m_edl->toLocalFile());
        if (file.open(QIODevice::ReadOnly)) {
            QList<EDLRewriter::File> entries;
            for (const DroppedFile &dropped : m_files)
                if (dropped.slot)
                    entries << EDLRewriter::File{CopyPlanner::fileName(dropped.url),
                                                 *finalName(dropped), *dropped.slot};
            d->rewrittenEDL = EDLRewriter::rewrite(file.readAll(), m_selectedReel->name, entries);
            for (const QString &name : std::as_const(d->rewrittenEDL->ambiguous))
                d->edlProblems << EDLRewriter::ambiguousMessage(name);
        }
    }

    if (!m_keptReel && !m_files.isEmpty()) {
        QList<Surface> surfaces;
        for (const DroppedFile &file : m_files)
            if (file.slot)
                surfaces << file.slot->surface;
        d->completenessWarning = ReelCompleteness::warning(int(m_files.size()), surfaces);
    }

    if (m_renameOriginals && m_selectedReel) {
        const QUrl root =
            m_dropRoot.value_or(QUrl::fromLocalFile(QStringLiteral("/nonexistent-drop-root")));
        d->plannedOriginalRenames =
            OriginalRenamePlanner::plan(items(false), root, true, [](const QUrl &url) {
                return QFileInfo::exists(url.toLocalFile());
            });
    }

    m_derived = std::move(d);
    return *m_derived;
}

EditorIdentity::Identity AppModel::identity() const
{
    return EditorIdentity::resolve(m_usersState == UsersState::loaded, m_me, m_editor);
}

bool AppModel::canContinue() const
{
    const qsizetype length = identityName().size();
    return !m_files.isEmpty() && length >= 1 && length <= maxNameLength;
}

std::optional<QString> AppModel::submitBlocker() const
{
    if (!m_selectedReel)
        return QStringLiteral("Pick the reel.");
    const Derived &d = derived();
    if (!d.reelMismatches.isEmpty() && !m_reelConfirmed)
        return QStringLiteral("Check the reel first.");
    if (!d.slotCheck.unassigned.isEmpty())
        return QStringLiteral("Pick a surface for every file.");
    if (!d.slotCheck.conflicts.isEmpty())
        return QStringLiteral("Two files point at the same surface. Change one of them.");
    if (m_checkingFiles)
        return QStringLiteral("Checking the files…");
    const bool anyProblem = std::any_of(d.fileProblems.begin(), d.fileProblems.end(),
                                        [](const QStringList &list) { return !list.isEmpty(); });
    if (anyProblem || !d.edlProblems.isEmpty())
        return QStringLiteral("Fix the problems in red, then drop the files again.");
    const qsizetype length = identityName().size();
    if (length < 1 || length > maxNameLength)
        return QStringLiteral("Say who you are on the first step.");
    if (m_note.size() > maxNoteLength)
        return QStringLiteral("The note is too long (2000 characters at most).");
    return std::nullopt;
}

bool AppModel::canSubmit() const
{
    return !submitBlocker() && Naming::isValidStamp(m_version) && !m_files.isEmpty();
}

SlotCheck AppModel::slotCheck() const
{
    return derived().slotCheck;
}

std::optional<QString> AppModel::finalName(const DroppedFile &file) const
{
    if (!m_selectedReel || !file.slot)
        return std::nullopt;
    return Naming::fileName(m_selectedReel->name, *file.slot, m_version);
}

QStringList AppModel::reelMismatches() const
{
    return derived().reelMismatches;
}

QList<Reel> AppModel::mismatchSuggestions() const
{
    return derived().mismatchSuggestions;
}

QList<QStringList> AppModel::fileProblems() const
{
    return derived().fileProblems;
}

QStringList AppModel::edlProblems() const
{
    return derived().edlProblems;
}

std::optional<EDLRewriter::Result> AppModel::rewrittenEDL() const
{
    return derived().rewrittenEDL;
}

std::optional<QString> AppModel::completenessWarning() const
{
    return derived().completenessWarning;
}

QList<OriginalRename> AppModel::plannedOriginalRenames() const
{
    return derived().plannedOriginalRenames;
}

QList<CopyItem> AppModel::items(bool withEDLContent) const
{
    QList<CopyItem> result;
    if (!m_selectedReel)
        return result;
    for (const DroppedFile &file : m_files)
        if (file.slot)
            result << CopyItem{file.url, *finalName(file), std::nullopt};
    if (m_edl) {
        CopyItem item{*m_edl, Naming::edlName(m_version), std::nullopt};
        if (withEDLContent)
            if (const auto rewritten = rewrittenEDL())
                item.content = rewritten->data;
        result << item;
    }
    return result;
}

HelpContext AppModel::helpContext() const
{
    HelpContext context;
    if (m_selectedReel)
        context.reel = m_selectedReel->name;
    if (m_step != Step::drop)
        context.version = m_version;
    context.step = title(m_step);
    if (m_phase.kind == Phase::Kind::failed)
        context.error = m_phase.message;
    else if (m_step == Step::confirm && submitBlocker())
        context.error = submitBlocker();
    else if (m_step != Step::copy)
        context.error = m_reelsError ? m_reelsError : m_dropMessage;
    QStringList files;
    for (const DroppedFile &file : m_files) {
        const QString name = CopyPlanner::fileName(file.url);
        const auto newName = finalName(file);
        files << (newName ? name + QStringLiteral(" → ") + *newName : name);
    }
    if (m_edl)
        files << CopyPlanner::fileName(*m_edl);
    context.files = files;
    context.submissionID = m_submissionID;
    context.submissionNumber = m_submissionNumber;
    context.appVersion = m_appVersion;
    context.macos = runningSystemVersion();
    context.nasOK = m_nasOK;
    context.vx9OK = m_vx9OK;
    context.slackUserID = identity().slackUserID;
    return context.normalized();
}

HelpRequest AppModel::helpRequest() const
{
    return {identity().editor, m_helpMessage.trimmed(), helpContext()};
}

// --- For the views ---

QString AppModel::edlFileName() const
{
    return m_edl ? CopyPlanner::fileName(*m_edl) : QString();
}

QVariantMap AppModel::meForView() const
{
    return m_me ? ModelRows::user(*m_me) : QVariantMap();
}

QVariantList AppModel::foundUsers() const
{
    QVariantList list;
    for (const SlackUser &user : SlackUserSearch::filter(m_slackUsers, m_userQuery))
        list << ModelRows::user(user);
    return list;
}

QVariantList AppModel::reelsForView() const
{
    QVariantList list;
    for (const Reel &reel : m_reels)
        list << ModelRows::reel(reel);
    return list;
}

QVariantList AppModel::foundReels() const
{
    QVariantList list;
    for (const Reel &reel : ReelSearch::filter(m_reels, m_query))
        list << ModelRows::reel(reel);
    return list;
}

QVariantMap AppModel::selectedReelForView() const
{
    return m_selectedReel ? ModelRows::reel(*m_selectedReel) : QVariantMap();
}

void AppModel::setSelectedReelFromView(const QVariantMap &reel)
{
    if (reel.isEmpty())
        setSelectedReel(std::nullopt);
    else
        setSelectedReel(Reel{reel.value(QStringLiteral("id")).toString(),
                             reel.value(QStringLiteral("name")).toString()});
}

QVariantMap AppModel::keptReelForView() const
{
    return m_keptReel ? ModelRows::reel(*m_keptReel) : QVariantMap();
}

QString AppModel::mismatchText() const
{
    const QStringList mismatches = reelMismatches();
    if (mismatches.isEmpty() || !m_selectedReel)
        return {};
    return QStringLiteral("These files say ") + ReelDetector::list(mismatches) +
           QStringLiteral(", but you picked ") + m_selectedReel->name + u'.';
}

QVariantList AppModel::mismatchSuggestionsForView() const
{
    QVariantList list;
    for (const Reel &reel : mismatchSuggestions())
        list << ModelRows::reel(reel);
    return list;
}

QString AppModel::edlFinalName() const
{
    return m_selectedReel && m_edl ? Naming::edlName(m_version) : QString();
}

QString AppModel::edlClipNote() const
{
    const auto rewritten = rewrittenEDL();
    if (!rewritten)
        return {};
    if (rewritten->changed == 0)
        return QStringLiteral("clip names unchanged");
    return QString::number(rewritten->changed) + (rewritten->changed == 1
                                                      ? QStringLiteral(" clip name updated")
                                                      : QStringLiteral(" clip names updated"));
}

QVariantList AppModel::plannedRenames() const
{
    QVariantList list;
    for (const OriginalRename &rename : plannedOriginalRenames())
        if (rename.kind == OriginalRename::Kind::rename)
            list << QVariantMap{{QStringLiteral("from"), CopyPlanner::fileName(rename.from)},
                                {QStringLiteral("to"), CopyPlanner::fileName(rename.to)}};
    return list;
}

QVariantList AppModel::keptNames() const
{
    QVariantList list;
    for (const OriginalRename &rename : plannedOriginalRenames())
        if (rename.kind == OriginalRename::Kind::nameTaken)
            list << QVariantMap{{QStringLiteral("name"), CopyPlanner::fileName(rename.from)},
                                {QStringLiteral("taken"), rename.finalName}};
    return list;
}

QVariant AppModel::transferForView() const
{
    return m_transfer ? QVariant::fromValue(*m_transfer) : QVariant();
}

QString AppModel::submissionStatus() const
{
    return m_submission ? m_submission->status : QString();
}

QStringList AppModel::submissionProblems() const
{
    return m_submission ? m_submission->problems : QStringList();
}

QVariant AppModel::submissionNumberForView() const
{
    return m_submissionNumber ? QVariant(*m_submissionNumber) : QVariant();
}

QString AppModel::signInMessage() const
{
    return m_signIn ? m_signIn->message : QString();
}

QString AppModel::signInUser() const
{
    return m_signIn ? m_signIn->user : QString();
}

QString AppModel::signInDomain() const
{
    return m_signIn ? m_signIn->domain : QString();
}

bool AppModel::signInNeedsUser() const
{
    return m_signIn && m_signIn->needsUser;
}

bool AppModel::signInGuestAllowed() const
{
    return m_signIn && m_signIn->anonymousAllowed;
}

QStringList AppModel::helpContextLines() const
{
    return HelpReport::contextLines(helpContext());
}

QString AppModel::phaseName() const
{
    return QString::fromLatin1(
        QMetaEnum::fromType<Workflow::PhaseKind>().valueToKey(static_cast<int>(m_phase.kind)));
}

QString AppModel::usersStateName() const
{
    return QString::fromLatin1(
        QMetaEnum::fromType<UsersState>().valueToKey(static_cast<int>(m_usersState)));
}

QString AppModel::helpStateName() const
{
    return QString::fromLatin1(
        QMetaEnum::fromType<Workflow::HelpKind>().valueToKey(static_cast<int>(m_helpState.kind)));
}

QString AppModel::fileStateName(int state) const
{
    return QString::fromLatin1(QMetaEnum::fromType<FileState>().valueToKey(state));
}

QString AppModel::typedName() const
{
    return m_userQuery.trimmed().left(maxNameLength);
}

bool AppModel::canSendHelp() const
{
    return HelpReport::isValid(m_helpMessage) && m_helpState.kind != HelpState::Kind::sending;
}

QString AppModel::edlNameForVersion() const
{
    return Naming::edlName(m_version);
}

QVariantList AppModel::edlNameSegments() const
{
    QVariantList segments;
    if (!m_edl || !m_selectedReel)
        return segments;
    for (const NameDiff::Segment &segment :
         NameDiff::segments(CopyPlanner::fileName(*m_edl), Naming::edlName(m_version)))
        segments << QVariantMap{{QStringLiteral("text"), segment.text},
                                {QStringLiteral("changed"), segment.changed}};
    return segments;
}

QVariantList AppModel::surfacesForView() const
{
    QVariantList list;
    for (Surface surface : allSurfaces)
        list << QVariantMap{{QStringLiteral("surface"), rawValue(surface)},
                            {QStringLiteral("label"), label(surface)}};
    return list;
}

} // namespace tessera
