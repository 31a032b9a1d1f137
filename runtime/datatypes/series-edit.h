// Editing helpers of the series and block actions: cutting units out of a
// series and opening a gap in it, in any unit size, with a hash!'s table kept
// in step with its cells.
//
// Positions are unit indices from the series start (the buffer's offset), the
// same positions a hash! table stores. The helpers may allocate (the buffer
// grows, the table's arrays grow) and so move buffers; they run no Kel code
// and tell no owner: the actions do that around them.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/memory.h"

namespace kel::series::edit {

// The table of a hash! value; 0 for every other series and a hash! without one.
inline NodeId table_of(const Cell& s) { return type_of(s) == TYPE_HASH ? NodeId(s.data3) : 0; }

// Removes the count units at `at` (both inside the series). A hash! forgets
// their entries and shifts the positions of the units after them.
void cut(const Cell& s, int64_t at, int64_t count);

// Opens a gap of count units at `at` (at most the units in the series): the
// units from `at` move up and the tail grows; the gap's content is left as it
// was. A buffer too small grows to twice the need, or exactly to the need
// without `twice`. A hash! shifts the positions of the moved units. Answers
// whether the table gave up shifting: `enter` then rebuilds it instead.
bool open_gap(const Cell& s, int64_t at, int64_t count, bool twice);

// Puts the units [from, from + count) of a hash! into its table, once they
// hold their values; with `rebuild`, builds the whole table again instead.
// Nothing for other series.
void enter(const Cell& s, int64_t from, int64_t count, bool rebuild);

// Builds a hash!'s table again from its block (after cells were rewritten in
// place). Nothing for other series.
void rebuild(const Cell& s);

}  // namespace kel::series::edit
