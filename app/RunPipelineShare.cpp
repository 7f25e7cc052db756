#include "app/CopyRun.h"
#include "app/RunPipeline.h"

#include <QDeadlineTimer>

#include <algorithm>

// The stages of an attempt that meet the share itself: reaching it, mounting it, clearing away
// what an earlier copy left, and waiting for it when the connection broke.
namespace tessera {

namespace {

constexpr auto unreachableMessage = "Can't reach the NAS. Are you on the Kestrel network?";
constexpr auto deniedMessage =
    "Tessera isn't allowed on the local network. Open System Settings, Privacy & Security, Local "
    "Network, turn on Tessera, then press Try again.";
constexpr auto lostMessage = "The connection to the NAS was lost while copying %1. Files already "
                             "checked are kept. Press Try again once the NAS is back.";
constexpr auto noDropFolderMessage = "The NAS is connected but the folder Halcyon_Drop/Reels isn't "
                                     "there. Ask production to check the share.";

} // namespace

// Can the NAS be reached, and where is its drop folder? Mounts the share when it is not.
QCoro::Task<std::optional<QUrl>> RunPipeline::reachDropFolder()
{
    m_run->setPhase({Phase::Kind::checkingNAS, {}});
    const NAS nas = m_run->nas();
    const std::optional<NAS::Reach> reached =
        co_await m_brakes.leash->race(nas.reach(m_run->timing().probeTimeout));
    if (!alive())
        co_return std::nullopt;
    if (!reached) {
        stopped();
        co_return std::nullopt;
    }
    const NAS::Reach reach = *reached;
    m_run->reachedNAS(reach == NAS::Reach::ok);
    if (reach == NAS::Reach::unreachable) {
        fail(QString::fromUtf8(unreachableMessage));
        co_return std::nullopt;
    }
    if (reach == NAS::Reach::localNetworkDenied) {
        fail(QString::fromUtf8(deniedMessage));
        co_return std::nullopt;
    }

    // The mount table and the drop folder are looked at off the main thread: a share that
    // stopped answering holds a look at its folder.
    const auto lookUp = [nas] { return std::pair(nas.mountedDropRoot(), nas.isMounted()); };
    auto found = co_await m_brakes.leash->run(lookUp);
    if (!alive())
        co_return std::nullopt;
    if (!found) {
        stopped();
        co_return std::nullopt;
    }
    if (!found->first && !found->second) {
        m_run->setPhase({Phase::Kind::connecting, {}});
        const int code = co_await mount();
        if (!alive())
            co_return std::nullopt;
        if (m_brakes.cancel->isSet()) {
            stopped();
            co_return std::nullopt;
        }
        if (code != NAS::mounted) {
            fail(NAS::mountMessage(code));
            co_return std::nullopt;
        }
        found = co_await m_brakes.leash->run(lookUp);
        if (!alive())
            co_return std::nullopt;
        if (!found) {
            stopped();
            co_return std::nullopt;
        }
    }
    const std::optional<QUrl> dropRoot = found->first;
    if (!dropRoot) {
        fail(QString::fromUtf8(noDropFolderMessage));
        co_return std::nullopt;
    }
    m_run->foundDropFolder(*dropRoot);
    co_return dropRoot;
}

// Mounts the share through the NAS connection, asking for a sign-in when the server wants one.
QCoro::Task<int> RunPipeline::mount()
{
    const QPointer<NASSignIn> signIn = m_run->signIn();
    const NAS::AskCredentials ask = [signIn](const NAS::SignIn &question, NAS::Answer answer) {
        if (signIn)
            signIn->ask(question, std::move(answer));
        else
            answer(std::nullopt);
    };
    const std::function<bool()> isStopped = [cancel = m_brakes.cancel,
                                             cancelled = m_task.cancelled] {
        return *cancelled || cancel->isSet();
    };
    const int code = co_await m_run->nas().mount(ask, isStopped);
    if (alive())
        m_run->signIn()->cancel();
    co_return code;
}

// The partial files this run made that a failed copy could not remove: gone at every contact
// with the share. Only names the copier makes are touched.
QCoro::Task<bool> RunPipeline::removePartials()
{
    const QStringList partials = m_run->state().partials;
    if (partials.isEmpty())
        co_return true;
    const auto removeJob = [partials, stop = m_brakes.copy] {
        QStringList gone;
        for (const QString &partial : partials)
            if (SafeCopier::removePartial(QUrl(partial), stop))
                gone << partial;
        return gone;
    };
    const auto gone = co_await m_brakes.leash->run(removeJob);
    if (!alive())
        co_return false;
    if (!gone)
        co_return stopped();
    for (const QString &partial : *gone)
        m_run->partialGone(QUrl(partial));
    co_return true;
}

// The connection to the share broke: probes it every few seconds, mounting it again when the
// mount went away, until it answers or the time is up. "Stop" ends the wait at once.
QCoro::Task<bool> RunPipeline::waitForShare()
{
    m_run->waitForNAS(m_lostWhile);
    const Timing &timing = m_run->timing();
    const QDeadlineTimer deadline(timing.reconnectLimit);
    const NAS nas = m_run->nas();
    const auto lookUp = [nas] { return std::pair(nas.mountedDropRoot(), nas.isMounted()); };
    // The first probe at once: the connection may have broken long after the share came back.
    for (bool first = true;; first = false) {
        if (!first) {
            const auto left = std::chrono::milliseconds(deadline.remainingTime());
            co_await m_task.alarm->sleep(std::min(timing.reconnectInterval, left));
            if (!alive())
                co_return false;
            if (m_brakes.cancel->isSet())
                co_return stopped();
        }
        const auto reach = co_await m_brakes.leash->race(nas.reach(timing.probeTimeout));
        if (!alive())
            co_return false;
        if (!reach)
            co_return stopped();
        if (*reach == NAS::Reach::ok) {
            const auto found = co_await m_brakes.leash->run(lookUp);
            if (!alive())
                co_return false;
            if (!found)
                co_return stopped();
            bool back = found->first.has_value();
            if (!back && !found->second) {
                const int code = co_await mount();
                if (!alive())
                    co_return false;
                if (m_brakes.cancel->isSet())
                    co_return stopped();
                back = code == NAS::mounted;
            }
            if (back) {
                m_run->nasIsBack();
                co_return true;
            }
        }
        if (deadline.hasExpired())
            co_return fail(QString::fromUtf8(lostMessage).arg(m_lostWhile));
    }
}

} // namespace tessera
