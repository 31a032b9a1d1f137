// Loaders of the number tokens: integer, hexadecimal integer, percent, float,
// the `1.#` specials, tuple, pair, point, time, date and money. The state
// machine has confined each token to the characters its state allows; these
// check ranges, digit counts and field order, and build the value.
//
// A pair half that does not fit an integer (over 10 digits or beyond 32 bits)
// is `invalid` for pair!: it is never read as 0.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/percent.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/time.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/io/lexer-state.h"
#include "runtime/io/lexer-tables.h"
#include "runtime/numbers/float-syntax.h"
#include "runtime/numbers/text-to-number.h"

namespace kel::lexer {

namespace {

// An integer token's reading: the value, or `fits` false when it has more
// than 10 digits or does not fit 32 bits.
struct IntegerText {
    int32_t value = 0;
    bool fits = true;
    int digits = 0;
};

// Reads an optional sign and digits with `'` separators over [s, e). Two `'`
// in a row, no digit at all or any other character raise `invalid` for
// `type`.
IntegerText read_integer_text(State& st, int64_t s, int64_t e, int32_t type, int64_t token_start, int64_t token_end) {
    const uint8_t* in = st.input();
    IntegerText r;
    bool negative = false;
    int64_t i = s;
    if (i < e && (in[i] == '+' || in[i] == '-')) {
        negative = in[i] == '-';
        i++;
    }
    int64_t magnitude = 0;
    bool last_quote = false;
    for (; i < e; i++) {
        uint8_t c = in[i];
        if (c == '\'') {
            if (last_quote) throw_error(st, token_start, token_end, type);
            last_quote = true;
            continue;
        }
        last_quote = false;
        if (c < '0' || c > '9') throw_error(st, token_start, token_end, type);
        r.digits++;
        if (magnitude <= (int64_t(1) << 32)) magnitude = magnitude * 10 + (c - '0');
    }
    if (r.digits == 0) throw_error(st, token_start, token_end, type);
    int64_t limit = negative ? (int64_t(1) << 31) : (int64_t(1) << 31) - 1;
    if (r.digits > 10 || magnitude > limit) {
        r.fits = false;
        return r;
    }
    r.value = int32_t(negative ? -magnitude : magnitude);
    return r;
}

std::string token_text(const State& st, int64_t s, int64_t e) {
    return std::string(reinterpret_cast<const char*>(st.input() + s), size_t(e - s));
}

// The float of a decimal text (`'` removed), times 10^exponent; raises
// `invalid` for `type` on failure.
double read_decimal(State& st, const std::string& text, int exponent, int32_t type, int64_t s, int64_t e) {
    numbers::FloatRead r = numbers::read_float_token(text, exponent);
    if (r.error != numbers::READ_OK) throw_error(st, s, e, type);
    return r.value;
}

}  // namespace

void load_float(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    double d = read_decimal(st, token_text(st, start, end), 0, TYPE_FLOAT, start, end);
    st.type = TYPE_FLOAT;
    if (load) push_value(st, float_::make_cell(d));
}

void load_integer(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    IntegerText r = read_integer_text(st, start, end, TYPE_INTEGER, start, end);
    if (!r.fits) {
        if (end - start == 11 && std::memcmp(st.input() + start, "-2147483648", 11) == 0) {
            r.value = INT32_MIN;
        } else {
            load_float(st, start, end, flags, load);
            return;
        }
    }
    if (load) push_value(st, make_integer(r.value));
}

void load_hex(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    const uint8_t* in = st.input();
    int64_t digits = end - start - 1;  // less the `h`
    if (digits == 1 && in[start] >= 'A' && in[start] <= 'F') throw_error(st, start, end, TYPE_WORD);
    if (digits < 2 || digits > 8) throw_error(st, start, end, TYPE_INTEGER);
    uint32_t v = 0;
    for (int64_t i = start; i < start + digits; i++) {
        uint8_t c = in[i];
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = uint32_t(c - '0');
        else if (c >= 'A' && c <= 'F')
            d = uint32_t(c - 'A' + 10);
        else
            throw_error(st, start, end, TYPE_INTEGER);
        v = (v << 4) | d;  // 32 bits: eight digits wrap into the negative numbers
    }
    st.type = TYPE_INTEGER;
    if (load) push_value(st, make_integer(int32_t(v)));
}

void load_percent(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    double d = read_decimal(st, token_text(st, start, end), -2, TYPE_PERCENT, start, end);
    st.pos = end + 1;
    st.type = TYPE_PERCENT;
    if (load) push_value(st, percent::make_cell(d));
}

void load_float_special(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    const uint8_t* in = st.input();
    int64_t i = start;
    bool negative = false;
    if (i < end && (in[i] == '+' || in[i] == '-')) negative = in[i++] == '-';
    if (end - i != 6 || std::memcmp(in + i, "1.#", 3) != 0) throw_error(st, start, end, TYPE_FLOAT);
    char word[4] = {char(in[i + 3] & ~0x20), char(in[i + 4] & ~0x20), char(in[i + 5] & ~0x20), 0};
    double d;
    if (std::strcmp(word, "NAN") == 0) {
        uint64_t bits = 0x7FF8000000000000ull;
        std::memcpy(&d, &bits, sizeof d);
    } else if (std::strcmp(word, "INF") == 0) {
        d = negative ? -HUGE_VAL : HUGE_VAL;
    } else {
        throw_error(st, start, end, TYPE_FLOAT);
    }
    st.type = TYPE_FLOAT;
    if (load) push_value(st, float_::make_cell(d));
}

void load_tuple(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    const uint8_t* in = st.input();
    uint8_t bytes[12] = {};
    int n = 0;
    int64_t i = start;
    while (i < end) {
        int64_t s = i;
        int32_t v = 0;
        while (i < end && in[i] >= '0' && in[i] <= '9') {
            v = v * 10 + (in[i] - '0');
            if (v > 255) throw_error(st, start, end, TYPE_TUPLE);
            i++;
        }
        if (i == s) throw_error(st, start, end, TYPE_TUPLE);  // two dots in a row
        if (n == 12) throw_error(st, start, end, TYPE_TUPLE);
        bytes[n++] = uint8_t(v);
        if (i < end) {
            if (in[i] != '.') throw_error(st, start, end, TYPE_TUPLE);
            i++;
        }
    }
    st.type = TYPE_TUPLE;
    if (n < 3) n = 3;
    if (load) push_value(st, tuple::make_cell(uint32_t(n), bytes));
}

void load_pair(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    const uint8_t* in = st.input();
    int64_t x = -1;
    for (int64_t i = start; i < end; i++) {
        if (in[i] == '.') throw_error(st, start, end, TYPE_PAIR);
        if (x < 0 && i > start && (in[i] == 'x' || in[i] == 'X')) x = i;
    }
    if (x < 0) throw_error(st, start, end, TYPE_PAIR);
    IntegerText a = read_integer_text(st, start, x, TYPE_PAIR, start, end);
    IntegerText b = read_integer_text(st, x + 1, end, TYPE_PAIR, start, end);
    if (!a.fits || !b.fits) throw_error(st, start, end, TYPE_PAIR);
    st.type = TYPE_PAIR;
    if (load) push_value(st, pair::make_cell(a.value, b.value));
}

namespace {

// A double as a 32-bit float: beyond the float range it is the infinity of
// its sign (the conversion itself would be undefined there).
float to_float32(double d) {
    if (d > double(FLT_MAX)) return HUGE_VALF;
    if (d < -double(FLT_MAX)) return -HUGE_VALF;
    return float(d);
}

}  // namespace

void load_point(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    const uint8_t* in = st.input();
    int64_t i = start;
    int count = 0;
    double xyz[3] = {0, 0, 0};
    for (;;) {
        while (i < end && (in[i] == ' ' || in[i] == '\t')) i++;
        int32_t type = count == 2 ? TYPE_POINT3D : TYPE_POINT2D;
        if (i >= end || in[i] == ',' || in[i] == ')') throw_error(st, start, end, type);
        int64_t s = i;
        while (i < end && in[i] != ',' && in[i] != ')' && in[i] != ' ' && in[i] != '\t') i++;
        std::string text = token_text(st, s, i);
        double d;
        if (text.find('#') != std::string::npos) {
            // 1.#INF and 1.#NaN, with a sign.
            size_t k = text[0] == '+' || text[0] == '-' ? 1 : 0;
            std::string w = text.substr(k);
            for (char& c : w) c = char(std::toupper(uint8_t(c)));
            if (w == "1.#INF")
                d = text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
            else if (w == "1.#NAN")
                d = std::nan("");
            else
                throw_error(st, s, i, TYPE_FLOAT);
        } else {
            numbers::FloatRead r = numbers::read_float_token(text, 0);
            if (r.error != numbers::READ_OK) throw_error(st, s, i, TYPE_FLOAT);
            d = r.value;
        }
        if (count == 3) throw_error(st, start, end, TYPE_POINT3D);
        xyz[count++] = d;
        while (i < end && (in[i] == ' ' || in[i] == '\t')) i++;
        if (i < end && in[i] == ',') {
            if (count == 3) throw_error(st, start, end, TYPE_POINT3D);
            i++;
            continue;
        }
        break;
    }
    if (count < 2 || i != end) throw_error(st, start, end, count == 3 ? TYPE_POINT3D : TYPE_POINT2D);
    st.line_breaks = st.point_line_breaks;
    st.type = count == 3 ? TYPE_POINT3D : TYPE_POINT2D;
    st.entry_state = S_START;
    st.pos = end + 1;
    if (!load) return;
    if (count == 3)
        push_value(st, point::make3(to_float32(xyz[0]), to_float32(xyz[1]), to_float32(xyz[2])));
    else
        push_value(st, point::make2(to_float32(xyz[0]), to_float32(xyz[1])));
}

void load_time(State& st, int64_t start, int64_t end, uint32_t flags, bool load) {
    const uint8_t* in = st.input();
    int64_t i = start;
    bool negative = false;
    if (in[i] == '-') {
        negative = true;
        i++;
    } else if (in[i] == '+') {
        i++;
    }
    int64_t colon = i;
    while (colon < end && in[colon] != ':') colon++;
    if (colon >= end) throw_error(st, start, end, TYPE_TIME);
    IntegerText hours = read_integer_text(st, i, colon, TYPE_TIME, start, end);
    if (!hours.fits) throw_error(st, start, end, TYPE_TIME);
    int64_t m = colon + 1;
    int64_t k = m;
    while (k < end && in[k] >= '0' && in[k] <= '9') k++;
    IntegerText minutes = read_integer_text(st, m, k, TYPE_TIME, start, end);
    if (!minutes.fits || minutes.value < 0) throw_error(st, start, end, TYPE_TIME);
    double seconds = 0;
    int64_t h = hours.value;
    int64_t mins = minutes.value;
    if (k < end) {
        uint8_t sep = in[k];
        if (sep == ':' && k + 1 == end) throw_error(st, start, end, TYPE_TIME);
        if ((sep != '.' && sep != ',' && sep != ':') || (flags & flag::EXPONENT))
            throw_error(st, start, end, TYPE_TIME);
        std::string text;
        if (sep == ':') {
            text = token_text(st, k + 1, end);
        } else {
            text = token_text(st, m, end);
            mins = h;
            h = 0;
        }
        for (char& c : text)
            if (c == ',') c = '.';
        seconds = read_decimal(st, text, 0, TYPE_TIME, start, end);
        if (seconds < 0 || std::isnan(seconds)) throw_error(st, start, end, TYPE_TIME);
    }
    st.type = TYPE_TIME;
    if (!load) return;
    if (h < 0) {
        negative = !negative;
        h = -h;
    }
    double total = double(h) * 3600.0 + double(mins) * 60.0 + seconds;
    push_value(st, time_::make_cell(negative ? -total : total));
}

namespace {

// A date token being read: a position in it and the fields found so far.
struct DateText {
    State& st;
    const uint8_t* in;
    int64_t i, start, end;
    int32_t year = 0, month = 0, day = 0;
    int32_t hour = 0, minute = 0;
    double seconds = 0;
    bool zone_negative = false;
    int32_t zone_hours = 0, zone_minutes = 0;
    bool timed = false;

    [[noreturn]] void fail() { throw_error(st, start, end, TYPE_DATE); }
    bool at(uint8_t c) const { return i < end && in[i] == c; }
    bool digit() const { return i < end && in[i] >= '0' && in[i] <= '9'; }
    // At least `least` and at most `most` digits; their count into *count.
    int32_t number(int least, int most, int* count = nullptr) {
        int32_t v = 0;
        int n = 0;
        while (n < most && digit()) {
            v = v * 10 + (in[i++] - '0');
            n++;
        }
        if (n < least) fail();
        if (count) *count = n;
        return v;
    }
    // Seconds as digits and dots, read as a float.
    void read_seconds() {
        int64_t s = i;
        while (digit() || at('.')) i++;
        if (i == s) fail();
        numbers::FloatRead r = numbers::read_float_token(token_text(st, s, i), 0);
        if (r.error != numbers::READ_OK) fail();
        seconds = r.value;
    }
    // `-` and exactly three digits: a day of the year.
    bool ordinal_follows() const {
        for (int k = 1; k <= 3; k++)
            if (i + k >= end || in[i + k] < '0' || in[i + k] > '9') return false;
        return i + 4 >= end || in[i + 4] < '0' || in[i + 4] > '9';
    }
    void zone_sign() {
        zone_negative = in[i] == '-';
        i++;
    }
    // The time after its separator: h:mm[:ss[.f]] and an optional zone.
    void time_part() {
        timed = true;
        i++;
        hour = number(1, 2);
        if (!at(':')) fail();
        i++;
        minute = number(1, 2);
        if (at(':')) {
            i++;
            read_seconds();
        }
        if (at('Z')) {
            i++;
        } else if (at('+') || at('-')) {
            zone_sign();
            zone_hours = number(1, 2);
            if (at(':')) i++;
            zone_minutes = number(0, 2);
        }
        if (i != end) fail();
    }
    // The ranges every form must keep: a day of the month, a time of day
    // and a zone of at most 15:45.
    void check() {
        static constexpr int32_t month_days[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (month < 1 || month > 12 || day < 1 || day > month_days[month - 1]) fail();
        if (month == 2 && day == 29 && !date::leap_year(year)) fail();
        if (year < -9999 || year > 9999) fail();
        if (zone_hours > 15 || zone_minutes > 59) fail();
        if (hour > 23 || minute > 59 || !(seconds < 60)) fail();
    }
};

}  // namespace

void load_date(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    DateText t{st, st.input(), start, start, end};
    bool negative = t.at('-');
    if (negative) t.i++;
    int year_digits = 0;
    int32_t first = t.number(1, 4, &year_digits);
    if (negative) first = -first;
    t.year = first;
    int32_t week = 0, weekday = 0;
    enum { CALENDAR, WEEK, ORDINAL } form = CALENDAR;
    if (year_digits == 4 && t.digit()) {
        // Basic form: yyyymmddThhmm, then Z or seconds and a zone.
        t.month = t.number(2, 2);
        t.day = t.number(2, 2);
        if (!t.at('T')) t.fail();
        t.i++;
        t.timed = true;
        t.hour = t.number(2, 2);
        t.minute = t.number(2, 2);
        if (t.i == end) t.fail();
        if (t.at('Z')) {
            t.i++;
        } else {
            t.read_seconds();
            if (t.at('Z')) {
                t.i++;
            } else if (t.at('+') || t.at('-')) {
                t.zone_sign();
                t.zone_hours = t.number(2, 2);
                t.zone_minutes = t.number(2, 2);
            }
        }
        if (t.i != end) t.fail();
    } else if (year_digits == 4 && t.at('-') && t.i + 1 < end && t.in[t.i + 1] == 'W') {
        // ISO week: yyyy-Www[-d][Thh:mm...].
        form = WEEK;
        t.i += 2;
        t.month = t.day = 1;
        week = t.number(2, 2);
        if (t.at('-')) {
            t.i++;
            weekday = t.number(1, 1);
            if (weekday < 1 || weekday > 7) t.fail();
        }
        if (t.at('T')) t.time_part();
        if (t.i != end) t.fail();
    } else if (year_digits == 4 && t.at('-') && t.ordinal_follows()) {
        // Ordinal: yyyy-ddd[Thh:mm...].
        form = ORDINAL;
        t.i++;
        t.month = t.day = 1;
        week = t.number(3, 3);
        if (week == 0) t.fail();
        if (t.at('T')) t.time_part();
        if (t.i != end) t.fail();
    } else {
        if (!t.at('-') && !t.at('/')) t.fail();
        uint8_t separator = t.in[t.i++];
        if (t.digit()) {
            t.month = t.number(1, 2);
        } else {
            static const char* const names[12] = {"january",   "february", "march",    "april",
                                                  "may",       "june",     "july",     "august",
                                                  "september", "october",  "november", "december"};
            int64_t s = t.i;
            while (t.i < end && t.in[t.i] != separator) t.i++;
            int64_t n = t.i - s;
            if (n < 3 || n > 9) t.fail();
            for (int m = 0; m < 12 && t.month == 0; m++) {
                if (int64_t(std::strlen(names[m])) < n) continue;
                bool same = true;
                for (int64_t k = 0; k < n && same; k++) same = (t.in[s + k] | 0x20) == uint8_t(names[m][k]);
                if (same) t.month = m + 1;
            }
            if (t.month == 0) t.fail();
        }
        if (!t.at(separator)) t.fail();
        t.i++;
        bool day_negative = t.at('-');
        if (day_negative) t.i++;
        int day_digits = 0;
        t.day = t.number(1, 4, &day_digits);
        if (day_negative) t.day = -t.day;
        if (t.day < 0 || t.day > 31 || t.year < 100) {
            std::swap(t.year, t.day);
            year_digits = day_digits;
        }
        if (t.year >= 0 && t.year <= 99 && year_digits <= 2) t.year += t.year < 50 ? 2000 : 1900;
        if (t.at('/') || t.at('T')) t.time_part();
        if (t.i != end) t.fail();
    }
    t.check();
    st.type = TYPE_DATE;
    if (!load) return;
    Cell d;
    date::make_at(d, t.year, t.month, t.day, double(t.hour) * 3600.0 + double(t.minute) * 60.0 + t.seconds,
                  t.zone_negative, t.zone_hours, t.zone_minutes, t.timed);
    if (form == WEEK) {
        date::set_isoweek(d, week);
        if (weekday) date::set_weekday(d, weekday);
    } else if (form == ORDINAL) {
        date::set_yearday(d, week);
    }
    push_value(st, d);
}

void load_money(State& st, int64_t start, int64_t end, uint32_t, bool load) {
    const uint8_t* in = st.input();
    auto fail = [&] { throw_error(st, start, end, TYPE_MONEY); };
    int64_t i = start;
    bool negative = false;
    if (in[i] == '+' || in[i] == '-') negative = in[i++] == '-';
    int64_t dollar = i;
    while (dollar < end && in[dollar] != '$') dollar++;
    int64_t code_length = dollar - i;
    if (dollar == end || (code_length != 0 && code_length != 3)) fail();
    const char* code = code_length ? reinterpret_cast<const char*>(in + i) : nullptr;
    i = dollar + 1;
    if (i == end || in[i] == '.' || in[i] == ',' || in[i] == '\'') fail();
    // Leading zeros go, the last one kept when nothing or the mark follows.
    while ((in[i] == '0' || in[i] == '\'') && i + 1 < end && in[i + 1] != '.' && in[i + 1] != ',') i++;
    int64_t digits_from = i;
    int digits = 0;
    for (; i < end && in[i] != '.' && in[i] != ','; i++) {
        if (in[i] == '\'') {
            if (in[i - 1] == '\'' || i + 1 == end || in[i + 1] == '.' || in[i + 1] == ',') fail();
            continue;
        }
        if (in[i] < '0' || in[i] > '9') fail();
        digits++;
    }
    if (digits == 0 || digits > money::INTEGER_DIGITS) fail();
    const char* point = nullptr;
    if (i < end) {
        point = reinterpret_cast<const char*>(in + i);
        if (++i == end) fail();
        int fraction = 0;
        for (; i < end; i++) {
            if (in[i] < '0' || in[i] > '9') fail();
            fraction++;
        }
        if (fraction > money::FRACTION_DIGITS) fail();
    }
    // The currency must be one the list knows, in every mode.
    if (code && money::currency_index(symbol::make_with_length(in + dollar - 3, 3)) < 0) fail();
    st.type = TYPE_MONEY;
    if (!load) return;
    Cell m;
    const char* text = reinterpret_cast<const char*>(in);
    if (!money::from_text(m, negative, code, text + digits_from - 1, point, text + end)) fail();
    push_value(st, m);
}

}  // namespace kel::lexer
