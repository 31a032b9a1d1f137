// date!: comparison, make and to, random, pick and registration.
#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/date-internal.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/number-services.h"
#include "runtime/datatypes/time.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word.h"
#include "runtime/io/simple-io.h"
#include "runtime/numbers/float-to-integer.h"
#include "runtime/numbers/random.h"

namespace kel::date {

namespace {

// Year, month and day without the time flag and the zone.
int32_t key(const Cell& d) { return int32_t(d.data1 & ~(TIME_FLAG | ZONE_MASK)) >> 7; }

// The slots of a block spec as the reader fills them.
struct Spec {
    int32_t first = 0, month = 0, third = 0;
    int32_t hour = 0, minute = 0, second = 0;
    double float_second = 0.0;
    double time = 0.0;  // the time! element (states 4-7)
    int32_t zone_hours = 0, zone_minutes = 0;
    double zone_time = 0.0;
    int32_t state = 0;
    int32_t count = 0;
};

// One element through the state machine; false when it has no transition.
bool step(Spec& s, const Cell& e) {
    uint32_t type = type_of(e);
    int32_t n = type == TYPE_INTEGER ? int32_t(e.data2) : 0;
    double t = type == TYPE_TIME || type == TYPE_FLOAT ? cell_double(e) : 0.0;
    auto go = [&s](int32_t next) {
        s.state = next;
        return true;
    };
    if (type == TYPE_INTEGER) {
        switch (s.state) {
        case 0:
            s.first = n;
            return go(1);
        case 1:
            s.month = n;
            return go(2);
        case 2:
            s.third = n;
            return go(3);
        case 3:
            s.hour = n;
            return go(8);
        case 4:
            s.zone_hours = n;
            return go(6);
        case 6:
            s.zone_minutes = n;
            return go(7);
        case 8:
            s.minute = n;
            return go(9);
        case 9:
            s.second = n;
            return go(10);
        case 10:
            s.zone_hours = n;
            return go(12);
        case 12:
            s.zone_minutes = n;
            return go(13);
        default:
            return false;
        }
    }
    if (type == TYPE_TIME) {
        switch (s.state) {
        case 3:
            s.time = t;
            return go(4);
        case 4:
            s.zone_time = t;
            return go(5);
        case 10:
            s.zone_time = t;
            return go(11);
        default:
            return false;
        }
    }
    if (type == TYPE_FLOAT && s.state == 9) {
        s.float_second = t;
        return go(10);
    }
    return false;
}

// The zone bits of the spec. Minutes outside 0-59 and magnitudes of 16
// hours or more have no zone to stand for: the spec is refused.
uint32_t spec_zone(const Spec& s, const Cell& spec) {
    bool negative;
    int32_t hours, minutes;
    if (s.state == 5 || s.state == 11) {
        double z = std::fabs(s.zone_time);
        if (!(z < 57600.0)) fire_bad_spec(spec);
        negative = s.zone_time < 0;
        hours = int32_t(time_::hour_part(z));
        minutes = time_::minute_part(z);
    } else {
        if (s.zone_minutes < 0 || s.zone_minutes > 59 || s.zone_hours <= -16 || s.zone_hours >= 16) fire_bad_spec(spec);
        negative = s.zone_hours < 0;
        hours = negative ? -s.zone_hours : s.zone_hours;
        minutes = s.zone_minutes;
    }
    return pack_zone(negative, hours, minutes);
}

void from_block(Cell* out, const Cell& spec, bool strict) {
    Cell blk = spec;
    int32_t count = block::ks_length(blk);
    Spec s;
    for (int32_t i = 0; i < count; ++i) {
        Cell e = block::ks_head(blk)[i];
        if (!step(s, e)) fire_bad_spec(spec);
    }
    if (count < 3) fire_bad_spec(spec);
    // [day month year], or [year month day] when the first is the larger.
    int32_t day = s.first, year = s.third;
    if (s.first >= 100 && s.first > s.third) std::swap(year, day);
    uint32_t zone = spec_zone(s, spec);
    bool clock = s.state >= 8;
    double time = clock ? double(s.hour) * 3600.0 + double(s.minute) * 60.0 +
            (s.float_second != 0.0 ? s.float_second : double(s.second))
                        : s.time;
    Cell d = make_cell(uint32_t(year) << 17, 0.0);
    set_month(d, s.month);
    d.data1 = days_to_date(int64_t(date_to_days(d.data1)) + day, 0, count > 3);
    set_time(d, time, false);
    if (strict) {
        if (year_of(d.data1) != year || month_of(d.data1) != s.month || day_of(d.data1) != day) fire_bad_spec(spec);
        double stored = cell_double(d);
        int32_t given_hour = clock ? s.hour : numbers::trunc_to_int32(time_::hour_part(time)).value;
        int32_t given_minute = clock && s.state >= 9 ? s.minute : time_::minute_part(time);
        if (time != 0.0) {
            double h = time_::hour_part(time);
            if (!(h >= 0 && h <= 23) || time_::minute_part(stored) != given_minute) fire_bad_spec(spec);
        } else if (given_hour != 0 || given_minute != 0) {
            fire_bad_spec(spec);
        }
    }
    d.data1 = (d.data1 & ~ZONE_MASK) | zone;
    set_time(d, cell_double(d), true);
    *out = d;
}

void convert(Cell* out, Cell* spec, bool strict) {
    switch (type_of(*spec)) {
    case TYPE_DATE:
        *out = *spec;
        return;
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH:
        from_block(out, *spec, strict);
        return;
    case TYPE_INTEGER:
        if (!strict) {
            *out = of_instant(int32_t(spec->data2), 0.0, 0);
            return;
        }
        [[fallthrough]];
    default:
        fire_bad_spec(*spec);
    }
}

// The file layer's maker: a file's last write in UTC.
void file_time(Cell* out, const simple_io::WriteTime& t) {
    make_at_hms(*out, t.year, t.month, t.day, t.hour, t.minute, t.second, t.nanosecond);
}

void math_with_number(int32_t op, bool) { do_math(op); }

}  // namespace

int32_t compare(const Cell& a, const Cell& b, int32_t op) {
    if (type_of(b) != TYPE_DATE) return COMP_NOT_COMPARABLE;
    int32_t k1 = key(a), k2 = key(b);
    double t1 = cell_double(a), t2 = cell_double(b);
    if (op == COMP_SAME) return k1 == k2 && a.data2 == b.data2 && a.data3 == b.data3 ? 0 : 1;
    bool equal = k1 == k2 && float_::almost_equal(t1, t2);
    switch (op) {
    case COMP_EQUAL:
    case COMP_NOT_EQUAL:
    case COMP_STRICT_EQUAL:
    case COMP_FIND:
    case COMP_MATCH:
    case COMP_CASE_MATCH:
        return equal ? 0 : 1;
    default:
        break;
    }
    if (equal) return 0;
    if (k1 != k2) return k1 < k2 ? -1 : 1;
    if (t1 < t2) return -1;
    if (t1 > t2) return 1;
    return 0;
}

void make(Cell* out, Cell*, Cell* spec, uint32_t) { convert(out, spec, true); }
void to(Cell* out, Cell*, Cell* spec, uint32_t) { convert(out, spec, false); }

void random(Cell* out, Cell* value, const RandomOptions& options) {
    Cell d = *value;
    if (options.seed) {
        numbers::Int32Conversion t = numbers::trunc_to_int32(std::fmod(cell_double(d), 4294967296.0));
        random::seed(int32_t(d.data1 + uint32_t(t.value)));
        *out = unset_value;
        return;
    }
    int32_t r = random::uniform(date_to_days(d.data1), options.secure);
    d.data1 = days_to_date(int64_t(r) - 1, zone_of(d.data1), has_time(d.data1));
    if (has_time(d.data1)) {
        uint32_t zone = uint32_t(random::source().next(options.secure)) & ZONE_MASK;
        d.data1 = (d.data1 & ~ZONE_MASK) | zone;
        double t;
        if (options.secure) {
            double a = random::source().next(true);
            double b = random::source().next(true);
            t = 3600.0 * (a / 2147483647.0 + b) / 2147483648.0;
        } else {
            t = 3600.0 * double(random::source().next(false)) / 2147483647.0;
        }
        set_time(d, std::floor(t) * 24.0, true);
    }
    *out = d;
}

void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell) {
    int32_t n = index;
    if (index_cell && word::is_any_word(type_of(*index_cell))) n = field_index(*index_cell, *value);
    if (n < 1 || n > 14) fire(ErrorId::script_out_of_range, {index_cell ? *index_cell : make_integer(index)});
    *out = field(*value, n);
}

void init() {
    datatype::register_type(datatype::Record(TYPE_DATE, 0, "date!")
                                .own<ACTION_MAKE>(make)
                                .own<ACTION_RANDOM>(random)
                                .own<ACTION_TO>(to)
                                .own<ACTION_FORM>(form)
                                .own<ACTION_MOLD>(mold)
                                .own<ACTION_EVAL_PATH>(eval_path)
                                .own<ACTION_COMPARE>(compare)
                                .own<ACTION_ADD>(add)
                                .own<ACTION_SUBTRACT>(subtract)
                                .own<ACTION_PICK>(pick));
    number_services::Services& row = number_services::row(TYPE_DATE);
    row.math_with_number = math_with_number;
    row.to_integer = to_epoch;
    simple_io::install_date_maker(file_time);
}

}  // namespace kel::date
