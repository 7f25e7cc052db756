#include "app/RunPipeline.h"

#include "app/CopyRun.h"
#include "app/Relay.h"
#include "core/copy/DayFolder.h"
#include "core/copy/OriginalRenamePlanner.h"
#include "core/copy/SafeCopier.h"
#include "core/naming/Naming.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>

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
    bool connectionLost = false;
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
        return {std::nullopt, error.description(), error.kind == CopyError::Kind::connectionLost};
    } catch (const SafeCopier::RenameError &error) {
        return {std::nullopt, error.description()};
    } catch (const std::exception &error) {
        return {std::nullopt, QString::fromLocal8Bit(error.what())};
    }
}

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

RunPipeline::RunPipeline(CopyRun *run, Task task, Brakes brakes)
    : m_run(run)
    , m_task(std::move(task))
    , m_brakes(std::move(brakes))
{}

void RunPipeline::start(CopyRun *run, Task task, Brakes brakes)
{
    perform(std::shared_ptr<RunPipeline>(new RunPipeline(run, std::move(task), std::move(brakes))));
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

bool RunPipeline::stopped()
{
    return fail(CopyError::cancelled().description());
}

QCoro::Task<> RunPipeline::perform(std::shared_ptr<RunPipeline> self)
{
    CopyRun *run = self->m_run;
    // Once the service has the submission, nothing is copied or submitted again; only the
    // editor's files may still wait to be renamed, when Tessera was closed before.
    if (run->state().submissionID) {
        if (run->state().originalsPending) {
            const auto rootJob = [nas = run->nas()] { return nas.mountedDropRoot(); };
            const auto root = co_await self->m_brakes.leash->run(rootJob);
            if (!self->alive())
                co_return;
            if (!root) {
                self->stopped();
                co_return;
            }
            co_await self->renameOriginals(
                root->value_or(QUrl::fromLocalFile(QStringLiteral("/nonexistent-drop-root"))));
            if (!self->alive())
                co_return;
        }
        co_return self->m_run->awaitVerdict();
    }
    run->wantHealth();

    std::optional<QUrl> dropRoot;
    for (;;) {
        dropRoot = co_await self->reachDropFolder();
        if (!dropRoot || !co_await self->removePartials())
            co_return;
        const std::optional<QUrl> dayFolder = co_await self->makeDayFolder(*dropRoot);
        if (!dayFolder)
            co_return;
        const auto actions = co_await self->plan(*dayFolder, *dropRoot);
        // Apart: gcc 12 builds the argument of a co_await on the right of || before the test on
        // its left, and would copy the actions of a plan that failed.
        if (!actions)
            co_return;
        const Copied copied = co_await self->copyAll(*actions);
        if (copied == Copied::over)
            co_return;
        if (copied == Copied::all)
            break;
        // The share went away during a copy: once it answers again, the plan is made afresh, so
        // files already verified are not copied again.
        if (!co_await self->waitForShare())
            co_return;
    }
    if (!co_await self->submit())
        co_return;
    if (self->m_run->state().renameOriginals) {
        co_await self->renameOriginals(*dropRoot);
        if (!self->alive())
            co_return;
    }
    self->m_run->awaitVerdict();
}

// Today's folder; someone else may make it at the same moment.
QCoro::Task<std::optional<QUrl>> RunPipeline::makeDayFolder(QUrl dropRoot)
{
    const QString dayName = Naming::dayFolder(m_run->state().version);
    const QUrl dayFolder = CopyPlanner::appending(dropRoot, dayName);
    const auto dayJob = [dayFolder] { return DayFolder::make(dayFolder); };
    const auto made = co_await m_brakes.leash->run(dayJob);
    if (!alive())
        co_return std::nullopt;
    if (!made) {
        stopped();
        co_return std::nullopt;
    }
    if (const std::optional<QString> &dayError = *made) {
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
    const auto planJob = [=, state = m_run->state()] {
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
    };
    const auto plan = co_await m_brakes.leash->run(planJob);
    if (!alive())
        co_return std::nullopt;
    m_run->setPlanningLine(std::nullopt);
    if (!plan) {
        stopped();
        co_return std::nullopt;
    }
    if (!plan->value) {
        fail(plan->error);
        co_return std::nullopt;
    }
    co_return plan->value;
}

// The actions one after another in plan order.
QCoro::Task<RunPipeline::Copied> RunPipeline::copyAll(QList<CopyAction> actions)
{
    m_run->setPhase({Phase::Kind::copying, {}});
    const auto sizeJob = [actions] {
        QList<qint64> result;
        for (const CopyAction &action : actions) {
            if (action.kind == CopyAction::Kind::copy)
                result << QFileInfo(action.from.toLocalFile()).size();
            else if (action.kind == CopyAction::Kind::write)
                result << action.data.size();
        }
        return result;
    };
    const auto sized = co_await m_brakes.leash->run(sizeJob);
    if (!alive())
        co_return Copied::over;
    if (!sized) {
        stopped();
        co_return Copied::over;
    }
    const QList<qint64> sizes = *sized;
    m_run->beginTransfer(sizes);

    int k = 0;
    for (const CopyAction &action : std::as_const(actions)) {
        if (m_brakes.cancel->isSet()) {
            stopped();
            co_return Copied::over;
        }
        Copied copied = Copied::all;
        switch (action.kind) {
        case CopyAction::Kind::done:
            m_run->setRow(CopyPlanner::fileName(action.to), FileState::alreadyThere);
            break;
        case CopyAction::Kind::rename:
            copied = co_await rename(action) ? Copied::all : Copied::over;
            break;
        case CopyAction::Kind::write:
            ++k;
            copied = co_await write(action, k, sizes.value(k - 1));
            break;
        case CopyAction::Kind::copy:
            ++k;
            copied = co_await copy(action, k, sizes.value(k - 1));
            break;
        }
        if (copied != Copied::all)
            co_return copied;
    }
    m_run->endTransfer();
    co_return Copied::all;
}

QCoro::Task<bool> RunPipeline::rename(CopyAction action)
{
    const QString name = CopyPlanner::fileName(action.to);
    const auto renameJob = [action] {
        return attempt([&] {
            SafeCopier::renameNoReplace(action.from, action.to);
            return true;
        });
    };
    const auto renamed = co_await m_brakes.leash->run(renameJob);
    if (!alive())
        co_return false;
    if (!renamed)
        co_return stopped();
    if (!renamed->value) {
        m_run->setRow(name, FileState::failed);
        co_return fail(QStringLiteral("Couldn't rename %1 on the NAS: %2")
                           .arg(CopyPlanner::fileName(action.from), renamed->error));
    }
    m_run->setRow(name, FileState::renamed);
    co_return true;
}

SafeCopier::Control RunPipeline::control(const SafeCopier::Transfer &transfer) const
{
    // The partial file's name is kept with the run even when this attempt is over by the time it
    // arrives: the copy that made it may not have been able to remove it.
    const QPointer<CopyRun> owner = m_run;
    const QString key = m_run->state().key;
    const SafeCopier::PartialMade partialMade = [owner, key](const QUrl &partial) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [owner, key, partial] {
                if (owner && owner->state().key == key)
                    owner->partialMade(partial);
            },
            Qt::QueuedConnection);
    };
    return {transfer, m_brakes.copy, partialMade};
}

RunPipeline::Copied RunPipeline::notPlaced(const QString &name, const QString &error,
                                           bool connectionLost)
{
    if (m_brakes.cancel->isSet()) {
        m_run->setRow(name, FileState::failed);
        stopped();
        return Copied::over;
    }
    if (connectionLost) {
        m_lostWhile = name;
        return Copied::lost;
    }
    m_run->setRow(name, FileState::failed);
    fail(error);
    return Copied::over;
}

QCoro::Task<RunPipeline::Copied> RunPipeline::write(CopyAction action, int index, qint64 size)
{
    const QString name = CopyPlanner::fileName(action.to);
    m_run->updateTransfer(index, 0, 0, true);
    m_run->setRow(name, FileState::verifying, 0.5);
    const auto cancel = m_brakes.cancel;
    const SafeCopier::Control control =
        this->control([cancel](qint64, qint64) { return !cancel->isSet(); });
    const auto writeJob = [action, control] {
        return attempt([&] {
            return verifiedCopy(SafeCopier::write(action.data, action.to, control), action.to);
        });
    };
    const auto written = co_await m_brakes.leash->run(writeJob);
    if (!alive())
        co_return Copied::over;
    if (!written || !written->value)
        co_return notPlaced(name, written ? written->error : QString(),
                            written && written->connectionLost);
    m_run->inspector()->remember(action.to, written->value->digest);
    m_run->placed(name, size, *written->value);
    co_return Copied::all;
}

QCoro::Task<RunPipeline::Copied> RunPipeline::copy(CopyAction action, int index, qint64 size)
{
    const QString name = CopyPlanner::fileName(action.to);
    const double whole = size > 0 ? double(size) : 1.0;
    m_run->setRow(name, FileState::copying, 0);
    m_run->updateTransfer(index, 0, 0, false);
    const auto relay = std::make_shared<Relay<CopyRun>>(m_run, m_task.cancelled);
    const auto closeRelay = qScopeGuard([relay] { relay->close(); });
    const auto cancel = m_brakes.cancel;
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
    const SafeCopier::Control control = this->control(moved);
    const CopyRun::Copier copier = m_run->copier();
    const auto copyJob = [action, control, copier] {
        return attempt(
            [&] { return verifiedCopy(copier(action.from, action.to, control), action.to); });
    };
    const auto result = co_await m_brakes.leash->run(copyJob);
    if (!alive())
        co_return Copied::over;
    if (!result || !result->value)
        co_return notPlaced(name, result ? result->error : QString(),
                            result && result->connectionLost);
    m_run->inspector()->remember(action.from, result->value->digest);
    m_run->inspector()->remember(action.to, result->value->digest);
    m_run->placed(name, size, *result->value);
    co_return Copied::all;
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
    const auto renameOriginalsJob = [items = m_run->state().items(false), dropRoot] {
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
    };
    const auto outcome = co_await m_brakes.leash->run(renameOriginalsJob);
    if (!alive() || !outcome)
        co_return;
    m_run->addOriginalsOutcome(outcome->lines, outcome->moved);
}

} // namespace tessera
