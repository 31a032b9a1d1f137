// The natives that are the evaluator's own control flow: the conditionals
// and counting loops (if ... forever), the function makers, switch and case,
// try, break, continue, exit, return, throw and catch, and the seven
// comparison natives.
//
// Loops open a loop frame; break and continue reach them as statuses (or,
// from Kel code run by C++ callers such as a sort comparator, as `Thrown` of
// the same code), with the break value in the interpreter's exit cell.
#pragma once
#include "runtime/evaluator/natives.h"

namespace kel::natives::control {

// Stores the control natives, with their words and specs, at their indexes
// of the table.
void register_natives(Entry* table);

// The argument (1 or 2) whose block `if` or `either` (the native's index)
// runs for the condition, or 0 when `if` runs none; either raises
// script/no-return for unset. The natives and the evaluator's plain call of
// them (call.cpp) choose through it.
int32_t branch(int32_t native, const Cell& condition);

// Evaluates a loop body (or the while condition) into the loop frame's first
// cell. Break and continue arrive as statuses, or as exceptions from Kel
// code that C++ callers ran; the answer is the status (0, break, continue,
// or a return or exit on its way).
[[nodiscard]] uint32_t loop_body(const Cell& body);

// A bound on the loop bodies (and while conditions) evaluated, for a host
// that runs programs it does not trust to end (the fuzz target): with a
// budget above 0, every body past it raises internal/limit-hit before it
// runs, so each loop still open stops at its next turn. Setting it restarts
// the count; 0 (the default) is no bound. Answers the budget it replaces.
int64_t set_iteration_budget(int64_t budget);

// The count of loop and repeat: an integer! as it is, a float! truncated
// toward zero; NaN and values outside the 32-bit range give -2147483648.
int32_t count_to_integer(const Cell& count);

}  // namespace kel::natives::control
