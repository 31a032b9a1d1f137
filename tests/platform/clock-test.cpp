// Waiting, the clock and the packed date.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

#include "runtime/platform/clock.h"

namespace kel::platform {
namespace {

TEST(Clock, WaitDurationsAreClampedBeforeConversion) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double seconds;
        int64_t ms;
    } cases[] = {
        {0.0001, 1},
        {1.5, 1500},
        {0.0019, 1},
        {0.0, 1},
        {-0.0, 1},
        {-5.0, 1},
        {-inf, 1},
        {std::nan(""), 1},
        {86400.0, 86400000},
        {1e300, MAX_WAIT_MS},
        {inf, MAX_WAIT_MS},
        {std::numeric_limits<double>::max(), MAX_WAIT_MS},
        {9.2e15, MAX_WAIT_MS},
    };
    for (const Case& c : cases) EXPECT_EQ(wait_milliseconds(c.seconds), c.ms) << c.seconds;
}

// Only that these waits come back: one that slept for an unclamped duration
// would hang here (the durations themselves are checked above). The wait
// runs in a child process under an alarm, so that a hang fails the case
// instead of stopping the run.
TEST(Clock, ShortAndInvalidWaitsReturn) {
    EXPECT_EXIT(
        {
            alarm(60);
            wait(0.0001);
            wait(-1.0);
            wait(std::nan(""));
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST(Clock, TimeIsSecondsSinceMidnight) {
    double plain = get_time(false, false);
    double precise = get_time(true, true);
    EXPECT_GE(plain, 0.0);
    EXPECT_LT(plain, 86400.0);
    EXPECT_EQ(plain, std::floor(plain));
    EXPECT_GE(precise, 0.0);
    EXPECT_LT(precise, 86400.0);
}

TEST(Clock, ZonesTakeTheSignFromTheOffsetAndFieldsFromItsMagnitude) {
    struct Case {
        int32_t minutes;
        uint32_t zone;
    } cases[] = {
        {0, 0},
        {330, 22},  // +05:30
        {-210, 78},  // -03:30: (0x10 + 3) x 4 + 2
        {-30, 0x40 | 2},  // -00:30 stays negative
        {-15, 0x40 | 1},
        {-195, 0x40 | 12 | 1},  // -03:15, not -03:45
        {-45, 0x40 | 3},
        {345, 20 | 3},  // +05:45
        {60, 4},
        {-60, 0x40 | 4},
        {840, 56},  // +14:00
        {-720, 0x40 | 48},  // -12:00
        {-10, 0},  // below a quarter: no zone, no sign
        {7, 0},
        {16 * 60, 63},  // beyond the four hour bits: clamped
        {INT32_MIN, 0x40 | 63},
        {INT32_MAX, 63},
    };
    for (const Case& c : cases) EXPECT_EQ(pack_zone(c.minutes), c.zone) << c.minutes;
}

TEST(Clock, DatePacking) {
    EXPECT_EQ(pack_date(2024, 2, 29, 330), (2024u << 17) | (2u << 12) | (29u << 7) | 22u);
    EXPECT_EQ(pack_date(1999, 12, 31, -210), (1999u << 17) | (12u << 12) | (31u << 7) | 78u);
    EXPECT_EQ(pack_date(2000, 1, 1, 0) & 0x10000u, 0u);
}

// The zone of local time comes from the process's time-zone setting.
class LocalZone : public testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        if (tz) saved_ = tz;
    }
    void TearDown() override {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> saved_;
};

TEST_F(LocalZone, DateCarriesTheLocalZone) {
    struct Case {
        const char* tz;  // POSIX form: the offset is west of UTC
        uint32_t zone;
    } cases[] = {
        {"XYZ3:30", 78},
        {"XYZ-5:30", 22},
        {"XYZ0:30", 0x42},
        {"UTC0", 0},
    };
    for (const Case& c : cases) {
        setenv("TZ", c.tz, 1);
        EXPECT_EQ(get_date(false) & 0x7F, c.zone) << c.tz;
        EXPECT_EQ(get_date(true) & 0x7F, 0u) << c.tz;
    }
}

// The time of day is UTC whatever the local zone, and the precise form
// carries the fraction of the second.
TEST_F(LocalZone, TimeIsUtcAndPreciseHasTheFraction) {
    setenv("TZ", "XYZ-5:30", 1);
    tzset();
    auto seconds_apart = [](double a, double b) {
        double d = std::fabs(a - b);
        return std::min(d, 86400.0 - d);  // across midnight
    };
    double utc = double(int64_t(time(nullptr)) % 86400);
    EXPECT_LE(seconds_apart(get_time(false, false), utc), 2.0);
    EXPECT_LE(seconds_apart(get_time(true, true), utc), 2.0);
    bool fraction = false;
    for (int i = 0; i < 5 && !fraction; ++i) {
        double t = get_time(false, true);
        fraction = t != std::floor(t);
        wait(0.001);
    }
    EXPECT_TRUE(fraction);
}

// Year, month and day are today's, in UTC and in local time: each agrees
// with the clock read before and after it. When midnight falls between the
// two readings, the date is taken again.
TEST(Clock, DateFieldsAreToday) {
    for (bool utc : {true, false}) {
        bool compared = false;
        for (int attempt = 0; attempt < 3 && !compared; ++attempt) {
            time_t before = time(nullptr);
            uint32_t d = get_date(utc);
            time_t after = time(nullptr);
            tm first{}, last{};
            if (utc) {
                gmtime_r(&before, &first);
                gmtime_r(&after, &last);
            } else {
                localtime_r(&before, &first);
                localtime_r(&after, &last);
            }
            if (first.tm_mday != last.tm_mday) continue;  // midnight came between
            compared = true;
            EXPECT_EQ(d >> 17, uint32_t(first.tm_year + 1900)) << utc;
            EXPECT_EQ((d >> 12) & 0xF, uint32_t(first.tm_mon + 1)) << utc;
            EXPECT_EQ((d >> 7) & 0x1F, uint32_t(first.tm_mday)) << utc;
            EXPECT_EQ(d & 0x10000u, 0u) << "no time of day";
        }
        EXPECT_TRUE(compared) << "the date changed during every attempt";
    }
}

}  // namespace
}  // namespace kel::platform
