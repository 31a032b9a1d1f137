// date! arithmetic: days and times added or taken away, and the whole days
// between two dates.
#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/datatypes/date-internal.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/time.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"

namespace kel::date {

void do_math(int32_t op) {
    Cell* frame = stack::arguments();
    Cell d = frame[0];
    const Cell right = frame[1];
    int64_t days = 0;
    double time = 0.0;
    bool timed = has_time(d.data1);
    switch (type_of(right)) {
    case TYPE_INTEGER:
        days = int32_t(right.data2);
        break;
    case TYPE_TIME:
        time = time_::get(right);
        timed = true;
        break;
    case TYPE_DATE: {
        if (op == MATH_ADD) actions::fire_not_related(ACTION_ADD, TYPE_DATE);
        // The whole days between the two instants, rounded down: the
        // same count whatever zone the dates are in.
        double seconds = double(int64_t(date_to_days(d.data1)) - date_to_days(right.data1)) * 86400.0 +
            (cell_double(d) - cell_double(right));
        double whole = std::floor(seconds / 86400.0);
        if (!(whole >= -2147483648.0 && whole <= 2147483647.0))
            fire(ErrorId::script_type_limit, {datatype::make(TYPE_INTEGER)});
        frame[0] = make_integer(int32_t(whole));
        return;
    }
    default:
        fire(ErrorId::script_invalid_type, {datatype::make(type_of(right))});
    }
    bool add = op == MATH_ADD;
    int64_t n = int64_t(date_to_days(d.data1)) + (add ? days : -days);
    double t = add ? cell_double(d) + time : cell_double(d) - time;
    uint32_t zone = zone_of(d.data1);
    int32_t moved = normalize_time(n, t, zone);
    frame[0] = make_cell(days_to_date(moved, zone, timed), t);
}

void add() { do_math(MATH_ADD); }
void subtract() { do_math(MATH_SUBTRACT); }

}  // namespace kel::date
