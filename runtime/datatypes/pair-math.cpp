// pair! arithmetic with its escalation into point2D! math, and the other
// actions that compute components: absolute, negate, round, random and
// reverse.
#include <climits>

#include "runtime/core/fire.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/pair-internal.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/numbers/float-to-integer.h"
#include "runtime/numbers/float32.h"
#include "runtime/numbers/random.h"

namespace kel::pair {

namespace {

[[noreturn]] void fire_invalid_arg(const Cell& value) { fire(ErrorId::script_invalid_arg, {value}); }

// The frame's pair and second operand (x2, y2) are done again as point2D!
// math.
void escalate(int32_t op, bool number_left, int32_t x2, int32_t y2) {
    Cell* frame = stack::arguments();
    frame[0] = to_point(frame[0]);
    frame[1] = to_point(make_cell(x2, y2));
    point::do_math(op, number_left);
}

// One component through the integer op core: false when its result is no
// integer. -2147483648 / -1 has the float quotient 2147483648 like any
// other overflow.
bool component(int32_t left, int32_t right, int32_t op, int32_t& result) {
    if (op == MATH_DIVIDE && left == INT32_MIN && right == -1) return false;
    Cell scratch = make_integer(0);
    result = integer::do_math(left, right, op, &scratch);
    return type_of(scratch) == TYPE_INTEGER;
}

}  // namespace

void do_math(int32_t op, bool number_left) {
    Cell* frame = stack::arguments();
    Cell p = frame[0];
    const Cell right = frame[1];
    int32_t x2, y2;
    switch (type_of(right)) {
    case TYPE_PAIR:
        x2 = x_of(right);
        y2 = y_of(right);
        break;
    case TYPE_INTEGER:
        x2 = y2 = int32_t(right.data2);
        break;
    case TYPE_POINT2D:
        frame[0] = to_point(p);
        point::do_math(op, number_left);
        return;
    case TYPE_FLOAT:
    case TYPE_PERCENT: {
        double f = cell_double(right);
        if (op == MATH_MULTIPLY || op == MATH_DIVIDE) {
            // Products and quotients by a float are point2D! values.
            if (float_::is_nan(f) || (op == MATH_MULTIPLY && float_::nan_or_inf(f))) fire_invalid_arg(right);
            frame[0] = to_point(p);
            point::do_math(op, number_left);
            return;
        }
        numbers::Int32Conversion n = numbers::trunc_to_int32(f);
        if (!n.ok) fire_invalid_arg(right);
        x2 = y2 = n.value;
        break;
    }
    default:
        fire(ErrorId::script_invalid_type, {datatype::make(type_of(right))});
    }
    int32_t x, y;
    bool exact = number_left ? component(x2, x_of(p), op, x) && component(y2, y_of(p), op, y)
                             : component(x_of(p), x2, op, x) && component(y_of(p), y2, op, y);
    if (!exact) {
        escalate(op, number_left, x2, y2);
        return;
    }
    make_at(frame[0], x, y);
}

void absolute() {
    Cell* p = stack::arguments();
    make_at(*p, integer::abs(x_of(*p)), integer::abs(y_of(*p)));
}

void negate(Cell* out, Cell* value) {
    int32_t x = x_of(*value), y = y_of(*value);
    if (x == INT32_MIN || y == INT32_MIN) fire(ErrorId::math_overflow);
    *out = make_cell(-x, -y);
}

void reverse(Cell* out, Cell* value, Cell*, Cell*) { *out = make_cell(y_of(*value), x_of(*value)); }

void round(Cell* out, Cell* value, const RoundOptions& options) {
    const Cell* scale = options.scale;
    if (scale && type_of(*scale) == TYPE_MONEY) actions::fire_not_related(ACTION_ROUND, TYPE_MONEY);
    bool per_component = scale && type_of(*scale) == TYPE_PAIR;
    int32_t parts[2] = {x_of(*value), y_of(*value)};
    for (int i = 0; i < 2; ++i) {
        Cell c = make_integer(parts[i]);
        Cell own = per_component ? make_integer(i == 0 ? x_of(*scale) : y_of(*scale)) : scale ? *scale : none_value;
        RoundOptions o = options;
        o.scale = scale ? &own : nullptr;
        Cell r;
        integer::round(&r, &c, o);
        if (type_of(r) == TYPE_INTEGER) {
            parts[i] = int32_t(r.data2);
            continue;
        }
        // A float result (a float! or percent! scale) is truncated back.
        numbers::Int32Conversion n = numbers::trunc_to_int32(cell_double(r));
        if (!n.ok) fire(ErrorId::math_overflow);
        parts[i] = n.value;
    }
    *out = make_cell(parts[0], parts[1]);
}

void random(Cell* out, Cell* value, const RandomOptions& options) {
    int32_t x = x_of(*value), y = y_of(*value);
    if (options.seed) {
        random::seed(x ^ y);
        *out = unset_value;
        return;
    }
    if (x != 0) x = random::uniform(x, options.secure);
    if (y != 0) y = random::uniform(y, options.secure);
    *out = make_cell(x, y);
}

}  // namespace kel::pair
