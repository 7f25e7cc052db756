#pragma once

#include "core/naming/Reel.h"

#include <QList>
#include <QString>

namespace tessera {

// The reel picker's search: "TST 1", "reel3", "00".
namespace ReelSearch {

bool matches(const Reel &reel, const QString &query);
// The reels that satisfy the query, in their order; a blank query keeps the whole list.
QList<Reel> filter(const QList<Reel> &reels, const QString &query);

} // namespace ReelSearch
} // namespace tessera
