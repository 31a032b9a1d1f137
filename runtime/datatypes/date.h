// date! (type id 47, no parent): a calendar date with an optional time of
// day and zone, inside one cell. This header is what other modules call: the
// cell layout, the calendar layer and the makers; the actions are in
// date-internal.h.
//
// Cell: header type 47; payload word 1 the packed date; words 2-3 the time
// as a double of seconds.
//
// Packed date: year in bits 17-31 (signed, read with an arithmetic shift),
// bit 16 set when the date carries a time of day, month in bits 12-15, day in
// bits 7-11, zone in bits 0-6 (sign 0x40 = west of UTC, hours magnitude in
// bits 2-5, quarter hours in bits 0-1). The zone is sign and magnitude: the
// sign belongs to the whole offset, so -00:30 is sign, 0 hours, 2 quarters;
// the pattern with only the sign set reads as offset 0 and prints -00:00.
//
// The calendar fields hold the local date (as seen in the value's zone); the
// time is UTC counted from 00:00 of that local date, so the local time of day
// is time + zone offset, and after normalisation 0 <= time + offset < 86400.
// Day number x 86400 + time is the UTC instant.
//
// Day number: days since 1 March of year 0 (proleptic Gregorian); 1 January
// 1970 is day 719468. The calendar functions divide with floor and take
// non-negative remainders, so they are exact on both sides of day 0. They
// are pure functions of their arguments: no table, no allocation. A year
// outside -16384..16383 keeps its low 15 bits; a day count that does not fit
// 32 bits, or a time that is NaN or infinite, raises script/type-limit with
// date!.
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

// Calendar -------------------------------------------------------------------

// The zone's offset east of UTC in seconds.
int32_t zone_seconds(uint32_t zone);
// The zone bits of a sign and a magnitude (hours 0-15, minutes cut to
// quarter hours); no sign on a zero magnitude.
uint32_t pack_zone(bool negative, int32_t hours, int32_t minutes);
// Day number of the word's year, month and day (a day beyond the month's
// length counts on into the next month; day 0 is the month's day before).
int32_t date_to_days(uint32_t word);
// The packed word of a day number with the zone bits and the time flag;
// script/type-limit (date!) when the day number does not fit 32 bits.
uint32_t days_to_date(int64_t days, uint32_t zone, bool time_flag);
// The word with year, month or day replaced (the others kept as stored).
uint32_t with_year(uint32_t word, int32_t year);
uint32_t with_month_day(uint32_t word, int32_t month, int32_t day);
bool leap_year(int32_t year);
// Day number of 1 January of the word's year.
int32_t year_start(uint32_t word);
// Day number of the Monday that opens ISO week 1 of the word's year; the
// weekday (1-7) of that year's 1 January into *first_weekday when given.
int32_t isoweek_start(uint32_t word, int32_t* first_weekday = nullptr);
// 1 for 1 January.
int32_t day_of_year(uint32_t word);
// 1 Monday ... 7 Sunday.
int32_t weekday(int64_t days);
// Week of the year, weeks starting on Sunday, week 1 holding 1 January.
int32_t week(uint32_t word);
// ISO week (1-53).
int32_t isoweek(uint32_t word);
// The offset of 1 January in its Sunday-based week (0 when a Sunday).
int32_t week_offset(uint32_t word);
// Moves whole days between the time and the day number so that the local
// time of day (time + the zone's offset) lies in [0, 86400); answers the new
// day number. script/type-limit (date!) for a NaN or infinite time or a day
// count beyond 32 bits.
int32_t normalize_time(int64_t days, double& time, uint32_t zone);

// Values ---------------------------------------------------------------------

// Field n of the date as a value: 1 date, 2 year, 3 month, 4 day, 5 zone,
// 6 time, 7 hour, 8 minute, 9 second, 10 weekday, 11 yearday, 12 timezone,
// 13 week, 14 isoweek. The time fields are none! for a date without a time.
Cell field(const Cell& date, int32_t n);

// The time! from date2 to date1: the difference of the two instants.
Cell difference(const Cell& date1, const Cell& date2);

// Seconds since 1 January 1970 UTC, the time rounded half up to a whole
// second; script/type-limit with integer! when they do not fit 32 bits.
int32_t to_epoch(const Cell& date);

// The date (with time) of the UTC instant `seconds` + `fraction` (seconds
// since 1970) as seen in the zone; zone 0 is UTC.
Cell of_instant(int64_t seconds, double fraction, uint32_t zone);

// Makers -----------------------------------------------------------------------

// The lexer's maker: year, month, day as given (month kept to 4 bits, day to
// 5); with `timed` the local time of day in the zone (sign apart from the
// hours and minutes, minutes cut to quarter hours) is stored in UTC, without
// normalisation; else time flag clear and time 0.
Cell* make_at(Cell& cell, int32_t year, int32_t month, int32_t day, double time, bool zone_negative, int32_t zone_hours,
              int32_t zone_minutes, bool timed);
// A UTC date and time of day (file times), zone 0.
Cell* make_at_hms(Cell& cell, int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute, int32_t second,
                  int32_t nanoseconds);
// A new date! at the block's tail from the packed word and the time's bit
// pattern, high half first (the KELBIN loaders); valid_word first.
Cell* make_in(const Cell& block, uint32_t word, uint32_t high, uint32_t low);
// The word's month is 1-12 and its day 1-31.
bool valid_word(uint32_t word);
// A new date! on the argument stack.
Cell* push(uint32_t word, double time);

// The setters of the ISO week, the weekday (1 = Monday, within the date's
// Monday-based week) and the day of the year; the time and zone are kept
// and out-of-range numbers roll over.
void set_isoweek(Cell& date, int32_t n);
void set_weekday(Cell& date, int32_t n);
void set_yearday(Cell& date, int32_t n);

// Registers date! (id 47) and installs its services (number row, the file
// layer's date maker).
void init();

}  // namespace kel::date
