// apply: calls a function with its arguments taken from a block.
//
// The arguments are read from the spec as a call from code reads them, but
// from the args block: each argument is the next expression of the block
// (with /safer the next value, unevaluated). Refinements are given in one
// of three ways: from a path naming the function (`apply 'append/only`),
// inline after the arguments as /refinement followed by the expression
// whose truth switches it (and then its arguments), or with /all as a
// logic! in spec order after the arguments that precede it (each
// refinement's arguments follow it; an inactive refinement's are taken and
// dropped, or with /safer skipped). A block that ends early completes the
// call with none for arguments and false for refinements.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::natives::apply {

inline constexpr uint32_t MODE_ALL = 1;  // positional arguments and refinements
inline constexpr uint32_t MODE_INLINE = 2;  // refinements inline as /name value
inline constexpr uint32_t MODE_SAFER = 4;  // one value per argument, not an expression

// Calls fn (a native!, action!, function! or routine!; an op! already
// retyped to what it wraps) in a frame named by name, its arguments from
// the block args; path (or null) gives refinements from its elements after
// the first. The result is pushed. Answers the call's status.
[[nodiscard]] uint32_t call(const Cell& fn, const Cell& args, const Cell& name, const Cell* path, uint32_t mode);

}  // namespace kel::natives::apply
