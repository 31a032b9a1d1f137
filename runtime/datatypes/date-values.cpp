// date!: fields, makers, the setters and the conversions to and from
// instants.
#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/datatypes/date-internal.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/scalar-path.h"
#include "runtime/datatypes/time.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/memory.h"
#include "runtime/numbers/float-to-integer.h"

namespace kel::date {

namespace {

double local_time(const Cell& d) { return cell_double(d) + zone_seconds(zone_of(d.data1)); }

// A part of a normalised local time (0 <= t < 86400) as an integer.
int32_t whole(double t) { return numbers::trunc_to_int32(t).value; }

// The cell moved to another day number, zone and time flag kept.
void move_to_day(Cell& d, int64_t days) { d.data1 = days_to_date(days, zone_of(d.data1), has_time(d.data1)); }

}  // namespace

Cell field(const Cell& d, int32_t n) {
    uint32_t word = d.data1;
    bool timed = has_time(word);
    double local = local_time(d);
    switch (n) {
    case 1:
        return make_cell(word & ~(TIME_FLAG | ZONE_MASK), 0.0);
    case 2:
        return make_integer(year_of(word));
    case 3:
        return make_integer(month_of(word));
    case 4:
        return make_integer(day_of(word));
    case 5:
    case 12:
        return timed ? time_::make_cell(double(zone_seconds(zone_of(word)))) : none_value;
    case 6:
        return timed ? time_::make_cell(local) : none_value;
    case 7:
        return make_integer(timed ? whole(time_::hour_part(local)) : 0);
    case 8:
        return make_integer(timed ? time_::minute_part(local) : 0);
    case 9:
        return float_::make_cell(timed ? time_::second_part(local) : 0.0);
    case 10:
        return make_integer(weekday(date_to_days(word)));
    case 11:
        return make_integer(day_of_year(word));
    case 13:
        return make_integer(week(word));
    default:
        return make_integer(isoweek(word));
    }
}

Cell difference(const Cell& date1, const Cell& date2) {
    double days = double(date_to_days(date1.data1)) - double(date_to_days(date2.data1));
    return time_::make_cell(days * 86400.0 + (cell_double(date1) - cell_double(date2)));
}

int32_t to_epoch(const Cell& d) {
    double seconds = double(int64_t(date_to_days(d.data1)) - EPOCH_DAY) * 86400.0 + std::floor(cell_double(d) + 0.5);
    numbers::Int32Conversion c = numbers::trunc_to_int32(seconds);
    if (!c.ok) fire(ErrorId::script_type_limit, {datatype::make(TYPE_INTEGER)});
    return c.value;
}

Cell of_instant(int64_t seconds, double fraction, uint32_t zone) {
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    double time = double(rest) + fraction;
    int32_t n = normalize_time(days + EPOCH_DAY, time, zone);
    return make_cell(days_to_date(n, zone, true), time);
}

Cell* make_at(Cell& cell, int32_t year, int32_t month, int32_t day, double time, bool zone_negative, int32_t zone_hours,
              int32_t zone_minutes, bool timed) {
    uint32_t word = uint32_t(year) << 17 | (uint32_t(month) & 0xF) << 12 | (uint32_t(day) & 0x1F) << 7;
    uint32_t zone = pack_zone(zone_negative, zone_hours, zone_minutes);
    double t = 0.0;
    if (timed) {
        word |= TIME_FLAG | zone;
        t = time - zone_seconds(zone);
    }
    cell = make_cell(word, t);
    return &cell;
}

Cell* make_at_hms(Cell& cell, int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
                  int32_t nanoseconds) {
    double t = double(hour) * 3600.0 + double(minute) * 60.0 + double(second) + double(nanoseconds) * 1e-9;
    return make_at(cell, year, month, day, t, false, 0, 0, true);
}

bool valid_word(uint32_t word) {
    int32_t m = month_of(word), d = day_of(word);
    return m >= 1 && m <= 12 && d >= 1 && d <= 31;
}

Cell* make_in(const Cell& block, uint32_t word, uint32_t high, uint32_t low) {
    Cell* c = alloc_block_tail(block);
    *c = Cell{TYPE_DATE, word, low, high};
    return c;
}

Cell* push(uint32_t word, double time) { return stack::push(make_cell(word, time)); }

void set_isoweek(Cell& d, int32_t n) { move_to_day(d, isoweek_start(d.data1) + (int64_t(n) - 1) * 7); }

void set_weekday(Cell& d, int32_t n) {
    int32_t days = date_to_days(d.data1);
    move_to_day(d, int64_t(days) + (int64_t(n) - 1) - (weekday(days) - 1));
}

void set_yearday(Cell& d, int32_t n) { move_to_day(d, int64_t(year_start(d.data1)) + n - 1); }

void set_time(Cell& d, double t, bool local) {
    uint32_t zone = zone_of(d.data1);
    if (local) t -= zone_seconds(zone);
    int32_t n = normalize_time(date_to_days(d.data1), t, zone);
    d.data1 = days_to_date(n, zone, has_time(d.data1));
    set_cell_double(d, t);
}

void set_month(Cell& d, int32_t n) {
    int64_t m = int64_t(n) - 1;
    int64_t years = m >= 0 ? m / 12 : -((-m + 11) / 12);
    int32_t month = int32_t(m - years * 12) + 1;
    uint32_t word = with_year(d.data1, int32_t(year_of(d.data1) + years));
    word = with_month_day(word, month, day_of(word));
    d.data1 = days_to_date(date_to_days(word), zone_of(word), has_time(word));
}

void set_zone(Cell& d, const Cell& value, bool keep_instant) {
    bool negative;
    int32_t hours, minutes;
    if (type_of(value) == TYPE_INTEGER) {
        hours = int32_t(value.data2) % 16;
        minutes = 0;
        negative = hours < 0;
        if (negative) hours = -hours;
    } else if (type_of(value) == TYPE_TIME) {
        double t = std::fmod(time_::get(value), 57600.0);
        if (!std::isfinite(t)) fire(ErrorId::script_invalid_arg, {value});
        // The sign belongs to the whole offset: -0:30 lies west of UTC.
        negative = t < 0;
        t = std::fabs(t);
        hours = whole(time_::hour_part(t));
        minutes = time_::minute_part(t);
    } else {
        fire(ErrorId::script_invalid_arg, {value});
    }
    uint32_t zone = pack_zone(negative, hours, minutes);
    double t = cell_double(d);
    if (!keep_instant) {
        double local = t + zone_seconds(zone_of(d.data1));
        d.data1 = (d.data1 & ~ZONE_MASK) | zone;
        set_cell_double(d, local - zone_seconds(zone));
        return;
    }
    d.data1 = (d.data1 & ~ZONE_MASK) | zone;
    double shift = double(hours) * 3600.0 + double(minutes) * 60.0;
    set_time(d, t + (negative ? -shift : shift), true);
}

int32_t field_index(const Cell& word, const Cell& value) {
    using words::Sym;
    static constexpr int32_t by_name[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 11, 12, 13, 14};
    int32_t k = scalar_path::field_of(
        word,
        {Sym::date, Sym::year, Sym::month, Sym::day, Sym::zone, Sym::time, Sym::hour, Sym::minute, Sym::second,
         Sym::weekday, Sym::yearday, Sym::julian, Sym::timezone, Sym::week, Sym::isoweek});
    if (k > 0) return by_name[k - 1];
    if (type_of(value) == TYPE_DATE) fire(ErrorId::script_cannot_use, {word, value});
    return -1;
}

void fire_bad_spec(const Cell& spec) { fire_bad_to_arg(TYPE_DATE, spec); }

}  // namespace kel::date
