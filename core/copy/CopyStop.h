#pragma once

#include <gio/gio.h>

#include <memory>

namespace tessera {

// Stops a copy from any thread, at once: the copy checks it between steps, and every blocking GIO
// call of the copy takes its cancellable. Copies of a CopyStop share one state.
class CopyStop
{
public:
    CopyStop();
    // Thread-safe and idempotent; also cancels the GCancellable.
    void stop() const;
    bool stopped() const;
    GCancellable *cancellable() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace tessera
