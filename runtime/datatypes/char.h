// char!: a Unicode code point (type id 10, parent integer!).
//
// Cell: header type 10, payload word 2 the code point, 0 to 0x10FFFF; words
// 1 and 3 unused. Every value the module makes holds a valid code point:
// conversions refuse anything outside the range (script/out-of-range) and
// arithmetic whose result leaves it is math/overflow.
//
// Arithmetic runs the integer! op core on the code point and the other
// operand (char!, integer!, or a float! truncated toward zero: math/overflow
// when it is NaN or outside 32 bits); division always truncates. random,
// absolute, even? and odd? are integer!'s.
//
// Text: form is the character itself; mold is #" followed by the escaped
// form of char-escape.h and a closing double quote.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::char_ {

inline constexpr uint32_t MAX_CODE_POINT = 0x10FFFF;

inline uint32_t get(const Cell& c) { return c.data2; }
// A char! cell of a code point the caller knows to be valid (the lexer's and
// the string module's maker).
inline Cell make_cell(uint32_t code_point) { return Cell{TYPE_CHAR, 0, code_point, 0}; }
// A new char! at the tail of the block / on the argument stack.
Cell* make_in(const Cell& block, uint32_t code_point);
Cell* push(uint32_t code_point);

// Actions -------------------------------------------------------------------

// make and to (the same function).
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
// No case folding: #"a" and #"A" differ under every op. A char! equals the
// integer! of its code point under = but not under == or find's equality.
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
// The op core on the current frame: the char! in the first cell, the other
// operand in the second; the result replaces the first cell's code point.
void do_math(int32_t op);

// Registers char! (id 10); integer! must be registered first.
void init();

}  // namespace kel::char_
