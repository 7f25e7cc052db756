#include "app/AppModel.h"

#include "app/BuildInfo.h"
#include "app/Demo.h"
#include "app/RunRecord.h"
#include "core/copy/CopyPlanner.h"
#include "core/naming/VersionStamp.h"
#include "core/reelcheck/NetworkTransport.h"

#include <QSysInfo>

#include <utility>

namespace tessera {

namespace {

// The settings key of the run in progress.
const QString runKey = QStringLiteral("runInProgress");

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

AppModel::AppModel(QObject *parent)
    : AppModel(Options{}, parent)
{}

AppModel::AppModel(Options options, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(options.settings))
    , m_timing(options.timing)
    , m_appVersion(options.appVersion.isEmpty() ? BuildInfo::appVersion() : options.appVersion)
{
    m_service.api.base = m_settings.url(QStringLiteral("apiBase")).value_or(m_service.api.base);
    m_service.api.timeout = m_timing.httpTimeout;
    m_service.api.apiKey = ReelCheckAPI::resolveKey(
        options.builtInKey.isEmpty() ? BuildInfo::apiKey() : options.builtInKey,
        ReelCheckAPI::environmentKey());
    m_service.makeTransport = [] { return std::make_shared<NetworkTransport>(); };
    m_service.api.transport = m_service.makeTransport();
    // As written in the settings: decoding it first would turn a share name's %20 into a space,
    // which no URL may hold.
    m_nas = NAS::forSetting(m_settings.text(QStringLiteral("nasURL")));

    m_identity = new Identity(m_settings, m_service, this);
    m_intake = new Intake([nas = m_nas] { return nas.mountedDropRoot(); }, this);
    m_reels = new ReelChoice(*m_intake, m_service, this);
    m_confirmation = new Confirmation(*m_intake, *m_reels, *m_identity, m_settings, this);
    m_run = new CopyRun(m_nas, m_service, m_timing, this);
    m_verdict = new Verdict(m_service, m_timing, this);
    m_help = new HelpDesk(
        m_service, std::move(options.desktop),
        [this](const QString &message) {
            return HelpRequest{m_identity->name(), message, helpContext()};
        },
        this);
    wire();
}

AppModel::~AppModel()
{
    // The rooms go first, last made first, while what they were given is still here; each ends
    // its background work as it goes.
    delete m_help;
    delete m_verdict;
    delete m_run;
    delete m_confirmation;
    delete m_reels;
    delete m_intake;
    delete m_identity;
}

// What one room's change means for another.
void AppModel::wire()
{
    // Whether the service and the NAS answered, for help requests.
    connect(m_identity, &Identity::serviceReached, this, &AppModel::setVX9OK);
    connect(m_reels, &ReelChoice::serviceReached, this, &AppModel::setVX9OK);
    connect(m_verdict, &Verdict::serviceReached, this, &AppModel::setVX9OK);
    connect(m_run, &CopyRun::nasReached, this, [this](bool reached) {
        m_nasOK = reached;
        Q_EMIT m_help->contextChanged();
    });

    // The files decide the reel's confirmation and, on the confirm step, the readings.
    connect(m_intake, &Intake::namesChanged, m_reels, [this] { m_reels->setReelConfirmed(false); });
    connect(m_intake, &Intake::locationsChanged, this, [this] {
        if (m_step == Step::confirm)
            m_intake->refreshChecks();
    });
    // A dropped EDL is a new one; taking it back takes that back too.
    connect(m_intake, &Intake::edlDropped, m_confirmation,
            [this] { m_confirmation->setNewEDL(true); });
    connect(m_intake, &Intake::edlRemoved, m_confirmation,
            [this] { m_confirmation->setNewEDL(false); });
    connect(m_reels, &ReelChoice::reelsLoaded, this, [this] {
        if (m_step == Step::confirm)
            m_reels->preselect();
    });
    connect(m_intake, &Intake::filesChanged, this, &AppModel::canContinueChanged);
    connect(m_identity, &Identity::nameChanged, this, &AppModel::canContinueChanged);

    // The run's progress reaches the other rooms.
    connect(m_run, &CopyRun::phaseChanged, this, &AppModel::quitNeedsConfirmationChanged);
    connect(m_run, &CopyRun::dropFolderFound, m_intake,
            [this](const QUrl &root) { m_intake->setDropRoot(root); });
    connect(m_run, &CopyRun::originalsMoved, m_intake,
            [this](const QList<std::pair<QUrl, QUrl>> &moves) { m_intake->relocate(moves); });
    connect(m_run, &CopyRun::healthCheckWanted, m_verdict, &Verdict::checkHealth);
    connect(m_run, &CopyRun::submitted, this, [this] {
        const RunState &state = m_run->state();
        m_settings.store(QStringLiteral("lastVersion"), state.version);
        m_verdict->begin(state.submissionNumber, state.submittedAt.value_or(QDateTime()));
    });
    connect(m_run, &CopyRun::followWanted, m_verdict, &Verdict::follow);
    connect(m_verdict, &Verdict::concluded, m_run, &CopyRun::conclude);
    connect(m_verdict, &Verdict::forgotten, this, [this] {
        m_verdict->reset();
        m_run->submissionForgotten();
    });

    // The run outlives a crash, a quit or a restart until its verdict is in.
    connect(m_run, &CopyRun::stateChanged, this, &AppModel::keepRun);
    connect(m_verdict, &Verdict::concluded, this, [this] { m_settings.store(runKey, {}); });

    // What a help request tells of the editor's situation.
    connect(this, &AppModel::stepChanged, m_help, &HelpDesk::contextChanged);
    for (auto signal : {&Intake::filesChanged, &Intake::edlChanged, &Intake::dropMessageChanged})
        connect(m_intake, signal, m_help, &HelpDesk::contextChanged);
    connect(m_reels, &ReelChoice::selectedReelChanged, m_help, &HelpDesk::contextChanged);
    connect(m_reels, &ReelChoice::reelsChanged, m_help, &HelpDesk::contextChanged);
    connect(m_confirmation, &Confirmation::gatesChanged, m_help, &HelpDesk::contextChanged);
    connect(m_confirmation, &Confirmation::versionChanged, m_help, &HelpDesk::contextChanged);
    connect(m_identity, &Identity::nameChanged, m_help, &HelpDesk::contextChanged);
    connect(m_run, &CopyRun::phaseChanged, m_help, &HelpDesk::contextChanged);
    connect(m_run, &CopyRun::stateChanged, m_help, &HelpDesk::contextChanged);
    connect(m_verdict, &Verdict::submissionChanged, m_help, &HelpDesk::contextChanged);
}

void AppModel::setVX9OK(bool reached)
{
    m_vx9OK = reached;
    Q_EMIT m_help->contextChanged();
}

void AppModel::setStep(Step step)
{
    if (m_step == step)
        return;
    m_step = step;
    Q_EMIT stepChanged();
}

void AppModel::setDemo()
{
    m_isDemo = true;
    Q_EMIT demoChanged();
}

bool AppModel::canContinue() const
{
    return !m_intake->files().isEmpty() && m_identity->nameFits();
}

void AppModel::add(const QList<QUrl> &urls)
{
    if (m_step == Step::copy) {
        if (m_run->isBusy())
            return;
        m_reels->setKeptReel(m_reels->selectedReel());
        clearRun();
    }
    m_intake->add(urls);
}

void AppModel::openAtStart(const QList<QUrl> &urls)
{
    if (urls.isEmpty())
        return;
    const RunState &kept = m_run->state();
    if (kept.key.isEmpty())
        return add(urls);
    if (kept.handsIn(urls) && !kept.firstChangedFile())
        return;
    m_waiting << urls;
    Q_EMIT waitingFilesChanged();
}

void AppModel::goToConfirm()
{
    if (!canContinue())
        return;
    const QString last = m_settings.value(QStringLiteral("lastVersion")).toString();
    m_confirmation->setVersion(VersionStamp::next(
        QDateTime::currentDateTime(), last.isEmpty() ? std::nullopt : std::optional(last)));
    setStep(Step::confirm);
    m_reels->preselect();
    if (m_reels->reels().isEmpty())
        m_reels->loadReels();
    m_intake->refreshChecks();
}

void AppModel::backToDrop()
{
    if (m_step == Step::confirm)
        setStep(Step::drop);
}

void AppModel::startCopy()
{
    std::optional<RunState> state = m_confirmation->draft();
    if (!state || !m_confirmation->canSubmit())
        return;
    state->key = newSubmissionKey();
    state->stampFiles();
    m_verdict->reset();
    m_run->start(*state);
    setStep(Step::copy);
    m_run->run();
}

void AppModel::clearRun()
{
    m_verdict->reset();
    m_run->clear();
    m_intake->clear();
    m_confirmation->setNewEDL(false);
    m_confirmation->setNote(QString());
    setStep(Step::drop);
    if (!m_waiting.isEmpty()) {
        m_intake->add(std::exchange(m_waiting, {}));
        Q_EMIT waitingFilesChanged();
    }
}

void AppModel::keepRun()
{
    const RunState &state = m_run->state();
    m_settings.store(runKey, state.key.isEmpty()
                                 ? QVariant()
                                 : QVariant(QString::fromUtf8(RunRecord::write(state))));
}

void AppModel::restoreRun()
{
    // A demo takes up nothing, as it keeps nothing.
    if (Demo::isAsked())
        return;
    const QVariant kept = m_settings.value(runKey);
    if (!kept.isValid())
        return;
    const auto state = RunRecord::read(kept.toString().toUtf8());
    if (!state) {
        m_settings.store(runKey, {});
        return;
    }
    m_intake->setDropped(state->files, state->edl);
    m_reels->setKeptReel(std::nullopt);
    m_reels->setSelectedReel(state->reel);
    m_confirmation->setVersion(state->version);
    m_confirmation->setNewEDL(state->newEDL);
    m_confirmation->setNote(state->note);
    m_verdict->reset();
    if (state->submissionID)
        m_verdict->begin(state->submissionNumber, state->submittedAt.value_or(QDateTime()));
    setStep(Step::copy);
    m_run->restore(*state);
}

void AppModel::startOver()
{
    clearRun();
    m_reels->setKeptReel(std::nullopt);
    m_reels->setSelectedReel(std::nullopt);
    m_reels->setQuery(QString());
}

void AppModel::submitFixedFiles()
{
    m_reels->setKeptReel(m_reels->selectedReel());
    clearRun();
}

void AppModel::loadDemoIfAsked()
{
    if (Demo::isAsked())
        Demo::load(*this);
}

HelpContext AppModel::helpContext() const
{
    HelpContext context;
    if (const auto &reel = m_reels->selectedReel())
        context.reel = reel->name;
    if (m_step != Step::drop)
        context.version = m_confirmation->version();
    context.step = title(m_step);
    if (m_run->phase().kind == Phase::Kind::failed)
        context.error = m_run->phase().message;
    else if (m_step == Step::confirm && m_confirmation->submitBlocker())
        context.error = m_confirmation->submitBlocker();
    else if (m_step != Step::copy)
        context.error = m_reels->reelsError() ? m_reels->reelsError() : m_intake->dropMessage();
    QStringList files;
    for (const DroppedFile &file : m_intake->files()) {
        const QString name = CopyPlanner::fileName(file.url);
        const auto newName = m_confirmation->finalName(file);
        files << (newName ? name + QStringLiteral(" → ") + *newName : name);
    }
    if (m_intake->edl())
        files << CopyPlanner::fileName(*m_intake->edl());
    context.files = files;
    context.submissionID = m_run->state().submissionID;
    context.submissionNumber = m_verdict->number();
    context.appVersion = m_appVersion;
    context.macos = runningSystemVersion();
    context.nasOK = m_nasOK;
    context.vx9OK = m_vx9OK;
    context.slackUserID = m_identity->identity().slackUserID;
    return context.normalized();
}

} // namespace tessera
