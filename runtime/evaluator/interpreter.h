// The interpreter: evaluation of code blocks, calls of natives, actions,
// functions and routines, paths, and the callback seam through which runtime
// code runs a Kel function.
//
// Statuses: every evaluating function answers 0, or the code of a break,
// continue, return or exit (thrown::BREAK ... thrown::EXIT) on its way to its
// target. The caller stops at once and passes it on; loops, function bodies
// and the C++ callers of `do` and `try` consume them. Errors and `throw`
// travel as C++ exceptions (`Thrown`). Every frame a function opened is
// closed by its guard on both roads.
//
// Positions: code is a block node and a cell index from the buffer's head
// offset, re-read through the node after anything that may allocate or run
// code; the tail is re-read at every step. A caller keeps the block it asks
// to evaluate reachable (argument stack or `Rooted`) for the evaluation.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::interpreter {

// Makes the interpreter's state (current-block cell, tracer cell, the cells
// of exits in flight) and installs its root step and the callback runner.
void init();

// Evaluates the block from its head in a frame of kind eval named `<body>`.
// With set the result becomes the caller's first cell; without it is pushed
// (the caller's last value). An empty block gives unset.
[[nodiscard]] uint32_t eval(const Cell& block, bool set);

// Evaluates one expression of the code at `index` and pushes its value;
// index moves past what it took. With no_infix no operator is taken after
// the value; with passive a function met as a value is pushed, not called.
[[nodiscard]] uint32_t eval_expression(const Cell& code, int32_t& index, bool no_infix, bool passive);

// Evaluates the value as an expression made of it alone (a word gives its
// value, a paren its result, a function called finds no arguments) and
// pushes the result.
[[nodiscard]] uint32_t eval_value(const Cell& value);

// The next expression of the block from its head, in a frame of its own
// named `<body>`: the value becomes the caller's first cell and `next` the
// index after it (the block's own head and unset for an empty block).
[[nodiscard]] uint32_t eval_next(const Cell& block, int32_t& next);

// Runs the function! already in the current argument frame (arguments,
// refinements and locals pushed), the frame open: its result is the frame's
// first cell. Return and exit end here.
[[nodiscard]] uint32_t eval_function(const Cell& fn);

// Evaluates a path (path!, get-path! or set-path! in `code` at index - 1 is
// the path cell given) and pushes the result; for a set-path the value to
// assign is the caller's first cell. index moves past what a called
// function took from the code. With case_sensitive (get/case, set/case)
// every element selects with case-sensitive matching.
[[nodiscard]] uint32_t eval_path(const Cell& path, const Cell& code, int32_t& index, bool get, bool set,
                                 bool case_sensitive = false);

// Calls a native!, action!, function! or routine! value with arguments taken
// from the code at index (none when code is null) and refinements from the
// path elements after path_index (path null: none). The result is pushed in
// place of a copy of the callee it pushes first, or, with infix, in place of
// the left operand that is the stack's last value. `name` names the frame.
[[nodiscard]] uint32_t eval_call(const Cell& fn, const Cell* code, int32_t& index, const Cell& name, const Cell* path,
                                 int32_t path_index, bool infix);

// The value of a caught error, for `try`.
Cell caught_error();

// Callbacks of the runtime by their tracing bit, in the bit order of
// system/state/callbacks/bits: while a traced evaluation runs, a callback
// whose bit is set (in that field, read at each callback, or by
// set_callback_bits) sends call and return events; the others run
// untraced. No bit is set at start-up.
enum CallbackBit : uint32_t {
    CALLBACK_LEXER = 1,
    CALLBACK_PARSE = 2,
    CALLBACK_SORT = 4,
    CALLBACK_CHANGE = 8,
    CALLBACK_DEEP_CHANGE = 16,
    CALLBACK_PORT = 32,
};
void set_callback_bits(uint32_t bits);

// Runs a function, native, action or routine with `count` argument values
// (missing ones are none, refinements are off) in a frame named by `name`,
// and answers its result. The values must stay put and reachable for the
// call. A break, continue, return or exit that leaves the function is
// thrown on as an exception (`Thrown`) of its code.
Cell call_function(const Cell& fn, const Cell* args, int32_t count, const Cell& name);

// call_function for a port's actor: a runtime callback of bit CALLBACK_PORT.
Cell call_port_actor(const Cell& fn, const Cell* args, int32_t count, const Cell& name);

}  // namespace kel::interpreter
