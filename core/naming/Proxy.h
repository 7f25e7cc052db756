#pragma once

#include <QString>

#include <array>
#include <optional>

namespace tessera {

// Picture scale; the raw value divides the full frame's width and height.
enum class Proxy { full = 1, half = 2, quarter = 4, eighth = 8 };

inline constexpr std::array<Proxy, 4> allProxies{Proxy::full, Proxy::half, Proxy::quarter,
                                                 Proxy::eighth};

constexpr int rawValue(Proxy proxy)
{
    return static_cast<int>(proxy);
}
// "Full size", or "Proxy " and the divisor.
QString label(Proxy proxy);
// Accepts exactly 1, 2, 4 and 8.
std::optional<Proxy> proxyFromRawValue(long long raw);

} // namespace tessera
