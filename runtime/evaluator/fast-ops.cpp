#include "runtime/evaluator/fast-ops.h"

#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/native.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/natives.h"

namespace kel::interpreter::fast {

namespace {

inline Cell integer_cell(int32_t v) { return Cell{TYPE_INTEGER, 0, uint32_t(v), 0}; }

bool math(int32_t op, const Cell& left, const Cell& right, Cell& out) {
    uint32_t lt = type_of(left), rt = type_of(right);
    if (lt == TYPE_INTEGER && rt == TYPE_INTEGER) {
        int32_t a = int32_t(left.data2), b = int32_t(right.data2), r;
        bool overflow;
        switch (op) {
        case MATH_ADD: overflow = __builtin_add_overflow(a, b, &r); break;
        case MATH_SUBTRACT: overflow = __builtin_sub_overflow(a, b, &r); break;
        default: overflow = __builtin_mul_overflow(a, b, &r); break;
        }
        if (!overflow) [[likely]] {
            out = integer_cell(r);
        } else {
            out = float_::make_cell(float_::do_math(double(a), double(b), op));
        }
        return true;
    }
    double a = lt == TYPE_INTEGER ? double(int32_t(left.data2)) : cell_double(left);
    double b = rt == TYPE_INTEGER ? double(int32_t(right.data2)) : cell_double(right);
    out = float_::make_cell(float_::do_math(a, b, op));
    return true;
}

bool compare(int32_t op, const Cell& left, const Cell& right, Cell& out) {
    int32_t r;
    if (type_of(left) == TYPE_INTEGER && type_of(right) == TYPE_INTEGER) {
        int32_t a = int32_t(left.data2), b = int32_t(right.data2);
        r = (a > b) - (a < b);
    } else if (type_of(left) == TYPE_INTEGER) {
        r = integer::compare(left, right, op);
    } else {
        r = float_::compare(left, right, op);
    }
    bool answer;
    switch (op) {
    case COMP_EQUAL: case COMP_STRICT_EQUAL: answer = r == 0; break;
    case COMP_NOT_EQUAL: answer = r != 0; break;
    case COMP_LESSER: answer = r < 0; break;
    case COMP_LESSER_EQUAL: answer = r <= 0; break;
    case COMP_GREATER: answer = r > 0; break;
    default: answer = r >= 0; break;
    }
    out = logic::make_cell(answer);
    return true;
}

}  // namespace


bool compute(int32_t code, const Cell& left, const Cell& right, Cell& out) {
    if (code < 0 || !is_number(type_of(left)) || !is_number(type_of(right))) return false;
    if (code >= COMPARE_BASE) return compare(code - COMPARE_BASE, left, right, out);
    return math(code, left, right, out);
}


}  // namespace kel::interpreter::fast
