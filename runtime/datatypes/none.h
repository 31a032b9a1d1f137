// none!: the empty value (type id 3, no payload). Look-ups that find nothing
// answer none-value, and the series actions that make sense on nothing
// (clear, find, length?, remove, select, take) accept none and answer none.
#pragma once
#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel {

// The none! constant. It is read-only: slots copy it into their result cell,
// never answer its address.
inline constexpr Cell none_value{TYPE_NONE, 0, 0, 0};

namespace none {

// The result slot (the current frame's first cell) becomes none.
Cell* box();
// A new none! cell at the tail of the block / on the argument stack.
Cell* make_in(const Cell& block);
Cell* push();

// Registers none! (id 3).
void init();

}  // namespace none
}  // namespace kel
