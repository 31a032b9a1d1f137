// point!: the action slots its files define and register, declared for the
// files of the module only (other modules reach them through the datatype
// record); what other modules call is in point.h.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/point.h"

namespace kel::point {

// The axis of a path element or pick index word: 1 x, 2 y, 3 z (point3D!
// only). Another word is script/cannot-use (word, value) when `value` is a
// point of that type (as pick passes it), else script/invalid-path (value,
// word) (as path access passes the path).
int32_t field_index(uint32_t type, const Cell& word, const Cell& value);

// Action slots --------------------------------------------------------------

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void random(Cell* out, Cell* value, const RandomOptions& options);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
// Reads an axis as a float!, or sets it from an integer! or float! (the
// point in *parent changes in place; the value set is the answer).
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
void absolute();
void negate(Cell* out, Cell* value);
// float! round of each axis; a point (or pair!) scale gives each axis its
// own scale.
void round(Cell* out, Cell* value, const RoundOptions& options);
void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell);
// point2D! swaps x and y, point3D! x and z.
void reverse(Cell* out, Cell* value, Cell* part, Cell* skip);

}  // namespace kel::point
