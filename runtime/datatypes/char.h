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

// Registers char! (id 10); integer! must be registered first.
void init();

}  // namespace kel::char_
