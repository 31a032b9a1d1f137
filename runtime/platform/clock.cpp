#include "runtime/platform/clock.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

namespace kel::platform {

namespace {

// tzset reads the zone anew, with a stat of /etc/localtime when TZ is
// unset: far dearer than the clock itself, and `now/precise` is read at
// every event a profiler sees. It runs when TZ changed (at once) or a new
// second began, so a change of the system's zone shows within a second.
void refresh_zone(int64_t second) {
    static int64_t last_second = -1;
    static bool had_tz = false;
    static std::string last_tz;
    const char* tz = std::getenv("TZ");
    if (second == last_second && (tz != nullptr) == had_tz && (!tz || last_tz == tz)) return;
    tzset();
    last_second = second;
    had_tz = tz != nullptr;
    last_tz = tz ? tz : "";
}

}  // namespace

int64_t wait_milliseconds(double seconds) {
    double ms = seconds * 1000.0;
    if (!(ms >= 1.0)) return 1;  // also NaN
    if (ms >= double(MAX_WAIT_MS)) return MAX_WAIT_MS;
    return int64_t(ms);
}

void wait(double seconds) {
    int64_t ms = wait_milliseconds(seconds);
    timespec request{time_t(ms / 1000), long(ms % 1000) * 1000000L};
    timespec remaining{};
    while (nanosleep(&request, &remaining) == -1 && errno == EINTR) request = remaining;
}

double get_time(bool, bool precise) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    int64_t second = int64_t(now.tv_sec) % 86400;
    if (second < 0) second += 86400;
    double t = double(second);
    if (precise) t += double(now.tv_nsec) / 1e9;
    return t;
}

uint32_t pack_zone(int32_t offset_minutes) {
    bool negative = offset_minutes < 0;
    uint32_t magnitude = negative ? 0u - uint32_t(offset_minutes) : uint32_t(offset_minutes);
    uint32_t hours = magnitude / 60;
    uint32_t quarters = magnitude % 60 / 15;
    if (hours > 15) {
        hours = 15;
        quarters = 3;
    }
    uint32_t zone = hours << 2 | quarters;
    if (negative && zone != 0) zone |= 0x40;
    return zone;
}

uint32_t pack_date(int32_t year, int32_t month, int32_t day, int32_t offset_minutes) {
    return uint32_t(year) << 17 | (uint32_t(month) & 0xF) << 12 | (uint32_t(day) & 0x1F) << 7 |
        pack_zone(offset_minutes);
}

Instant get_instant() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    time_t second = now.tv_sec;
    tm fields{};
    refresh_zone(int64_t(second));
    localtime_r(&second, &fields);
    return Instant{int64_t(now.tv_sec), int32_t(now.tv_nsec), int32_t(fields.tm_gmtoff / 60)};
}

uint32_t get_date(bool utc) {
    time_t now = time(nullptr);
    tm fields{};
    int32_t offset = 0;
    if (utc) {
        gmtime_r(&now, &fields);
    } else {
        refresh_zone(int64_t(now));
        localtime_r(&now, &fields);
        offset = int32_t(fields.tm_gmtoff / 60);
    }
    return pack_date(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, offset);
}

}  // namespace kel::platform
