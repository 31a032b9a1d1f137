#include "runtime/evaluator/call-stack.h"

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"

namespace kel::stack {

CallStack calls;

namespace {

int32_t body_symbol = 0;  // canonical ids of `<body>` and `<anon>`
int32_t anon_symbol = 0;

void mark_frames() {
    uint32_t end = calls.top > calls.kept ? calls.top : calls.kept;
    for (uint32_t i = 0; i < end; ++i) {
        const CallFrame& f = calls.frames[i];
        if (f.word_context) collector::mark_context(f.word_context);
        if (f.function_context) collector::mark_context(f.function_context);
    }
}

// The first cell of frame i's own argument frame.
uint32_t own_arguments(uint32_t i) {
    return i + 1 < calls.top ? calls.frames[i + 1].saved_arguments : index_of(state.arguments);
}

void restore_values(const CallFrame& f) {
    if (f.function_context) context::cell_of(f.function_context)->data2 = f.saved_values;
}

// The word of a symbol in a context: bound to it when the context has the
// symbol (and answers it), else an unbound word.
Cell word_in(NodeId ctx, uint32_t symbol) {
    if (ctx) {
        int32_t index = context::find_word(ctx, int32_t(symbol), true);
        if (index >= 0) return Cell{TYPE_WORD, ctx, symbol, uint32_t(index)};
    }
    return Cell{TYPE_WORD, 0, symbol, context::NO_INDEX};
}

// The value of a symbol in a context, unset when the context lacks it or
// has no values now (a function context outside its call).
Cell value_in(NodeId ctx, uint32_t symbol) {
    if (!ctx) ctx = context::global();
    int32_t index = context::find_word(ctx, int32_t(symbol), true);
    if (index < 0 || !context::cell_of(ctx)->data2) return make_unset();
    return *context::get_in(Cell{TYPE_WORD, ctx, symbol, uint32_t(index)}, ctx);
}

// At level 1 a frame is listed when its word names a function, or an op
// over one (`//` over `modulo`): the call ran a function either way.
bool listed(uint32_t i, int32_t level) {
    if (is_anonymous(i)) return false;
    if (level > 1) return true;
    const CallFrame& f = calls.frames[i];
    Cell v = value_in(f.word_context, f.symbol);
    return type_of(v) == TYPE_FUNCTION || (type_of(v) == TYPE_OP && native::wrapped_type(v) == TYPE_FUNCTION);
}

}  // namespace

namespace detail {
uint32_t anon_symbol = 0;
void frame_out_of_order() { internal_fault(); }
}  // namespace detail

void init_calls() {
    calls.top = 0;
    calls.limit = FRAME_COUNT - FRAME_RESERVE;
    calls.saved_throw_frame = FRAME_COUNT;
    calls.kept = 0;
    body_symbol = symbol::resolve(int32_t(words::word(words::Word::body).data2));
    detail::anon_symbol = words::word(words::Word::anon).data2;
    anon_symbol = symbol::resolve(int32_t(detail::anon_symbol));
    collector::root_steps.call_stack = mark_frames;
}

void raise_overflow() {
    // The reserve is already open: the error path itself ran out.
    if (calls.limit == FRAME_COUNT || state.limit == state.end) internal_fault();
    struct Reserve {
        Reserve() {
            calls.limit = FRAME_COUNT;
            state.limit = state.end;
        }
        ~Reserve() {
            calls.limit = FRAME_COUNT - FRAME_RESERVE;
            state.limit = state.end - CELL_RESERVE;
        }
    } open;
    cycle_guard::reset();
    fire(ErrorId::internal_stack_overflow);
}

void drop_frames(uint32_t index) {
    if (index >= calls.top) return;
    uint32_t own = own_arguments(index);
    for (uint32_t j = calls.top; j-- > index;) restore_values(calls.frames[j]);
    calls.top = index;
    state.top = state.bottom + own;
    state.arguments = state.bottom + calls.frames[index].saved_arguments;
}

uint32_t find_loop(bool for_continue) {
    ErrorId error = for_continue ? ErrorId::throw_continue : ErrorId::throw_break;
    for (uint32_t i = calls.top > 0 ? calls.top - 1 : 0; i-- > 0;) {
        uint32_t k = kind_of(calls.frames[i]);
        if (k == KIND_TRY_ALL) fire(error);
        if (k == KIND_LOOP) return i;
    }
    fire(error);
}

uint32_t find_return_target() {
    for (uint32_t i = calls.top > 0 ? calls.top - 1 : 0; i-- > 0;) {
        const CallFrame& f = calls.frames[i];
        if (kind_of(f) == KIND_TRY_ALL) fire(ErrorId::throw_return);
        if (f.kind & FRAME_RETURN_TARGET) return i;
    }
    fire(ErrorId::throw_return);
}

uint32_t find_catch(const Cell& value) {
    uint32_t saved = calls.saved_throw_frame;
    if (saved == FRAME_COUNT) calls.saved_throw_frame = calls.top;
    for (uint32_t i = calls.top > 0 ? calls.top - 1 : 0; i-- > 0;) {
        uint32_t k = kind_of(calls.frames[i]);
        if (k == KIND_TRY_ALL) break;
        if (k == KIND_CATCH) {
            calls.saved_throw_frame = saved;
            return i;
        }
    }
    // The error describes the place of the throw: the where-lookup starts
    // at the frame recorded above.
    fire(ErrorId::throw_throw, {value});
}

bool eval_below(uint32_t from, bool one_only) {
    uint32_t i = from >= FRAME_COUNT ? calls.top : from;
    while (i > 0) {
        --i;
        if (calls.frames[i].kind & FRAME_INTERP) return true;
        if (one_only) return false;
    }
    return false;
}

bool is_anonymous(uint32_t i) {
    int32_t s = symbol::resolve(int32_t(calls.frames[i].symbol));
    return s == body_symbol || s == anon_symbol;
}

Cell frame_word(uint32_t i) {
    const CallFrame& f = calls.frames[i];
    return word_in(f.word_context, f.symbol);
}

Cell current_call_word() {
    uint32_t i = calls.saved_throw_frame < FRAME_COUNT ? calls.saved_throw_frame : calls.top;
    if (i > calls.top) i = calls.top;
    calls.saved_throw_frame = FRAME_COUNT;
    while (i > 0) {
        --i;
        if (!is_anonymous(i)) return frame_word(i);
    }
    return words::word(words::Word::not_found);
}

Cell call_arg_word(int32_t n) {
    for (uint32_t i = calls.top; i-- > 0;) {
        if (is_anonymous(i)) continue;
        const CallFrame& f = calls.frames[i];
        Cell fn = value_in(f.word_context, f.symbol);
        uint32_t t = type_of(fn);
        if (t != TYPE_NATIVE && t != TYPE_ACTION && t != TYPE_OP && t != TYPE_FUNCTION && t != TYPE_ROUTINE) break;
        // Refinements count as the spec's words, so that the arguments of
        // refinements are reached too (copy/types: `kind`, the sixth).
        SeriesBuffer* spec = memory::buffer_of(fn.data2);
        for (const Cell* c = spec->cells(); c < spec->cells_tail(); ++c) {
            uint32_t ct = type_of(*c);
            if ((ct == TYPE_WORD || ct == TYPE_LIT_WORD || ct == TYPE_GET_WORD || ct == TYPE_REFINEMENT) && --n == 0)
                return Cell{TYPE_WORD, 0, c->data2, context::NO_INDEX};
        }
        break;
    }
    return words::word(words::Word::anon);
}

void collect_calls(const Cell& block) {
    Cell target = block;
    Rooted keep(target);
    for (uint32_t i = calls.top; i-- > 1;) {
        if (is_anonymous(i)) continue;
        const CallFrame& f = calls.frames[i];
        // The frame's own context when it has the name (a local), else the
        // global word: the name of a function is rarely one of its locals.
        Cell word = word_in(f.function_context, f.symbol);
        if (word.data1 == 0) word = word_in(context::global(), f.symbol);
        block::append_cell(target, word);
        block::append_cell(target, make_integer(int32_t(f.saved_arguments)));
    }
}

void collect_call_words(int32_t level, const Cell& block, uint32_t end) {
    Cell target = block;
    Rooted keep(target);
    if (end > FRAME_COUNT) end = FRAME_COUNT;
    for (uint32_t i = 0; i < end; ++i) {
        if (!listed(i, level)) continue;
        block::append_cell(target, Cell{TYPE_WORD, 0, calls.frames[i].symbol, context::NO_INDEX});
    }
}

int64_t form_calls(int32_t level, uint32_t end, const Cell& string, int64_t budget) {
    Cell target = string;
    Rooted keep(target);
    if (end > FRAME_COUNT) end = FRAME_COUNT;
    for (uint32_t i = 0; i < end; ++i) {
        if (!listed(i, level)) continue;
        budget = actions::form(Cell{TYPE_WORD, 0, calls.frames[i].symbol, context::NO_INDEX}, target, true, budget);
        string::append_c_string(target, " ");
        budget -= 1;
    }
    return budget;
}

}  // namespace kel::stack
