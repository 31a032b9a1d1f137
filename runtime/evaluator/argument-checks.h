// The argument checks and conversions that natives called with check on (by
// C++ callers, and by a compiled library) use instead of the interpreter's
// fetch-time checks, and the conversions of arguments they share.
//
// Every check answers the value it was given. A failed check raises
// script/expect-arg naming the innermost named call, the value's datatype
// and the word of the argument at that position (1-based) of the call's
// spec ("f does not allow string! for its value argument").
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::arguments {

// The value, when its type is in the typeset.
const Cell& check_type(const Cell& typeset, int32_t position, const Cell& value);
// check_type on argument n (1-based) of the current frame; nothing when n is
// below 1 (an absent argument).
void check_frame_arg(int32_t n, const Cell& typeset, int32_t position);
// check_type when the refinement cell is true; else the value unchecked.
const Cell& check_refinement_arg(const Cell& refinement, const Cell& typeset, int32_t position, const Cell& value);
// The value, when it is not unset.
const Cell& check_not_unset(int32_t position, const Cell& value);

// Checks the arguments in the current frame of native `index` against its
// spec's typesets (the arity cache of the native! value that names the
// frame), those of unused refinements left out. A frame named by a word that
// does not hold that native is not checked.
void check_native_frame(int32_t index, const int32_t* refinements);

// An integer!'s value, or a float!'s truncated toward zero; a float above
// 2147483647.0, below -2147483648.0 or NaN raises script/out-of-range.
int32_t integer_arg(const Cell& value);

// The whole string loaded with the lexer: its first value; unset when it
// holds none; none when the lexer stopped before its end.
Cell string_to_value(const Cell& text);

}  // namespace kel::arguments
