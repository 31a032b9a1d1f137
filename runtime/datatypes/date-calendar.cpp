// date! calendar layer: day numbers, weeks, zones and the normalisation of
// times. Every division floors and every remainder is non-negative, so the
// formulas hold before day 0 (1 March of year 0) as after it.
#include <cmath>

#include "runtime/core/fire.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/date.h"

namespace kel::date {

namespace {

int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}
int64_t floor_mod(int64_t a, int64_t b) { return a - floor_div(a, b) * b; }

// Days before year y's 1 March counted from year 0's.
int64_t year_days(int64_t y) { return 365 * y + floor_div(y, 4) - floor_div(y, 100) + floor_div(y, 400); }

[[noreturn]] void fire_limit() { fire(ErrorId::script_type_limit, {datatype::make(TYPE_DATE)}); }

}  // namespace

int32_t zone_seconds(uint32_t zone) {
    int32_t s = int32_t((zone >> 2) & 0xF) * 3600 + int32_t(zone & 3) * 900;
    return (zone & ZONE_SIGN) ? -s : s;
}

uint32_t pack_zone(bool negative, int32_t hours, int32_t minutes) {
    uint32_t zone = (uint32_t(hours) & 0xF) << 2 | (uint32_t(minutes / 15) & 3);
    return negative && zone != 0 ? zone | ZONE_SIGN : zone;
}

int32_t date_to_days(uint32_t word) {
    int64_t m = floor_mod(month_of(word) + 9, 12);
    int64_t y = year_of(word) - m / 10;
    return int32_t(year_days(y) + (m * 306 + 5) / 10 + (day_of(word) - 1));
}

uint32_t days_to_date(int64_t days, uint32_t zone, bool time_flag) {
    if (days < INT32_MIN || days > INT32_MAX) fire_limit();
    int64_t y = int64_t(std::floor((10000.0 * double(days) + 14780.0) / 3652425.0));
    int64_t r = days - year_days(y);
    if (r < 0) {
        --y;
        r = days - year_days(y);
    }
    int64_t mi = (100 * r + 52) / 3060;
    int64_t month = (mi + 2) % 12 + 1;
    int64_t year = y + (mi + 2) / 12;
    int64_t day = r - (mi * 306 + 5) / 10 + 1;
    uint32_t word =
        (uint32_t(uint64_t(year)) << 17) | (uint32_t(month) << 12) | (uint32_t(day) << 7) | (zone & ZONE_MASK);
    return time_flag ? word | TIME_FLAG : word;
}

uint32_t with_year(uint32_t word, int32_t year) { return (word & 0x1FFFF) | uint32_t(year) << 17; }

uint32_t with_month_day(uint32_t word, int32_t month, int32_t day) {
    return (word & ~0xFF80u) | (uint32_t(month) & 0xF) << 12 | (uint32_t(day) & 0x1F) << 7;
}

bool leap_year(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t year_start(uint32_t word) { return date_to_days(with_month_day(word, 1, 1)); }

int32_t weekday(int64_t days) { return int32_t(floor_mod(days + 2, 7)) + 1; }

int32_t isoweek_start(uint32_t word, int32_t* first_weekday) {
    int32_t j = year_start(word);
    int32_t w = weekday(j);
    if (first_weekday) *first_weekday = w;
    return w < 5 ? j + 1 - w : j + 8 - w;
}

int32_t day_of_year(uint32_t word) { return date_to_days(word) - year_start(word) + 1; }

int32_t week_offset(uint32_t word) { return int32_t(floor_mod(int64_t(year_start(word)) + 3, 7)); }

int32_t week(uint32_t word) {
    int32_t o = week_offset(word);
    int32_t d = day_of_year(word);
    return d <= 7 - o ? 1 : (d + o - 1) / 7 + 1;
}

int32_t isoweek(uint32_t word) {
    int32_t w1 = 0;
    int32_t s = isoweek_start(word, &w1);
    int32_t n = date_to_days(word);
    if (n >= s) {
        int32_t s2 = isoweek_start(with_year(word, year_of(word) + 1));
        return n < s2 ? (n - s) / 7 + 1 : 1;
    }
    switch (w1) {
    case 5:
        return 53;
    case 6:
        return leap_year(year_of(word) - 1) ? 53 : 52;
    case 7:
        return 52;
    default:
        return 1;
    }
}

int32_t normalize_time(int64_t days, double& time, uint32_t zone) {
    if (!std::isfinite(time)) fire_limit();
    double local = time + zone_seconds(zone);
    double carry = std::floor(local / 86400.0);
    // A carry of more than 2^32 days can land nowhere: refuse it before any
    // cast.
    if (!(std::fabs(carry) < 4294967296.0)) fire_limit();
    int64_t c = int64_t(carry);
    time -= double(c) * 86400.0;
    // Rounding may leave the local time just outside [0, 86400).
    if (time + zone_seconds(zone) < 0.0) {
        --c;
        time += 86400.0;
    } else if (time + zone_seconds(zone) >= 86400.0) {
        ++c;
        time -= 86400.0;
    }
    int64_t moved = days + c;
    if (moved < INT32_MIN || moved > INT32_MAX) fire_limit();
    return int32_t(moved);
}

}  // namespace kel::date
