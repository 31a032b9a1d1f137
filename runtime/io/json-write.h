// The JSON writer: the JSON text of a value appended to a string, as the
// json-encoder's kel-to-json-value of environment/library/json.kel writes
// it: none null, logic! true or false, integer! and float! their formed text
// (a non-finite float too, which is not JSON), percent! its float, strings
// quoted with the short escapes, \u and four upper-case hex digits for other
// characters outside the normal set and UTF-16 surrogate pairs above U+FFFF;
// blocks (and every any-block! value, from its position) as arrays, maps
// and objects as objects (member names: a word's text, a string, else the
// molded key); any other string type formed, anything else molded, as a
// JSON string.
//
// `indent` (a string!, or null for compact text) lays the text out on lines;
// `ascii` escapes every character outside printable ASCII and U+007F.
//
// There is no recursion: open blocks, maps and objects are entries of an
// explicit stack, and a value nested deeper than MAX_DEPTH (a value that
// contains itself among them) raises internal/too-deep. Text is gathered
// in C++ memory (a value formed or molded goes through a scratch string)
// and appended to `output` in one step at the end, so no buffer pointer is
// held across an allocation.
#pragma once

#include "runtime/core/cell.h"

namespace kel::json {

// `output`, `data` and `indent` must stay put (argument cells).
void write(const Cell& output, const Cell& data, const Cell* indent, bool ascii);

}  // namespace kel::json
