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

// The component of a path element or pick index word: 1 x, 2 y. Another
// word is script/cannot-use (word, value) when `value` is a pair! (as pick
// passes it), else script/invalid-path (value, word) (as path access passes
// the path).
int32_t field_index(const Cell& word, const Cell& value);

// The op core on the current frame: the pair in the first cell, the other
// operand (pair!, integer!, float!, percent! or point2D!) in the second;
// number_left says it was the left operand (n - p computes n - x and
// n - y). The result (pair! or point2D!) replaces the first cell; the
// second cell may be overwritten.
void do_math(int32_t op, bool number_left);

// Actions -------------------------------------------------------------------

// make and to (the same function).
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void random(Cell* out, Cell* value, const RandomOptions& options);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
// Reads a component as an integer!, or sets it from an integer! (the pair
// in *parent changes in place; the value set is the answer).
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
// x decides, then y; with a point2D! the pair compares as its point.
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void absolute();
void negate(Cell* out, Cell* value);
// integer! round of each component (a pair! scale gives each its own); a
// result that does not fit 32 bits is math/overflow.
void round(Cell* out, Cell* value, const RoundOptions& options);
void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell);
// Exchanges x and y.
void reverse(Cell* out, Cell* value, Cell* part, Cell* skip);

// Registers pair! (id 37).
void init();

}  // namespace kel::pair
