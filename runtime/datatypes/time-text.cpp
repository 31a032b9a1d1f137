// time! text: h:mm:ss with the seconds' fraction.
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/datatypes/float.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/time-internal.h"
#include "runtime/datatypes/time.h"

namespace kel::time_ {

namespace {

// Room for the sign, the hours of the largest double (309 digits), the
// minutes and the seconds' text.
struct Text {
    char chars[400];
    int32_t length = 0;

    void put(const char* s, uint32_t n) {
        std::memcpy(chars + length, s, n);
        length += int32_t(n);
    }
    void put_two_digits(int32_t n) {
        chars[length++] = char('0' + n / 10);
        chars[length++] = char('0' + n % 10);
    }
};

}  // namespace

int64_t form_hms(double seconds, Cell buffer, int64_t limit) {
    Text text;
    if (!std::isfinite(seconds)) {
        // No hours or minutes to show: the float's own text.
        float_::Text f = float_::to_text(seconds, float_::TEXT_FLOAT);
        text.put(f.chars, f.length);
    } else {
        if (seconds < 0) text.put("-", 1);
        double t = std::fabs(seconds);  // -0.0 too: no "-0" hours
        double hours = std::floor(t / 3600);
        int32_t minutes = minute_part(t);
        double s = std::fmod(t, 60);
        float_::Text st{};
        bool zero_seconds = s < 1e-6;
        if (!zero_seconds) {
            st = float_::to_text(s, float_::TEXT_SECONDS);
            // Seconds just below 60 whose 6-digit text reads 60: write 00 and
            // carry a minute (and an hour).
            if (st.length == 2 && std::memcmp(st.chars, "60", 2) == 0) {
                zero_seconds = true;
                if (++minutes == 60) {
                    minutes = 0;
                    hours += 1;
                }
            }
        }
        auto r =
            std::to_chars(text.chars + text.length, text.chars + sizeof text.chars, hours, std::chars_format::fixed, 0);
        text.length = int32_t(r.ptr - text.chars);
        text.put(":", 1);
        text.put_two_digits(minutes);
        text.put(":", 1);
        if (zero_seconds) {
            text.put("00", 2);
        } else {
            if (st.length == 1 || st.chars[1] == '.') text.put("0", 1);
            text.put(st.chars, st.length);
        }
    }
    string::append_c_string_part(buffer, text.chars, text.length);
    return limit - text.length;
}

int64_t form(Cell value, Cell buffer, bool, int64_t limit) { return form_hms(get(value), buffer, limit); }

int64_t mold(Cell value, Cell buffer, const MoldOptions& options) {
    return form_hms(get(value), buffer, options.limit);
}

}  // namespace kel::time_
