// point2D! (type id 51) and point3D! (type id 52): coordinates of two or
// three 32-bit floats, no parent type. The two types are twins: one set of
// functions serves both, reading the axis count from the value's type.
//
// Cell: header type 51 or 52; payload words 1, 2 (and 3) the float32 bit
// patterns of x, y (and z). Word 3 of a point2D! cell is 0.
//
// Arithmetic works axis by axis in double precision and rounds each result
// back to float32 (numbers/float32.h: defined for every double); it never
// fails on values: overflow gives infinities, invalid operations NaN.
// pair! turns into point2D! math when its integer results overflow or
// divide inexactly, and integer! and float! hand their operations with a
// point to it through the number services.
//
// Text: "(" x ", " y [", " z] ")", each axis as float! writes a 32-bit
// coordinate: (1, 2), (1.5, -0.25), 0.3333333.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/numbers/float32.h"

namespace kel::point {

inline int axes(uint32_t type) { return type == TYPE_POINT3D ? 3 : 2; }
// Axis i (0 x, 1 y, 2 z) of a point cell.
inline uint32_t& axis_word(Cell& c, int i) { return i == 0 ? c.data1 : i == 1 ? c.data2 : c.data3; }
inline uint32_t axis_word(const Cell& c, int i) { return i == 0 ? c.data1 : i == 1 ? c.data2 : c.data3; }
inline float axis(const Cell& c, int i) { return numbers::float32_of_bits(axis_word(c, i)); }
inline void set_axis(Cell& c, int i, float f) { axis_word(c, i) = numbers::float32_bits(f); }

// The lexer's and the other modules' makers.
inline Cell make2(float x, float y) {
    return Cell{TYPE_POINT2D, numbers::float32_bits(x), numbers::float32_bits(y), 0};
}
inline Cell make3(float x, float y, float z) {
    return Cell{TYPE_POINT3D, numbers::float32_bits(x), numbers::float32_bits(y), numbers::float32_bits(z)};
}
// A new point on the argument stack.
Cell* push2(float x, float y);
Cell* push3(float x, float y, float z);

// The op core on the current frame: the point in the first cell, the other
// operand in the second (the same point type, a pair! for point2D!, or an
// integer!, float! or percent!); number_left says the operand was the left
// one (n - p). The result replaces the first cell. Op codes 0-4. pair!
// escalates into it.
void do_math(int32_t op, bool number_left);

// The compare slot, through which a pair! compares with a point2D! (the
// other slots are in point-internal.h): = is tolerant per axis (at most 10
// float32 units apart), == exact, same? bit identity; the orderings compare
// x, then y, then z. point2D! compares with a pair! as the point of the pair.
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);

// Registers point2D! (51) and point3D! (52).
void init();

}  // namespace kel::point
