#include "core/copy/CopyStop.h"

namespace tessera {

// The cancellable's own flag is the one state: g_cancellable_cancel is thread-safe and sticks.
struct CopyStop::State
{
    State()
        : cancellable(g_cancellable_new())
    {}
    ~State() { g_object_unref(cancellable); }
    State(const State &) = delete;
    State &operator=(const State &) = delete;

    GCancellable *cancellable;
};

CopyStop::CopyStop()
    : state_(std::make_shared<State>())
{}

void CopyStop::stop() const
{
    g_cancellable_cancel(state_->cancellable);
}

bool CopyStop::stopped() const
{
    return g_cancellable_is_cancelled(state_->cancellable);
}

GCancellable *CopyStop::cancellable() const
{
    return state_->cancellable;
}

} // namespace tessera
