// date! inside its module: the setters shared by path access and
// construction, and the action slots registered by date::init.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::date {

// The cell's time becomes t (read as local time in the cell's zone when
// `local`), moved into [0, 86400) of local time with the day number; the
// time flag stays as it is.
void set_time(Cell& date, double t, bool local);
// Month n of the date's year, rolling over into other years (0 is December
// of the year before); the day stays and rolls over the month's end.
void set_month(Cell& date, int32_t n);
// The zone from an integer! (hours, remainder by 16) or a time! (taken
// modulo 16 hours, sign of the whole value); with `keep_instant` the local
// date and time follow the new zone, else they stay and the instant moves.
// Another type is script/invalid-arg.
void set_zone(Cell& date, const Cell& value, bool keep_instant);
// The field of a path element or pick word, 1-14; -1 for another word,
// except that with a date! as `value` (as pick passes it) another word is
// script/cannot-use.
int32_t field_index(const Cell& word, const Cell& value);
[[noreturn]] void fire_bad_spec(const Cell& spec);

// Add (MATH_ADD) or subtract the frame's second argument from the date in
// its first; the result replaces the first.
void do_math(int32_t op);

// Actions.
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void random(Cell* out, Cell* value, const RandomOptions& options);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void add();
void subtract();
void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell);

}  // namespace kel::date
