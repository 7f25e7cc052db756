#pragma once

#include "core/naming/Slot.h"

#include <QList>

#include <optional>

namespace tessera {

// Whether every dropped movie has a slot and no two share one. Positions are 0-based, ascending.
struct SlotCheck
{
    QList<int> unassigned;
    QList<int> conflicts; // every member of a clash

    SlotCheck() = default;
    explicit SlotCheck(const QList<std::optional<Slot>> &slots);

    bool isComplete() const { return unassigned.isEmpty() && conflicts.isEmpty(); }

    friend bool operator==(const SlotCheck &, const SlotCheck &) = default;
};

} // namespace tessera
