// integer! arithmetic: the op core, the mixed-type dispatcher and the math
// actions.
#include <climits>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer-internal.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"

namespace kel::integer {

namespace {

// The cell becomes a float! holding d (flags kept).
void make_float_at(Cell* cell, double d) {
    set_type(*cell, TYPE_FLOAT);
    cell->data1 = 0;
    set_cell_double(*cell, d);
}

// The C++ division and remainder are undefined for these operands.
void check_division(int32_t left, int32_t right) {
    if (right == 0) fire(ErrorId::math_zero_divide);
    if (left == INT32_MIN && right == -1) fire(ErrorId::math_overflow);
}

}  // namespace

int32_t abs(int32_t n) {
    if (n == INT32_MIN) fire(ErrorId::math_overflow);
    return n < 0 ? -n : n;
}

int32_t do_math(int32_t left, int32_t right, int32_t op, Cell* result) {
    int32_t r = 0;
    bool overflow = false;
    double exact = 0;
    switch (op) {
    case MATH_ADD:
        overflow = __builtin_add_overflow(left, right, &r);
        exact = double(left) + double(right);
        break;
    case MATH_SUBTRACT:
        overflow = __builtin_sub_overflow(left, right, &r);
        exact = double(left) - double(right);
        break;
    case MATH_MULTIPLY:
        overflow = __builtin_mul_overflow(left, right, &r);
        exact = double(left) * double(right);
        break;
    case MATH_DIVIDE:
        check_division(left, right);
        if (result && left % right != 0) {
            make_float_at(result, double(left) / double(right));
            return 0;
        }
        r = left / right;
        break;
    case MATH_REMAINDER:
        check_division(left, right);
        r = left % right;
        break;
    case MATH_OR:
        r = left | right;
        break;
    case MATH_AND:
        r = left & right;
        break;
    case MATH_XOR:
        r = left ^ right;
        break;
    default:
        no_switch_matched();
    }
    if (overflow) {
        if (result) make_float_at(result, exact);
        return 0;
    }
    if (result) result->data2 = uint32_t(r);  // the cell keeps its type
    return r;
}

void do_math_op(int32_t op) {
    Cell* left = stack::arguments();
    const Cell& right = left[1];
    uint32_t type = type_of(right);
    switch (type) {
    case TYPE_INTEGER:
    case TYPE_CHAR:
        do_math(get(*left), get(right), op, left);
        return;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME:
        float_::do_math_op(op);
        return;
    case TYPE_PAIR:
    case TYPE_POINT2D:
    case TYPE_POINT3D:
        // n - p is the pair's own subtraction with the number on the
        // left, never (-p) + n, which would overflow for -2147483648.
        if (op == MATH_DIVIDE) actions::fire_not_related(ACTION_DIVIDE, TYPE_INTEGER);
        number_services::hand_over(op);
        return;
    case TYPE_TUPLE:
        if (op == MATH_SUBTRACT || op == MATH_DIVIDE) actions::fire_not_related(action_of_math_op(op), TYPE_INTEGER);
        number_services::hand_over(op);
        return;
    case TYPE_DATE:
        // A number of days can only be added to a date.
        if (op != MATH_ADD) actions::fire_not_related(action_of_math_op(op), TYPE_INTEGER);
        number_services::hand_over(op);
        return;
    case TYPE_MONEY:
    case TYPE_VECTOR:
        number_services::hand_over(op);
        return;
    default:
        fire(ErrorId::script_invalid_type, {datatype::make(type)});
    }
}

void add() { do_math_op(MATH_ADD); }
void subtract() { do_math_op(MATH_SUBTRACT); }
void multiply() { do_math_op(MATH_MULTIPLY); }
void divide() { do_math_op(MATH_DIVIDE); }
void remainder() { do_math_op(MATH_REMAINDER); }
void and_t() { do_math_op(MATH_AND); }
void or_t() { do_math_op(MATH_OR); }
void xor_t() { do_math_op(MATH_XOR); }

// The value keeps its type: char! inherits this slot.
void absolute() {
    Cell* value = stack::arguments();
    value->data2 = uint32_t(abs(get(*value)));
}

void negate(Cell* out, Cell* value) {
    int32_t n = get(*value);
    if (n == INT32_MIN) fire(ErrorId::math_overflow);
    *out = make_integer(-n);
}

void complement(Cell* out, Cell* value) { *out = make_integer(~get(*value)); }

// A non-negative integer exponent squares in 32 bits while the result fits;
// a power that overflows, a negative or a float! exponent is computed as a
// float! by float!'s power.
void power() {
    Cell* base = stack::arguments();
    const Cell& exponent = base[1];
    uint32_t type = type_of(exponent);
    if (type != TYPE_INTEGER && type != TYPE_FLOAT) actions::fire_expect_arg(ACTION_POWER, type);
    if (type == TYPE_INTEGER && get(exponent) >= 0) {
        int32_t b = get(*base), e = get(exponent), r = 1;
        bool overflow = false;
        while (e != 0 && !overflow) {
            if (e & 1) overflow = __builtin_mul_overflow(r, b, &r);
            e >>= 1;
            if (e != 0 && !overflow) overflow = __builtin_mul_overflow(b, b, &b);
        }
        if (!overflow) {
            make_at(*base, r);
            return;
        }
    }
    *base = float_::make_cell(double(get(*base)));
    float_::power();
}

}  // namespace kel::integer
