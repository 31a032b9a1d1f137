// The interpreter's state and start-up, the record of where an error was
// raised, and the runner through which C++ code calls a Kel function.
#include "runtime/evaluator/interpreter.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/system-fields.h"

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/evaluator/arity-cache.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/callbacks.h"
#include "runtime/evaluator/callee-frame.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/exits.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/raised.h"
#include "runtime/evaluator/trace.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/roots.h"

namespace kel::interpreter {

Raised raised;

namespace {

void mark_state() {
    for (const Cell* c : {&state.current_block, &state.exit_value, &state.thrown_value, &state.thrown_name,
                          &state.tracer, &raised.where, &raised.near})
        collector::mark_value(*c);
}

// Records where the error in flight was raised, before anything unwinds:
// the innermost named call, the expression being evaluated and the call
// stack's height. The error itself gets its where (when it has none) and
// the height as its stack (unless that already holds the captured calls);
// its near stays the one it was made with, so an error raised again (by
// `do`, or passed on by a script run) still shows where it was made.
void on_raise() {
    raised.where = stack::current_call_word();
    raised.near = state.current_block;
    raised.stack = stack::calls.top;
    stack::calls.kept = stack::calls.top;
    const Cell& error = error_in_flight().value;
    if (type_of(error) == TYPE_ERROR) {
        // Outside any named call the report says "???".
        if (raised.where.data2 != words::word(words::Word::not_found).data2) error::set_where(error, raised.where);
        if (raised.stack > 0 && type_of(error::field(error, error::STACK)) != TYPE_BLOCK)
            error::set_field(error, error::STACK, make_integer(int32_t(raised.stack)));
    }
    if (state.tracing) [[unlikely]] {
        Cell error = caught_error();
        trace::event(trace::ERROR, nullptr, -1, nullptr, &error);
    }
}

uint32_t callback_bits = 0;

// The bits a script set in system/state/callbacks/bits, with those set from
// C++.
uint32_t traced_callbacks() {
    static const int32_t state_sym = symbol::make("state"), callbacks = symbol::make("callbacks"),
                         bits_sym = symbol::make("bits");
    Cell bits = system_fields::get({state_sym, callbacks, bits_sym});
    return callback_bits | (type_of(bits) == TYPE_INTEGER ? bits.data2 : 0u);
}

// Runs a callback of the runtime. While a traced evaluation runs, a callback
// whose bit is in the callback bits sends call and return (no code, its
// frame's name as reference); any other runs with tracing suspended.
template <class Run>
Cell run_traced(uint32_t bit, const Cell& fn, const Cell& name, Run&& run) {
    if (!state.tracing) [[likely]]
        return run();
    if (!(traced_callbacks() & bit)) {
        struct Suspended {
            Suspended() { state.tracing = false; }
            ~Suspended() { state.tracing = true; }
        } suspended;
        return run();
    }
    Cell callee = fn;
    Rooted keep(callee);
    trace::event(trace::CALL, nullptr, -1, &name, &callee);
    Cell result = run();
    Rooted keep_result(result);
    trace::event(trace::RETURN, nullptr, -1, &name, &result);
    return result;
}

// The callback seam of the series modules: a sort comparator runs in a
// frame named `<compare-callback>`; a lexer callback through the seam in one
// named `<lexer-callback>`.
Cell run_callback(const Cell& fn, std::span<const Cell> args, callbacks::Callback kind) {
    bool lexer = kind == callbacks::Callback::lexer;
    const Cell& name = words::word(lexer ? words::Word::lexer_callback : words::Word::compare_callback);
    return run_traced(lexer ? CALLBACK_LEXER : CALLBACK_SORT, fn, name,
                      [&] { return call_function(fn, args.data(), int32_t(args.size()), name); });
}

// The number of arguments a function's or routine's spec takes before its
// first refinement.
int32_t argument_count(const Cell& fn) {
    NodeId cache = arity_cache(fn);
    int32_t n = 0;
    while (type_of(*code_at(cache, n)) == TYPE_TYPESET) ++n;
    return n;
}

// The lexer's runner: the callback (a function! or routine!) runs with its
// five arguments and its /local group in a frame named `<lexer-callback>`;
// the input argument as the callback left it (the same series, moved) is
// written back into args[1], so that a moved index moves the scan. A
// callback that takes no input argument, or leaves another value in it,
// moves nothing.
Cell run_lexer_callback(const Cell& callback, std::span<Cell> args) {
    Cell fn = callback;
    uint32_t t = type_of(fn);
    if (t != TYPE_FUNCTION && t != TYPE_ROUTINE) fire(ErrorId::script_invalid_arg, {fn});
    const Cell& name = words::word(words::Word::lexer_callback);
    return run_traced(CALLBACK_LEXER, fn, name, [&] {
        CalleeFrame call(fn, name, Opener::RUNTIME);
        Refinements refinements;
        throw_status(call_with_values(fn, args.data(), int32_t(args.size()), refinements));
        // The frame's cells after its result are the arguments as the
        // callback left them.
        const Cell& input = stack::state.arguments[1];
        if (args.size() > 1 && argument_count(fn) > 1 && type_of(input) == type_of(args[1]) &&
            input.data2 == args[1].data2)
            args[1].data1 = input.data1;
        return call.take();
    });
}

// Calls fn with the values in a runtime-opened frame; `checked` tests them
// against the spec's types. A break, continue, return or exit that left the
// function crosses C++ that knows no statuses as an exception.
Cell call_values(const Cell& fn, const Cell* args, int32_t count, const Cell& name, bool checked) {
    CalleeFrame call(fn, name, Opener::RUNTIME);
    Refinements refinements;
    throw_status(call_with_values(fn, args, count, refinements, checked));
    return call.take();
}

// Object construction evaluates its spec block; a break or return that
// leaves it crosses the object module as an exception.
void evaluate_spec(const Cell& block) {
    Cell* top = stack::state.top;
    throw_status(eval(block, false));
    stack::state.top = top;
}

// Change handlers (tracing bit 8, 16 for deep changes): the values are
// handed over unchecked, as the runtime has them (the old value of a field
// new in a derived object is unset); the result is dropped.
void call_handler(const Cell& handler, const Cell* args, int count, int32_t, uint32_t bit) {
    Cell* top = stack::state.top;
    const Cell& name = words::word(words::Word::on_change_s);
    run_traced(bit, handler, name, [&] { return call_values(handler, args, count, name, false); });
    stack::state.top = top;
}

}  // namespace

void init() {
    state = State{};
    state.current_block = make_unset();
    state.exit_value = make_unset();
    state.thrown_value = make_unset();
    state.thrown_name = make_unset();
    state.tracer = make_unset();
    raised = Raised{};
    collector::root_steps.current_block = mark_state;
    install_raise_hook(on_raise);
    callbacks::install(run_callback);
    lexer::install_callback_runner(run_lexer_callback);
    callback_bits = 0;
    object::evaluator_services().evaluate = evaluate_spec;
    object::evaluator_services().call_handler = call_handler;
    object::evaluator_services().position = []() -> const Cell& { return state.current_block; };
}

Cell caught_error() { return error_in_flight().value; }

void set_callback_bits(uint32_t bits) { callback_bits = bits; }

Cell call_function(const Cell& fn_cell, const Cell* args, int32_t count, const Cell& name) {
    Cell fn = fn_cell;
    uint32_t t = type_of(fn);
    if (t != TYPE_FUNCTION && t != TYPE_NATIVE && t != TYPE_ACTION && t != TYPE_ROUTINE)
        fire(ErrorId::script_invalid_arg, {fn});
    return call_values(fn, args, count, name, true);
}

Cell call_port_actor(const Cell& fn, const Cell* args, int32_t count, const Cell& name) {
    return run_traced(CALLBACK_PORT, fn, name, [&] { return call_function(fn, args, count, name); });
}

}  // namespace kel::interpreter
