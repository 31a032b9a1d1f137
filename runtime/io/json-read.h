// The JSON reader: the text of a string! (from its position to its tail)
// into values, as the json-decoder grammar of environment/library/json.kel
// reads it: objects become map! values (built by map!'s construction, so a
// repeated name keeps its first place and takes the later value), arrays
// block!, strings string! (escapes resolved by json::unescape), numbers the
// integer! or float! the lexer's loaders make of the matched text, true and
// false logic!, null none!. A member name becomes a word! when it is a
// character of the grammar's word-1st followed by word-char characters,
// else stays a string; a name holding a surrogate code point (which has no
// UTF-8 spelling) stays a string too.
//
// The reader follows the grammar's positions: `mark` moves after every
// complete value, after the colon of a member name and after every line
// feed; `line_ct` counts line feeds from 1; `last_lf` is the position after
// the last one. On a text the grammar refuses the reader answers false with
// those three where the grammar left them. Errors raised while reading
// travel: script/invalid-data from an escape, the lexer's error for a number
// it refuses, script/parse-stack for nesting deeper than MAX_DEPTH.
//
// There is no recursion: open objects and arrays are entries of an explicit
// stack and their values wait in one work block. Positions are code-point
// indices; the input is read through its node again after every allocation.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::json {

inline constexpr int32_t MAX_DEPTH = 10000;

struct ReadPlace {
    int32_t mark = 0;  // indices in the input's series, from its head
    int32_t last_lf = 0;
    int32_t line_ct = 1;
};

// `input` and `out` must stay put (argument cells). On success *out holds
// the value.
bool read(const Cell& input, Cell* out, ReadPlace& place);

// The character classes of member names that become words.
bool word_first_char(uint32_t c);
bool word_char(uint32_t c);

}  // namespace kel::json
