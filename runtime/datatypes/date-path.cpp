// date! path access: reading any of the fourteen fields and writing them in
// place, then telling the owner of the date.
#include "runtime/core/fire.h"
#include "runtime/datatypes/date-internal.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/scalar-path.h"
#include "runtime/datatypes/time.h"

namespace kel::date {

namespace {

enum Field { DATE = 1, YEAR, MONTH, DAY, ZONE, TIME, HOUR, MINUTE, SECOND, WEEKDAY, YEARDAY, TIMEZONE, WEEK, ISOWEEK };

int32_t integer_arg(const Cell& value) {
    if (type_of(value) != TYPE_INTEGER) fire(ErrorId::script_invalid_arg, {value});
    return int32_t(value.data2);
}

void move_to_day(Cell& d, int64_t days) { d.data1 = days_to_date(days, zone_of(d.data1), has_time(d.data1)); }

// Writes the field of the date in place.
void write(Cell& d, int32_t field, const Cell& value) {
    switch (field) {
    case DATE:
        if (type_of(value) != TYPE_DATE) fire(ErrorId::script_invalid_arg, {value});
        d.data1 = (value.data1 & ~ZONE_MASK) | zone_of(d.data1);
        return;
    case YEAR: {
        uint32_t word = with_year(d.data1, integer_arg(value));
        move_to_day(d, date_to_days(word));
        return;
    }
    case MONTH:
        set_month(d, integer_arg(value));
        return;
    case DAY: {
        int32_t n = integer_arg(value);
        move_to_day(d, int64_t(date_to_days(with_month_day(d.data1, month_of(d.data1), 0))) + n);
        return;
    }
    case ZONE:
    case TIMEZONE:
        // The flag is set before the value is looked at.
        d.data1 |= TIME_FLAG;
        set_zone(d, value, field == TIMEZONE);
        return;
    case TIME:
        if (type_of(value) == TYPE_NONE) {
            d.data1 &= ~TIME_FLAG;
            set_cell_double(d, 0.0);
            return;
        }
        if (type_of(value) != TYPE_TIME) fire(ErrorId::script_invalid_arg, {value});
        d.data1 |= TIME_FLAG;
        set_time(d, time_::get(value), true);
        return;
    case HOUR:
    case MINUTE:
    case SECOND: {
        uint32_t type = type_of(value);
        if (type != TYPE_INTEGER && (field != SECOND || type != TYPE_FLOAT)) fire(ErrorId::script_invalid_arg, {value});
        double v = type == TYPE_INTEGER ? double(int32_t(value.data2)) : cell_double(value);
        double t = time_::with_part(cell_double(d), field - HOUR + 1, v);
        d.data1 |= TIME_FLAG;
        set_time(d, t, field == HOUR);
        return;
    }
    case WEEKDAY: {
        int32_t n = integer_arg(value);
        set_weekday(d, n);
        return;
    }
    case YEARDAY:
        set_yearday(d, integer_arg(value));
        return;
    case WEEK: {
        int32_t n = integer_arg(value);
        int64_t start = year_start(d.data1);
        move_to_day(d, n <= 1 ? start : start + (int64_t(n) - 2) * 7 + 7 - week_offset(d.data1));
        return;
    }
    default:
        set_isoweek(d, integer_arg(value));
        return;
    }
}

}  // namespace

void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    Cell path = step.path ? *step.path : none_value;
    int32_t field = -1;
    if (type_of(*element) == TYPE_INTEGER) {
        int32_t n = int32_t(element->data2);
        if (n >= 1 && n <= 14) field = n;
    } else {
        field = field_index(*element, path);
    }
    if (field < 0) fire(ErrorId::script_invalid_path, {path, *element});
    if (!value) {
        *out = date::field(*parent, field);
        return;
    }
    Cell set = *value;
    // A zone write marks the date as timed even when its value is refused.
    if (field == ZONE || field == TIMEZONE) parent->data1 |= TIME_FLAG;
    Cell old = *parent;
    Cell d = old;
    write(d, field, set);
    *parent = d;
    scalar_path::tell_owner(step, old, *parent, set, field);
    *out = set;
}

}  // namespace kel::date
