// The plain math slots (add, subtract, multiply, divide, remainder, and~,
// or~, xor~) of a type whose op core takes the math op code: each slot is
// the core called with its code, the type's value being the left operand.
//
//   .own<ACTION_ADD>(math_slot<do_math, MATH_ADD>)
#pragma once
#include <cstdint>

namespace kel {

// For an op core (op, number_left).
template <void (*Core)(int32_t op, bool number_left), int32_t Op>
void math_slot() {
    Core(Op, false);
}

// For an op core (op).
template <void (*Core)(int32_t op), int32_t Op>
void math_slot_of() {
    Core(Op);
}

}  // namespace kel
