#pragma once

#include <QStringView>

#include <optional>

namespace tessera {

// Reads a whole text as a signed 64-bit decimal integer: an optional sign, then ASCII digits only.
// Anything else, or a value out of range, gives nothing.
std::optional<qint64> readDecimal(QStringView text);

} // namespace tessera
