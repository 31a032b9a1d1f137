// bitset!: a set of non-negative integers (in practice code points) kept as
// bits, type id 30.
//
// Cell: header 30, word 2 the node of a byte series; bit i lies in byte
// i >> 3 from the series' first byte under the mask 0x80 >> (i & 7). The
// stored bytes run from the first byte to the tail; bytes of the capacity
// past the tail are no part of the set.
//
// Complemented bitsets (series flag 0x80000): the stored bits are still the
// membership bits, and the flag means "every integer beyond the stored
// bytes is a member". Growing fills the new bytes with the fill of the set
// (0xFF when complemented, else 0x00), so the extension stays consistent.
// Set operations extend each operand with its own fill; the result's flag is
// the operation applied to the two flags. Removing clears bits; clear gives
// an empty plain set. The text writes a complemented set as
// [not #{...}] with the bytes inverted, which reads back to an equal set.
//
// Indices are computed in 64 bits: a negative (except when testing), NaN or
// beyond-32-bit index or size raises script/out-of-range.
//
// Nested spec blocks are walked under the cycle guard: a block inside itself
// raises internal/no-cycle, nesting past the guard internal/too-deep.
//
// A bitset held by an object with an on-deep-change* handler is owned: clear,
// append and insert, poke (and path setting) and remove report `clear`,
// `insert`, `poke` or `remove` before the change and, when the owner was
// told, `cleared`, `inserted`, `poked` or `removed` after it, with the value
// that names the bits. reflect and modify know the field `owned`, as for
// series.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::bitset {

inline constexpr int OP_SIZE = 0;
inline constexpr int OP_SET = 1;
inline constexpr int OP_TEST = 2;
inline constexpr int OP_CLEAR = 3;

inline constexpr int COMMAND_MAKE = 0;
inline constexpr int COMMAND_TO = 1;
inline constexpr int COMMAND_OTHER = 2;

// The largest bit index a bitset may hold.
inline constexpr int64_t MAX_BIT = INT32_MAX;

bool complemented(const Cell& bs);
// Stored bytes.
uint64_t byte_count(const Cell& bs);
// Membership of a bit (beyond the stored bytes: the complement flag).
bool has(const Cell& bs, int64_t bit);

// The spec walker: applies op to every bit the spec names (char!, integer!,
// float!, any string's code points, a block of those with ranges a - b).
// Answers 1/0 for a test; for size and set the number of bytes that holds
// the highest bit met (at least 1); otherwise 0.
int64_t process(const Cell& spec, Cell* bs, int op, bool nested, int command);

// append and insert set the bits of the value; copy makes a new bitset over
// a copy of the bytes (/part, /deep and /types ignored).
void append(Cell* out, Cell* bs, const Cell& value);
void copy(Cell* out, const Cell& bs);

// The set operation on the first two cells of the current argument frame,
// answered in the first: op 5/9 or, 6 and~ (as long as the shorter operand
// when that one is plain), 10 intersect, 7/12 xor, 11 and-not; op 8 (unique)
// answers the left bitset. A right operand that is no bitset raises
// script/invalid-type.
void do_bitwise(int32_t op);

// Registers bitset!.
void init();

}  // namespace kel::bitset
