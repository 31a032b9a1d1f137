// Routine calls: routine! values whose code is a C++ function of the routine
// table. The interpreter fetches and type-checks the arguments like any
// call's; `exec` then checks each against its spec type block, converts it
// (logic! to 0 or 1, integer! to its 32-bit value, float! to its double,
// anything else to the address of its argument cell), calls the function
// with the arguments in declaration order and converts its result by the
// routine's result type id: none (-1 or 0) leaves the frame's first cell as
// the function set it, 4 makes a logic! (true for any value but 0), 11 an
// integer!, 12 a float!.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::routines {

union Arg {
    int32_t integer;
    double number;
    Cell* cell;
};
union Result {
    int32_t integer;
    double number;
};
using Routine = Result (*)(const Arg* args, int32_t count);

inline constexpr int32_t TABLE_SIZE = 256;
inline constexpr int32_t MAX_ARGS = 16;

// Adds a function to the routine table and answers its index (1-based).
int32_t add(Routine fn);

// Runs the routine whose frame is open with its arguments fetched.
void exec(const Cell& routine);

}  // namespace kel::routines
