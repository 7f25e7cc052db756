#pragma once

#include "core/naming/Proxy.h"
#include "core/naming/Surface.h"

#include <QHashFunctions>

#include <compare>
#include <functional>

namespace tessera {

// The place a movie fills in a reel. Sorted by surface, then by proxy.
struct Slot
{
    Surface surface = Surface::awall;
    Proxy proxy = Proxy::full;

    friend auto operator<=>(const Slot &, const Slot &) = default;
    friend bool operator==(const Slot &, const Slot &) = default;
};

inline size_t qHash(const Slot &slot, size_t seed = 0)
{
    return qHashMulti(seed, static_cast<int>(slot.surface), static_cast<int>(slot.proxy));
}

} // namespace tessera

template<>
struct std::hash<tessera::Slot>
{
    size_t operator()(const tessera::Slot &slot) const noexcept { return tessera::qHash(slot); }
};
