// The interpreter's inline arithmetic for operators on numbers. The infix
// look-ahead asks `infix` first: when the op wraps the add, subtract or
// multiply action or one of the seven comparison natives (keyed on the
// wrapped index: an op a script makes over its own function never matches),
// the left operand is an integer! or float! and the right operand is a number
// literal or a word holding one, the result replaces the left operand, the
// position moves past the operand and the answer is true. Otherwise nothing
// changes and the op is called as usual. Results are the actions', type and
// bits (tests/evaluator/fast-ops-test.cpp checks them against the actions).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/native.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/natives.h"

namespace kel::interpreter::fast {

// The math op (MATH_ADD ... MATH_MULTIPLY) or comparison op (COMP_EQUAL ...
// COMP_GREATER_EQUAL, offset by COMPARE_BASE) an op! stands for, or -1.
inline constexpr int32_t COMPARE_BASE = 16;
inline int32_t op_code(const Cell& op) {
    uint32_t wrapped = native::wrapped_type(op);
    uint32_t index = op.data1;
    if (wrapped == TYPE_ACTION) {
        switch (index) {
        case ACTION_ADD:
            return MATH_ADD;
        case ACTION_SUBTRACT:
            return MATH_SUBTRACT;
        case ACTION_MULTIPLY:
            return MATH_MULTIPLY;
        default:
            return -1;
        }
    }
    if (wrapped == TYPE_NATIVE) {
        int32_t c = natives::comparison_op(int32_t(index));
        return c < 0 ? -1 : COMPARE_BASE + c;
    }
    return -1;
}

inline bool is_number(uint32_t t) { return t == TYPE_INTEGER || t == TYPE_FLOAT; }

namespace detail {
// The comparison of two numbers that are not both integers (the integer
// and float actions' compare, with the float's tolerant equality) as a logic
// cell; out of line, the benchmarks' loops compare integers.
Cell compare_mixed(int32_t op, const Cell& left, const Cell& right);
}  // namespace detail

// Computes `left op right` for two integer! or float! operands into out;
// false when an operand is of another type (then out is untouched). Both
// operands are read before out is written, so out may be the left operand.
// Inline: the infix look-ahead runs it for every operator on numbers.
[[gnu::always_inline]] inline bool compute(int32_t code, const Cell& left, const Cell& right, Cell& out) {
    uint32_t lt = type_of(left), rt = type_of(right);
    if (code < 0 || !is_number(lt) || !is_number(rt)) return false;
    if (code >= COMPARE_BASE) {
        int32_t op = code - COMPARE_BASE;
        if (lt != TYPE_INTEGER || rt != TYPE_INTEGER) {
            out = detail::compare_mixed(op, left, right);
            return true;
        }
        int32_t a = int32_t(left.data2), b = int32_t(right.data2);
        bool answer;
        switch (op) {
        case COMP_EQUAL:
        case COMP_STRICT_EQUAL:
            answer = a == b;
            break;
        case COMP_NOT_EQUAL:
            answer = a != b;
            break;
        case COMP_LESSER:
            answer = a < b;
            break;
        case COMP_LESSER_EQUAL:
            answer = a <= b;
            break;
        case COMP_GREATER:
            answer = a > b;
            break;
        default:
            answer = a >= b;
            break;
        }
        out = Cell{TYPE_LOGIC, uint32_t(answer), 0, 0};
        return true;
    }
    double x, y;
    if (lt == TYPE_INTEGER && rt == TYPE_INTEGER) {
        int32_t a = int32_t(left.data2), b = int32_t(right.data2), r;
        bool overflow;
        switch (code) {
        case MATH_ADD:
            overflow = __builtin_add_overflow(a, b, &r);
            break;
        case MATH_SUBTRACT:
            overflow = __builtin_sub_overflow(a, b, &r);
            break;
        default:
            overflow = __builtin_mul_overflow(a, b, &r);
            break;
        }
        if (!overflow) [[likely]] {
            out = Cell{TYPE_INTEGER, 0, uint32_t(r), 0};
            return true;
        }
        // An overflow gives the float of the double arithmetic of both.
        x = double(a);
        y = double(b);
    } else {
        x = lt == TYPE_INTEGER ? double(int32_t(left.data2)) : cell_double(left);
        y = rt == TYPE_INTEGER ? double(int32_t(right.data2)) : cell_double(right);
    }
    double r = code == MATH_ADD ? x + y : code == MATH_SUBTRACT ? x - y : x * y;
    out = Cell{TYPE_FLOAT, 0, 0, 0};
    set_cell_double(out, r);
    return true;
}

// The look-ahead's entry for an op whose code is `code` (op_code) and a
// number on the left: i is the position of the op word in the code.
[[gnu::always_inline]] inline bool infix(int32_t fast_code, Cell& left, NodeId code, int32_t& i) {
    int32_t next = i + 1;
    if (next >= code_tail(code)) return false;
    const Cell* right = code_at(code, next);
    if (type_of(*right) == TYPE_WORD) {
        right = peek(*right);
        if (!right) return false;
    }
    if (!is_number(type_of(*right))) return false;
    // The result goes straight into left (compute reads both operands
    // first): a copy through a temporary stalls on the partial stores.
    compute(fast_code, left, *right, left);
    i = next + 1;
    return true;
}

namespace detail {
// push_inline past its first operand `left`, with a word at `i`: the
// operator loop, out of line.
bool push_inline_infix(const Cell* cells, int32_t tail, const Cell* left, int32_t i, int32_t& index);
}  // namespace detail

// A value the untraced evaluator takes inline, read in place: an inert
// literal, or a word holding a value that is neither callable, unset, a
// word nor an op!; null for anything else.
inline const Cell* inline_operand(const Cell* c) {
    uint32_t t = type_of(*c);
    if (t == TYPE_WORD) {
        c = peek(*c);
        if (!c) return nullptr;
        t = type_of(*c);
        if (t == TYPE_UNSET || t == TYPE_WORD) return nullptr;
    }
    if (t >= 64 || !((INERT_TYPES >> t) & 1)) return nullptr;
    return c;
}

// The untraced evaluator's shortcut for a whole expression that needs no
// call: an inline operand, then any number of operators that `infix` would
// compute inline (an op over add, subtract, multiply or a comparison, a
// number on the left, a number literal or a word holding one on the right),
// ended by the code's tail or anything but a word holding an op!. Pushes
// the value, moves index past the expression and answers true. Anything
// else (a call, an operand to evaluate, an op called as a function) answers
// false and changes nothing: the expression evaluator then starts afresh.
// Nothing here allocates or runs code, so the cells are read in place; only
// the push itself can fail (stack overflow), so no frame is needed.
[[gnu::always_inline]] inline bool push_inline(NodeId code, int32_t& index) {
    SeriesBuffer* b = memory::buffer_of(code);
    const Cell* cells = b->cells();
    int32_t tail = int32_t(b->cell_count());
    int32_t i = index;
    const Cell* left = inline_operand(cells + i);
    if (!left) return false;
    ++i;
    if (i < tail && type_of(cells[i]) == TYPE_WORD) return detail::push_inline_infix(cells, tail, left, i, index);
    push_value(*left);
    index = i;
    return true;
}

// Picking and moving through a block! inline, the full action for every
// other value (in a native frame named by `name`); each pushes its result
// and answers its cell. Results are the actions' (pick's eval-path, and
// length? index? head? tail? next back head tail).
//
// pick: index 1 is the head's cell, past the tail gives none; an index
// below 1 (which counts back from the head) goes to the action.
Cell* pick(const Cell& value, int32_t index, const Cell& name);

enum SeriesOp : int32_t { LENGTH_Q = 1, INDEX_Q, HEAD_Q, TAIL_Q, NEXT, BACK, HEAD, TAIL };
Cell* series_op(const Cell& value, int32_t op, const Cell& name);

}  // namespace kel::interpreter::fast
