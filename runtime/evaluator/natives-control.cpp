#include "runtime/evaluator/natives-control.h"

#include <algorithm>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/exits.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/interrupt-check.h"
#include "runtime/evaluator/native-frame.h"
#include "runtime/evaluator/trace.h"
#include "runtime/memory/roots.h"
#include "runtime/numbers/float-to-integer.h"

namespace kel::natives::control {

namespace {

using interpreter::state;

using frame::args;
using frame::result;
using frame::used;

// The strict test: unset raises script/no-return.
inline bool truthy_strict(const Cell& v) {
    if (type_of(v) == TYPE_UNSET) fire(ErrorId::script_no_return);
    return !logic::is_false(v);
}

const Cell& body_word() { return words::word(words::Word::body); }

inline bool loop_code(uint32_t s) { return s == thrown::BREAK || s == thrown::CONTINUE; }

// Conditionals ---------------------------------------------------------------

uint32_t if_native(bool, const int32_t*) {
    int32_t k = branch(IF, args()[0]);
    if (!k) {
        result(none_value);
        return 0;
    }
    return interpreter::eval(args()[k], true);
}

uint32_t unless_native(bool, const int32_t*) {
    if (!logic::is_false(args()[0])) {
        result(none_value);
        return 0;
    }
    return interpreter::eval(args()[1], true);
}

uint32_t either_native(bool, const int32_t*) { return interpreter::eval(args()[branch(EITHER, args()[0])], true); }

// any and all: the block's expressions one at a time; any answers the
// first truthy value, all none at the first falsy one, else the last value.
uint32_t any_all(bool any) {
    Cell* a = args();
    Cell block = a[0];
    int32_t i = int32_t(block.data1);
    bool ran = false;
    while (i < interpreter::code_tail(cell_node(block))) {
        stack::state.top = a + 1;
        if (uint32_t s = interpreter::eval_expression(block, i, false, false)) return s;
        ran = true;
        if (logic::is_false(a[1]) != any) {
            result(any ? a[1] : none_value);
            return 0;
        }
    }
    result(any || !ran ? none_value : a[1]);
    return 0;
}

uint32_t any_native(bool, const int32_t*) { return any_all(true); }
uint32_t all_native(bool, const int32_t*) { return any_all(false); }

// Loops ------------------------------------------------------------------------

uint32_t while_native(bool, const int32_t*) {
    Cell* a = args();
    {
        stack::OpenFrame loop(body_word(), stack::KIND_LOOP);
        for (;;) {
            stack::state.top = stack::state.arguments;
            uint32_t s = loop_body(a[0]);
            if (loop_code(s)) fire(ErrorId::throw_while_cond);
            if (s) return s;
            if (!truthy_strict(stack::state.arguments[0])) break;
            stack::state.top = stack::state.arguments;
            s = loop_body(a[1]);
            if (s == thrown::BREAK) break;
            if (s && s != thrown::CONTINUE) return s;
        }
        loop.reset();
    }
    result(unset_value);
    return 0;
}

// Runs the native's body block (its first argument) in a loop frame until
// a break, or, with `until`, until the body's value is truthy; the result
// is that value or the break value.
uint32_t body_loop(bool until) {
    Cell* a = args();
    stack::OpenFrame loop(body_word(), stack::KIND_LOOP);
    for (;;) {
        stack::state.top = stack::state.arguments;
        uint32_t s = loop_body(a[0]);
        if (s == thrown::BREAK) {
            stack::state.arguments[0] = state.exit_value;
            break;
        }
        if (s == thrown::CONTINUE) continue;
        if (s) return s;
        if (until && truthy_strict(stack::state.arguments[0])) break;
    }
    stack::state.top = stack::state.arguments + 1;
    loop.set_last();
    stack::state.top = a + 1;
    return 0;
}

uint32_t until_native(bool, const int32_t*) { return body_loop(true); }

// Runs body count times (repeat: setting the word to the counter first);
// the result is the last body value or the break value.
uint32_t counted(const Cell& body, int32_t count, Cell* word) {
    Cell* a = args();
    stack::OpenFrame loop(body_word(), stack::KIND_LOOP);
    stack::push(unset_value);
    for (int32_t k = 1; k <= count; ++k) {
        stack::state.top = stack::state.arguments;
        if (word) context::set(*word, make_integer(k));
        uint32_t s = loop_body(body);
        if (s == thrown::BREAK) {
            stack::state.arguments[0] = state.exit_value;
            break;
        }
        if (s && s != thrown::CONTINUE) return s;
        if (s == thrown::CONTINUE) stack::state.arguments[0] = unset_value;
    }
    stack::state.top = stack::state.arguments + 1;
    loop.set_last();
    stack::state.top = a + 1;
    return 0;
}

uint32_t loop_native(bool, const int32_t*) {
    Cell* a = args();
    int32_t count = count_to_integer(a[0]);
    if (count <= 0) {
        result(none_value);
        return 0;
    }
    return counted(a[1], count, nullptr);
}

uint32_t repeat_native(bool, const int32_t*) {
    Cell* a = args();
    int32_t count = count_to_integer(a[1]);
    if (count <= 0) {
        result(none_value);
        return 0;
    }
    return counted(a[2], count, &a[0]);
}

uint32_t forever_native(bool, const int32_t*) { return body_loop(false); }

// Function makers ----------------------------------------------------------------

void clamp_head(Cell& block) {
    int32_t length = interpreter::code_tail(cell_node(block));
    if (int32_t(block.data1) > length) block.data1 = uint32_t(length);
}

uint32_t make_function(Cell spec, Cell body) {
    clamp_head(spec);
    clamp_head(body);
    Rooted keep_spec(spec);
    Rooted keep_body(body);
    uint32_t flags = function::validate_spec(spec);
    // A function that library code makes while it runs (collect's keep) is
    // library code too (library-code.h).
    if (interpreter::state.interp_frame == 0) flags |= interpreter::FLAG_SYSTEM;
    function::push(spec, &body, 0, flags);
    result(*(stack::state.top - 1));
    return 0;
}

uint32_t func_native(bool, const int32_t*) { return make_function(args()[0], args()[1]); }

uint32_t function_native(bool, const int32_t*) {
    Cell* a = args();
    clamp_head(a[0]);
    a[0] = *block::push_copy(a[0], false, false);
    function::add_auto_locals(a[0], a[1]);
    return make_function(a[0], a[1]);
}

uint32_t does_native(bool, const int32_t*) {
    Cell* a = args();
    Cell spec = make_none();
    block::make_at(spec, 1);
    spec.header = TYPE_BLOCK;
    a[1] = a[0];
    a[0] = spec;
    return make_function(a[0], a[1]);
}

uint32_t has_native(bool, const int32_t*) {
    Cell* a = args();
    clamp_head(a[0]);
    Cell* spec = stack::push(make_none());
    block::make_at(*spec, block::ks_length(a[0]) + 1);
    spec->header = TYPE_BLOCK;
    block::append_cell(*spec, words::refinement(words::Ref::local));
    int32_t n = block::ks_length(a[0]);
    for (int32_t k = 0; k < n; ++k) block::append_cell(*spec, *block::ks_abs_at(a[0], int32_t(a[0].data1) + k));
    a[0] = *spec;
    return make_function(a[0], a[1]);
}

// switch and case ------------------------------------------------------------------

// The block after the first case value equal to value (compared only with
// values of its own type), or -1. A block value is never searched for; a
// match with no block after it counts as no match.
int32_t switch_lookup(const Cell& value, const Cell& cases) {
    if (type_of(value) == TYPE_BLOCK) return -1;
    NodeId node = cell_node(cases);
    for (int32_t i = int32_t(cases.data1); i < interpreter::code_tail(node); ++i) {
        Cell c = *interpreter::code_at(node, i);
        if (type_of(c) == TYPE_BLOCK || type_of(c) != type_of(value)) continue;
        if (!actions::compare(value, c, COMP_EQUAL)) continue;
        for (int32_t j = i + 1; j < interpreter::code_tail(node); ++j)
            if (type_of(*interpreter::code_at(node, j)) == TYPE_BLOCK) return j;
        return -1;
    }
    return -1;
}

uint32_t switch_native(bool, const int32_t* r) {
    Cell* a = args();
    int32_t found = switch_lookup(a[0], a[1]);
    if (found < 0) {
        if (!used(r, 0)) {
            result(none_value);
            return 0;
        }
        Cell fallback = a[r[0]];
        stack::state.top = a + 1;
        a[0] = fallback;
        return interpreter::eval(fallback, true);
    }
    Cell branch = *interpreter::code_at(cell_node(a[1]), found);
    branch.header = TYPE_BLOCK;
    branch.data1 = 0;
    stack::state.top = a + 2;
    return interpreter::eval(branch, true);
}

uint32_t case_native(bool, const int32_t* r) {
    Cell* a = args();
    Cell cases = a[0];
    bool all = used(r, 0);
    NodeId node = cell_node(cases);
    int32_t i = int32_t(cases.data1);
    if (i >= interpreter::code_tail(node)) {
        result(none_value);
        return 0;
    }
    bool matched = false;
    {
        stack::OpenFrame frame(words::word(words::Word::anon), stack::KIND_NATIVE);
        Cell* f = stack::state.arguments;
        while (i < interpreter::code_tail(node)) {
            if (all) matched = false;
            stack::state.top = f;
            if (uint32_t s = interpreter::eval_expression(cases, i, false, false)) return s;
            if (i >= interpreter::code_tail(node))
                fire(ErrorId::script_need_value,
                     {Cell{TYPE_WORD, 0, uint32_t(words::symbol(words::Sym::case_)), context::NO_INDEX}});
            if (!truthy_strict(f[0])) {
                ++i;
                continue;
            }
            stack::state.top = f;
            Cell next = *interpreter::code_at(node, i);
            if (type_of(next) == TYPE_BLOCK) {
                ++i;
                if (uint32_t s = interpreter::eval(next, false)) return s;
            } else if (uint32_t s = interpreter::eval_expression(cases, i, false, false)) {
                return s;
            }
            matched = true;
            if (!all) break;
        }
        if (matched) {
            stack::state.top = f + 1;
            frame.set_last();
        }
    }
    if (!matched) result(none_value);
    stack::state.top = a + 1;
    return 0;
}

// Errors and non-local exits ----------------------------------------------------------

// Evaluates the native's block (its first argument, a the native's
// argument frame) in the frame opened for it under a catcher of the level. Answers the code caught (0: none); without one, the block's value
// became the native's result and *status holds the block's status.
uint32_t eval_caught(Cell* a, stack::OpenFrame& frame, uint32_t level, uint32_t& status) {
    status = 0;
    uint32_t code = protect(level, [&] { status = interpreter::eval(a[0], true); });
    if (code == 0 && status == 0) {
        stack::state.top = stack::state.arguments + 1;
        frame.set_last();
        stack::state.top = a + 1;
    }
    return code;
}

uint32_t try_native(bool, const int32_t* r) {
    Cell* a = args();
    bool all = used(r, 0);
    stack::OpenFrame frame(words::word(words::Word::try_), all ? stack::KIND_TRY_ALL : stack::KIND_TRY);
    uint32_t status;
    uint32_t code = eval_caught(a, frame, catch_level::ERRORS, status);
    if (code == 0) return status;
    if (code != thrown::ERROR) system_throw(code);
    handled();
    frame.reset();
    result(interpreter::caught_error());
    // /keep: the error keeps the words of the calls it was raised in.
    if (used(r, 1)) error::capture_stack(args()[0]);
    return 0;
}

uint32_t break_native(bool, const int32_t* r) {
    stack::find_loop(false);
    state.exit_value = used(r, 0) ? args()[r[0]] : unset_value;
    return thrown::BREAK;
}

uint32_t continue_native(bool, const int32_t*) {
    stack::find_loop(true);
    state.exit_value = unset_value;
    return thrown::CONTINUE;
}

uint32_t exit_native(bool, const int32_t*) {
    stack::find_return_target();
    state.exit_value = unset_value;
    return thrown::EXIT;
}

uint32_t return_native(bool, const int32_t*) {
    stack::find_return_target();
    state.exit_value = args()[0];
    return thrown::RETURN;
}

uint32_t throw_native(bool, const int32_t* r) {
    Cell* a = args();
    if (state.tracing) [[unlikely]]
        interpreter::trace::event(interpreter::trace::THROW, nullptr, -1, nullptr, &a[0]);
    stack::find_catch(a[0]);
    state.thrown_value = a[0];
    state.thrown_name = used(r, 0) ? a[r[0]] : unset_value;
    system_throw(thrown::THROW);
    return 0;
}

bool same_name(const Cell& a, const Cell& b) {
    return symbol::resolve(int32_t(a.data2)) == symbol::resolve(int32_t(b.data2));
}

// The thrown name matches the catch's /name word or one of its block's
// words, ignoring case; an unnamed throw never matches a named catch.
bool name_matches(const Cell& wanted) {
    const Cell& thrown_name = state.thrown_name;
    bool named = type_of(thrown_name) == TYPE_WORD;
    if (type_of(wanted) == TYPE_BLOCK) {
        int32_t n = block::ks_length(wanted);
        for (int32_t k = 0; k < n; ++k) {
            Cell w = *block::ks_abs_at(wanted, int32_t(wanted.data1) + k);
            if (type_of(w) != TYPE_WORD)
                fire(ErrorId::script_invalid_refine_arg, {words::word(words::Word::name), wanted});
            if (named && same_name(w, thrown_name)) return true;
        }
        return false;
    }
    return named && same_name(wanted, thrown_name);
}

uint32_t catch_native(bool, const int32_t* r) {
    Cell* a = args();
    stack::OpenFrame frame(body_word(), stack::KIND_CATCH);
    uint32_t status;
    uint32_t code = eval_caught(a, frame, catch_level::THROW, status);
    if (code == 0) return status;
    if (code != thrown::THROW) system_throw(code);
    frame.reset();
    if (used(r, 0) && !name_matches(a[r[0]])) {
        // Not ours: on to the next catch, searched from here.
        stack::find_catch(state.thrown_value);
        system_throw(thrown::THROW);
    }
    handled();
    result(state.thrown_value);
    if (state.tracing) [[unlikely]]
        interpreter::trace::event(interpreter::trace::CATCH, nullptr, -1, nullptr, &a[0]);
    return 0;
}

// Comparison natives -----------------------------------------------------------------

template <int32_t Op>
uint32_t compare_native(bool, const int32_t*) {
    actions::compare_to_logic(Op);
    stack::state.top = args() + 1;
    return 0;
}

}  // namespace

int32_t branch(int32_t native, const Cell& condition) {
    if (native == EITHER) return truthy_strict(condition) ? 1 : 2;
    return logic::is_false(condition) ? 0 : 1;
}

namespace {
int64_t iteration_budget = 0;
int64_t iterations = 0;
}  // namespace

int64_t set_iteration_budget(int64_t budget) {
    int64_t old = iteration_budget;
    iteration_budget = budget;
    iterations = 0;
    return old;
}

uint32_t loop_body(const Cell& body) {
    interpreter::poll_interrupt();
    if (iteration_budget > 0 && ++iterations > iteration_budget)
        fire(ErrorId::internal_limit_hit, {make_integer(int32_t(std::min<int64_t>(iteration_budget, INT32_MAX)))});
    return interpreter::catch_exits(interpreter::LOOP_EXITS, [&] { return interpreter::eval(body, true); });
}

int32_t count_to_integer(const Cell& count) {
    if (type_of(count) != TYPE_FLOAT) return cell_integer(count);
    numbers::Int32Conversion c = numbers::trunc_to_int32(cell_double(count));
    return c.ok ? c.value : INT32_MIN;
}

void register_natives(Entry* table) {
    const char* compare = "value1 [any-type!] value2 [any-type!]";
    table[IF] = {if_native, "if",
                 R"("If conditional expression is truthy, evaluate block; else return NONE"
                    cond [any-type!] then-blk [block!])"};
    table[UNLESS] = {unless_native, "unless",
                     R"("If conditional expression is falsy, evaluate block; else return NONE"
                        cond [any-type!] then-blk [block!])"};
    table[EITHER] = {either_native, "either",
                     R"("If conditional expression is truthy, evaluate the first branch; else evaluate the alternative"
                        cond [any-type!] true-blk [block!] false-blk [block!])"};
    table[ANY] = {any_native, "any",
                  R"("Evaluates and returns the first truthy value, if any; else NONE" conds [block!])"};
    table[ALL] = {all_native, "all",
                  R"("Evaluates and returns the last value if all are truthy; else NONE" conds [block!])"};
    table[WHILE] = {while_native, "while",
                    R"("Evaluates body as long as condition block evaluates to truthy value"
                       cond [block!] "Condition block to evaluate on each iteration"
                       body [block!] "Block to evaluate on each iteration")"};
    table[UNTIL] = {until_native, "until", R"("Evaluates body until it is truthy" body [block!])"};
    table[LOOP] = {loop_native, "loop", R"("Evaluates body a number of times" count [integer! float!] body [block!])"};
    table[REPEAT] = {repeat_native, "repeat",
                     R"("Evaluates body a number of times, tracking iteration count"
                        'word [word!] "Iteration counter; not local to loop"
                        value [integer! float!] "Number of times to evaluate body"
                        body [block!])"};
    table[FOREVER] = {forever_native, "forever", R"("Evaluates body repeatedly forever" body [block!])"};
    table[FUNC] = {func_native, "func",
                   R"("Defines a function with a given spec and body" spec [block!] body [block!])"};
    table[FUNCTION] = {function_native, "function",
                       R"("Defines a function, making all set-words found in body, local"
                          spec [block!] body [block!]
                          /extern "Exclude words that follow this refinement")"};
    table[DOES] = {does_native, "does", R"("Defines a function with no arguments or local variables" body [block!])"};
    table[HAS] = {has_native, "has",
                  R"("Defines a function with local variables, but no arguments" vars [block!] body [block!])"};
    table[SWITCH] = {switch_native, "switch",
                     R"("Evaluates the first block following the value found in cases"
                        value [any-type!] "The value to match"
                        cases [block!]
                        /default "Specify a default block, if value is not found in cases"
                        case [block!] "Default block to evaluate")"};
    table[CASE] = {case_native, "case",
                   R"("Evaluates the block following the first truthy condition"
                      cases [block!] "Block of condition-block pairs"
                      /all "Test all conditions, evaluating the block following each truthy condition")"};
    table[EQUAL_Q] = {compare_native<COMP_EQUAL>, "equal?", compare};
    table[NOT_EQUAL_Q] = {compare_native<COMP_NOT_EQUAL>, "not-equal?", compare};
    table[STRICT_EQUAL_Q] = {compare_native<COMP_STRICT_EQUAL>, "strict-equal?", compare};
    table[LESSER_Q] = {compare_native<COMP_LESSER>, "lesser?", compare};
    table[GREATER_Q] = {compare_native<COMP_GREATER>, "greater?", compare};
    table[LESSER_OR_EQUAL_Q] = {compare_native<COMP_LESSER_EQUAL>, "lesser-or-equal?", compare};
    table[GREATER_OR_EQUAL_Q] = {compare_native<COMP_GREATER_EQUAL>, "greater-or-equal?", compare};
    table[TRY] = {try_native, "try",
                  R"("Tries to DO a block and returns its value or an error"
                     block [block!]
                     /all "Catch also BREAK, CONTINUE, RETURN, EXIT and THROW exceptions"
                     /keep "Capture and save the call stack in the error object")"};
    table[BREAK] = {break_native, "break",
                    R"("Breaks out of a loop, while, until, repeat, foreach, etc"
                       /return "Forces the loop function to return a value"
                       value [any-type!])"};
    table[CONTINUE] = {continue_native, "continue", R"("Throws control back to top of loop")"};
    table[EXIT] = {exit_native, "exit", R"("Exits a function, returning no value")"};
    table[RETURN] = {return_native, "return", R"("Returns a value from a function" value [any-type!])"};
    table[THROW] = {throw_native, "throw",
                    R"("Throws control back to a previous catch"
                       value [any-type!] "Value returned from catch"
                       /name "Throws to a named catch"
                       word [word!])"};
    table[CATCH] = {catch_native, "catch",
                    R"("Catches a throw from a block and returns its value"
                       block [block!] "Block to evaluate"
                       /name "Catches a named throw"
                       word [word! block!] "One or more names")"};
}

}  // namespace kel::natives::control
