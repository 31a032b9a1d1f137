// The start-up steps done in C++ at their places in the library's order
// (the "@step" entries of environment/library/boot-order): making the routines,
// installing what the runtime made (the error catalog, the global context as
// system/words), the command line, and the routines held in fields of the
// library's objects. `data` is the block of values of the entry's file, or
// null.
#pragma once

#include <string>

#include "runtime/core/cell.h"

namespace kel::library {

// Runs the named step; an unknown name is a fault of the manifest.
void run_step(const char* name, const Cell* data);

// A new string! of the UTF-8 text, pushed on the argument stack.
Cell* push_utf8(const std::string& text);

}  // namespace kel::library
