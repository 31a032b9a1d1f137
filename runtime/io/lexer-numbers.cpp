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
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/percent.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
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
IntegerText read_integer_text(State& st, int64_t s, int64_t e, int32_t type, int64_t token_start,
                              int64_t token_end) {
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
        if (c >= '0' && c <= '9') d = uint32_t(c - '0');
        else if (c >= 'A' && c <= 'F') d = uint32_t(c - 'A' + 10);
        else throw_error(st, start, end, TYPE_INTEGER);
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
            if (w == "1.#INF") d = text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
            else if (w == "1.#NAN") d = std::nan("");
            else throw_error(st, s, i, TYPE_FLOAT);
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
    st.entry_state = 0;
    st.pos = end + 1;
    if (!load) return;
    if (count == 3) push_value(st, point::make3(to_float32(xyz[0]), to_float32(xyz[1]), to_float32(xyz[2])));
    else push_value(st, point::make2(to_float32(xyz[0]), to_float32(xyz[1])));
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

void load_date(State& st, int64_t, int64_t, uint32_t, bool load) {
    // date! values are made by their datatype.
    st.type = TYPE_DATE;
    if (load) fire(ErrorId::internal_not_done);
}

void load_money(State& st, int64_t, int64_t, uint32_t, bool load) {
    // money! values are made by their datatype.
    st.type = TYPE_MONEY;
    if (load) fire(ErrorId::internal_not_done);
}

}  // namespace kel::lexer
