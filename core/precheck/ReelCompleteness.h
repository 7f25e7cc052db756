#pragma once

#include "core/naming/Surface.h"

#include <QList>
#include <QString>

#include <optional>

namespace tessera {

// The note shown when a reel looks incomplete.
namespace ReelCompleteness {

// "A", "B", "C", "D", "Floor", "Surtitles".
QString shortName(Surface surface);
// Nothing for six or more movies; otherwise how many were dropped and which surfaces are missing.
std::optional<QString> warning(int movCount, const QList<Surface> &surfaces);

} // namespace ReelCompleteness
} // namespace tessera
