#pragma once

#include <QTimer>

#include <chrono>
#include <coroutine>
#include <utility>

namespace tessera {

// A sleep for one coroutine that ringing ends at once. Cancelling a task rings its alarm, so a
// task asleep between polls resumes inside the cancel, sees that it is over, and ends, instead of
// waiting for a timer that may never fire again once the application is quitting.
class Alarm
{
public:
    Alarm()
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { ring(); });
    }
    Alarm(const Alarm &) = delete;
    Alarm &operator=(const Alarm &) = delete;

    struct Awaiter
    {
        Alarm *alarm;
        bool await_ready() const { return alarm->m_rung; }
        void await_suspend(std::coroutine_handle<> handle) { alarm->m_waiter = handle; }
        void await_resume() const {}
    };

    Awaiter sleep(std::chrono::milliseconds duration)
    {
        m_rung = false;
        m_timer.start(duration);
        return {this};
    }

    void ring()
    {
        m_timer.stop();
        m_rung = true;
        if (auto waiter = std::exchange(m_waiter, {}))
            waiter.resume(); // last: the coroutine may end here
    }

private:
    QTimer m_timer;
    bool m_rung = false;
    std::coroutine_handle<> m_waiter;
};

} // namespace tessera
