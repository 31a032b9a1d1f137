// pair!: the action slots its files define and register, declared for the
// files of the module only (other modules reach them through the datatype
// record); what other modules call is in pair.h.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/pair.h"

namespace kel::pair {

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

// Action slots --------------------------------------------------------------

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

}  // namespace kel::pair
