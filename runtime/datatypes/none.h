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

// Actions. Those that answer a value write none into out.
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void clear(Cell* out, Cell* value);
void find(Cell* out, Cell* series, Cell* value, const FindOptions& options);
void select(Cell* out, Cell* series, Cell* value, const FindOptions& options);
// -1: the length of none is none.
int32_t length(Cell* value);
void remove(Cell* out, Cell* series, Cell* part, Cell* key);
void take(Cell* out, Cell* series, const TakeOptions& options);

// Registers none! (id 3).
void init();

}  // namespace none
}  // namespace kel
