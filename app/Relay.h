#pragma once

#include <QCoreApplication>
#include <QPointer>

#include <memory>

namespace tessera {

// Hands reports from a worker thread to an object on the main thread, for as long as the stage
// that made the relay goes on. A report still queued when the stage has ended or its task was
// abandoned, or meant for an object that is gone, is dropped: a finished stage never speaks
// again. Only the main thread looks at the object and the flags.
template<typename Target>
class Relay
{
public:
    // `abandoned` is the stage's task's flag, set when the task is cancelled.
    Relay(Target *target, std::shared_ptr<const bool> abandoned)
        : m_target(target)
        , m_abandoned(std::move(abandoned))
    {}

    // From any thread.
    template<typename F>
    static void post(const std::shared_ptr<Relay> &relay, F action)
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [relay, action = std::move(action)] {
                if (relay->m_open && !*relay->m_abandoned && relay->m_target)
                    action(relay->m_target.data());
            },
            Qt::QueuedConnection);
    }

    // On the main thread, when the stage ends: later reports change nothing.
    void close() { m_open = false; }

private:
    QPointer<Target> m_target;
    std::shared_ptr<const bool> m_abandoned;
    bool m_open = true;
};

} // namespace tessera
