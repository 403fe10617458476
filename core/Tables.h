// The program's growable tables (archives, models, scene objects, surfaces, geometry sets...)
// all share one rule for where the next record goes, so it lives here once. A table starts as a
// single empty element 0 with a last index of 0. Adding a record reuses element 0 while it is
// empty, moves to element 1 once it is in use, and from then on appends.
#pragma once

#include <limits>
#include <vector>

#include "core/RuntimeError.h"

// Puts the table back to its single empty element 0.
template <typename Record, typename Index>
void ResetTable(std::vector<Record>& table, Index& lastIndex) {
    table.assign(1, Record{});
    lastIndex = 0;
}

// Chooses the slot for a new record and sizes the table to end at it; returns the slot, which is
// also the new lastIndex. inUse tells whether element 0 already holds a record. The table is
// sized to lastIndex + 1 elements, so records past the last index never survive an addition.
template <typename Record, typename Index, typename InUse>
Index NextTableSlot(std::vector<Record>& table, Index& lastIndex, InUse inUse) {
    if (lastIndex > 0) {
        if (lastIndex == std::numeric_limits<Index>::max()) throw RuntimeError(rt::Overflow);
        ++lastIndex;
    } else if (!table.empty() && inUse(table.front())) {
        lastIndex = 1;
    } else {
        ResetTable(table, lastIndex);
        return lastIndex;
    }
    table.resize(static_cast<size_t>(lastIndex) + 1);
    return lastIndex;
}
