#pragma once

#include <mutex>
#include <utility>

namespace tessera {

// Lets the first of several racing callbacks deliver a one-shot answer; the later ones do nothing.
class Once
{
public:
    Once() = default;
    Once(const Once &) = delete;
    Once &operator=(const Once &) = delete;

    // Runs action if this is the first call, outside the lock, and says whether it ran.
    template<typename Action>
    bool run(Action &&action)
    {
        {
            const std::lock_guard lock(mutex);
            if (done)
                return false;
            done = true;
        }
        std::forward<Action>(action)();
        return true;
    }

    bool isDone() const
    {
        const std::lock_guard lock(mutex);
        return done;
    }

private:
    mutable std::mutex mutex;
    bool done = false;
};

} // namespace tessera
