// The argument stack's own pointers: its fixed block, its bottom, the
// current frame's first cell, the next free cell, the block's end and the
// limit a push may not reach (the end minus the reserve that only the stack
// overflow error's own path may use, runtime/evaluator/call-stack.h). Only
// the stack, the collector (which marks the cells from bottom to top) and
// the tests that open frames by hand include this header; other modules use
// runtime/evaluator/stack.h.
#pragma once
#include "runtime/evaluator/stack.h"

namespace kel::stack {

struct State {
    NodeId block = 0;
    Cell* bottom = nullptr;
    Cell* arguments = nullptr;
    Cell* top = nullptr;
    Cell* end = nullptr;
    Cell* limit = nullptr;
};
extern State state;

}  // namespace kel::stack
