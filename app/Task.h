#pragma once

#include "app/Alarm.h"
#include "core/reelcheck/ReelCheckAPI.h"

#include <QPointer>

#include <functional>
#include <memory>

namespace tessera {

// How the model reaches the reel check service: the client's configuration, and a maker of
// transports so that every task gets a transport of its own (demo mode and tests swap it).
struct Service
{
    ReelCheckAPI api;
    std::function<std::shared_ptr<HTTPTransport>()> makeTransport;
};

// A background task that can be cancelled: its coroutine checks `cancelled` after every wait,
// and its own transport lets cancelling end the requests it has outstanding.
struct Task
{
    std::shared_ptr<bool> cancelled = std::make_shared<bool>(false);
    std::shared_ptr<HTTPTransport> transport;
    ReelCheckAPI api;
    std::shared_ptr<Alarm> alarm = std::make_shared<Alarm>();

    // A task whose requests go through a transport of its own.
    static Task with(const Service &service);

    // Marks the task over first, so that a coroutine resumed by what follows sees it, then ends
    // its requests and wakes it from any sleep.
    void cancel();
};

// Whether a coroutine may go on after a wait: its owner is still there and its task not over.
template<typename T>
bool alive(const QPointer<T> &owner, const Task &task)
{
    return owner && !*task.cancelled;
}

} // namespace tessera
