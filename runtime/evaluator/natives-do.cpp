#include "runtime/evaluator/natives-do.h"

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/native-frame.h"
#include "runtime/evaluator/native-services.h"
#include "runtime/evaluator/trace.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"

namespace kel::natives::do_native {

namespace {

using interpreter::state;

using frame::args;
using frame::used;

enum Refinement { EXPAND, ARGS, NEXT, TRACE };

// Evaluates the block in a[0]'s place; with next_word, one expression, and
// the word is set to the block at the position after it. The block of a
// do/trace that starts a trace is the traced code even when a library
// function (trace, profile, debug) called do: it runs as script code, so
// its own events are sent.
uint32_t do_block(Cell* a, bool expand, const Cell* next_word, bool traced_run) {
    Cell block = a[0];
    int32_t length = interpreter::code_tail(cell_node(block));
    if (int32_t(block.data1) > length) block.data1 = uint32_t(length);
    a[0] = block;
    if (expand) {
        // The service runs the preprocessor's `expand` in a function frame
        // of that name, above this native frame.
        stack::OpenFrame anon(words::word(words::Word::anon), stack::KIND_NATIVE);
        need(services().expand)(a[0]);
        anon.reset();
    }
    if (!next_word) {
        stack::state.top = a + 1;
        if (!traced_run) return interpreter::eval(block, true);
        interpreter::FramesMarked script_code(stack::FRAME_INTERP);
        return interpreter::eval_block(block, true, false);
    }
    Cell word = *next_word;
    stack::state.top = a + 1;
    Cell* kept = stack::push(block);
    int32_t next = 0;
    if (uint32_t s = interpreter::eval_next(*kept, next)) return s;
    Cell position = *kept;
    position.data1 = uint32_t(next);
    context::set(word, position);
    stack::state.top = a + 1;
    return 0;
}

// Evaluates the value in a[0] by its type; its result is left in a[0].
uint32_t evaluate(Cell* a, const int32_t* r, bool traced_run) {
    const Cell* next_word = used(r, NEXT) ? &a[r[NEXT]] : nullptr;
    switch (type_of(a[0])) {
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH:
        return do_block(a, used(r, EXPAND), next_word, traced_run);
    case TYPE_STRING: {
        Cell* loaded = stack::push(make_none());
        lexer::scan_string(loaded, a[0], -1, lexer::Options{});
        a[0] = *loaded;
        return do_block(a, used(r, EXPAND), next_word, traced_run);
    }
    case TYPE_PATH: {
        // A function the path names takes no arguments: the code ends there.
        Cell* path = stack::push(a[0]);
        int32_t end = interpreter::code_tail(cell_node(*path));
        if (uint32_t s = interpreter::eval_path(*path, *path, end, false, false)) return s;
        a[0] = *(stack::state.top - 1);
        stack::state.top = a + 1;
        return 0;
    }
    case TYPE_FILE:
    case TYPE_URL: {
        Cell* out = stack::push(make_none());
        need(services().do_file)(out, a[0], used(r, ARGS) ? a[r[ARGS]] : none_value);
        a[0] = *out;
        stack::state.top = a + 1;
        return 0;
    }
    case TYPE_ERROR:
        return 0;
    default: {
        if (uint32_t s = interpreter::eval_value(a[0])) return s;
        a[0] = *(stack::state.top - 1);
        stack::state.top = a + 1;
        return 0;
    }
    }
}

// The tracing state a do/trace set up, taken down again by `end`.
struct TraceRun {
    uint32_t caller = 0;  // the frame below do's own
    bool marked = false;  // do marked it as a return target
    bool started = false;  // do started the trace

    void begin(const Cell& callback) {
        uint32_t own = stack::calls.top - 1;
        if (own > 0 && !(stack::calls.frames[own - 1].kind & stack::FRAME_RETURN_TARGET)) {
            caller = own - 1;
            stack::calls.frames[caller].kind |= stack::FRAME_RETURN_TARGET;
            marked = true;
        }
        if (state.trace) return;  // a nested request runs under the outer tracer
        state.tracer_locals = type_of(callback) == TYPE_FUNCTION ? function::count_locals(callback.data2, 0, false) : 0;
        started = true;
        interpreter::trace::install(callback);
    }

    // Removes the mark and ends the trace: the end event, then the tracer
    // cell and both flags cleared on every road. With an error or throw
    // pending, that one leaves: what the tracer raises meanwhile is dropped.
    void end(bool pending) {
        if (marked) {
            stack::calls.frames[caller].kind &= ~stack::FRAME_RETURN_TARGET;
            marked = false;
        }
        if (!started) return;
        started = false;
        struct Clear {
            ~Clear() {
                state.tracing = false;
                state.trace = false;
                state.tracer = make_unset();
            }
        } clear;
        if (!pending) {
            if (state.tracing) interpreter::trace::event(interpreter::trace::END, nullptr, -1, nullptr, nullptr);
            return;
        }
        ErrorInFlight saved = error_in_flight();
        Rooted keep_value(saved.value);
        Rooted keep_1(saved.args[0]), keep_2(saved.args[1]), keep_3(saved.args[2]);
        Cell thrown_value = state.thrown_value, thrown_name = state.thrown_name, exit_value = state.exit_value;
        Rooted keep_4(thrown_value), keep_5(thrown_name), keep_6(exit_value);
        uint32_t code = sys.thrown;
        if (state.tracing) {
            uint32_t tracer_code = protect(catch_level::ROOT, [] {
                interpreter::trace::event(interpreter::trace::END, nullptr, -1, nullptr, nullptr);
            });
            (void)tracer_code;
        }
        restore_error_in_flight(saved);
        state.thrown_value = thrown_value;
        state.thrown_name = thrown_name;
        state.exit_value = exit_value;
        sys.thrown = code;
    }
};

// do (value, /expand, /args arg, /next position, /trace callback).
uint32_t do_native_fn(bool, const int32_t* r) {
    Cell* a = args();
    bool raise_value = type_of(a[0]) == TYPE_ERROR;
    TraceRun trace;
    uint32_t status = 0;
    try {
        if (used(r, TRACE)) trace.begin(a[r[TRACE]]);
        // The position word must have a slot before anything runs.
        if (used(r, NEXT)) (void)context::get(a[r[NEXT]]);
        status = evaluate(a, r, trace.started);
    } catch (const Thrown&) {
        trace.end(true);
        throw;
    }
    bool rethrow_return = trace.started || trace.marked;
    Cell exit_value = state.exit_value;
    Rooted keep(exit_value);
    trace.end(false);
    // The tracer ran Kel code: the value of a break or return in flight is
    // put back.
    state.exit_value = exit_value;
    // An error! value is raised once the trace is cleaned up.
    if (raise_value) fire_value(a[0], error::id_of(a[0]));
    // The caller's mark is gone: a return goes on only when a real target
    // lies below.
    if (rethrow_return && (status == thrown::RETURN || status == thrown::EXIT)) stack::find_return_target();
    return status;
}

}  // namespace

void register_natives(Entry* table) {
    table[DO] = {do_native_fn, "do",
                 R"~("Evaluates a value, returning the last evaluation result"
                    value [any-type!]
                    /expand "Expand directives before evaluation"
                    /args "If value is a script, this will set its system/script/args"
                    arg "Args passed to a script (normally a string)"
                    /next "Do next expression only, return it, update block word"
                    position [word!] "Word updated with new block position"
                    /trace
                    callback [function! [event [word!] code [any-block! none!] offset [integer!] value [any-type!] ref [any-type!] frame [pair!]]])~"};
}

}  // namespace kel::natives::do_native
