// integer!: the 32-bit signed integer (type id 11, no parent; char! and
// handle! inherit from it).
//
// Cell: header type 11, payload word 2 the value; words 1 and 3 unused.
//
// Arithmetic never wraps: a sum, difference, product or power that does not
// fit 32 bits, and a division that leaves a remainder, answer the float! the
// double arithmetic of the two operands gives. Division by zero is
// math/zero-divide; -2147483648 divided by -1 (and its remainder by -1) is
// math/overflow, as are negate and absolute of -2147483648.
//
// Mixed operands: char! takes part as its code point; float!, percent! and
// time! hand the operation to float!'s dispatcher; pair!, point2D!, point3D!,
// tuple!, date!, money! and vector! get it through their row of the number
// services (number-services.h) with the operands exchanged.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::integer {

// Value helpers -------------------------------------------------------------

inline int32_t get(const Cell& c) { return int32_t(c.data2); }
// The value of the current frame's first cell.
int32_t unbox();
// That value when the first cell is an integer!, else 0.
int32_t unbox_or_zero();
// The frame's first cell becomes the integer n (whole header replaced).
Cell* box(int32_t n);
// The cell becomes the integer n; its header flags are kept.
Cell* make_at(Cell& cell, int32_t n);
// A new integer! at the tail of the block / on the argument stack.
Cell* make_in(const Cell& block, int32_t n);
Cell* push(int32_t n);

inline int32_t sign(int32_t n) { return (n > 0) - (n < 0); }
// |n|; -2147483648 raises math/overflow.
int32_t abs(int32_t n);

// The decimal text of n, returned by value.
struct Text {
    char chars[12];
    uint32_t length;
};
Text to_text(int32_t n);

// Math ----------------------------------------------------------------------

// The op core (math op codes of datatype.h) on two 32-bit values. With a
// result cell, a result that overflows or a division that is not exact
// turns the cell into the float! of the double result and answers 0; an
// integer result is written into the cell's payload word 2 (its header is
// kept) and answered. Errors:
// math/zero-divide, math/overflow (see above).
int32_t do_math(int32_t left, int32_t right, int32_t op, Cell* result);
// The mixed-type dispatcher on the current frame: the integer! in the first
// cell, the other operand in the second; the result in the first cell.
void do_math_op(int32_t op);

// The slots other modules call directly: compare (the evaluator's fast
// comparisons) and round (pair! rounds its components through it). The other
// slots are in integer-internal.h.
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void round(Cell* out, Cell* value, const RoundOptions& options);

// The first bytes (at most count, up to 8) from the binary's head as a
// big-endian number; fewer bytes give a smaller number.
uint64_t head_bytes(const Cell& binary, int32_t count);

// Registers integer! (id 11).
void init();

}  // namespace kel::integer
