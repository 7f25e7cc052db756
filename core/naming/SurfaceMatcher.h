#pragma once

#include "core/naming/Slot.h"

#include <QString>

#include <optional>

namespace tessera {

// Reads the surface and the proxy scale from the loose names editors give their exports.
namespace SurfaceMatcher {

// Lower case, with spaces and hyphens turned into underscores.
QString normalise(const QString &name);
// normalise, dots turned into underscores too, and the version tail (_v3b_r2…) removed.
QString withoutVersion(const QString &name);
// The one surface the name points at; nothing when it points at none or at several.
std::optional<Surface> surface(const QString &name);
Proxy proxy(const QString &name);
// The slot to preselect for a dropped movie: its surface at full size.
std::optional<Slot> match(const QString &name);

} // namespace SurfaceMatcher
} // namespace tessera
