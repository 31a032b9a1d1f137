// date! (type id 47): the cell layout and its calendar arithmetic. The type
// itself (make, to, form, mold, path access, add, subtract, compare) is
// registered by the date! module when it arrives; what is here is what the
// `now` and `difference` natives read, in the place that module will grow
// from.
//
// Cell: header type 47; payload word 1 the packed date; words 2-3 the time
// as a double of seconds.
//
// Packed date: year in bits 17-31 (signed, read with an arithmetic shift),
// bit 16 set when the date carries a time of day, month in bits 12-15, day in
// bits 7-11, zone in bits 0-6 (sign 0x40 = west of UTC, hours magnitude in
// bits 2-5, quarter hours in bits 0-1).
//
// The calendar fields hold the local date (as seen in the value's zone); the
// time is UTC counted from 00:00 of that local date, so the local time of day
// is time + zone offset, and after normalisation 0 <= time + offset < 86400.
//
// Day number: days since 1 March of year 0 (proleptic Gregorian); 1 January
// 1970 is day 719468.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::date {

inline constexpr uint32_t TIME_FLAG = 0x10000;
inline constexpr uint32_t ZONE_MASK = 0x7F;
inline constexpr uint32_t ZONE_SIGN = 0x40;
inline constexpr int32_t EPOCH_DAY = 719468;

inline int32_t year_of(uint32_t word) { return int32_t(word) >> 17; }
inline int32_t month_of(uint32_t word) { return int32_t((word >> 12) & 0xF); }
inline int32_t day_of(uint32_t word) { return int32_t((word >> 7) & 0x1F); }
inline uint32_t zone_of(uint32_t word) { return word & ZONE_MASK; }
inline bool has_time(uint32_t word) { return (word & TIME_FLAG) != 0; }

inline Cell make_cell(uint32_t word, double time) {
    Cell c{TYPE_DATE, word, 0, 0};
    set_cell_double(c, time);
    return c;
}

// The zone's offset east of UTC in seconds.
int32_t zone_seconds(uint32_t zone);
// Day number of the word's year, month and day (a day beyond the month's
// length counts on into the next month).
int32_t date_to_days(uint32_t word);
// The packed word of a day number with the zone bits and the time flag.
uint32_t days_to_date(int32_t days, uint32_t zone, bool time_flag);
// 1 for 1 January.
int32_t day_of_year(uint32_t word);
// 1 Monday ... 7 Sunday.
int32_t weekday(int32_t days);
// Moves whole days between the time and the day number so that the local
// time of day (time + the zone's offset) lies in [0, 86400); answers the new
// day number.
int32_t normalize_time(int32_t days, double& time, uint32_t zone);

// Field n of the date as a value: 1 date, 2 year, 3 month, 4 day, 5 zone,
// 6 time, 7 hour, 8 minute, 9 second, 10 weekday, 11 yearday, 12 timezone.
// The time fields are none! for a date without a time. Other numbers raise
// internal/not-done (the week fields come with the date! module).
Cell field(const Cell& date, int32_t n);

// The time! from date2 to date1: whole days x 86400 plus the difference of
// the times.
Cell difference(const Cell& date1, const Cell& date2);

}  // namespace kel::date
