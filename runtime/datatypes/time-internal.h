// time!: the action slots its files define and register and the field
// look-up of path access and pick, declared for the files of the module only
// (other modules reach the slots through the datatype record); what other
// modules call is in time.h.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/time.h"

namespace kel::time_ {

// The field of a path element or pick index word: 1 hour, 2 minute,
// 3 second; -1 for another word, except that with a time! as `value` (as
// pick passes it) another word is script/cannot-use with the word and the
// time.
int32_t field_index(const Cell& word, const Cell& value);

// Action slots --------------------------------------------------------------

// make and to (the same function); the prototype's type is not read.
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
// Gets a part (hours and minutes as integer!, seconds as float!) or sets one:
// hour and minute take an integer!, second an integer! or float!; the time
// in *parent changes in place and the value set is the answer.
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell);
void add();
void subtract();
void multiply();
void divide();
// float! round with every refinement; the result is a time! again.
void round(Cell* out, Cell* value, const RoundOptions& options);
// The parity of the whole seconds of the minute, nudged by a microsecond
// away from zero (0:00:01.9999999 is even).
bool even(const Cell& value);
bool odd(const Cell& value);

}  // namespace kel::time_
