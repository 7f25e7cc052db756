#pragma once

#include <QElapsedTimer>

#include <mutex>

namespace tessera {

// Thins the copier's progress reports to about five a second; the last one always passes.
class Throttle
{
public:
    static constexpr qint64 intervalMs = 200;

    bool ready(bool final)
    {
        const std::lock_guard lock(mutex);
        if (!final && last.isValid() && last.elapsed() <= intervalMs)
            return false;
        last.start();
        return true;
    }

private:
    std::mutex mutex;
    QElapsedTimer last; // invalid until the first yes: the distant past
};

// The run's stop flag, the one thing the copy work off the main thread reads from the model.
class CancelFlag
{
public:
    void set()
    {
        const std::lock_guard lock(mutex);
        value = true;
    }
    bool isSet() const
    {
        const std::lock_guard lock(mutex);
        return value;
    }

private:
    mutable std::mutex mutex;
    bool value = false;
};

} // namespace tessera
