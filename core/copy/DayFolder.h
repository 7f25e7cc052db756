#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace tessera::DayFolder {

// Makes today's folder in the drop folder (never its parents) unless it is there already. None
// when it is a folder afterwards, also when someone else made it at the same moment; else the
// system's reason why making it failed.
std::optional<QString> make(const QUrl &folder);

} // namespace tessera::DayFolder
