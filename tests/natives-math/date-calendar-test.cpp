// The calendar arithmetic of date! that `now` and `difference` read: day
// numbers, the packed word, day of year, weekday and the carry of whole days
// out of a time in a zone.
#include <cmath>

#include "runtime/datatypes/date.h"
#include "tests/natives-math/natives-fixture.h"

namespace kel::test {
namespace {

uint32_t packed(int32_t y, int32_t m, int32_t d) {
    return (uint32_t(y) << 17) | (uint32_t(m) << 12) | (uint32_t(d) << 7);
}

// +02:00 is 2 hours (bits 2-5 hold 2); -05:30 is 5 hours and 2 quarters, west.
constexpr uint32_t PLUS_2 = 2 << 2;
constexpr uint32_t MINUS_5_30 = date::ZONE_SIGN | (5 << 2) | 2;

TEST(DateCalendar, DayNumbersAndTheirDates) {
    struct Case {
        int32_t y, m, d, days, yearday, weekday;
    } cases[] = {
        {1970, 1, 1, 719468, 1, 4},     {2000, 3, 1, 730485, 61, 3},    {2000, 2, 29, 730484, 60, 2},
        {2023, 12, 31, 739190, 365, 7}, {2024, 12, 31, 739556, 366, 2}, {1900, 3, 1, 693960, 60, 4},
    };
    for (const Case& c : cases) {
        uint32_t w = packed(c.y, c.m, c.d);
        EXPECT_EQ(date::date_to_days(w), c.days) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(date::days_to_date(c.days, 0, false), w) << c.days;
        EXPECT_EQ(date::day_of_year(w), c.yearday) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(date::weekday(c.days), c.weekday) << c.days;
    }
    // A day past the month's end counts on into the next month.
    EXPECT_EQ(date::date_to_days(packed(2021, 2, 31)), date::date_to_days(packed(2021, 3, 3)));
    // The zone and the time flag are carried into the word as given.
    EXPECT_EQ(date::days_to_date(719468, MINUS_5_30, true), packed(1970, 1, 1) | date::TIME_FLAG | MINUS_5_30);
    EXPECT_EQ(date::year_of(packed(-5, 1, 1)), -5);
}

TEST(DateCalendar, TimesCarryWholeDaysIntoTheLocalDate) {
    struct Case {
        double time;
        uint32_t zone;
        int32_t day_shift;
        double time_after;
    } cases[] = {
        {3600.0, 0, 0, 3600.0},
        {90000.0, 0, 1, 3600.0},
        {-3600.0, 0, -1, 82800.0},
        {-3600.0, PLUS_2, 0, -3600.0},  // 01:00 local at +02:00 is 23:00 UTC the day before
        {82800.0, PLUS_2, 1, -3600.0},  // 23:00 UTC at +02:00 is 01:00 local the next day
        {3600.0, MINUS_5_30, -1, 90000.0},
    };
    for (const Case& c : cases) {
        double t = c.time;
        int32_t days = date::normalize_time(1000, t, c.zone);
        EXPECT_EQ(days, 1000 + c.day_shift) << c.time << " " << c.zone;
        EXPECT_EQ(t, c.time_after) << c.time << " " << c.zone;
    }
    // No day count can carry these: refused before any conversion.
    for (double t : {1.0e300, -1.0e300, double(HUGE_VAL), std::nan("")}) {
        EXPECT_EQ(error_of([t] {
                      double time = t;
                      date::normalize_time(1000, time, 0);
                  }),
                  id(ErrorId::script_type_limit))
            << t;
    }
    EXPECT_EQ(date::zone_seconds(MINUS_5_30), -(5 * 3600 + 1800));
    EXPECT_EQ(date::zone_seconds(date::ZONE_SIGN), 0);
}

TEST(DateCalendar, FieldsAreLocal) {
    test::boot();
    // 1-Jan-2020/01:00+02:00 stores -3600.0.
    Cell d = date::make_cell(packed(2020, 1, 1) | date::TIME_FLAG | PLUS_2, -3600.0);
    EXPECT_EQ(cell_integer(date::field(d, 2)), 2020);
    EXPECT_EQ(cell_integer(date::field(d, 4)), 1);
    EXPECT_EQ(cell_double(date::field(d, 6)), 3600.0);
    EXPECT_EQ(cell_double(date::field(d, 5)), 7200.0);
    EXPECT_EQ(cell_integer(date::field(d, 7)), 1);
    EXPECT_EQ(cell_integer(date::field(d, 10)), 3);  // a Wednesday
    Cell plain = date::make_cell(packed(2020, 1, 1), 0.0);
    EXPECT_EQ(type_of(date::field(plain, 6)), TYPE_NONE);
    EXPECT_EQ(type_of(date::field(plain, 5)), TYPE_NONE);
    Cell only = date::field(d, 1);
    EXPECT_EQ(only.data1, packed(2020, 1, 1));
    EXPECT_EQ(cell_double(only), 0.0);
    EXPECT_EQ(cell_double(date::difference(d, plain)), -3600.0);
}

}  // namespace
}  // namespace kel::test
