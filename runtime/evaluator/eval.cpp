// Expression and block evaluation: one expression at a time, left to right,
// with the infix look-ahead and its inline arithmetic on numbers.
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/core/type-families.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/fast-ops.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/interrupt-check.h"
#include "runtime/evaluator/library-code.h"
#include "runtime/evaluator/trace.h"

namespace kel::interpreter {

State state;

namespace {

// Puts the current-block cell back when a block evaluation ends, on every
// road. The cell is copied whole (one 16-byte move each way).
struct KeepCurrentBlock {
    Cell saved;
    KeepCurrentBlock() { __builtin_memcpy(&saved, &state.current_block, sizeof(Cell)); }
    ~KeepCurrentBlock() { __builtin_memcpy(&state.current_block, &saved, sizeof(Cell)); }
};

bool is_system_issue(const Cell& issue) {
    static int32_t system = 0, system_global = 0;
    if (!system) {
        system = symbol::resolve(symbol::make("system"));
        system_global = symbol::resolve(symbol::make("system-global"));
    }
    int32_t s = symbol::resolve(int32_t(issue.data2));
    return s == system || s == system_global;
}

uint32_t eval_set_path(const Cell& code, int32_t& i, const Cell& path) {
    if (i >= code_tail(code.data2)) fire(ErrorId::script_need_value, {path});
    stack::OpenFrame frame(words::word(words::Word::set_path), stack::KIND_NATIVE | state.interp_frame);
    if (uint32_t s = eval_expression(code, i, false, false)) return s;
    if (state.tracing) [[unlikely]]
        trace::event(trace::SET, &code, i, &path, stack::state.arguments);
    int32_t none = 0;
    if (uint32_t s = eval_path(path, code, none, false, true)) return s;
    frame.keep();
    return 0;
}

// The word is set without the slow path (no error, no change handler):
// bound, its context has values and is no object's.
inline bool plain_target(const Cell& word) {
    NodeId ctx = word.data1;
    if (!ctx || int32_t(word.data3) < 0) return false;
    const Cell* c = context::cell_of(ctx);
    return c->data2 && (c->header & context::KIND_MASK) != (context::KIND_OBJECT << context::KIND_SHIFT);
}

// An assignment (the set-word at index) whose value needs no call
// (fast::push_inline) to a plain target: set where nothing can fail or run code, so no frame is seen by
// anyone and none is opened. Pushes the value, moves index past the
// assignment and answers true; anything else answers false and changes
// nothing.
[[gnu::always_inline]] inline bool fast_assignment(NodeId node, int32_t& index) {
    const Cell& set_word = *code_at(node, index);
    if (!plain_target(set_word)) return false;
    int32_t i = index + 1;
    if (i >= code_tail(node)) return false;
    Cell target = set_word;
    Cell* value = stack::state.top;
    if (!fast::push_inline(node, i)) return false;
    context::set(target, *value);
    index = i;
    return true;
}

// A block's expression at index taken whole when it needs no call: an
// assignment as fast_assignment takes it, anything else as push_inline.
[[gnu::always_inline]] inline bool take_inline(NodeId node, int32_t& index) {
    return type_of(*code_at(node, index)) == TYPE_SET_WORD ? fast_assignment(node, index)
                                                           : fast::push_inline(node, index);
}

}  // namespace

// A block's expressions run in an argument frame of their own that starts
// at the stack's top; no call frame is opened for it (a block names no
// call). The scope gives the caller its argument frame back on every road,
// and the stack's top too unless the block finished.
struct ArgumentScope {
    Cell* caller = stack::state.arguments;
    Cell* start = stack::state.top;
    bool finished = false;
    ArgumentScope() { stack::state.arguments = start; }
    ~ArgumentScope() {
        stack::state.arguments = caller;
        if (!finished) stack::state.top = start;
    }
};

// The block evaluation in its two instances: the untraced one (chosen when
// no traced evaluation is under way as the block starts) tests no event
// sites and runs its expressions through the untraced expression directly.
template <bool Traced>
uint32_t block(const Cell& block_cell, bool set, bool system) {
    Cell block = block_cell;
    NodeId node = cell_node(block);
    int32_t index = int32_t(block.data1);
    bool tried = false;  // the first expression needs the expression evaluator
    if (!Traced && index < code_tail(node) && stack::state.top < stack::state.limit) {
        // The first expression, when it needs no call (a value, operators
        // on numbers, or such an assignment to a plain target), is taken
        // before anything is set up: it can neither fail (the stack has room
        // for its value) nor run code, so no one sees the current-block cell
        // or the argument frame it would have had. A block that ends there
        // (a branch like [n], a condition like [i < 10], a body like
        // [s: s + i]) is done; otherwise its value is dropped and the block
        // goes on from the next expression.
        Cell* start = stack::state.top;
        int32_t i = index;
        if (take_inline(node, i)) {
            if (i >= code_tail(node)) {
                if (set) __builtin_memcpy(stack::state.arguments, start, sizeof(Cell));
                return 0;
            }
            stack::state.top = start;
            index = i;
        } else {
            tried = true;
        }
    }
    poll_interrupt();
    KeepCurrentBlock keep;
    ArgumentScope scope;
    if (Traced && state.tracing && !system) trace::event(trace::ENTER, &block, index, nullptr, nullptr);
    if (index >= code_tail(node)) {
        push_value(unset_value);
    } else {
        if (!system) __builtin_memcpy(&state.current_block, &block, sizeof(Cell));
        do {
            if (!system) state.current_block.data1 = uint32_t(index);
            stack::state.top = scope.start;
            if (Traced) {
                if (uint32_t s = next_expression(block, index, false, false)) return s;
                if (state.tracing && !system) trace::event(trace::EXPR, &block, index, nullptr, scope.start);
            } else if (tried || !take_inline(node, index)) {
                tried = false;
                if (uint32_t s = expression<false>(block, index, false, false)) [[unlikely]]
                    return s;
            }
        } while (index < code_tail(node));
    }
    if (Traced && state.tracing && !system) trace::event(trace::EXIT, &block, code_tail(node), nullptr, scope.start);
    scope.finished = true;
    if (set) __builtin_memcpy(scope.caller, scope.start, sizeof(Cell));
    stack::state.top = scope.start + 1;
    return 0;
}

template uint32_t block<false>(const Cell&, bool, bool);
template uint32_t block<true>(const Cell&, bool, bool);

namespace {

// A block of the caller's that library code evaluates (library-code.h): it
// runs as script code, its frames marked interpreted, traced as the script
// that called the library was, setting the current-block cell; the
// library's state comes back on every road.
[[gnu::noinline]] uint32_t eval_callers_block(const Cell& block, bool set) {
    struct ScriptCode {
        bool tracing = state.tracing;
        FramesMarked frames{stack::FRAME_INTERP};
        ScriptCode() { state.tracing = state.script_tracing && state.trace; }
        ~ScriptCode() { state.tracing = tracing && state.trace; }
    } script_code;
    return eval_block(block, set, false);
}

}  // namespace

// A block evaluated while library code runs is library code when it carries
// the library mark (the library's own branches and loops): the Near of an
// error raised in it shows the caller's expression. Any other block there is
// the caller's code.
uint32_t eval(const Cell& block, bool set) {
    if (state.interp_frame != 0) [[likely]]
        return eval_block(block, set, false);
    if (is_library_code(block)) return eval_block(block, set, true);
    return eval_callers_block(block, set);
}

uint32_t eval_value(const Cell& value) {
    // The value's own code: a one-cell block, in the cell that takes the
    // result. The value is copied first (it may lie in a buffer that
    // making the block moves) and kept reachable until the block holds it.
    Cell* code = stack::push(value);
    Cell* made = stack::push(make_none());
    block::make_at(*made, 1);
    made->header = TYPE_BLOCK;
    block::append_cell(*made, *code);
    *code = *made;
    stack::state.top = code + 1;
    int32_t index = 0;
    if (uint32_t s = eval_expression(*code, index, false, false)) return s;
    *code = *(stack::state.top - 1);
    stack::state.top = code + 1;
    return 0;
}

uint32_t eval_next(const Cell& block, int32_t& next) {
    stack::OpenFrame frame(words::word(words::Word::body), stack::KIND_NATIVE);
    next = int32_t(block.data1);
    if (next >= code_tail(cell_node(block))) {
        stack::push(unset_value);
    } else {
        KeepCurrentBlock keep;
        state.current_block = block;
        state.current_block.data1 = uint32_t(next);
        if (uint32_t s = eval_expression(block, next, false, false)) return s;
    }
    frame.set_last();
    return 0;
}

namespace {

// The values that are pushed as they are, with their rare cases (an op!
// met directly, #system before a block) out of the expression's way.
[[gnu::noinline]] void push_literal(const Cell& v, NodeId node, int32_t i) {
    if (type_of(v) == TYPE_OP) fire(ErrorId::internal_not_done);
    if (type_of(v) == TYPE_ISSUE && i < code_tail(node) && type_of(*code_at(node, i)) == TYPE_BLOCK &&
        is_system_issue(v))
        fire(ErrorId::internal_kel_system);
    push_value(v);
}

// Infix look-ahead after the value at `start`: operators bind left to
// right, each taking the value so far as its left operand.
template <bool Traced>
uint32_t infix(const Cell& code, int32_t& i, Cell* start) {
    NodeId node = code.data2;
    for (;;) {
        SeriesBuffer* b = memory::buffer_of(node);
        int32_t tail = int32_t(b->cell_count());
        if (i >= tail) return 0;
        const Cell& w = b->cells()[i];
        if (type_of(w) != TYPE_WORD) return 0;
        const Cell* slot = peek(w);
        if (!slot || type_of(*slot) != TYPE_OP) return 0;
        if (!(Traced && state.tracing)) {
            // The op's cell is read in place: nothing runs before the
            // inline arithmetic.
            // An op that ends the code has no right operand: the op's call
            // below raises that.
            int32_t fast_code = fast::op_code(*slot);
            if (fast_code >= 0 && fast::is_number(type_of(*start)) && i + 1 < tail) {
                if (fast::infix(fast_code, *start, node, i)) continue;
                Cell op = *slot;
                Cell name = w;
                // The right operand is an expression: evaluate it here, in
                // the frame the op's call would open (an error inside names
                // the op), then compute inline when it is a number too.
                ++i;
                stack::state.top = start + 1;
                {
                    stack::OpenFrame frame(name, stack::KIND_NATIVE | state.interp_frame);
                    if (uint32_t s = expression<Traced>(code, i, true, false)) return s;
                    frame.keep();
                }
                if (fast::compute(fast_code, *start, start[1], *start)) {
                    stack::state.top = start + 1;
                    continue;
                }
                if (uint32_t s = call_operands(native::op_callee(op), name, start)) return s;
                continue;
            }
        }
        Cell op = *slot;
        Cell name = w;
        if (Traced && state.tracing) [[unlikely]]
            trace::event(trace::FETCH, &code, i, nullptr, &name);
        ++i;
        stack::state.top = start + 1;
        Cell callee = native::op_callee(op);
        if (uint32_t s = eval_call(callee, &code, i, name, nullptr, 0, true)) return s;
    }
}

// An assignment: the next expression's value, in a frame named by the
// set-word, is set to the word and stays as the caller's last value.
template <bool Traced>
inline uint32_t set_word(const Cell& code, int32_t& i, const Cell& set_word) {
    NodeId node = code.data2;
    if (i >= code_tail(node)) [[unlikely]]
        fire(ErrorId::script_need_value, {set_word});
    stack::OpenFrame frame(set_word, stack::KIND_NATIVE | state.interp_frame);
    // The set-word is pushed as itself: a tracer opens the assignment here.
    if (Traced && state.tracing) [[unlikely]]
        trace::event(trace::PUSH, &code, i, nullptr, &set_word);
    if (uint32_t s = expression<Traced>(code, i, false, false)) return s;
    Cell* value = stack::state.arguments;
    if (Traced && state.tracing) [[unlikely]]
        trace::event(trace::SET, &code, i, &set_word, value);
    if (type_of(*value) == TYPE_UNSET) [[unlikely]]
        fire(ErrorId::script_need_value, {set_word});
    Cell target = set_word;
    context::set(target, *value);
    frame.keep();
    return 0;
}

}  // namespace

// One expression. The untraced instance sends no events and calls through
// the plain call path; the traced one tests the flag at every event site
// (a tracer that fails, or a no-trace function, turns it off on the way).
template <bool Traced>
uint32_t expression(const Cell& code, int32_t& i, bool no_infix, bool passive) {
    NodeId node = code.data2;
    Cell* start = stack::state.top;
    Cell v = *code_at(node, i);
    if (Traced && state.tracing) [[unlikely]]
        trace::event(trace::FETCH, &code, i, nullptr, &v);
    ++i;
    uint32_t status = 0;
    switch (type_of(v)) {
    case TYPE_WORD: {
        const Cell* slot = context::get(v);
        uint32_t t = type_of(*slot);
        if (type_families::is_direct_callable(t)) {
            // The callee is copied before anything can move the slot.
            status = Traced ? eval_call(*slot, &code, i, v, nullptr, 0, false) : call_plain(*slot, code, i, v);
        } else if (t == TYPE_UNSET) [[unlikely]] {
            fire(ErrorId::script_no_value, {v});
        } else if (t == TYPE_OP) [[unlikely]] {
            fire(ErrorId::script_no_op_arg, {v});
        } else {
            Cell* pushed = push_value(*slot);
            if (Traced && state.tracing) [[unlikely]]
                trace::event(trace::PUSH, &code, i, nullptr, pushed);
        }
        break;
    }
    case TYPE_SET_WORD:
        if (!Traced) {
            // Its value needs no call: push_inline stopped at the tail or at
            // a word holding no op!, so no operator follows either.
            int32_t at = i - 1;
            if (fast_assignment(node, at)) {
                i = at;
                return 0;
            }
        }
        status = set_word<Traced>(code, i, v);
        break;
    case TYPE_PAREN:
        // A paren of library code is library code too.
        status = eval_block(v, false, state.interp_frame == 0);
        break;
    case TYPE_GET_WORD:
        push_value(*context::get(v));
        if (Traced && state.tracing) [[unlikely]]
            trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    case TYPE_LIT_WORD:
        v.header = TYPE_WORD;
        push_value(v);
        if (Traced && state.tracing) [[unlikely]]
            trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    case TYPE_PATH:
    case TYPE_GET_PATH:
        status = eval_path(v, code, i, type_of(v) == TYPE_GET_PATH, false);
        if (!status && Traced && state.tracing) [[unlikely]]
            trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    case TYPE_SET_PATH:
        if (Traced && state.tracing) [[unlikely]]
            trace::event(trace::PUSH, &code, i, nullptr, &v);
        status = eval_set_path(code, i, v);
        break;
    case TYPE_LIT_PATH:
        v.header = TYPE_PATH;
        v.data3 = 0;
        push_value(v);
        if (Traced && state.tracing) [[unlikely]]
            trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    case TYPE_NATIVE:
    case TYPE_ACTION:
    case TYPE_FUNCTION:
    case TYPE_ROUTINE:
        if (!passive) {
            status = eval_call(v, &code, i, v, nullptr, 0, false);
            break;
        }
        push_value(v);
        if (Traced && state.tracing) [[unlikely]]
            trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    case TYPE_OP:
    case TYPE_ISSUE:
        push_literal(v, node, i);
        if (Traced && state.tracing) [[unlikely]]
            trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    default:
        push_value(v);
        if (Traced && state.tracing) [[unlikely]]
            trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    }
    if (status) [[unlikely]]
        return status;
    if (no_infix) return 0;
    return infix<Traced>(code, i, start);
}

template uint32_t expression<false>(const Cell&, int32_t&, bool, bool);
template uint32_t expression<true>(const Cell&, int32_t&, bool, bool);

uint32_t eval_expression(const Cell& code, int32_t& i, bool no_infix, bool passive) {
    return next_expression(code, i, no_infix, passive);
}

}  // namespace kel::interpreter
