// time! arithmetic, round and parity.
#include <cmath>

#include "runtime/datatypes/float.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/time-internal.h"
#include "runtime/datatypes/time.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"

namespace kel::time_ {

namespace {

uint32_t right_type() { return type_of(stack::arguments()[1]); }

// Parity of the whole seconds of the minute; NaN and infinities have none.
double whole_seconds(const Cell& value) {
    double t = get(value);
    return std::trunc(std::fmod(t >= 0 ? t + 1e-6 : t - 1e-6, 60));
}

}  // namespace

void add() {
    // A time added to a date! is the date's addition.
    if (right_type() == TYPE_DATE)
        number_services::hand_over(MATH_ADD);
    else
        float_::do_math_op(MATH_ADD);
}

void subtract() {
    if (right_type() == TYPE_DATE) actions::fire_not_related(ACTION_SUBTRACT, TYPE_TIME);
    float_::do_math_op(MATH_SUBTRACT);
}

void multiply() {
    if (right_type() == TYPE_TIME) actions::fire_not_related(ACTION_MULTIPLY, TYPE_TIME);
    float_::do_math_op(MATH_MULTIPLY);
}

// A time divided by a time is the float! ratio.
void divide() {
    Cell* frame = stack::arguments();
    if (type_of(frame[1]) == TYPE_TIME) {
        *frame = float_::make_cell(get(frame[0]) / get(frame[1]));
        return;
    }
    float_::do_math_op(MATH_DIVIDE);
}

// float! round; an integer! scale counts as the float! of its value, so that
// the result stays a number of seconds and never has to fit 32 bits.
void round(Cell* out, Cell* value, const RoundOptions& options) {
    RoundOptions o = options;
    Cell scale{};
    if (options.scale && type_of(*options.scale) == TYPE_INTEGER) {
        scale = float_::make_cell(double(int32_t(options.scale->data2)));
        o.scale = &scale;
    }
    Cell rounded;
    float_::round(&rounded, value, o);
    *out = make_cell(cell_double(rounded));
}

bool even(const Cell& value) {
    double w = whole_seconds(value);
    return std::isfinite(w) && std::fmod(w, 2.0) == 0.0;
}

bool odd(const Cell& value) {
    double w = whole_seconds(value);
    return std::isfinite(w) && std::fmod(w, 2.0) != 0.0;
}

}  // namespace kel::time_
