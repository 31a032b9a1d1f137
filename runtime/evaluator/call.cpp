// Calls: argument fetching with refinements from code and paths (through
// the callee's arity cache, arity-cache.h), each call in its callee frame
// (callee-frame.h), and running natives, actions, routines and functions.
#include <array>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/argument-checks.h"
#include "runtime/evaluator/arity-cache.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/callee-frame.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/exits.h"
#include "runtime/evaluator/fast-ops.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/library-code.h"
#include "runtime/evaluator/natives-control.h"
#include "runtime/evaluator/natives.h"
#include "runtime/evaluator/routines.h"
#include "runtime/evaluator/trace.h"
#include "runtime/memory/roots.h"

namespace kel::interpreter {

namespace {

// The refinements of a call that uses none.
constexpr std::array<int32_t, MAX_REFINEMENTS> NO_REFINEMENTS = [] {
    std::array<int32_t, MAX_REFINEMENTS> r{};
    for (int32_t& x : r) x = -1;
    return r;
}();

struct Fetch {
    const Cell& fn;
    const Cell* code;
    int32_t& index;
    const Cell& name;
    bool infix;

    // Fetches one argument of the entry's kind onto the stack.
    uint32_t argument(const Cell& entry, int32_t k) {
        NodeId node = code ? code->data2 : 0;
        if (!code || index >= code_tail(node)) {
            // A quoted argument that allows unset gets it at the end.
            if (arg_kind(entry) == ARG_LIT && typeset::has(entry, TYPE_UNSET)) {
                stack::push(unset_value);
                return 0;
            }
            fire(ErrorId::script_no_arg, {call_name(name), spec_word(fn, k)});
        }
        switch (arg_kind(entry)) {
        case ARG_NORMAL:
            return next_expression(*code, index, infix, false);
        case ARG_GET:
            stack::push(*code_at(node, index++));
            return 0;
        default: {
            Cell v = *code_at(node, index++);
            switch (type_of(v)) {
            case TYPE_PAREN:
                return eval(v, false);
            case TYPE_GET_WORD:
                stack::push(*context::get(v));
                return 0;
            case TYPE_GET_PATH: {
                return eval_path(v, *code, index, true, false);
            }
            default:
                stack::push(v);
                return 0;
            }
        }
        }
    }

    void check(const Cell& entry, const Cell& value, int32_t k) {
        if (!typeset::has(entry, type_of(value))) [[unlikely]]
            fire(ErrorId::script_expect_arg, {call_name(name), datatype::make(type_of(value)), spec_word(fn, k)});
    }
};

// Walks the arity cache once: `argument` takes each argument of the call
// (not of an unused refinement) onto the stack and answers a status; a
// function or routine gets none for the arguments of unused refinements and
// false for each refinement, a native -1. Answers the status and the size
// of the local group in *locals.
template <class Argument>
uint32_t first_pass(const Cell& fn, NodeId cache, int32_t* refinements, int32_t* locals, Argument&& argument) {
    bool cells_for_refinements = takes_refinement_cells(type_of(fn));
    bool active = true;
    int32_t n = code_tail(cache);
    int32_t k = 0;  // entries counted (argument and refinement)
    for (int32_t e = 0; e < n; ++e) {
        Cell entry = *code_at(cache, e);
        switch (type_of(entry)) {
        case TYPE_TYPESET:
            if (active) {
                if (uint32_t s = argument(entry, k)) return s;
            } else if (cells_for_refinements) {
                stack::push(none_value);
            }
            ++k;
            break;
        case TYPE_REFINEMENT:
            if (cells_for_refinements)
                stack::push(logic::make_cell(false));
            else
                refinements[entry.data3 - 1] = -1;
            active = false;
            ++k;
            break;
        case TYPE_INTEGER:
            if (e == n - 2) *locals = cell_integer(entry);
            break;
        default:
            break;
        }
    }
    return 0;
}

// Fetches the arguments of a call whose frame is open (the left operand of
// an infix call already in its first cell) and sets the refinements; for a
// function! or routine! pushes the locals.
uint32_t fetch_args(const Cell& fn, const Cell* code, int32_t& index, const Cell& name, const Cell* path,
                    int32_t path_index, bool infix, int32_t* refinements) {
    Fetch fetch{fn, code, index, name, infix};
    NodeId cache = arity_cache(fn);
    int32_t n = code_tail(cache);
    // The common call: no refinements in the spec, none in a path, not
    // infix. Every entry before the two counts is then an argument.
    if (!path && !infix && cell_integer(*code_at(cache, n - 1)) == 0) [[likely]] {
        for (int32_t e = 0; e < n - 2; ++e) {
            Cell entry = *code_at(cache, e);
            if (uint32_t status = fetch.argument(entry, e)) return status;
            fetch.check(entry, *(stack::state.top - 1), e);
        }
        int32_t locals = cell_integer(*code_at(cache, n - 2));
        if (locals > 0) function::push_locals(locals);
        return 0;
    }
    bool first = true;
    int32_t locals = 0;
    uint32_t s = first_pass(fn, cache, refinements, &locals, [&](const Cell& entry, int32_t k) -> uint32_t {
        if (!(infix && first)) {
            if (uint32_t status = fetch.argument(entry, k)) return status;
        }
        first = false;
        fetch.check(entry, *(stack::state.top - 1), k);
        return 0;
    });
    if (s) return s;
    if (path) {
        Cell p = *path;
        int32_t length = code_tail(cell_node(p));
        for (int32_t at = path_index + 1; at < length; ++at) {
            Cell element = *code_at(cell_node(p), at);
            bool truth;
            if (type_of(element) == TYPE_WORD)
                truth = true;
            else if (type_of(element) == TYPE_GET_WORD)
                truth = !logic::is_false(*context::get(element));
            else
                fire(ErrorId::script_bad_refine, {element});
            int32_t place = set_refinement(fn, cache, element, truth, refinements, name, p);
            int32_t arg = 0;
            for (int32_t e = place + 1; e < n; ++e) {
                Cell entry = *code_at(cache, e);
                if (type_of(entry) != TYPE_TYPESET) break;
                ++arg;
                if (uint32_t s = fetch.argument(entry, place + arg)) return s;
                if (truth) fetch.check(entry, *(stack::state.top - 1), place + arg);
                place_refinement_argument(fn, place, arg, truth);
            }
        }
    }
    if (locals > 0) function::push_locals(locals);
    return 0;
}

// The cells of a function's or routine's unused refinements, entries
// `from` to `to` of its cache: false for each refinement, none for each of
// their arguments.
void push_unused_refinements(NodeId cache, int32_t from, int32_t to) {
    for (int32_t e = from; e < to; ++e)
        stack::push(type_of(*code_at(cache, e)) == TYPE_REFINEMENT ? logic::make_cell(false) : none_value);
}

// The index of the first refinement among the cache's entries (there is
// one).
int32_t first_refinement(NodeId cache) {
    int32_t e = 0;
    while (type_of(*code_at(cache, e)) == TYPE_TYPESET) ++e;
    return e;
}

// Runs the callee whose frame is open and whose arguments are pushed.
uint32_t run(const Cell& fn, const int32_t* refinements) {
    switch (type_of(fn)) {
    case TYPE_NATIVE:
        return natives::call(int32_t(fn.data1), false, refinements);
    case TYPE_ACTION: {
        actions::StackForm form = actions::stack_form(int32_t(fn.data1));
        if (!form) fire(ErrorId::internal_not_done);
        form(refinements);
        return 0;
    }
    case TYPE_ROUTINE:
        routines::exec(fn);
        return 0;
    default:
        return eval_function(fn);
    }
}

}  // namespace

uint32_t call_with_values(const Cell& fn, const Cell* values, int32_t count, int32_t* refinements, bool checked) {
    NodeId cache = arity_cache(fn);
    int32_t taken = 0, locals = 0;
    (void)first_pass(fn, cache, refinements, &locals, [&](const Cell& entry, int32_t k) -> uint32_t {
        Cell v = taken < count ? values[taken++] : none_value;
        if (checked && !typeset::has(entry, type_of(v)))
            fire(ErrorId::script_expect_arg,
                 {stack::current_call_word(), datatype::make(type_of(v)), spec_word(fn, k)});
        stack::push(v);
        return 0;
    });
    if (locals > 0) function::push_locals(locals);
    return run(fn, refinements);
}

uint32_t call_operands(const Cell& fn, const Cell& name, Cell* left) {
    CalleeFrame call(left, fn, name);
    stack::state.top = left + 2;
    NodeId cache = arity_cache(fn);
    int32_t n = code_tail(cache);
    int32_t k = 0, locals = 0;
    for (int32_t e = 0; e < n; ++e) {
        Cell entry = *code_at(cache, e);
        if (type_of(entry) == TYPE_TYPESET && k < 2) {
            const Cell& value = left[k];
            if (!typeset::has(entry, type_of(value)))
                fire(ErrorId::script_expect_arg, {call_name(name), datatype::make(type_of(value)), spec_word(fn, k)});
            ++k;
        } else if (type_of(entry) == TYPE_INTEGER && e == n - 2) {
            locals = cell_integer(entry);
        }
    }
    if (locals > 0) function::push_locals(locals);
    Refinements refinements;
    if (uint32_t s = run(fn, refinements)) return s;
    call.finish();
    return 0;
}

// A function body's status: return and exit end here with the function's
// result; other codes travel on.
uint32_t function_exit(uint32_t status) {
    if (status == thrown::RETURN) {
        stack::state.top = stack::state.arguments;
        stack::push(state.exit_value);
        return 0;
    }
    if (status == thrown::EXIT) {
        stack::state.top = stack::state.arguments;
        stack::push(unset_value);
        return 0;
    }
    return status;
}

// The body of eval_function, inlined into the plain call path. The
// untraced instance serves a function without trace flags called while
// nothing is traced: no tracing state is saved or put back and the body runs
// through the untraced block evaluation directly.
template <bool Untraced>
[[gnu::always_inline]] inline uint32_t run_function(const Cell& fn) {
    NodeId ctx = fn.data1;
    context::cell_of(ctx)->data2 = stack::index_of(stack::state.arguments) + 1;
    stack::calls.frames[stack::calls.top - 1].kind |= stack::FRAME_RETURN_TARGET;
    Cell body = more_of(fn)[0];
    if (type_of(body) != TYPE_BLOCK) [[unlikely]] {
        stack::state.top = stack::state.arguments;
        stack::push(unset_value);
        return 0;
    }
    // A return from a callback's Kel code comes as an exception, carried
    // through C++ that knows no statuses.
    if constexpr (Untraced) {
        uint32_t status = catch_exits(FUNCTION_EXITS, [&] { return block<false>(body, true, false); });
        return status ? function_exit(status) : 0;
    }
    // Library functions and no-trace functions send no events; trace
    // functions do while a traced evaluation is under way.
    // A library function entered from script code records the script's
    // tracing flag; `tracing?` answers it inside the library, `trace` with a
    // logic! changes it, and the script goes on with it afterwards.
    struct TracingAround {
        bool saved = state.tracing;
        uint32_t interp_frame = state.interp_frame;
        bool script_tracing = state.script_tracing;
        bool from_script = false;
        ~TracingAround() {
            state.tracing = (from_script ? state.script_tracing : saved) && state.trace;
            state.interp_frame = interp_frame;
            state.script_tracing = script_tracing;
        }
    } tracing_around;
    if (fn.header & FLAG_SYSTEM) {
        // Entered from script code: the blocks of the script's that this
        // body evaluates are traced as the script is (library-code.h), and
        // the script's flag, which the library may change (`trace false`),
        // is what the script continues with. The body and the blocks in it
        // are library code.
        if (state.interp_frame) {
            state.script_tracing = state.tracing;
            tracing_around.from_script = true;
        }
        state.interp_frame = 0;
        if (!is_library_code(body)) mark_library_code(body);
    }
    if (fn.header & (FLAG_SYSTEM | function::FLAG_NO_TRACE))
        state.tracing = false;
    else if (fn.header & function::FLAG_TRACE)
        state.tracing = state.trace;
    if (state.tracing) [[unlikely]] {
        Cell name = stack::frame_word(stack::calls.top - 1);
        trace::event(trace::PROLOG, &body, -1, &name, &fn);
    }
    uint32_t status =
        catch_exits(FUNCTION_EXITS, [&] { return eval_block(body, true, (fn.header & FLAG_SYSTEM) != 0); });
    if (state.tracing) [[unlikely]] {
        // After the body's value or exit; the value of an exit in flight is
        // kept across the tracer's run. (A body left by an error or a throw
        // sends none: the tracer's own code could replace the error in
        // flight.)
        Cell name = stack::frame_word(stack::calls.top - 1);
        Cell exit_value = state.exit_value;
        Rooted keep(exit_value);
        trace::event(trace::EPILOG, &body, -1, &name, &fn);
        state.exit_value = exit_value;
    }
    return function_exit(status);
}

uint32_t eval_function(const Cell& fn) { return run_function<false>(fn); }

// The typeset of an argument entry allows the type: types below 64 are
// tested in one load of the first eight bytes of bits.
inline bool accepts(const Cell& entry, uint32_t type) {
    if (type >= 64) [[unlikely]]
        return typeset::has(entry, type);
    uint64_t bits;
    __builtin_memcpy(&bits, typeset::bytes(entry), sizeof bits);
    return (__builtin_bswap64(bits) >> (63 - type)) & 1;
}

namespace {

// Fetches argument e of a plain call onto the stack and checks its type.
[[gnu::always_inline]] inline uint32_t plain_argument(const Cell& fn, NodeId cache, int32_t e, const Cell& code,
                                                      int32_t& index, const Cell& name) {
    // Read again for each argument: evaluating one may move the cache.
    Cell entry = *code_at(cache, e);
    if (arg_kind(entry) == ARG_NORMAL && index < code_tail(code.data2)) [[likely]] {
        if (state.tracing || !fast::push_inline(code.data2, index))
            if (uint32_t s = next_expression(code, index, false, false)) return s;
    } else if (uint32_t s = Fetch{fn, &code, index, name, false}.argument(entry, e)) {
        return s;
    }
    if (!accepts(entry, type_of(*(stack::state.top - 1)))) [[unlikely]]
        Fetch{fn, &code, index, name, false}.check(entry, *(stack::state.top - 1), e);
    return 0;
}

// A plain call of the `if` or `either` native (the word holds that very
// native) whose blocks are literal blocks in the code: the condition is
// fetched as any argument, then the block to run is taken straight from the
// code (kept on the stack while it runs) and run in the native's frame,
// without pushing the other block or calling the native. The choice is the
// native's own (control::branch); anything else calls the native.
uint32_t plain_conditional(const Cell& fn, NodeId cache, int32_t n, const Cell& code, int32_t& index,
                           const Cell& name) {
    CalleeFrame call(fn, TYPE_NATIVE, name, Opener::CODE);
    if (uint32_t s = plain_argument(fn, cache, 0, code, index, name)) return s;
    // The spec's shape is checked too: `make native!` may give the native's
    // index another spec, whose call goes to the native as usual.
    int32_t blocks = fn.data1 == uint32_t(natives::EITHER) ? 2 : 1;
    NodeId node = code.data2;
    bool literal = n - 2 == blocks + 1 && index + blocks <= code_tail(node);
    if (literal) {
        // Read in place: nothing runs between here and the choice.
        const Cell* cells = code_at(node, index);
        const Cell* entries = code_at(cache, 1);
        for (int32_t k = 0; k < blocks; ++k)
            literal = literal && type_of(cells[k]) == TYPE_BLOCK && accepts(entries[k], TYPE_BLOCK);
        // An operator after the last block would take it as its left
        // operand (a word whose value is not known now is left to the
        // native's call too).
        if (literal && index + blocks < code_tail(node) && type_of(cells[blocks]) == TYPE_WORD) {
            const Cell* after = peek(cells[blocks]);
            literal = after && type_of(*after) != TYPE_OP;
        }
    }
    uint32_t status;
    if (!literal) {
        for (int32_t e = 1; e < n - 2; ++e)
            if (uint32_t s = plain_argument(fn, cache, e, code, index, name)) return s;
        status = natives::detail::table[fn.data1].fn(false, NO_REFINEMENTS.data());
    } else {
        int32_t chosen = natives::control::branch(int32_t(fn.data1), stack::state.arguments[0]);
        int32_t at = index;
        index += blocks;
        if (!chosen) {
            stack::state.arguments[0] = none_value;
            stack::state.top = stack::state.arguments + 1;
            status = 0;
        } else {
            Cell* branch = push_value(*code_at(node, at + chosen - 1));
            // A branch of library code is library code too (as `eval` has it).
            status = eval_block(*branch, true, state.interp_frame == 0);
        }
    }
    if (status) return status;
    call.finish();
    return 0;
}

// The plain call with the callee's arity cache at hand. `Refined`: the spec
// has refinements; none is used, so the arguments end at the first one and
// the entries from there take no code (a function gets their unused
// cells). Two instances, so the common call tests nothing for them.
template <bool Refined>
[[gnu::always_inline]] inline uint32_t plain_call(const Cell& fn, NodeId cache, int32_t n, const Cell& code,
                                                  int32_t& index, const Cell& name) {
    uint32_t t = type_of(fn);
    CalleeFrame call(fn, t, name, Opener::CODE);
    int32_t arguments = Refined ? first_refinement(cache) : n - 2;
    for (int32_t e = 0; e < arguments; ++e)
        if (uint32_t s = plain_argument(fn, cache, e, code, index, name)) return s;
    if (Refined && takes_refinement_cells(t)) push_unused_refinements(cache, arguments, n - 2);
    int32_t locals = cell_integer(*code_at(cache, n - 2));
    if (locals > 0) function::push_locals(locals);
    uint32_t status;
    if (t == TYPE_FUNCTION) {
        status = state.tracing || (fn.header & (FLAG_SYSTEM | function::FLAG_NO_TRACE | function::FLAG_TRACE))
            ? run_function<false>(fn)
            : run_function<true>(fn);
    } else if (t == TYPE_NATIVE && fn.data1 - 1 < uint32_t(natives::TABLE_SIZE) &&
               natives::detail::table[fn.data1].fn) {
        // No refinement is used: every refinement the native may read is
        // unused.
        status = natives::detail::table[fn.data1].fn(false, NO_REFINEMENTS.data());
    } else {
        Refinements refinements;
        status = run(fn, refinements);
    }
    if (status) return status;
    call.finish();
    return 0;
}

[[gnu::noinline]] uint32_t plain_call_refined(const Cell& fn, NodeId cache, int32_t n, const Cell& code, int32_t& index,
                                              const Cell& name) {
    return plain_call<true>(fn, cache, n, code, index, name);
}

}  // namespace

uint32_t call_plain(const Cell& fn_cell, const Cell& code, int32_t& index, const Cell& name) {
    Cell fn = fn_cell;
    const Cell& cached = more_of(fn)[1];
    if (type_of(cached) != TYPE_BLOCK) [[unlikely]]
        return eval_call(fn, &code, index, name, nullptr, 0, false);
    NodeId cache = cell_node(cached);
    int32_t n = code_tail(cache);
    if (cell_integer(*code_at(cache, n - 1)) != 0) [[unlikely]]
        return plain_call_refined(fn, cache, n, code, index, name);
    if (type_of(fn) == TYPE_NATIVE && (fn.data1 == uint32_t(natives::EITHER) || fn.data1 == uint32_t(natives::IF)))
        return plain_conditional(fn, cache, n, code, index, name);
    return plain_call<false>(fn, cache, n, code, index, name);
}

uint32_t eval_call(const Cell& fn_cell, const Cell* code, int32_t& index, const Cell& name, const Cell* path,
                   int32_t path_index, bool infix) {
    Cell fn = fn_cell;
    // An operator's left operand, the stack's last value, is its result
    // slot and first argument.
    CalleeFrame call = infix ? CalleeFrame(stack::state.top - 1, fn, name) : CalleeFrame(fn, name, Opener::CODE);
    if (state.tracing) [[unlikely]]
        trace::event(trace::OPEN, code, index, nullptr, &name);
    Refinements refinements;
    if (uint32_t s = fetch_args(fn, code, index, name, path, path_index, infix, refinements)) return s;
    if (state.tracing) [[unlikely]]
        trace::event(trace::CALL, code, index, &name, &fn);
    if (uint32_t s = run(fn, refinements)) return s;
    call.close();
    if (state.tracing) [[unlikely]]
        trace::event(trace::RETURN, code, index, &name, stack::state.top - 1);
    call.settle();
    return 0;
}

uint32_t run_callee(const Cell& fn, const int32_t* refinements) { return run(fn, refinements); }

}  // namespace kel::interpreter
