// The argument stack's own pointers: its fixed block, its bottom, the
// current frame's first cell, the next free cell and the block's end. Only
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
};
extern State state;

}  // namespace kel::stack
