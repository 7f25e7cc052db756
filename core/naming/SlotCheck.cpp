#include "core/naming/SlotCheck.h"

#include <QHash>

namespace tessera {

SlotCheck::SlotCheck(const QList<std::optional<Slot>> &slots)
{
    QHash<Slot, int> holders;
    for (const auto &slot : slots) {
        if (slot)
            ++holders[*slot];
    }
    for (int position = 0; position < slots.size(); ++position) {
        const auto &slot = slots.at(position);
        if (!slot)
            unassigned.append(position);
        else if (holders.value(*slot) > 1)
            conflicts.append(position);
    }
}

} // namespace tessera
