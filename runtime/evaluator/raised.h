// Where the last error was raised, recorded by the raise hook before
// anything unwinds: the word of the innermost named call (an error report's
// Where), the block and position being evaluated (its Near) and the call
// stack's height (the end of its Stack line).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::interpreter {

struct Raised {
    Cell where{};
    Cell near{};
    uint32_t stack = 0;
};
extern Raised raised;

}  // namespace kel::interpreter
