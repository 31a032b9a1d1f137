// The parse engine: matches a block of rules against a string-like, binary!
// or block-like input, backtracking over `|` alternatives, repeating rules,
// descending into nested blocks and nested series, capturing and changing the
// input, evaluating parens and reporting each step to a trace callback.
//
// Invariants:
// - One loop over a state variable. Nested rule blocks, rule commands and
//   `into` levels are frames on two explicit stacks (blocks held in the root
//   block), never C++ recursion. A parse started from a paren or a callback
//   runs through the evaluator and uses the cells above the running parse's.
// - Either stack past STACK_LIMIT cells ends the parse with
//   script/parse-stack, so self-recursive rules and deep `into` end there.
// - Positions, rule pointers and frame contents are indices, never buffer
//   addresses: parens, callbacks and the modifying rules allocate and may
//   change the rule block or the input. After each the rule pointer is
//   clamped to the block and the position to the input's tail.
// - Every error leaves both stacks and the argument stack as they were
//   before the parse.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::parser {

inline constexpr int32_t STACK_LIMIT = 10000;

struct Request {
    Cell input;  // the series to parse, from its head
    Cell rules;  // the rule block
    bool case_sensitive = false;  // /case
    int32_t part = 0;  // absolute end index in the input; 0 or less: none
    const Cell* callback = nullptr;  // /trace function, or null
};

// Runs the rules over the input and writes into `out` (a cell that stays
// put) a logic! of the match, or the block of a top-level `collect`.
// Errors raised by the rules, parens and callbacks pass through; break,
// continue, return and exit sent by Kel code in parens travel on as `Thrown`
// of their code.
void process(Cell* out, const Request& request);

// Test hook: the number of state-machine steps a parse may take before it
// stops with a false result (0: no budget); every value `keep` adds to a
// target (every unit of a series value) counts as a step, and a parse whose
// input grows beyond 64 KB stops the same way. Answers the previous budget.
int64_t set_step_budget(int64_t steps);

}  // namespace kel::parser
