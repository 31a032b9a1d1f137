// pair!: a two-dimensional integer vector such as 10x20 (type id 37, no
// parent).
//
// Cell: header type 37, payload word 2 x and word 3 y (signed 32-bit); word
// 1 unused.
//
// Arithmetic applies the integer! op core to both components. When a
// component's result is no integer (an overflow, or a division that leaves
// a remainder) the operation is done again as point2D! math on the
// unchanged operands, and the answer is a point2D!; so is every product with
// a float! or percent! and every quotient by one. A float operand of the
// other operations is truncated toward zero. Floats that a pair is made
// from or combined with (an operand, a block element, a point axis) must be
// finite and within 32 bits: script/invalid-arg with the value otherwise.
// negate and absolute of a component -2147483648 are math/overflow.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::pair {

inline int32_t x_of(const Cell& c) { return int32_t(c.data2); }
inline int32_t y_of(const Cell& c) { return int32_t(c.data3); }
// A pair! cell (the lexer's maker).
inline Cell make_cell(int32_t x, int32_t y) { return Cell{TYPE_PAIR, 0, uint32_t(x), uint32_t(y)}; }
// The cell becomes the pair (its header flags kept).
Cell* make_at(Cell& cell, int32_t x, int32_t y);
// A new pair! at the tail of the block / on the argument stack.
Cell* make_in(const Cell& block, int32_t x, int32_t y);
Cell* push(int32_t x, int32_t y);

// The point2D! of a pair: each component to the nearest float32.
Cell to_point(const Cell& pair);

// Registers pair! (id 37).
void init();

}  // namespace kel::pair
