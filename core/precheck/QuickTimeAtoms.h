#pragma once

#include "core/precheck/ByteSource.h"

#include <QString>

#include <optional>

namespace tessera {

// The top-level atom chain of a QuickTime file.
namespace QuickTimeAtoms {

// The duration in seconds of a complete movie: nothing when the file cannot be opened, its chain
// of at most 64 top-level atoms does not end exactly at the end of the file (still exporting, cut
// short, bytes appended), or no readable movie header (mvhd) was found.
std::optional<double> movieDuration(const QString &path);
std::optional<double> movieDuration(ByteSource &source);

} // namespace QuickTimeAtoms
} // namespace tessera
