#pragma once

#include "app/RunState.h"

#include <QByteArray>

#include <optional>

namespace tessera::RunRecord {

// The run as JSON, for the settings store: what a new start needs to carry on, nothing secret.
QByteArray write(const RunState &state);
// Nothing for a record that is damaged, from another format, or holds a value of the wrong type.
std::optional<RunState> read(const QByteArray &json);

} // namespace tessera::RunRecord
