// The tracer: a function (or routine) that receives the interpreter's
// events while a traced evaluation runs. It is called with six arguments:
// the event word, the code block and the offset in it (none and -1 without
// code), the value, the reference (for set, prolog, epilog, return and call)
// and a pair! of the argument frame's and the stack top's indexes. Events
// are not sent while the tracer runs; a tracer that raises or throws ends
// the stream (tracing stays off).
#include "runtime/evaluator/trace.h"

#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"

namespace kel::interpreter::trace {

namespace {

constexpr const char* EVENT_NAMES[] = {"init",  "end",  "prolog", "epilog", "enter", "exit",  "open",  "return",
                                       "fetch", "push", "set",    "call",   "error", "throw", "catch", "expr"};
constexpr int EVENT_COUNT = 16;

int32_t event_symbol(int i) {
    static int32_t symbols[EVENT_COUNT] = {};
    if (!symbols[i]) symbols[i] = symbol::make(EVENT_NAMES[i]);
    return symbols[i];
}

int bit_index(uint32_t bit) { return __builtin_ctz(bit); }

bool has_reference(uint32_t bit) { return bit & (SET | EPILOG | PROLOG | RETURN | CALL); }

// Puts the tracing flag and both stacks' tops back after the tracer ran.
struct AroundTracer {
    Cell* top = stack::state.top;
    Cell* arguments = stack::state.arguments;
    uint32_t frames = stack::calls.top;
    ~AroundTracer() {
        stack::state.top = top;
        stack::state.arguments = arguments;
        if (stack::calls.top > frames) stack::drop_frames(frames);
    }
};

}  // namespace

uint32_t mask_of(const Cell& tracer) {
    if (type_of(tracer) != TYPE_FUNCTION) return ALL_EVENTS;
    Cell body = memory::buffer_of(tracer.data3)->cells()[0];
    if (type_of(body) != TYPE_BLOCK || block::ks_length(body) <= 0) return ALL_EVENTS;
    Cell first = *block::ks_abs_at(body, int32_t(body.data1));
    if (type_of(first) != TYPE_BLOCK) return ALL_EVENTS;
    uint32_t mask = 0;
    int32_t n = block::ks_length(first);
    for (int32_t k = 0; k < n; ++k) {
        Cell w = *block::ks_abs_at(first, int32_t(first.data1) + k);
        if (type_of(w) != TYPE_WORD) continue;
        int32_t s = symbol::resolve(int32_t(w.data2));
        for (int i = 0; i < EVENT_COUNT; ++i)
            if (symbol::resolve(event_symbol(i)) == s) mask |= 1u << i;
    }
    return mask;
}

void install(const Cell& tracer) {
    if (state.trace) return;
    state.tracer = tracer;
    state.trace_mask = mask_of(tracer);
    state.trace = true;
    state.tracing = true;
    event(INIT, nullptr, -1, nullptr, nullptr);
}

void finish() {
    if (state.tracing) event(END, nullptr, -1, nullptr, nullptr);
    state.tracing = false;
    state.trace = false;
    state.tracer = make_unset();
}

void event(uint32_t bit, const Cell* code, int32_t index, const Cell* reference, const Cell* value) {
    if (!(state.trace_mask & bit) || !state.tracing) return;
    AroundTracer around;
    Cell args[6];
    args[0] = word::make(event_symbol(bit_index(bit)));
    args[1] = none_value;
    args[2] = make_integer(-1);
    if (code) {
        int32_t head = int32_t(code->data1);
        int32_t tail = code_tail(cell_node(*code));
        args[1] = *code;
        args[1].header = type_of(*code);
        args[2] = make_integer(index >= head && index <= tail ? index - head : -1);
    }
    args[3] = value && type_of(*value) ? *value : none_value;
    args[4] = reference && has_reference(bit) ? *reference : none_value;
    args[5] = Cell{TYPE_PAIR, 0, stack::index_of(around.arguments), stack::index_of(around.top)};
    // The value just produced stays below what the tracer pushes.
    if (value != stack::state.top) *stack::state.top = none_value;
    ++stack::state.top;
    Cell* kept = stack::state.top;
    for (const Cell& a : args) stack::push(a);
    state.tracing = false;
    try {
        call_function(state.tracer, kept, 6, words::word(words::Word::interp_callback));
    } catch (...) {
        // The stream ends: nothing turns tracing on again.
        state.trace = false;
        throw;
    }
    state.tracing = true;
}

}  // namespace kel::interpreter::trace
