// The low layer of the string module: appending code points to the series
// buffer of a string cell (units of 1, 2 or 4 bytes).
#pragma once
#include "runtime/cell.h"

namespace kel::string {

// Appends every byte of a NUL-terminated C-string as a code point.
void append_c_string(const Cell& str, const char* text);

}  // namespace kel::string
