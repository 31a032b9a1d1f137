// float! arithmetic: the op core, the mixed-type dispatcher of the float
// family, and the math actions.
//
// Result types of the dispatcher: time! when either operand is a time!;
// otherwise percent! when the left operand is a percent!; otherwise float!
// (an integer! on the left becomes a float!). So 10% + 0.5 is a percent!,
// 0.5 + 10% a float!, 1.5 + 0:00:01 a time!.
#include <cmath>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/float-internal.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"

namespace kel::float_ {

namespace {

bool integral_type(uint32_t type) { return type == TYPE_INTEGER || type == TYPE_CHAR; }

double number_of(const Cell& c) { return integral_type(type_of(c)) ? double(int32_t(c.data2)) : cell_double(c); }

}  // namespace

double do_math(double a, double b, int32_t op) {
    switch (op) {
    case MATH_ADD:
        return a + b;
    case MATH_SUBTRACT:
        return a - b;
    case MATH_MULTIPLY:
        return a * b;
    case MATH_DIVIDE:
        return a / b;
    case MATH_REMAINDER:
        if (std::isnan(b)) return b;
        if (std::isinf(b)) return std::isfinite(a) ? a : NAN;
        return std::fmod(a, b);
    default:
        fire(ErrorId::script_cannot_use, {make_integer(action_of_math_op(op)), datatype::make(TYPE_FLOAT)});
    }
}

void do_math_op(int32_t op) {
    Cell* left = stack::arguments();
    const Cell& right = left[1];
    uint32_t lt = type_of(*left), rt = type_of(right);
    switch (rt) {
    case TYPE_TUPLE:
    case TYPE_MONEY:
    case TYPE_VECTOR:
        number_services::hand_over(op);
        return;
    case TYPE_PAIR:
    case TYPE_POINT2D:
    case TYPE_POINT3D:
        if (lt == TYPE_TIME) break;  // refused below
        if (op == MATH_SUBTRACT || op == MATH_DIVIDE) actions::fire_not_related(action_of_math_op(op), rt);
        number_services::hand_over(op);
        return;
    default:
        break;
    }
    bool number = integral_type(rt) || rt == TYPE_FLOAT || rt == TYPE_PERCENT || rt == TYPE_TIME;
    if (!number || (rt == TYPE_CHAR && (lt == TYPE_TIME || lt == TYPE_PERCENT)))
        fire(ErrorId::script_invalid_type, {datatype::make(rt)});
    double r = do_math(number_of(*left), number_of(right), op);
    uint32_t type = lt == TYPE_TIME || rt == TYPE_TIME ? TYPE_TIME : lt == TYPE_PERCENT ? TYPE_PERCENT : TYPE_FLOAT;
    set_type(*left, type);
    left->data1 = 0;
    set_cell_double(*left, r);
}

void add() { do_math_op(MATH_ADD); }
void subtract() { do_math_op(MATH_SUBTRACT); }
void multiply() { do_math_op(MATH_MULTIPLY); }
void divide() { do_math_op(MATH_DIVIDE); }
void remainder() { do_math_op(MATH_REMAINDER); }

void absolute() {
    Cell* value = stack::arguments();
    set_cell_double(*value, std::fabs(get(*value)));
}

// 0.0 minus the value: negating 0.0 gives 0.0.
void negate(Cell* out, Cell* value) { *out = make_cell(0.0 - get(*value), type_of(*value)); }

// The base keeps its type (float! or percent!).
void power() {
    Cell* base = stack::arguments();
    const Cell& exponent = base[1];
    uint32_t type = type_of(exponent);
    if (type != TYPE_INTEGER && type != TYPE_FLOAT) actions::fire_expect_arg(ACTION_POWER, type);
    set_cell_double(*base, std::pow(get(*base), number_of(exponent)));
}

// Parity of the value truncated toward zero, tested in double so that no
// value is cut to 32 bits; NaN and the infinities are neither even nor odd.
bool even(const Cell& value) {
    double d = get(value);
    return std::isfinite(d) && std::fmod(std::trunc(d), 2.0) == 0.0;
}

bool odd(const Cell& value) {
    double d = get(value);
    return std::isfinite(d) && std::fmod(std::trunc(d), 2.0) != 0.0;
}

}  // namespace kel::float_
