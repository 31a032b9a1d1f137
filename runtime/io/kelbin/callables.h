// native!, action! and op! records, as both forms write and read them.
//
// A native! or action! is written as its 1-based table index, never an
// address, followed by its spec block record. The reader refuses an index
// outside its table and a spec record that is not a block!. In codec mode
// the value read back is the one start-up registered for the index
// (natives::registered): the recorded spec is read and dropped, since a
// spec from a file could disagree with the code. In boot mode the value is
// made from the recorded spec, which stays in the parent right after it.
//
// An op! is written as the record of the callable it wraps; it may wrap only
// a native!, action! or function! (the writer refuses a routine! with
// access/no-codec before writing anything).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::kelbin {

inline bool callable_record(uint32_t t) { return t == TYPE_NATIVE || t == TYPE_ACTION; }

// A block! value over the spec series of a native!, action! or op!.
inline Cell spec_block_of(const Cell& callable) { return Cell{TYPE_BLOCK, 0, callable.data2, 0}; }

// The table index a native! or action! record may name.
bool callable_index_ok(uint32_t t, uint32_t index);

// The callable an op! wraps, retyped for writing its inner record; raises
// access/no-codec with the op for one the format cannot hold.
Cell op_inner(const Cell& op);

// An op! record may wrap a value of this type.
inline bool op_may_wrap(uint32_t t) { return t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_FUNCTION; }

// Turns the callable c (of a type op_may_wrap takes) into the op! wrapping
// it, as make op! does; new_line is the op's own marker.
void wrap_in_op(Cell& c, uint32_t new_line);

}  // namespace kel::kelbin
