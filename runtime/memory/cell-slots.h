// Reusable cell slots: a table of cells in one block that the collector
// walks (a cell of the root block holds it), for modules that keep values
// by a small index. A free slot is an integer! holding the 0-based index of
// the next free slot (-1 ends the list).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::cell_slots {

inline constexpr uint32_t INITIAL_SLOTS = 100;

void init();
// Copies the value into a free slot (doubling the table when none is free);
// returns the slot's 1-based index.
int32_t alloc(const Cell& value);
Cell* get(int32_t index);
// Returns slot `index` (1-based; 0 is ignored) to the head of the free list.
void free(int32_t index);
uint32_t capacity();

}  // namespace kel::cell_slots
