// The interpreter's inline arithmetic for operators on numbers. The infix
// look-ahead asks `infix` first: when the op wraps the add, subtract or
// multiply action or one of the seven comparison natives (keyed on the
// wrapped index: an op a script makes over its own function never matches),
// the left operand is an integer! or float! and the right operand is a number
// literal or a word holding one, the result replaces the left operand, the
// position moves past the operand and the answer is true. Otherwise nothing
// changes and the op is called as usual. Results are the actions', type and
// bits (tests/evaluator/fast-ops-test.cpp checks them against the actions).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::interpreter::fast {

// The math op (MATH_ADD ... MATH_MULTIPLY) or comparison op (COMP_EQUAL ...
// COMP_GREATER_EQUAL, offset by COMPARE_BASE) an op! stands for, or -1.
inline constexpr int32_t COMPARE_BASE = 16;
int32_t op_code(const Cell& op);

// Computes `left op right` for two integer! or float! operands into out;
// false when an operand is of another type (then out is untouched).
bool compute(int32_t code, const Cell& left, const Cell& right, Cell& out);

inline bool is_number(uint32_t t) { return t == TYPE_INTEGER || t == TYPE_FLOAT; }

// The look-ahead's entry for an op whose code is `code` (op_code) and a
// number on the left: i is the position of the op word in the code.
bool infix(int32_t code, Cell& left, NodeId node, int32_t& i);

}  // namespace kel::interpreter::fast
