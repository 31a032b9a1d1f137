#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/time.h"
#include "runtime/numbers/float-to-integer.h"

namespace kel::date {

namespace {

// Days before year y's 1 March counted from year 0's (the calendar's
// leap-year rule on whole years).
int32_t year_days(int32_t y) { return 365 * y + y / 4 - y / 100 + y / 400; }

// A part of a time as an integer; a time beyond the integer range (which no
// normalised date holds) gives 0 rather than an undefined conversion.
int32_t whole(double x) {
    numbers::Int32Conversion c = numbers::trunc_to_int32(x);
    return c.ok ? c.value : 0;
}

double local_time(const Cell& d) { return cell_double(d) + zone_seconds(zone_of(d.data1)); }

}  // namespace

int32_t zone_seconds(uint32_t zone) {
    int32_t s = int32_t((zone >> 2) & 0xF) * 3600 + int32_t(zone & 3) * 900;
    return (zone & ZONE_SIGN) ? -s : s;
}

int32_t date_to_days(uint32_t word) {
    int32_t m = (month_of(word) + 9) % 12;
    int32_t y = year_of(word) - m / 10;
    return year_days(y) + (m * 306 + 5) / 10 + (day_of(word) - 1);
}

uint32_t days_to_date(int32_t days, uint32_t zone, bool time_flag) {
    int32_t y = int32_t((10000.0 * days + 14780.0) / 3652425.0);
    int32_t r = days - year_days(y);
    if (r < 0) {
        --y;
        r = days - year_days(y);
    }
    int32_t mi = (100 * r + 52) / 3060;
    int32_t month = (mi + 2) % 12 + 1;
    int32_t year = y + (mi + 2) / 12;
    int32_t day = r - (mi * 306 + 5) / 10 + 1;
    uint32_t word = (uint32_t(year) << 17) | (uint32_t(month) << 12) | (uint32_t(day) << 7) | (zone & ZONE_MASK);
    word &= ~TIME_FLAG;
    return time_flag ? word | TIME_FLAG : word;
}

int32_t day_of_year(uint32_t word) {
    uint32_t start = (word & ~0xFF80u) | (1u << 12) | (1u << 7);  // 1 January of the year
    return date_to_days(word) - date_to_days(start) + 1;
}

int32_t weekday(int32_t days) {
    int32_t w = (days + 2) % 7;
    if (w < 0) w += 7;
    return w + 1;
}

int32_t normalize_time(int32_t days, double& time, uint32_t zone) {
    double z = zone_seconds(zone) / 3600.0;
    double hours = std::trunc(time / 3600.0 + z);
    // A time no day count can carry (NaN, infinite, beyond 2^31 days) is
    // left as it is.
    if (!(std::fabs(hours) < 24.0 * 2147483647.0)) return days;
    int64_t carry = int64_t(hours) / 24;
    int64_t moved = int64_t(days) + carry;
    if (moved <= INT32_MIN || moved > INT32_MAX) return days;
    days = int32_t(moved);
    time -= double(carry) * 24.0 * 3600.0;
    if (z * 3600.0 + time < 0.0) {
        --days;
        time += 24.0 * 3600.0;
    }
    return days;
}

Cell field(const Cell& d, int32_t n) {
    uint32_t word = d.data1;
    bool timed = has_time(word);
    double local = local_time(d);
    switch (n) {
    case 1: return make_cell(word & ~(TIME_FLAG | ZONE_MASK), 0.0);
    case 2: return make_integer(year_of(word));
    case 3: return make_integer(month_of(word));
    case 4: return make_integer(day_of(word));
    case 5:
    case 12: return timed ? time_::make_cell(double(zone_seconds(zone_of(word)))) : none_value;
    case 6: return timed ? time_::make_cell(local) : none_value;
    case 7: return make_integer(timed ? whole(local / 3600.0) : 0);
    case 8: return make_integer(timed ? whole(std::floor(std::fmod(std::fabs(local), 3600.0) / 60.0)) : 0);
    case 9: {
        Cell s{TYPE_FLOAT, 0, 0, 0};
        set_cell_double(s, timed ? std::fmod(local, 60.0) : 0.0);
        return s;
    }
    case 10: return make_integer(weekday(date_to_days(word)));
    case 11: return make_integer(day_of_year(word));
    default: fire(ErrorId::internal_not_done);
    }
}

Cell difference(const Cell& date1, const Cell& date2) {
    double days = double(date_to_days(date1.data1)) - double(date_to_days(date2.data1));
    return time_::make_cell(days * 86400.0 + (cell_double(date1) - cell_double(date2)));
}

}  // namespace kel::date
