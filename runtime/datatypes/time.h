// time!: a duration or a time of day as seconds in a double (type id 43,
// parent float!).
//
// Cell: header type 43; payload words 2-3 the seconds (word 2 the low half
// of the bit pattern), negative for negative durations; word 1 unused.
//
// Parts of a time t, as the getters read them and the text writes them:
//   hours   trunc(t / 3600)            (negative for a negative time)
//   minutes floor(fmod(|t|, 3600) / 60) (0-59, never negative)
//   seconds fmod(t, 60)                (a float with the sign of t)
// The setters use the same decomposition, so setting a part to the value
// its getter answers never changes t.
//
// Text (form and mold alike): "-" for a negative time, the hours in decimal,
// two-digit minutes, two-digit seconds with their fraction: 1:01:01.5,
// -0:01:30. Seconds whose 6-digit text would read 60 are written 00 with
// one minute carried.
//
// Arithmetic goes through float!'s dispatcher (time! when either operand is
// a time!), with the rules of time! first: time - date! and time * time are
// script/not-related, time / time is the float! ratio, time + date! is the
// date's addition. compare, absolute, negate, remainder and random are
// float!'s.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::time_ {

inline double get(const Cell& c) { return cell_double(c); }
// A time! cell of the seconds (the lexer's maker).
inline Cell make_cell(double seconds) {
    Cell c{TYPE_TIME, 0, 0, 0};
    set_cell_double(c, seconds);
    return c;
}
// The cell becomes the time! (its header flags kept).
Cell* make_at(Cell& cell, double seconds);
// A new time! at the block's tail from the two halves of its bit pattern,
// high half first: the KELBIN decoder's maker.
Cell* make_in(const Cell& block, uint32_t high, uint32_t low);
// A new time! on the argument stack.
Cell* push(double seconds);

// The parts above (date! uses them too).
double hour_part(double seconds);
int32_t minute_part(double seconds);
double second_part(double seconds);
// The seconds with part 1 (hours), 2 (minutes) or 3 (seconds) set to v
// through the same decomposition.
double with_part(double seconds, int32_t part, double v);

// Appends the text of the seconds (see above) to the target string; returns
// the limit minus the characters written. date! writes its time with it.
int64_t form_hms(double seconds, Cell buffer, int64_t limit);

// Registers time! (id 43); float! must be registered first.
void init();

}  // namespace kel::time_
