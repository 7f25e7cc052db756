#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace tessera {

// The six projection surfaces of the venue. Declaration order is the sort order.
enum class Surface { awall, bwall, cwall, dwall, floor, surtitles };

inline constexpr std::array<Surface, 6> allSurfaces{Surface::awall, Surface::bwall,
                                                    Surface::cwall, Surface::dwall,
                                                    Surface::floor, Surface::surtitles};

// The form used in file names, and the JSON encoding: "awall" … "surtitles".
QString rawValue(Surface surface);
// What editors read: "A wall" … "Surtitles".
QString label(Surface surface);
// Exact, case-sensitive; any other text gives no surface.
std::optional<Surface> surfaceFromRawValue(QStringView raw);

} // namespace tessera
