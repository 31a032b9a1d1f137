// typeset!: a set of datatypes held in one cell (type id 33).
//
// The cell is the header (33) and 96 bits in payload bytes 4-15: the bit of
// type id t lies in byte 4 + (t >> 3) of the cell under the mask
// 0x80 >> (t & 7). Bits of id 0 and above the highest registered type exist
// but name no type: counting, converting and writing ignore them.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::typeset {

inline uint8_t* bytes(Cell& ts) { return reinterpret_cast<uint8_t*>(&ts) + 4; }
inline const uint8_t* bytes(const Cell& ts) { return reinterpret_cast<const uint8_t*>(&ts) + 4; }
inline bool has(const Cell& ts, uint32_t type) {
    return type < 96 && (bytes(ts)[type >> 3] & (0x80u >> (type & 7))) != 0;
}
inline void set_bit(Cell& ts, uint32_t type) {
    if (type < 96) bytes(ts)[type >> 3] |= uint8_t(0x80u >> (type & 7));
}

// An empty typeset.
inline Cell make_empty() { return Cell{TYPE_TYPESET, 0, 0, 0}; }
// Zeroes the three payload words.
Cell* clear(Cell& ts);
// Types 1..highest registered whose bit is set.
int32_t count(const Cell& ts);
// Adds a value: a word is replaced by its value; a typeset is merged; a
// datatype sets its bit; anything else raises script/invalid-arg with the
// value as passed.
void add_type(Cell& ts, const Cell& value);
// Every bit set except unset!'s: the accepted types of an argument without
// a type block.
Cell make_default();
// A typeset from a function spec's type block: a word is replaced by its
// value; datatypes and typesets add their types, a word whose value is a
// word adds object!, blocks are skipped; anything else raises
// script/invalid-type-spec.
Cell from_block(const Cell& spec);
// The cell becomes a new block holding, in id order, the word naming each
// type whose bit is set.
void to_block(const Cell& ts, Cell& out);
// The set operation on the first two cells of the current argument frame,
// answered in the first: op 5/9 or, 6/10 and, 7/12 xor, 11 and-not; op 8
// (unique) answers the left typeset. The right operand may be a datatype.
void do_bitwise(int32_t op);

// Registers typeset!.
void init();

}  // namespace kel::typeset
