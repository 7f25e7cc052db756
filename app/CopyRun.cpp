// The copy-and-submit run: from "Copy and submit" until the reel check service confirms the
// submission, and "Try again" after a failure.

#include "app/AppModel.h"
#include "core/copy/CopyPlanner.h"
#include "core/copy/SafeCopier.h"
#include "core/naming/Naming.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QtConcurrent>
#include <qcoro/qcorofuture.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tessera {

namespace {

// Lambdas and the futures that run them are named before they are awaited: gcc 12 destroys a
// lambda temporary inside a co_await expression twice.

// The outcome of blocking work run off the main thread: its value, or the sentence for its
// failure. Nothing thrown there may reach the coroutine.
template<typename T>
struct Attempt
{
    std::optional<T> value;
    QString error;
};

template<typename F>
auto attempt(F &&work) -> Attempt<std::invoke_result_t<F>>
{
    try {
        return {work(), {}};
    } catch (const CopyPlanError &error) {
        return {std::nullopt, error.description()};
    } catch (const CopyError &error) {
        return {std::nullopt, error.description()};
    } catch (const SafeCopier::RenameError &error) {
        return {std::nullopt, error.description()};
    } catch (const std::exception &error) {
        return {std::nullopt, QString::fromLocal8Bit(error.what())};
    }
}

// Hands reports from a worker thread to the model on the main thread. Only the main thread looks
// at the model pointer, and a report for a model that is gone or a task that is over is dropped.
class Relay
{
public:
    Relay(QPointer<AppModel> model, std::shared_ptr<bool> cancelled)
        : m_model(std::move(model))
        , m_cancelled(std::move(cancelled))
    {}

    template<typename F>
    static void post(const std::shared_ptr<Relay> &relay, F action)
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [relay, action = std::move(action)] {
                if (relay->m_model && !*relay->m_cancelled)
                    action(relay->m_model.data());
            },
            Qt::QueuedConnection);
    }

private:
    QPointer<AppModel> m_model;
    std::shared_ptr<bool> m_cancelled;
};

bool alive(const QPointer<AppModel> &self, const std::shared_ptr<bool> &cancelled)
{
    return self && !*cancelled;
}

constexpr auto unreachableMessage = "Can't reach the NAS. Are you on the Kestrel network?";
constexpr auto deniedMessage =
    "Tessera isn't allowed on the local network. Open System Settings, Privacy & Security, Local "
    "Network, turn on Tessera, then press Try again.";
constexpr auto noDropFolderMessage = "The NAS is connected but the folder Halcyon_Drop/Reels isn't "
                                     "there. Ask production to check the share.";

} // namespace

QCoro::Task<> AppModel::readHealth(QPointer<AppModel> self, Task task)
{
    const Result<Health> health = co_await task.api.health();
    if (!alive(self, task.cancelled))
        co_return;
    if (health) {
        self->setHealth(health.value());
        self->m_vx9OK = true;
    } else if (health.error().is<APIError::Unreachable>()) {
        self->m_vx9OK = false;
    }
    Q_EMIT self->helpContextChanged();
}

struct RunPipeline
{
    static void fail(AppModel *model, const QString &message)
    {
        model->setTransfer(std::nullopt);
        model->setPhase(Phase::failed(message));
    }

    static QCoro::Task<> run(QPointer<AppModel> self, AppModel::Task task,
                             std::shared_ptr<CancelFlag> cancel)
    {
        if (!self->m_selectedReel)
            co_return;
        const QList<CopyItem> items = self->items(true);
        const QString reelName = self->m_selectedReel->name;
        const QString version = self->m_version;

        if (self->m_submissionID) {
            self->setPhase({Phase::Kind::waiting, {}});
            self->startPolling();
            co_return;
        }
        AppModel::readHealth(self, task);

        // Can the NAS be reached, and where is its drop folder?
        self->setPhase({Phase::Kind::checkingNAS, {}});
        const NAS nas = self->m_nas;
        const NAS::Reach reach = co_await nas.reach(self->m_timing.probeTimeout);
        if (!alive(self, task.cancelled))
            co_return;
        self->m_nasOK = reach == NAS::Reach::ok;
        Q_EMIT self->helpContextChanged();
        if (reach == NAS::Reach::unreachable)
            co_return fail(self, QString::fromUtf8(unreachableMessage));
        if (reach == NAS::Reach::localNetworkDenied)
            co_return fail(self, QString::fromUtf8(deniedMessage));

        std::optional<QUrl> dropRoot = nas.mountedDropRoot();
        if (!dropRoot && !nas.isMounted()) {
            self->setPhase({Phase::Kind::connecting, {}});
            const QPointer<AppModel> asker = self;
            const NAS::AskCredentials ask = [asker](const NAS::SignIn &signIn, NAS::Answer answer) {
                if (!asker) {
                    answer(std::nullopt);
                    return;
                }
                asker->m_signIn = signIn;
                asker->m_signInAnswer = std::move(answer);
                Q_EMIT asker->signInChanged();
            };
            const std::function<bool()> stopped = [cancel, cancelled = task.cancelled] {
                return *cancelled || cancel->isSet();
            };
            const int code = co_await nas.mount(ask, stopped);
            if (!alive(self, task.cancelled))
                co_return;
            self->closeSignIn();
            if (code != NAS::mounted)
                co_return fail(self, NAS::mountMessage(code));
            dropRoot = nas.mountedDropRoot();
        }
        if (!dropRoot)
            co_return fail(self, QString::fromUtf8(noDropFolderMessage));
        if (self->m_dropRoot != dropRoot) {
            self->m_dropRoot = dropRoot;
            self->invalidate();
        }

        // Today's folder; someone else may make it at the same moment.
        const QString dayName = Naming::dayFolder(version);
        const QUrl dayFolder = CopyPlanner::appending(*dropRoot, dayName);
        auto dayJob = QtConcurrent::run([path = dayFolder.toLocalFile()] {
            if (QFileInfo(path).isDir())
                return QString();
            if (::mkdir(QFile::encodeName(path).constData(), 0755) == 0 || QFileInfo(path).isDir())
                return QString();
            return QString::fromLocal8Bit(std::strerror(errno));
        });
        const QString dayError = co_await dayJob;
        if (!alive(self, task.cancelled))
            co_return;
        if (!dayError.isEmpty())
            co_return fail(self, QStringLiteral("Couldn't make today's folder on the NAS (%1): %2")
                                     .arg(dayName, dayError));

        // What is already there decides what to copy.
        self->setPhase({Phase::Kind::planning, {}});
        const QString planning = QStringLiteral("Checking what's already on the NAS");
        self->setPlanningLine(planning);
        const auto relay = std::make_shared<Relay>(self, task.cancelled);
        const auto inspector = self->m_inspector;
        auto planJob = QtConcurrent::run([=] {
            return attempt([&] {
                return CopyPlanner::plan(
                    items, reelName, dayFolder, *dropRoot, *inspector,
                    [&](int position, int count, const QString &) {
                        Relay::post(relay, [=](AppModel *model) {
                            model->setPlanningLine(
                                planning + QStringLiteral(" · %1 of %2").arg(position).arg(count));
                        });
                    });
            });
        });
        const auto plan = co_await planJob;
        if (!alive(self, task.cancelled))
            co_return;
        self->setPlanningLine(std::nullopt);
        if (!plan.value)
            co_return fail(self, plan.error);

        self->setPhase({Phase::Kind::copying, {}});
        const QList<CopyAction> actions = *plan.value;
        auto sizeJob = QtConcurrent::run([actions] {
            QList<qint64> result;
            for (const CopyAction &action : actions) {
                if (action.kind == CopyAction::Kind::copy)
                    result << QFileInfo(action.from.toLocalFile()).size();
                else if (action.kind == CopyAction::Kind::write)
                    result << action.data.size();
            }
            return result;
        });
        const QList<qint64> sizes = co_await sizeJob;
        if (!alive(self, task.cancelled))
            co_return;
        TransferStatus start;
        start.count = int(sizes.size());
        for (qint64 size : sizes)
            start.totalBytes += size;
        self->setTransfer(start);
        self->m_workTotal = std::max<qint64>(CopyWork::total(sizes), 1);
        self->m_workBase = 0;
        self->m_copiedBase = 0;
        self->m_meter = RateMeter(3);
        self->m_meterStart.start();

        int k = 0;
        for (const CopyAction &action : actions) {
            if (cancel->isSet())
                co_return fail(self, CopyError::cancelled().description());
            const QString name = CopyPlanner::fileName(action.to);
            switch (action.kind) {
            case CopyAction::Kind::done:
                self->setRow(name, FileState::alreadyThere);
                break;
            case CopyAction::Kind::rename: {
                auto renameJob = QtConcurrent::run([action] {
                    return attempt([&] {
                        SafeCopier::renameNoReplace(action.from, action.to);
                        return true;
                    });
                });
                const auto renamed = co_await renameJob;
                if (!alive(self, task.cancelled))
                    co_return;
                if (!renamed.value) {
                    self->setRow(name, FileState::failed);
                    co_return fail(self,
                                   QStringLiteral("Couldn't rename %1 on the NAS: %2")
                                       .arg(CopyPlanner::fileName(action.from), renamed.error));
                }
                self->setRow(name, FileState::renamed);
                break;
            }
            case CopyAction::Kind::write: {
                const qint64 size = sizes.value(k++);
                self->updateTransfer(k, 0, 0, true);
                self->setRow(name, FileState::verifying, 0.5);
                auto writeJob = QtConcurrent::run([action] {
                    return attempt([&] { return SafeCopier::write(action.data, action.to); });
                });
                const auto written = co_await writeJob;
                if (!alive(self, task.cancelled))
                    co_return;
                if (!written.value) {
                    self->setRow(name, FileState::failed);
                    co_return fail(self, written.error);
                }
                inspector->remember(action.to, *written.value);
                self->m_workBase += CopyWork::total({size});
                self->m_copiedBase += size;
                self->setRow(name, FileState::done);
                break;
            }
            case CopyAction::Kind::copy: {
                const qint64 size = sizes.value(k++);
                const double whole = size > 0 ? double(size) : 1.0;
                const int index = k;
                self->setRow(name, FileState::copying, 0);
                self->updateTransfer(index, 0, 0, false);
                // The line just shown counts as the throttle's first yes, so that the first chunk
                // does not update it again a few milliseconds later.
                const auto throttle = std::make_shared<Throttle>();
                throttle->ready(true);
                const SafeCopier::Progress copied = [=](qint64 done) {
                    if (throttle->ready(done == size))
                        Relay::post(relay, [=](AppModel *model) {
                            model->setRow(name, FileState::copying, done / whole * 0.5);
                            model->updateTransfer(index, done, 0, false);
                        });
                    return !cancel->isSet();
                };
                const SafeCopier::Progress checked = [=](qint64 done) {
                    if (throttle->ready(done == size))
                        Relay::post(relay, [=](AppModel *model) {
                            model->setRow(name, FileState::verifying, 0.5 + done / whole * 0.5);
                            model->updateTransfer(index, size, done, true);
                        });
                    return !cancel->isSet();
                };
                auto copyJob = QtConcurrent::run([=] {
                    return attempt(
                        [&] { return SafeCopier::copy(action.from, action.to, copied, checked); });
                });
                const auto result = co_await copyJob;
                if (!alive(self, task.cancelled))
                    co_return;
                if (!result.value) {
                    self->setRow(name, FileState::failed);
                    co_return fail(self, result.error);
                }
                inspector->remember(action.from, *result.value);
                inspector->remember(action.to, *result.value);
                self->m_workBase += CopyWork::total({size});
                self->m_copiedBase += size;
                self->setRow(name, FileState::done);
                break;
            }
            }
        }

        // Submitting, with the same key on every attempt so the service makes one submission.
        self->setTransfer(std::nullopt);
        self->setPhase({Phase::Kind::submitting, {}});
        if (!self->m_submissionKey)
            self->m_submissionKey = newSubmissionKey();
        const EditorIdentity::Identity identity = self->identity();
        SubmissionRequest request;
        request.reelID = self->m_selectedReel ? self->m_selectedReel->id : QString();
        request.version = version;
        request.newEDL = self->m_newEDL;
        request.note = self->m_note;
        request.editor = identity.editor;
        request.slackUserID = identity.slackUserID;
        for (const CopyItem &item : items)
            if (item.finalName.endsWith(QStringLiteral(".mov")))
                request.files << item.finalName;
        request.key = *self->m_submissionKey;
        if (self->m_edl)
            request.edl = Naming::edlName(version);

        const QPointer<AppModel> watcher = self;
        const std::function<void()> uncertain = [watcher, cancelled = task.cancelled] {
            if (alive(watcher, cancelled))
                watcher->setPhase({Phase::Kind::confirming, {}});
        };
        const Result<SubmissionCreated> created = co_await task.api.submitSafely(
            request, self->m_timing.submitRepeats, self->m_timing.submitPause, uncertain);
        if (!alive(self, task.cancelled))
            co_return;
        if (!created) {
            if (created.error().is<APIError::Uncertain>())
                co_return fail(
                    self, QStringLiteral("Your files are safely on the NAS, but Tessera couldn't "
                                         "tell whether VX9 got the submission. Press Try again: it "
                                         "is safe, VX9 won't make a second one."));
            co_return fail(self, QStringLiteral("The files are safely on the NAS, but submitting "
                                                "didn't work. %1 Press Try again to submit.")
                                     .arg(created.error().description()));
        }

        self->m_submissionID = created.value().id;
        self->m_submissionNumber = created.value().number;
        self->m_submittedAt = QDateTime::currentDateTime();
        Q_EMIT self->submissionChanged();
        self->setShowFiles(false);
        self->storeSetting(QStringLiteral("lastVersion"), version);
        if (self->m_renameOriginals) {
            co_await renameTheOriginals(self, task, self->items(false), *dropRoot);
            if (!alive(self, task.cancelled))
                co_return;
        }
        self->setPhase({Phase::Kind::waiting, {}});
        self->startPolling();
    }

    // Gives the editor's own files the names they got on the NAS; failures only add lines.
    static QCoro::Task<> renameTheOriginals(QPointer<AppModel> self, AppModel::Task task,
                                            QList<CopyItem> items, QUrl dropRoot)
    {
        struct Outcome
        {
            QStringList lines;
            QList<std::pair<QUrl, QUrl>> moved;
        };
        auto renameOriginalsJob = QtConcurrent::run([items, dropRoot] {
            Outcome result;
            const QList<OriginalRename> plan =
                OriginalRenamePlanner::plan(items, dropRoot, true, [](const QUrl &url) {
                    return QFileInfo::exists(url.toLocalFile());
                });
            for (const OriginalRename &entry : plan) {
                const QString file = CopyPlanner::fileName(entry.from);
                if (entry.kind == OriginalRename::Kind::nameTaken) {
                    result.lines << QStringLiteral("%1 kept its name: %2 already exists in that "
                                                   "folder.")
                                        .arg(file, entry.finalName);
                    continue;
                }
                try {
                    SafeCopier::renameNoReplace(entry.from, entry.to);
                    result.moved << std::pair(entry.from, entry.to);
                } catch (const SafeCopier::RenameError &error) {
                    result.lines
                        << QStringLiteral("%1 kept its name (%2).").arg(file, error.description());
                }
            }
            if (plan.isEmpty())
                result.lines << QStringLiteral("Your originals already had the right names.");
            else if (result.moved.size() == 1)
                result.lines << QStringLiteral("Renamed 1 original to match the NAS.");
            else if (result.moved.size() > 1)
                result.lines << QStringLiteral("Renamed %1 originals to match the NAS.")
                                    .arg(result.moved.size());
            return result;
        });
        const Outcome outcome = co_await renameOriginalsJob;
        if (!alive(self, task.cancelled))
            co_return;
        QList<DroppedFile> files = self->m_files;
        std::optional<QUrl> edl = self->m_edl;
        for (const auto &[from, to] : outcome.moved) {
            for (DroppedFile &file : files)
                if (CopyPlanner::samePath(file.url, from))
                    file.url = to;
            if (edl && CopyPlanner::samePath(*edl, from))
                edl = to;
        }
        self->setFiles(files);
        self->setEDL(edl);
        self->m_originalsOutcome << outcome.lines;
        Q_EMIT self->originalsOutcomeChanged();
    }
};

void AppModel::startCopy()
{
    if (submitBlocker() || !Naming::isValidStamp(m_version) || m_files.isEmpty() || !m_selectedReel)
        return;

    // Rows in slot order, ties in drop order; a file without a slot sorts last.
    QList<DroppedFile> sorted = m_files;
    const Slot last{Surface::surtitles, Proxy::eighth};
    std::stable_sort(sorted.begin(), sorted.end(), [&](const DroppedFile &a, const DroppedFile &b) {
        return a.slot.value_or(last) < b.slot.value_or(last);
    });
    QList<FileRow> rows;
    for (const DroppedFile &file : std::as_const(sorted))
        rows << FileRow{CopyPlanner::fileName(file.url),
                        finalName(file).value_or(QString()),
                        file.slot,
                        FileState::waiting,
                        0,
                        std::nullopt};
    if (m_edl) {
        const auto rewritten = rewrittenEDL();
        const qint64 changed = rewritten ? rewritten->changed : 0;
        const QString detail =
            changed == 0   ? QStringLiteral("clip names unchanged")
            : changed == 1 ? QStringLiteral("1 clip name updated to the new names")
                           : QStringLiteral("%1 clip names updated to the new names").arg(changed);
        rows << FileRow{CopyPlanner::fileName(*m_edl),
                        Naming::edlName(m_version),
                        std::nullopt,
                        FileState::waiting,
                        0,
                        detail};
    }
    setRows(rows);

    m_submissionNumber.reset();
    m_submittedAt.reset();
    m_finishedAt.reset();
    m_submissionID.reset();
    setSubmission(std::nullopt);
    setShowFiles(true);
    m_originalsOutcome.clear();
    Q_EMIT originalsOutcomeChanged();
    setHealth(std::nullopt);
    m_submissionKey = newSubmissionKey();
    setStep(Step::copy);
    if (m_isDemo)
        return startDemoCopy(false); // nothing is copied or submitted in a demo
    run();
}

void AppModel::run()
{
    if (m_isDemo)
        return startDemoCopy(false);
    // The task before is over; its copy stops too rather than race the new run to the NAS.
    m_work.cancel();
    m_cancel->set();
    closeSignIn();
    m_cancel = std::make_shared<CancelFlag>();
    m_work = newTask();
    RunPipeline::run(this, m_work, m_cancel);
}

void AppModel::stop()
{
    m_cancel->set();
}

void AppModel::closeSignIn()
{
    if (auto answer = std::exchange(m_signInAnswer, {}))
        answer(std::nullopt);
    if (m_signIn) {
        m_signIn.reset();
        Q_EMIT signInChanged();
    }
}

void AppModel::answerSignIn(const QString &user, const QString &password, const QString &domain,
                            bool guest)
{
    auto answer = std::exchange(m_signInAnswer, {});
    m_signIn.reset();
    Q_EMIT signInChanged();
    if (answer)
        answer(NAS::Credentials{user, password, domain, guest});
}

void AppModel::cancelSignIn()
{
    closeSignIn();
}

void AppModel::updateTransfer(int index, qint64 copied, qint64 verified, bool checking)
{
    if (!m_transfer)
        return;
    const qint64 done = m_workBase + copied + verified;
    const double t = m_meterStart.nsecsElapsed() / 1e9;
    m_meter.add(t, done);
    TransferStatus next = *m_transfer;
    next.index = index;
    next.checking = checking;
    next.copiedBytes = m_copiedBase + copied;
    next.fraction = std::min(double(done) / double(m_workTotal), 1.0);
    const std::optional<double> rate = m_meter.perSecond();
    next.speed = rate ? std::optional(ProgressText::speed(*rate)) : std::nullopt;
    next.timeLeft.reset();
    if (rate && *rate > 0 && m_meter.start && *m_meter.start <= t - 1.0)
        next.timeLeft =
            ProgressText::timeLeft(double(std::max<qint64>(m_workTotal - done, 0)) / *rate);
    setTransfer(next);
}

void AppModel::clearRun()
{
    m_poll.cancel();
    // Nothing may go on copying for a run that is gone.
    m_work.cancel();
    m_cancel->set();
    closeSignIn();
    setFiles({});
    setEDL(std::nullopt);
    setNewEDL(false);
    setNote(QString());
    setRows({});
    m_submissionID.reset();
    m_submissionKey.reset();
    m_submissionNumber.reset();
    m_submittedAt.reset();
    m_finishedAt.reset();
    setSubmission(std::nullopt);
    setHealth(std::nullopt);
    setPlanningLine(std::nullopt);
    setDropMessage(std::nullopt);
    setTransfer(std::nullopt);
    setPhase({});
    setStep(Step::drop);
}

void AppModel::startOver()
{
    clearRun();
    setKeptReel(std::nullopt);
    setSelectedReel(std::nullopt);
    setQuery(QString());
}

void AppModel::submitFixedFiles()
{
    setKeptReel(m_selectedReel);
    clearRun();
}

} // namespace tessera
