#pragma once

#include "app/Throttle.h"
#include "core/copy/CopyStop.h"

#include <QCoreApplication>
#include <QCoro/QCoroTask>
#include <QThreadPool>

#include <chrono>
#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace tessera {

// What an attempt of a run awaits of work that may block (a share that stopped answering can hold
// a file call for minutes): the work's result, or nothing once the attempt is let go. Letting go
// resumes the waiting coroutine at once; the work runs on in the background and what it returns
// is dropped. Only work that is harmless when it finishes after the attempt is over goes here: the
// copier never gives a file its final name once its stop is pressed. Main thread only, apart from
// the work itself.
class Leash
{
public:
    // One result being waited for.
    template<typename T>
    class Pending
    {
    public:
        // The result, unless the wait is already over.
        void give(T value)
        {
            if (m_over)
                return;
            m_value = std::move(value);
            end();
        }
        // Ends the wait; the coroutine resumes from the event loop, never from inside the caller,
        // which may be gone by then.
        void end()
        {
            if (m_over)
                return;
            m_over = true;
            if (auto waiter = std::exchange(m_waiter, {}))
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [waiter] { waiter.resume(); },
                    Qt::QueuedConnection);
        }

        bool await_ready() const { return m_over; }
        void await_suspend(std::coroutine_handle<> handle) { m_waiter = handle; }
        std::optional<T> await_resume() { return std::move(m_value); }

    private:
        std::optional<T> m_value;
        bool m_over = false;
        std::coroutine_handle<> m_waiter;
    };

    template<typename T>
    struct Wait
    {
        std::shared_ptr<Pending<T>> pending;
        bool await_ready() const { return pending->await_ready(); }
        void await_suspend(std::coroutine_handle<> handle) { pending->await_suspend(handle); }
        std::optional<T> await_resume() { return pending->await_resume(); }
    };

    Leash() = default;
    Leash(const Leash &) = delete;
    Leash &operator=(const Leash &) = delete;

    // Lets go of what is being waited for now and of everything asked later.
    void letGo()
    {
        m_loose = true;
        if (m_current)
            std::exchange(m_current, {})();
    }
    bool isLoose() const { return m_loose; }

    // Runs `work` on the pool of blocking work and waits for its result.
    template<typename F>
    Wait<std::invoke_result_t<F>> run(F work)
    {
        using T = std::invoke_result_t<F>;
        const auto pending = hold<T>();
        if (!m_loose)
            pool().start([pending, work = std::move(work)]() mutable {
                T value = work();
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [pending, value = std::move(value)]() mutable {
                        pending->give(std::move(value));
                    },
                    Qt::QueuedConnection);
            });
        return {pending};
    }

    // Waits for a coroutine of the main thread (a probe of the share) the same way.
    template<typename T>
    Wait<T> race(QCoro::Task<T> task)
    {
        const auto pending = hold<T>();
        if (!m_loose)
            deliver(std::move(task), pending);
        return {pending};
    }

    // The threads of blocking work: a pool of its own, so that work blocked on a dead share never
    // holds up anything else, and one that is never torn down, so that such work cannot hold up
    // the end of the program either.
    static QThreadPool &pool()
    {
        static QThreadPool *const threads = [] {
            auto *made = new QThreadPool;
            made->setMaxThreadCount(32);
            return made;
        }();
        return *threads;
    }

    // Gives work still running up to `limit` to end (a stopped copy removing its partial file).
    static bool waitForBackground(std::chrono::milliseconds limit)
    {
        return pool().waitForDone(int(limit.count()));
    }

private:
    template<typename T>
    std::shared_ptr<Pending<T>> hold()
    {
        auto pending = std::make_shared<Pending<T>>();
        if (m_loose)
            pending->end();
        else
            m_current = [weak = std::weak_ptr(pending)] {
                if (const auto held = weak.lock())
                    held->end();
            };
        return pending;
    }

    template<typename T>
    static QCoro::Task<> deliver(QCoro::Task<T> task, std::shared_ptr<Pending<T>> pending)
    {
        T value = co_await std::move(task);
        pending->give(std::move(value));
    }

    bool m_loose = false;
    std::function<void()> m_current;
};

// What stops one attempt of a run: the flag read between actions, the copy's own stop, and the
// leash on what the attempt awaits.
struct Brakes
{
    std::shared_ptr<CancelFlag> cancel = std::make_shared<CancelFlag>();
    CopyStop copy;
    std::shared_ptr<Leash> leash = std::make_shared<Leash>();

    // From the main thread: everything at once.
    void pull() const
    {
        cancel->set();
        copy.stop();
        leash->letGo();
    }
};

} // namespace tessera
