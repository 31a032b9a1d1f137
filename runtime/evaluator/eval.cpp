// Expression and block evaluation: one expression at a time, left to right,
// with the infix look-ahead and its inline arithmetic on numbers.
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/fast-ops.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/trace.h"

namespace kel::interpreter {

State state;

namespace {

inline bool is_callable(uint32_t t) {
    return t == TYPE_NATIVE || t == TYPE_ACTION || t == TYPE_FUNCTION || t == TYPE_ROUTINE;
}

// Puts the current-block cell back when a block evaluation ends, on every
// road.
struct KeepCurrentBlock {
    Cell saved = state.current_block;
    ~KeepCurrentBlock() { state.current_block = saved; }
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

uint32_t eval_set_word(const Cell& code, int32_t& i, const Cell& set_word) {
    NodeId node = code.data2;
    if (i >= code_tail(node)) fire(ErrorId::script_need_value, {set_word});
    stack::OpenFrame frame(set_word, stack::KIND_NATIVE | state.interp_frame);
    if (uint32_t s = eval_expression(code, i, false, false)) return s;
    Cell* value = stack::state.arguments;
    if (state.tracing) [[unlikely]] trace::event(trace::SET, &code, i, &set_word, value);
    if (type_of(*value) == TYPE_UNSET) fire(ErrorId::script_need_value, {set_word});
    Cell target = set_word;
    context::set(target, *value);
    frame.keep();
    return 0;
}

uint32_t eval_set_path(const Cell& code, int32_t& i, const Cell& path) {
    if (i >= code_tail(code.data2)) fire(ErrorId::script_need_value, {path});
    stack::OpenFrame frame(words::word(words::Word::set_path), stack::KIND_NATIVE | state.interp_frame);
    if (uint32_t s = eval_expression(code, i, false, false)) return s;
    if (state.tracing) [[unlikely]] trace::event(trace::SET, &code, i, &path, stack::state.arguments);
    int32_t none = 0;
    if (uint32_t s = eval_path(path, code, none, false, true)) return s;
    frame.keep();
    return 0;
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

uint32_t eval_block(const Cell& block_cell, bool set, bool system) {
    Cell block = block_cell;
    NodeId node = cell_node(block);
    KeepCurrentBlock keep;
    ArgumentScope scope;
    int32_t index = int32_t(block.data1);
    if (state.tracing && !system) [[unlikely]] trace::event(trace::ENTER, &block, index, nullptr, nullptr);
    if (index >= code_tail(node)) {
        stack::push(unset_value);
    } else {
        if (!system) state.current_block = block;
        do {
            if (!system) state.current_block.data1 = uint32_t(index);
            stack::state.top = scope.start;
            if (uint32_t s = eval_expression(block, index, false, false)) [[unlikely]]
                return s;
            if (state.tracing && !system) [[unlikely]]
                trace::event(trace::EXPR, &block, index, nullptr, scope.start);
        } while (index < code_tail(node));
    }
    if (state.tracing && !system) [[unlikely]]
        trace::event(trace::EXIT, &block, code_tail(node), nullptr, scope.start);
    scope.finished = true;
    if (set) *scope.caller = *scope.start;
    stack::state.top = scope.start + 1;
    return 0;
}

// A block evaluated while library code runs (the branches and loops of a
// library function) is library code too: the Near of an error raised in it
// shows the caller's expression.
uint32_t eval(const Cell& block, bool set) { return eval_block(block, set, state.interp_frame == 0); }

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

uint32_t eval_expression(const Cell& code, int32_t& i, bool no_infix, bool passive) {
    NodeId node = code.data2;
    Cell* start = stack::state.top;
    Cell v = *code_at(node, i);
    if (state.tracing) [[unlikely]] trace::event(trace::FETCH, &code, i, nullptr, &v);
    ++i;
    switch (type_of(v)) {
    case TYPE_WORD: {
        const Cell* slot = context::get(v);
        uint32_t t = type_of(*slot);
        if (is_callable(t)) {
            // eval_call copies the callee before anything can move the slot.
            if (uint32_t s = eval_call(*slot, &code, i, v, nullptr, 0, false, 0)) return s;
        } else if (t == TYPE_UNSET) [[unlikely]] {
            fire(ErrorId::script_no_value, {v});
        } else if (t == TYPE_OP) [[unlikely]] {
            fire(ErrorId::script_no_op_arg, {v});
        } else {
            Cell* pushed = push_value(*slot);
            if (state.tracing) [[unlikely]] trace::event(trace::PUSH, &code, i, nullptr, pushed);
        }
        break;
    }
    case TYPE_SET_WORD:
        if (uint32_t s = eval_set_word(code, i, v)) return s;
        break;
    case TYPE_PAREN:
        if (uint32_t s = eval(v, false)) return s;
        break;
    case TYPE_GET_WORD:
        push_value(*context::get(v));
        if (state.tracing) [[unlikely]] trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    case TYPE_LIT_WORD:
        v.header = TYPE_WORD;
        push_value(v);
        if (state.tracing) [[unlikely]] trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    case TYPE_PATH:
    case TYPE_GET_PATH:
        if (uint32_t s = eval_path(v, code, i, type_of(v) == TYPE_GET_PATH, false)) return s;
        if (state.tracing) [[unlikely]] trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    case TYPE_SET_PATH:
        if (uint32_t s = eval_set_path(code, i, v)) return s;
        break;
    case TYPE_LIT_PATH:
        v.header = TYPE_PATH;
        v.data3 = 0;
        push_value(v);
        if (state.tracing) [[unlikely]] trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    case TYPE_OP:
        fire(ErrorId::internal_not_done);
    case TYPE_NATIVE:
    case TYPE_ACTION:
    case TYPE_FUNCTION:
    case TYPE_ROUTINE:
        if (passive) {
            push_value(v);
            if (state.tracing) [[unlikely]] trace::event(trace::PUSH, &code, i, nullptr, start);
        } else if (uint32_t s = eval_call(v, &code, i, v, nullptr, 0, false, 0)) {
            return s;
        }
        break;
    case TYPE_ISSUE:
        if (i < code_tail(node) && type_of(*code_at(node, i)) == TYPE_BLOCK && is_system_issue(v))
            fire(ErrorId::internal_kel_system);
        [[fallthrough]];
    default:
        push_value(v);
        if (state.tracing) [[unlikely]] trace::event(trace::PUSH, &code, i, nullptr, start);
        break;
    }
    if (no_infix) return 0;
    // Infix look-ahead: operators bind left to right, each taking the value
    // so far as its left operand.
    for (;;) {
        if (i >= code_tail(node)) return 0;
        Cell w = *code_at(node, i);
        if (type_of(w) != TYPE_WORD) return 0;
        const Cell* slot = peek(w);
        if (!slot || type_of(*slot) != TYPE_OP) return 0;
        Cell op = *slot;
        if (!state.tracing) [[likely]] {
            int32_t fast_code = fast::op_code(op);
            if (fast_code >= 0 && fast::is_number(type_of(*start))) {
                if (fast::infix(fast_code, *start, node, i)) continue;
                // The right operand is an expression: evaluate it here, then
                // compute inline when it is a number too.
                ++i;
                stack::state.top = start + 1;
                if (uint32_t s = eval_expression(code, i, true, false)) return s;
                if (fast::compute(fast_code, *start, start[1], *start)) {
                    stack::state.top = start + 1;
                    continue;
                }
                Cell callee = op;
                callee.header = native::wrapped_type(op);
                if (uint32_t s = call_operands(callee, w, start)) return s;
                continue;
            }
        }
        if (state.tracing) [[unlikely]] trace::event(trace::FETCH, &code, i, nullptr, &w);
        ++i;
        stack::state.top = start + 1;
        Cell callee = op;
        callee.header = native::wrapped_type(op);
        if (uint32_t s = eval_call(callee, &code, i, w, nullptr, 0, true, 0)) return s;
    }
}

}  // namespace kel::interpreter
