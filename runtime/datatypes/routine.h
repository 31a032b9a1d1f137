// routine! (29, parent function!; no make): library functions registered
// from C++ and called through the routine table.
//
// routine! cell: header 29 with the arity (word! values of the spec) in bits
// 25-29; word 1 a context made from the spec (owner unset); word 2 the spec;
// word 3 a six-cell more block: the body (shared; none for routines
// registered from C++), the arity cache, the routine table index as
// integer!, unset, the result type id as integer! (-1 for none), and a block
// of the first value of each argument's type block. The call converts its
// arguments by that block and takes them by the arity cache, both made from
// the spec when the routine is (the cache once the library's type words
// have values, native::fix_arities): editing the spec block, which
// reflection shares, changes neither.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::routine {

inline constexpr uint32_t ARITY_SHIFT = 25;
inline constexpr uint32_t ARITY_MASK = 0x3E000000;
inline uint32_t arity(const Cell& r) { return (r.header & ARITY_MASK) >> ARITY_SHIFT; }

// Pushes a routine registered from C++: its spec (used as it is), body or
// null (none), routine table index and result type id (-1: none).
Cell* push(const Cell& spec, const Cell* body, int32_t index, int32_t result_type, bool flag);
// Counts the word! values of the whole spec into the arity bits.
void set_arity(Cell& r);

// Registers routine! (parent function!; no make).
void init();

}  // namespace kel::routine
