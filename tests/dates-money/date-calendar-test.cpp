// The calendar layer of date! against std::chrono's proleptic Gregorian
// calendar, the week numbers, the month setter and the zone arithmetic.
#include <chrono>
#include <random>

#include "runtime/datatypes/date-internal.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/time.h"
#include "tests/support.h"

namespace kel::test {
namespace {

namespace chr = std::chrono;

uint32_t packed(int32_t y, int32_t m, int32_t d) {
    return (uint32_t(y) << 17) | (uint32_t(m) << 12) | (uint32_t(d) << 7);
}
int32_t model_days(int32_t y, int32_t m, int32_t d) {
    chr::sys_days s{chr::year{y} / chr::month{unsigned(m)} / chr::day{unsigned(d)}};
    return int32_t(s.time_since_epoch().count()) + date::EPOCH_DAY;
}

class DateCalendar : public ::testing::Test {
protected:
    static void SetUpTestSuite() { boot(); }
};

// Every day number of the year range converts to the model's date and back,
// with its weekday; before day 0 as after it.
TEST_F(DateCalendar, DayNumbersMatchTheProlepticCalendar) {
    int32_t first = model_days(-16384, 1, 1), last = model_days(16383, 12, 31);
    std::mt19937 gen(20240229);
    std::uniform_int_distribution<int32_t> pick(first, last);
    std::vector<int32_t> days = {first, last, -1, 0, 1, -366, -365, -60, -59, 719468};
    for (int i = 0; i < 20000; ++i) days.push_back(pick(gen));
    for (int32_t n : days) {
        chr::year_month_day ymd{chr::sys_days{chr::days{n - date::EPOCH_DAY}}};
        uint32_t word = date::days_to_date(n, 0, false);
        ASSERT_EQ(date::year_of(word), int32_t(ymd.year())) << n;
        ASSERT_EQ(date::month_of(word), int32_t(unsigned(ymd.month()))) << n;
        ASSERT_EQ(date::day_of(word), int32_t(unsigned(ymd.day()))) << n;
        ASSERT_EQ(date::date_to_days(word), n) << n;
        chr::weekday wd{chr::sys_days{chr::days{n - date::EPOCH_DAY}}};
        ASSERT_EQ(date::weekday(n), int32_t(wd.iso_encoding())) << n;
        ASSERT_EQ(date::leap_year(int32_t(ymd.year())), ymd.year().is_leap()) << n;
    }
    // Day -1 is 29 February of year 0, a leap year.
    EXPECT_EQ(date::days_to_date(-1, 0, false), packed(0, 2, 29));
}

TEST_F(DateCalendar, WeeksAndIsoWeeks) {
    struct Case {
        int32_t y, m, d, week, isoweek;
    } cases[] = {
        {2021, 1, 1, 1, 53}, {2022, 1, 1, 1, 52},    {2024, 12, 31, 53, 1},  {2022, 1, 2, 2, 52},
        {2024, 1, 1, 1, 1},  {2020, 12, 31, 53, 53}, {2026, 1, 1, 1, 1},     {2027, 1, 1, 1, 53},
        {2016, 1, 1, 1, 53}, {2017, 1, 1, 1, 52},    {2004, 12, 31, 53, 53}, {-1, 1, 1, 1, 53},
    };
    for (const Case& c : cases) {
        uint32_t w = packed(c.y, c.m, c.d);
        EXPECT_EQ(date::week(w), c.week) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(date::isoweek(w), c.isoweek) << c.y << "-" << c.m << "-" << c.d;
    }
}

TEST_F(DateCalendar, SetMonthRollsOverYearsAndDays) {
    struct Case {
        uint32_t from;
        int32_t month;
        uint32_t want;
    } cases[] = {
        {packed(2021, 1, 31), 2, packed(2021, 3, 3)},     {packed(2020, 1, 31), 2, packed(2020, 3, 2)},
        {packed(2021, 5, 10), 0, packed(2020, 12, 10)},   {packed(2021, 5, 10), -11, packed(2020, 1, 10)},
        {packed(2021, 5, 10), -12, packed(2019, 12, 10)}, {packed(2021, 5, 10), 13, packed(2022, 1, 10)},
        {packed(2021, 5, 10), 25, packed(2023, 1, 10)},
    };
    for (const Case& c : cases) {
        Cell d = date::make_cell(c.from, 0.0);
        date::set_month(d, c.month);
        EXPECT_EQ(d.data1, c.want) << c.month;
    }
}

constexpr uint32_t zone(bool west, int32_t h, int32_t quarters) {
    return (west ? date::ZONE_SIGN : 0) | uint32_t(h) << 2 | uint32_t(quarters);
}

// Normalisation keeps 0 <= local time < 86400 in every zone, and setting the
// zone keeps either the instant or the local clock.
TEST_F(DateCalendar, ZonesAndTimes) {
    struct Case {
        int64_t days;
        double time;
        uint32_t zone;
        int32_t days_after;
        double time_after;
    } cases[] = {
        {1000, 3600.0, 0, 1000, 3600.0},
        {1000, 90000.0, 0, 1001, 3600.0},
        {1000, -3600.0, 0, 999, 82800.0},
        {1000, -3600.0, zone(false, 2, 0), 1000, -3600.0},
        {1000, 82800.0, zone(false, 2, 0), 1001, -3600.0},
        // 23:50 local at -03:30 is 03:20 UTC the next day: the local date stays.
        {1000, 23 * 3600.0 + 50 * 60 + 3.5 * 3600, zone(true, 3, 2), 1000, 23 * 3600.0 + 50 * 60 + 3.5 * 3600},
        {1000, 3600.0, zone(true, 5, 2), 999, 90000.0},
        {1000, -86400.0 * 3.5, 0, 996, 43200.0},
        {-5, -1.0, 0, -6, 86399.0},
    };
    for (const Case& c : cases) {
        double t = c.time;
        EXPECT_EQ(date::normalize_time(c.days, t, c.zone), c.days_after) << c.time << " " << c.zone;
        EXPECT_EQ(t, c.time_after) << c.time << " " << c.zone;
    }
    // 1-Jan-2020/01:00+02:00 stores -3600: local 1:00, offset 2:00.
    Cell lexed;
    date::make_at(lexed, 2020, 1, 1, 3600.0, false, 2, 0, true);
    EXPECT_EQ(cell_double(lexed), -3600.0);
    Cell d = lexed;
    date::set_zone(d, make_integer(0), true);
    EXPECT_EQ(d.data1, packed(2019, 12, 31) | date::TIME_FLAG);
    EXPECT_EQ(cell_double(d), 23 * 3600.0);
    d = lexed;
    date::set_zone(d, make_integer(0), false);
    EXPECT_EQ(d.data1, packed(2020, 1, 1) | date::TIME_FLAG);
    EXPECT_EQ(cell_double(d), 3600.0);
    // The sign belongs to the whole zone: -0:30 is west of UTC.
    d = lexed;
    date::set_zone(d, time_::make_cell(-1800.0), false);
    EXPECT_EQ(date::zone_of(d.data1), zone(true, 0, 2));
    Cell minus;
    date::make_at(minus, 2020, 1, 1, 36000.0, true, 0, 30, true);
    EXPECT_EQ(date::zone_of(minus.data1), zone(true, 0, 2));
    EXPECT_EQ(cell_double(minus), 37800.0);
    // Integer zones keep the remainder by 16.
    d = lexed;
    date::set_zone(d, make_integer(-17), false);
    EXPECT_EQ(date::zone_of(d.data1), zone(true, 1, 0));
    EXPECT_EQ(error_of([&] { date::set_zone(d, Cell{TYPE_NONE, 0, 0, 0}, false); }), id(ErrorId::script_invalid_arg));
}

// The date of an instant just before and after midnight, UTC and local.
TEST_F(DateCalendar, TheDateOfAnInstantInAZone) {
    const int64_t midnight = 1704067200;  // 1-Jan-2024/0:00 UTC
    struct Case {
        int64_t seconds;
        uint32_t zone;
        uint32_t word;
        double local;
    } cases[] = {
        {midnight - 1, zone(false, 2, 0), packed(2024, 1, 1), 7199.0},
        {midnight, zone(false, 2, 0), packed(2024, 1, 1), 7200.0},
        {midnight - 7201, zone(false, 2, 0), packed(2023, 12, 31), 86399.0},
        {midnight - 7200, zone(false, 2, 0), packed(2024, 1, 1), 0.0},
        {midnight - 1, zone(true, 5, 0), packed(2023, 12, 31), 68399.0},
        {midnight + 18000 - 1, zone(true, 5, 0), packed(2023, 12, 31), 86399.0},
        {midnight + 18000, zone(true, 5, 0), packed(2024, 1, 1), 0.0},
        {midnight + 12600 - 1, zone(true, 3, 2), packed(2023, 12, 31), 86399.0},
        {midnight + 12600, zone(true, 3, 2), packed(2024, 1, 1), 0.0},
        {midnight - 20700 - 1, zone(false, 5, 3), packed(2023, 12, 31), 86399.0},
        {midnight - 20700, zone(false, 5, 3), packed(2024, 1, 1), 0.0},
        {midnight, 0, packed(2024, 1, 1), 0.0},
        {-1, 0, packed(1969, 12, 31), 86399.0},
    };
    for (const Case& c : cases) {
        Cell d = date::of_instant(c.seconds, 0.0, c.zone);
        EXPECT_EQ(d.data1, c.word | date::TIME_FLAG | c.zone) << c.seconds << " " << c.zone;
        EXPECT_EQ(cell_double(d) + date::zone_seconds(c.zone), c.local) << c.seconds << " " << c.zone;
        EXPECT_EQ(double(date::to_epoch(d)), double(c.seconds)) << c.seconds;
    }
}

}  // namespace
}  // namespace kel::test
