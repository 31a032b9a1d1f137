// unset!: the absence of a value (type id 2, no payload).
#pragma once
#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel {

// The unset! constant that natives copy into the result slot when they answer
// nothing. It is read-only: slots copy it, never answer its address.
inline constexpr Cell unset_value{TYPE_UNSET, 0, 0, 0};

namespace unset {

// The result slot (the current frame's first cell) becomes unset.
Cell* box();
// A new unset! cell at the tail of the block / on the argument stack.
Cell* make_in(const Cell& block);
Cell* push();

// Registers unset! (id 2).
void init();

}  // namespace unset
}  // namespace kel
