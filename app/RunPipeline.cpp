#include "app/RunPipeline.h"

#include "app/CopyRun.h"
#include "app/Relay.h"
#include "core/copy/DayFolder.h"
#include "core/copy/OriginalRenamePlanner.h"
#include "core/copy/SafeCopier.h"
#include "core/naming/Naming.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QtConcurrent>
#include <qcoro/qcorofuture.h>

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

// The digest of what was placed and the file's stamp on the NAS right after.
RunState::Verified verifiedCopy(const QString &digest, const QUrl &placed)
{
    return {digest, FileStamp::of(placed).value_or(FileStamp::unknown())};
}

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

constexpr auto unreachableMessage = "Can't reach the NAS. Are you on the Kestrel network?";
constexpr auto deniedMessage =
    "Tessera isn't allowed on the local network. Open System Settings, Privacy & Security, Local "
    "Network, turn on Tessera, then press Try again.";
constexpr auto noDropFolderMessage = "The NAS is connected but the folder Halcyon_Drop/Reels isn't "
                                     "there. Ask production to check the share.";

// Digests kept from before Tessera was closed spare reading the verified files again, as long as
// the copy on the NAS and the original are as they were then.
void rememberVerified(const RunState &state, const QList<CopyItem> &items, const QUrl &dayFolder,
                      DiskInspector &inspector)
{
    for (auto it = state.verified.begin(); it != state.verified.end(); ++it) {
        const QUrl placed = CopyPlanner::appending(dayFolder, it.key());
        if (FileStamp::of(placed) != it->onNAS)
            continue;
        inspector.remember(placed, it->digest);
        for (const CopyItem &item : items) {
            const auto stamp = state.stamps.constFind(CopyPlanner::standardizedPath(item.source));
            if (item.finalName == it.key() && !item.content && stamp != state.stamps.constEnd() &&
                FileStamp::of(item.source) == *stamp)
                inspector.remember(item.source, it->digest);
        }
    }
}

} // namespace

RunPipeline::RunPipeline(CopyRun *run, Task task, std::shared_ptr<CancelFlag> cancel)
    : m_run(run)
    , m_task(std::move(task))
    , m_cancel(std::move(cancel))
{}

void RunPipeline::start(CopyRun *run, Task task, std::shared_ptr<CancelFlag> cancel)
{
    perform(std::shared_ptr<RunPipeline>(new RunPipeline(run, std::move(task), std::move(cancel))));
}

bool RunPipeline::alive() const
{
    return tessera::alive(m_run, m_task);
}

bool RunPipeline::fail(const QString &message)
{
    m_run->fail(message);
    return false;
}

QCoro::Task<> RunPipeline::perform(std::shared_ptr<RunPipeline> self)
{
    CopyRun *run = self->m_run;
    // Once the service has the submission, nothing is copied or submitted again; only the
    // editor's files may still wait to be renamed, when Tessera was closed before.
    if (run->state().submissionID) {
        if (run->state().originalsPending) {
            auto rootJob = QtConcurrent::run([nas = run->nas()] { return nas.mountedDropRoot(); });
            const std::optional<QUrl> root = co_await rootJob;
            if (!self->alive())
                co_return;
            co_await self->renameOriginals(
                root.value_or(QUrl::fromLocalFile(QStringLiteral("/nonexistent-drop-root"))));
            if (!self->alive())
                co_return;
        }
        co_return self->m_run->awaitVerdict();
    }
    run->wantHealth();

    const std::optional<QUrl> dropRoot = co_await self->reachDropFolder();
    if (!dropRoot)
        co_return;
    const std::optional<QUrl> dayFolder = co_await self->makeDayFolder(*dropRoot);
    if (!dayFolder)
        co_return;
    const auto actions = co_await self->plan(*dayFolder, *dropRoot);
    // Apart: gcc 12 builds the argument of a co_await on the right of || before the test on its
    // left, and would copy the actions of a plan that failed.
    if (!actions)
        co_return;
    if (!co_await self->copyAll(*actions) || !co_await self->submit())
        co_return;
    if (self->m_run->state().renameOriginals) {
        co_await self->renameOriginals(*dropRoot);
        if (!self->alive())
            co_return;
    }
    self->m_run->awaitVerdict();
}

// Can the NAS be reached, and where is its drop folder? Mounts the share when it is not.
QCoro::Task<std::optional<QUrl>> RunPipeline::reachDropFolder()
{
    m_run->setPhase({Phase::Kind::checkingNAS, {}});
    const NAS nas = m_run->nas();
    const NAS::Reach reach = co_await nas.reach(m_run->timing().probeTimeout);
    if (!alive())
        co_return std::nullopt;
    m_run->reachedNAS(reach == NAS::Reach::ok);
    if (reach == NAS::Reach::unreachable) {
        fail(QString::fromUtf8(unreachableMessage));
        co_return std::nullopt;
    }
    if (reach == NAS::Reach::localNetworkDenied) {
        fail(QString::fromUtf8(deniedMessage));
        co_return std::nullopt;
    }

    std::optional<QUrl> dropRoot = nas.mountedDropRoot();
    if (!dropRoot && !nas.isMounted()) {
        m_run->setPhase({Phase::Kind::connecting, {}});
        const QPointer<NASSignIn> signIn = m_run->signIn();
        const NAS::AskCredentials ask = [signIn](const NAS::SignIn &question, NAS::Answer answer) {
            if (signIn)
                signIn->ask(question, std::move(answer));
            else
                answer(std::nullopt);
        };
        const std::function<bool()> stopped = [cancel = m_cancel, cancelled = m_task.cancelled] {
            return *cancelled || cancel->isSet();
        };
        const int code = co_await nas.mount(ask, stopped);
        if (!alive())
            co_return std::nullopt;
        m_run->signIn()->cancel();
        if (code != NAS::mounted) {
            fail(NAS::mountMessage(code));
            co_return std::nullopt;
        }
        dropRoot = nas.mountedDropRoot();
    }
    if (!dropRoot) {
        fail(QString::fromUtf8(noDropFolderMessage));
        co_return std::nullopt;
    }
    m_run->foundDropFolder(*dropRoot);
    co_return dropRoot;
}

// Today's folder; someone else may make it at the same moment.
QCoro::Task<std::optional<QUrl>> RunPipeline::makeDayFolder(QUrl dropRoot)
{
    const QString dayName = Naming::dayFolder(m_run->state().version);
    const QUrl dayFolder = CopyPlanner::appending(dropRoot, dayName);
    auto dayJob = QtConcurrent::run([dayFolder] { return DayFolder::make(dayFolder); });
    const std::optional<QString> dayError = co_await dayJob;
    if (!alive())
        co_return std::nullopt;
    if (dayError) {
        fail(QStringLiteral("Couldn't make today's folder on the NAS (%1): %2")
                 .arg(dayName, *dayError));
        co_return std::nullopt;
    }
    co_return dayFolder;
}

// What is already there decides what to copy.
QCoro::Task<std::optional<QList<CopyAction>>> RunPipeline::plan(QUrl dayFolder, QUrl dropRoot)
{
    m_run->setPhase({Phase::Kind::planning, {}});
    const QString planning = QStringLiteral("Checking what's already on the NAS");
    m_run->setPlanningLine(planning);
    const auto relay = std::make_shared<Relay<CopyRun>>(m_run, m_task.cancelled);
    const auto closeRelay = qScopeGuard([relay] { relay->close(); });
    const auto inspector = m_run->inspector();
    const QList<CopyItem> items = m_run->state().items(true);
    const QString reelName = m_run->state().reel.name;
    auto planJob = QtConcurrent::run([=, state = m_run->state()] {
        rememberVerified(state, items, dayFolder, *inspector);
        return attempt([&] {
            return CopyPlanner::plan(
                items, reelName, dayFolder, dropRoot, *inspector,
                [&](int position, int count, const QString &) {
                    Relay<CopyRun>::post(relay, [=](CopyRun *run) {
                        run->setPlanningLine(
                            planning + QStringLiteral(" · %1 of %2").arg(position).arg(count));
                    });
                });
        });
    });
    const auto plan = co_await planJob;
    if (!alive())
        co_return std::nullopt;
    m_run->setPlanningLine(std::nullopt);
    if (!plan.value) {
        fail(plan.error);
        co_return std::nullopt;
    }
    co_return plan.value;
}

// The actions one after another in plan order.
QCoro::Task<bool> RunPipeline::copyAll(QList<CopyAction> actions)
{
    m_run->setPhase({Phase::Kind::copying, {}});
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
    if (!alive())
        co_return false;
    m_run->beginTransfer(sizes);

    int k = 0;
    for (const CopyAction &action : std::as_const(actions)) {
        if (m_cancel->isSet())
            co_return fail(CopyError::cancelled().description());
        bool carryOn = true;
        switch (action.kind) {
        case CopyAction::Kind::done:
            m_run->setRow(CopyPlanner::fileName(action.to), FileState::alreadyThere);
            break;
        case CopyAction::Kind::rename:
            carryOn = co_await rename(action);
            break;
        case CopyAction::Kind::write:
            ++k;
            carryOn = co_await write(action, k, sizes.value(k - 1));
            break;
        case CopyAction::Kind::copy:
            ++k;
            carryOn = co_await copy(action, k, sizes.value(k - 1));
            break;
        }
        if (!carryOn)
            co_return false;
    }
    m_run->endTransfer();
    co_return true;
}

QCoro::Task<bool> RunPipeline::rename(CopyAction action)
{
    const QString name = CopyPlanner::fileName(action.to);
    auto renameJob = QtConcurrent::run([action] {
        return attempt([&] {
            SafeCopier::renameNoReplace(action.from, action.to);
            return true;
        });
    });
    const auto renamed = co_await renameJob;
    if (!alive())
        co_return false;
    if (!renamed.value) {
        m_run->setRow(name, FileState::failed);
        co_return fail(QStringLiteral("Couldn't rename %1 on the NAS: %2")
                           .arg(CopyPlanner::fileName(action.from), renamed.error));
    }
    m_run->setRow(name, FileState::renamed);
    co_return true;
}

QCoro::Task<bool> RunPipeline::write(CopyAction action, int index, qint64 size)
{
    const QString name = CopyPlanner::fileName(action.to);
    m_run->updateTransfer(index, 0, 0, true);
    m_run->setRow(name, FileState::verifying, 0.5);
    auto writeJob = QtConcurrent::run([action] {
        return attempt(
            [&] { return verifiedCopy(SafeCopier::write(action.data, action.to), action.to); });
    });
    const auto written = co_await writeJob;
    if (!alive())
        co_return false;
    if (!written.value) {
        m_run->setRow(name, FileState::failed);
        co_return fail(written.error);
    }
    m_run->inspector()->remember(action.to, written.value->digest);
    m_run->placed(name, size, *written.value);
    co_return true;
}

QCoro::Task<bool> RunPipeline::copy(CopyAction action, int index, qint64 size)
{
    const QString name = CopyPlanner::fileName(action.to);
    const double whole = size > 0 ? double(size) : 1.0;
    m_run->setRow(name, FileState::copying, 0);
    m_run->updateTransfer(index, 0, 0, false);
    const auto relay = std::make_shared<Relay<CopyRun>>(m_run, m_task.cancelled);
    const auto closeRelay = qScopeGuard([relay] { relay->close(); });
    const auto cancel = m_cancel;
    // The line just shown counts as the throttle's first yes, so that the first chunk does not
    // update it again a few milliseconds later.
    const auto throttle = std::make_shared<Throttle>();
    throttle->ready(true);
    // On a share the copy reads each chunk back while the next ones are written: the row is
    // "copying" until every byte is sent, then "checking" until every byte is read back. Only the
    // last report is forced through the thinning, so a file gives at most about five a second and
    // that one.
    const SafeCopier::Transfer moved = [=](qint64 sent, qint64 checked) {
        if (throttle->ready(checked == size))
            Relay<CopyRun>::post(relay, [=](CopyRun *run) {
                const bool checking = sent == size;
                run->setRow(name, checking ? FileState::verifying : FileState::copying,
                            (sent + checked) / whole * 0.5);
                run->updateTransfer(index, sent, checked, checking);
            });
        return !cancel->isSet();
    };
    auto copyJob = QtConcurrent::run([=] {
        return attempt([&] {
            return verifiedCopy(SafeCopier::copyOverlapped(action.from, action.to, moved),
                                action.to);
        });
    });
    const auto result = co_await copyJob;
    if (!alive())
        co_return false;
    if (!result.value) {
        m_run->setRow(name, FileState::failed);
        co_return fail(result.error);
    }
    m_run->inspector()->remember(action.from, result.value->digest);
    m_run->inspector()->remember(action.to, result.value->digest);
    m_run->placed(name, size, *result.value);
    co_return true;
}

// Submitting, with the same key on every attempt so the service makes one submission.
QCoro::Task<bool> RunPipeline::submit()
{
    m_run->beginSubmitting();
    const QPointer<CopyRun> watcher = m_run;
    const std::function<void()> uncertain = [watcher, cancelled = m_task.cancelled] {
        if (watcher && !*cancelled)
            watcher->setPhase({Phase::Kind::confirming, {}});
    };
    const Timing &timing = m_run->timing();
    const Result<SubmissionCreated> created = co_await m_task.api.submitSafely(
        m_run->state().request(), timing.submitRepeats, timing.submitPause, uncertain);
    if (!alive())
        co_return false;
    if (!created) {
        if (created.error().is<APIError::Uncertain>())
            co_return fail(CopyRun::uncertainSubmissionMessage());
        m_run->submissionFailed(created.error());
        co_return fail(QStringLiteral("The files are safely on the NAS, but submitting didn't "
                                      "work. %1 Press Try again to submit.")
                           .arg(created.error().description()));
    }
    m_run->confirm(created.value());
    co_return true;
}

// Gives the editor's own files the names they got on the NAS; failures only add lines.
QCoro::Task<> RunPipeline::renameOriginals(QUrl dropRoot)
{
    struct Outcome
    {
        QStringList lines;
        QList<std::pair<QUrl, QUrl>> moved;
    };
    auto renameOriginalsJob = QtConcurrent::run([items = m_run->state().items(false), dropRoot] {
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
    if (!alive())
        co_return;
    m_run->addOriginalsOutcome(outcome.lines, outcome.moved);
}

} // namespace tessera
