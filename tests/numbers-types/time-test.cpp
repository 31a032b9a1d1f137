// time!: the h:mm:ss text, conversions, parts read and set through paths
// and pick (negative times included), and the arithmetic rules of time!.
#include "runtime/datatypes/time.h"
#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

struct TimeTest : NumbersTest {};

Cell hms(double h, double m, double s) {
    double t = std::fabs(h) * 3600 + m * 60 + s;
    return T(h < 0 ? -t : t);
}

TEST_F(TimeTest, TextOfHoursMinutesAndSeconds) {
    struct Row {
        double seconds;
        const char* want;
    } rows[] = {
        {3661, "1:01:01"},
        {90, "0:01:30"},
        {-90, "-0:01:30"},
        {3661.5, "1:01:01.5"},
        {0.5, "0:00:00.5"},
        {360000, "100:00:00"},
        {0, "0:00:00"},
        {-0.0, "0:00:00"},
        {59.99, "0:00:59.99"},
        {1e-7, "0:00:00"},  // below a microsecond
        {1e-6, "0:00:00.000001"},
        {1e10, "2777777:46:40"},
        // Seconds whose six-digit text reads 60 carry into the minutes and
        // hours instead of showing 60.
        {59.9999999, "0:01:00"},
        {3599.9999999, "1:00:00"},
        {-59.9999999, "-0:01:00"},
        {119.99999999, "0:02:00"},
        {INF, "1.#INF"},
        {-INF, "-1.#INF"},
        {NaN, "1.#NaN"},
    };
    for (const Row& r : rows) EXPECT_EQ(form(T(r.seconds)), r.want) << r.seconds;
    EXPECT_EQ(describe(T(5400)), "time! 1:30:00");
}

TEST_F(TimeTest, MakeFromNumbersBlocksAndText) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {to(TYPE_TIME, block_of({I(1), I(30)}), true), "time! 1:30:00"},
        {to(TYPE_TIME, block_of({I(-1), I(30), I(0)}), true), "time! -1:30:00"},
        {to(TYPE_TIME, block_of({I(1), I(-30)}), true), "script/bad-to-arg"},
        {to(TYPE_TIME, block_of({I(1), I(2), F(-1)}), true), "script/bad-to-arg"},
        {to(TYPE_TIME, block_of({I(1), I(2), I(3), I(4)}), true), "script/bad-to-arg"},
        {to(TYPE_TIME, block_of({I(1), I(2), F(3.5)}), true), "time! 1:02:03.5"},
        {to(TYPE_TIME, block_of({F(1.5), I(0), I(0)}), true), "script/bad-to-arg"},
        {to(TYPE_TIME, block_of({I(1), F(2), I(0)}), true), "script/bad-to-arg"},
        {to(TYPE_TIME, block_of({}), true), "time! 0:00:00"},
        {to(TYPE_TIME, I(90)), "time! 0:01:30"},
        {to(TYPE_TIME, F(1.5)), "time! 0:00:01.5"},
        {to(TYPE_TIME, P(0.5)), "time! 0:00:00.5"},
        {to(TYPE_TIME, T(-5)), "time! -0:00:05"},
        {to(TYPE_TIME, none_value), "script/bad-to-arg"},
        {to(TYPE_TIME, C('a')), "script/bad-to-arg"},
        {to(TYPE_TIME, text_cell("1:30")), "time! 1:30:00"},  // through the lexer
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(TimeTest, TextLoadsThroughTheLexersSeam) {
    ScriptedLoader loader;
    ScriptedLoader::loaded = T(5400);
    EXPECT_EQ(to_text(TYPE_TIME, "1:30"), "time! 1:30:00");
    ScriptedLoader::loaded = I(1);
    EXPECT_EQ(to_text(TYPE_TIME, "1"), "script/bad-to-arg");
    ScriptedLoader::loaded = none_value;
    EXPECT_EQ(to_text(TYPE_TIME, "abc"), "script/bad-to-arg");
}

TEST_F(TimeTest, PartsByPathAndPick) {
    Cell t = hms(1, 30, 45);
    struct Row {
        std::string got, want;
    } rows[] = {
        {get_path(t, W("hour")), "integer! 1"},
        {get_path(t, W("MINUTE")), "integer! 30"},
        {get_path(t, W("second")), "float! 45.0"},
        {get_path(t, I(1)), "integer! 1"},
        {get_path(t, I(3)), "float! 45.0"},
        {get_path(t, I(4)), "script/invalid-path"},
        {get_path(t, I(0)), "script/invalid-path"},
        {get_path(t, W("day")), "script/invalid-path"},
        {get_path(t, F(1)), "script/invalid-path"},
        {pick(t, W("second")), "float! 45.0"},
        {pick(t, I(2)), "integer! 30"},
        {pick(t, W("day")), "script/cannot-use"},
        {pick(t, I(4)), "script/out-of-range"},
        {pick(t, I(0)), "script/out-of-range"},
        // A negative time has negative hours and seconds, never negative
        // minutes.
        {get_path(hms(-1, 30, 0), W("hour")), "integer! -1"},
        {get_path(hms(-1, 30, 0), W("minute")), "integer! 30"},
        {get_path(hms(-1, 30, 15), W("second")), "float! -15.0"},
        // Hours beyond 32 bits are no integer!.
        {get_path(T(1e20), W("hour")), "script/type-limit"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(TimeTest, SettingParts) {
    struct Row {
        Cell t;
        const char* field;
        Cell value;
        const char* answer;
        const char* after;
    } rows[] = {
        {hms(1, 30, 45), "minute", I(10), "integer! 10", "1:10:45"},
        {hms(1, 30, 45), "hour", I(2), "integer! 2", "2:30:45"},
        {hms(1, 30, 45), "second", F(5.5), "float! 5.5", "1:30:05.5"},
        {hms(1, 30, 45), "second", I(0), "integer! 0", "1:30:00"},
        {hms(1, 30, 45), "hour", F(1.5), "script/invalid-arg", "1:30:45"},
        {hms(1, 30, 45), "minute", F(1), "script/invalid-arg", "1:30:45"},
        {hms(1, 30, 45), "second", none_value, "script/invalid-arg", "1:30:45"},
        {T(0), "minute", I(5), "integer! 5", "0:05:00"},
        // Negative times are set through the getters' decomposition, so
        // the fields keep their meaning: -1:30:00 with hour -1 stays.
        {hms(-1, 30, 0), "hour", I(-1), "integer! -1", "-1:30:00"},
        {hms(-1, 30, 0), "hour", I(-2), "integer! -2", "-2:30:00"},
        {hms(-1, 30, 0), "hour", I(0), "integer! 0", "-0:30:00"},
        {hms(-1, 30, 0), "minute", I(30), "integer! 30", "-1:30:00"},
        {hms(-1, 30, 0), "minute", I(10), "integer! 10", "-1:10:00"},
    };
    for (Row& r : rows) {
        EXPECT_EQ(set_path(r.t, W(r.field), r.value), r.answer) << r.field;
        EXPECT_EQ(form(r.t), r.after) << r.field;
    }
}

// Setting a part to the value its getter answers never changes the time.
TEST_F(TimeTest, SettingAPartToItsOwnValueChangesNothing) {
    for (double seconds : {-5400.0, -5445.5, -90.0, -3600.0, -0.5, -86399.25, 0.0, 5445.0, 3599.75}) {
        for (const char* field : {"hour", "minute", "second"}) {
            Cell t = T(seconds);
            Cell part;
            Frame frame{t, W(field)};
            actions::eval_path(&part, &frame[0], &frame[1], nullptr, PathStep{});
            EXPECT_EQ(set_path(t, W(field), part), describe(part));
            EXPECT_EQ(time_::get(t), seconds) << field << " " << seconds;
        }
    }
}

TEST_F(TimeTest, ArithmeticRulesOfTime) {
    Cell hour = hms(1, 0, 0), half = hms(0, 30, 0);
    struct Row {
        std::string got, want;
    } rows[] = {
        {divide(hour, half), "float! 2.0"},         {divide(hour, I(2)), "time! 0:30:00"},
        {divide(hour, F(0)), "time! 1.#INF"},       {multiply(hour, hour), "script/not-related"},
        {multiply(hour, I(2)), "time! 2:00:00"},    {multiply(I(2), hour), "time! 2:00:00"},
        {add(hour, F(1.5)), "time! 1:00:01.5"},     {add(hour, half), "time! 1:30:00"},
        {subtract(half, hour), "time! -0:30:00"},   {subtract(hour, other(TYPE_DATE)), "script/not-related"},
        {add(hour, C('a')), "script/invalid-type"}, {remainder(T(5), I(2)), "time! 0:00:01"},
        {negate(hour), "time! -1:00:00"},           {absolute(T(-90)), "time! 0:01:30"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(TimeTest, RoundGivesATimeWhateverTheScale) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {round(T(1.5)), "time! 0:00:02"},
        {round(T(-1.5), ROUND_DOWN), "time! -0:00:01"},
        {round_to(hms(1, 29, 0), hms(1, 0, 0)), "time! 1:00:00"},
        {round_to(T(5.5), I(2)), "time! 0:00:06"},
        // An integer! scale never makes the seconds an integer! that must
        // fit 32 bits.
        {round_to(T(1e10 + 0.4), I(1)), "time! 2777777:46:40"},
        {round_to(T(90), F(60)), "time! 0:02:00"},
        {round_to(T(90.4), P(0.5)), "time! 0:01:30.5"},
        {round_to(T(1.5), other(TYPE_MONEY)), "script/not-related"},
        {round_to(T(1.5), other(TYPE_PAIR)), "script/invalid-arg"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(TimeTest, ParityOfTheWholeSecondsOfTheMinute) {
    struct Row {
        double seconds;
        bool even, odd;
    } rows[] = {
        {2, true, false},  {1.9999999, true, false}, {1, false, true},
        {63, false, true}, {-3, false, true},        {-2.9999999, false, true},
        {60, true, false}, {NaN, false, false},      {INF, false, false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(actions::even(T(r.seconds)), r.even) << r.seconds;
        EXPECT_EQ(actions::odd(T(r.seconds)), r.odd) << r.seconds;
    }
}

TEST_F(TimeTest, ComparedAsSeconds) {
    EXPECT_TRUE(actions::compare(T(60), I(60), COMP_EQUAL));
    EXPECT_FALSE(actions::compare(T(60), F(60), COMP_STRICT_EQUAL));
    EXPECT_TRUE(actions::compare(T(-1), T(0), COMP_LESSER));
}

}  // namespace
}  // namespace kel
