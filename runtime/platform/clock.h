// Sleeping, the clock and the calendar date.
#pragma once
#include <cstdint>

namespace kel::platform {

// The longest wait, in milliseconds (2^53: every longer duration is clamped).
inline constexpr int64_t MAX_WAIT_MS = int64_t(1) << 53;

// Milliseconds slept for a wait of `seconds`: truncated, at least 1. Negative
// durations and NaN give 1; huge ones and infinity give MAX_WAIT_MS.
int64_t wait_milliseconds(double seconds);
// Sleeps for wait_milliseconds(seconds).
void wait(double seconds);

// Seconds since midnight UTC; with `precise`, the fraction of the current
// second is included. The UTC flag has no effect: the time is always UTC.
double get_time(bool utc, bool precise);

// Today's date, packed: year << 17 | month << 12 | day << 7 | zone. The zone
// is that of local time, or 0 with `utc`; the time-of-day bit (16) is clear.
uint32_t get_date(bool utc);

// The packed zone of an offset east of UTC in minutes: sign 0x40, whole hours
// in bits 2-5 (at most 15), quarter hours in bits 0-1. The sign comes from the
// offset and the fields from its magnitude, so -00:30 stays negative; a zone
// whose fields are 0 has no sign.
uint32_t pack_zone(int32_t offset_minutes);

// One reading of the clock: the UTC instant and the local zone's offset at
// that same second (localtime_r of it).
struct Instant {
    int64_t seconds;  // since 1970, UTC
    int32_t nanoseconds;  // 0 .. 999999999
    int32_t offset_minutes;
};
Instant get_instant();
uint32_t pack_date(int32_t year, int32_t month, int32_t day, int32_t offset_minutes);

}  // namespace kel::platform
