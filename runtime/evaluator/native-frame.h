// What the native families share when they read their argument frame: the
// frame's cells, whether a refinement is used, and the result written into
// the first cell with the frame cut back to it (the calling convention of
// natives.h).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/evaluator/stack-state.h"

namespace kel::natives::frame {

inline Cell* args() { return stack::state.arguments; }
inline bool used(const int32_t* refinements, int i) { return refinements[i] != -1; }

inline void result(const Cell& value) {
    Cell* a = args();
    a[0] = value;
    stack::state.top = a + 1;
}

// The frame's first cell as it stands is the result.
inline void keep_first() { stack::state.top = args() + 1; }

}  // namespace kel::natives::frame
