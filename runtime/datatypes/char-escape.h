// The escaped source form of one code point, as char! mold writes it between
// #" and ", and as string! mold writes the characters of a string between
// double quotes: the lexer reads each form back as the same code point.
//
// The first rule that applies:
//   1. 0x1E, 0x80-0x9F, the surrogates 0xD800-0xDFFF (their UTF-8 is
//      refused by every reader, so saved text would not load) and, with
//      `all`, anything above 0x7F: ^( the code point in upper-case
//      hexadecimal without leading zeros )  (^(1E), ^(85), ^(D800));
//   2. the control characters 0x00-0x1F, the double quote and the caret:
//      a caret and the character of the caret table (^@ ^A .. ^Z ^[ ^\ ^] ^_,
//      ^- for tab, ^/ for line feed, ^" and ^^);
//   3. 0x7F: ^~;
//   4. anything else: the code point itself.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::char_escape {

// Appends the escaped form of cp to the target string (widening it when cp
// needs wider units); may allocate.
void mold_char(const Cell& target, uint32_t cp, bool all);

}  // namespace kel::char_escape
