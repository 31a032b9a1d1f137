// The seam through which runtime code runs a Kel function: a sort comparator
// (blocks, strings) or the lexer's tracing callback.
//
// call_function runs `fn` in a call frame of its own, named after the kind of
// callback (`<compare-callback>` for Callback::compare), with the arguments
// in order, and answers the function's result. The evaluator installs the
// runner; until then every call raises internal/not-done.
//
// Contract for callers:
// - Kel code runs inside: it may allocate, collect and move every series
//   buffer, and it may change any series, the caller's own included. A caller
//   re-reads every buffer address after the call and never trusts a length or
//   a position it computed before it.
// - The argument cells must stay put and be marked by the collector for the
//   whole call (argument-stack cells, root-guarded locals, or a heap range the
//   caller registers as a root); the runner copies them into its frame before
//   it runs anything.
// - The result is a plain value: a caller that keeps it across an allocation
//   keeps it reachable itself.
// - Errors and other non-local exits of the Kel code travel out of the call
//   as C++ exceptions (kel::Thrown); a caller releases what it holds by RAII.
#pragma once
#include <cstdint>
#include <span>

#include "runtime/core/cell.h"

namespace kel::callbacks {

// What the function is called for. The evaluator names the frame after it and
// applies the callback's flags (the comparator's `sort?` flag) and the trace
// rules.
enum class Callback : uint8_t {
    compare,  // a sort comparator: frame `<compare-callback>`
    lexer,  // a lexer tracing callback: frame `<lexer-callback>`, five arguments
};

using Runner = Cell (*)(const Cell& fn, std::span<const Cell> args, Callback kind);

// Installs the runner (null uninstalls it); returns the one it replaces.
Runner install(Runner runner);

// Runs fn with the arguments; internal/not-done while no runner is installed.
Cell call_function(const Cell& fn, std::span<const Cell> args, Callback kind);

// The order a comparator's result stands for, shared by every series sort.
// The comparator is called with (b, a) (with (a, b) under /reverse), so that
// a function answering "first comes before second" sorts ascending:
// logic! true 1, false -1; integer! n gives -n (its sign); float! above 0
// gives -1, below 0 gives 1, 0 or NaN 0; none! -1; any other value 1.
// A positive answer puts a after b.
int32_t comparator_order(const Cell& result);

}  // namespace kel::callbacks
