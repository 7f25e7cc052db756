#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tessera {

// Finds the reel that loosely written file names point at ("1-TST-Reel_03_floor.mov").
namespace ReelDetector {

// The canonical key (01_TST_Reel3) of one bare file name, or nothing.
std::optional<QString> reelKey(const QString &name);
// The distinct keys of all names, sorted.
QList<QString> reels(const QList<QString> &names);
// The key to preselect: only when the names agree on exactly one.
std::optional<QString> suggestion(const QList<QString> &names);
// The keys found in the names that differ from the picked one, sorted.
QList<QString> mismatches(const QList<QString> &names, const QString &picked);
// "A", "A and B", "A, B and C".
QString list(const QList<QString> &items);

} // namespace ReelDetector
} // namespace tessera
