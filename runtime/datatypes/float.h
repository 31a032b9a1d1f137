// float!: the 64-bit IEEE double (type id 12, no parent), and the arithmetic,
// comparison and rounding of the whole float family: percent! (38) inherits
// its math, make, to, random and compare slots, and time! (43) routes its
// arithmetic through the same dispatcher and rounding.
//
// Cell: header type 12; payload words 2-3 the double (word 2 the low half of
// the bit pattern); word 1 unused. percent! and time! keep their double in
// the same words.
//
// Arithmetic follows IEEE: division by zero gives an infinity or NaN, never
// an error. Equality (=) is tolerant: at most 10 units in the last place
// apart, or closer than the double epsilon. Every conversion of a double to
// a 32-bit integer goes through numbers/float-to-integer.h.
#pragma once
#include <cstdint>
#include <string>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::float_ {

// Value helpers -------------------------------------------------------------

inline double get(const Cell& c) { return cell_double(c); }
// A cell of the float family holding d.
inline Cell make_cell(double d, uint32_t type = TYPE_FLOAT) {
    Cell c{type, 0, 0, 0};
    set_cell_double(c, d);
    return c;
}
// The frame's first cell becomes the float! d (whole header replaced).
Cell* box(double d);
// The cell becomes the float! d; its header flags are kept.
Cell* make_at(Cell& cell, double d);
// A new float! on the argument stack.
Cell* push(double d);
// A new float! at the block's tail from the two halves of its bit pattern,
// high half first: the KELBIN decoder's maker.
Cell* make_in(const Cell& block, uint32_t high, uint32_t low);

// Text ----------------------------------------------------------------------

// What a text is for; each picks its precision and ending.
inline constexpr int TEXT_FLOAT32 = 0;  // 32-bit vector element: %.7g
inline constexpr int TEXT_FLOAT = 1;  // float! form, 64-bit vector element: %.16g
inline constexpr int TEXT_PERCENT32 = 2;  // 32-bit element as a percentage (value x 100): %.7g and "%"
inline constexpr int TEXT_PERCENT = 3;  // percent! (value x 100): %.13g and "%"
inline constexpr int TEXT_SECONDS = 4;  // seconds of a time!: 6 significant digits
inline constexpr int TEXT_POINT = 5;  // point2D! / point3D! coordinate: %.7g

struct Text {
    char chars[40];
    uint32_t length;
};
// The friendly text of x for a mode: the specials 1.#INF, -1.#INF and
// 1.#NaN; with pretty printing, values below the double epsilon as 0.0
// (0% for the percentages, 0 for points) and one retry with fewer digits
// when the text ends in representation noise ("01" or "99"); the exponent
// without "+" or leading zeros; ".0" added for modes 0 and 1 when there is
// no point. Returned by value.
Text to_text(double x, int mode);

// The shortest text the lexer reads back as exactly x: as a float! (float_to
// _string's notation), or as a percent! ("%" after the value times 100
// written without an exponent, which the lexer refuses in a percent). With
// `float32`, x is a 32-bit float and the text is the shortest that reads
// back, narrowed to 32 bits, as that float. The specials are the friendly
// texts.
std::string exact_text(double x, bool percentage, bool float32);

// Pretty printing of float text: on at start; the handler of the float
// options of the system object switches it.
bool pretty_print();
void set_pretty_print(bool on);
// The full-support mode: off at start; the same handler keeps it in step
// with its field. No formatting depends on it yet.
bool full_support();
void set_full_support(bool on);

// Math ----------------------------------------------------------------------

// The op core: add, subtract, multiply, divide, remainder (math op codes
// 0-4); any other op raises script/cannot-use. Remainder is fmod, with NaN
// for a NaN divisor, and a finite dividend unchanged by an infinite one.
double do_math(double a, double b, int32_t op);
// The mixed-type dispatcher on the current frame (left in the first cell,
// right in the second; the result in the first cell). See float-math.cpp
// for the result types.
void do_math_op(int32_t op);

// Comparison ----------------------------------------------------------------

bool is_nan(double d);
bool is_nan32(float f);
bool nan_or_inf(double d);
// Tolerant equality of doubles and of 32-bit floats.
bool almost_equal(double a, double b);
bool almost_equal32(float a, float b);
// The compare core: a (of type `type1`, a number type) against value2 by op;
// -2 when value2 is not a number this core knows (money! is not).
int32_t compare_double(uint32_t type1, double a, const Cell& value2, int32_t op);

// A random double from 0 to limit.
double random_scaled(double limit, bool secure);

// The slots other modules call directly: compare (the evaluator's fast
// comparisons), power (integer!) and round (integer!, time! and the points);
// the other slots are in float-internal.h.
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void power();
// round of a float!, percent! or time! value (time!'s round comes here too).
void round(Cell* out, Cell* value, const RoundOptions& options);

// Registers float! (id 12).
void init();

}  // namespace kel::float_
