// The text between the quotes of a JSON string literal made into the string
// it denotes, in place: from the string's current position to its tail,
// every escape (\" \\ \/ \b \f \n \r \t, \u and four hex digits, a \u high
// surrogate followed by a \u low surrogate for one character above U+FFFF)
// becomes its character and the tail moves back. The string is widened when
// a character does not fit its unit.
//
// A backslash followed by anything else, a final backslash, bad hex digits
// or a high surrogate not followed by an escaped low one raise
// script/invalid-data with the string as it stands then (partly rewritten).
// A lone low surrogate and U+0000 are kept as code points. Nothing is read
// beyond the string's tail.
#pragma once

#include "runtime/core/cell.h"

namespace kel::json {

// `str` must stay put (an argument cell or a rooted cell).
void unescape(Cell& str);

}  // namespace kel::json
