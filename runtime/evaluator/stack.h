// The argument stack: every call passes its arguments and result in cells of
// one fixed block. `arguments()` is the first cell of the current frame (its
// result slot); `top()` is the next free cell. The stack's pointers are its
// own (runtime/evaluator/stack-state.h, for the collector and the tests).
//
// The call stack and the frame operations are runtime/evaluator/call-stack.h.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::stack {

inline constexpr uint32_t ARGUMENT_CELLS = 20000;

// Makes the fixed argument-stack block (cell of the root block) and points
// the stack at it.
void init();

// The first cell of the current frame (its result slot), and the next free
// cell.
Cell* arguments();
Cell* top();

// The cell at top, unfilled; top advances. A push that would reach the
// limit (capacity minus a reserve) raises internal/stack-overflow.
Cell* reserve_cell();
Cell* push(const Cell& value);
void pop(uint32_t n);
Cell* top_value();
uint32_t top_type();
void reset();
void keep_result();
void set_last(const Cell& value);
void set_result(const Cell& value);

}  // namespace kel::stack
