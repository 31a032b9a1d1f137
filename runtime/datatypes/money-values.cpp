// money!: the cell's digits, the currency list and the conversions to and
// from integers, floats and text.
#include <cmath>
#include <cstring>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/money-internal.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/system-fields.h"
#include "runtime/numbers/float-text.h"

namespace kel::money {

namespace {

struct Bytes {
    uint8_t b[16];
};
Bytes bytes_of(const Cell& c) {
    Bytes r;
    static_assert(sizeof(Cell) == 16);
    std::memcpy(r.b, &c, 16);
    return r;
}

[[noreturn]] void fire_bad_float(double f) {
    Cell c{TYPE_FLOAT, 0, 0, 0};
    set_cell_double(c, f);
    fire_bad_make_arg(TYPE_MONEY, c);
}

// Packed digits: a byte of two digits from 0-99 and back through tables,
// three bytes (six digits) at a time in 32-bit steps.
struct DigitTables {
    uint8_t packed[100];
    uint8_t value[256];
    constexpr DigitTables() : packed(), value() {
        for (int n = 0; n < 100; ++n) {
            packed[n] = uint8_t((n / 10) << 4 | n % 10);
            value[packed[n]] = uint8_t(n);
        }
    }
};
constexpr DigitTables tables;

inline uint32_t unpack3(const uint8_t* p) {
    return uint32_t(tables.value[p[0]]) * 10000 + uint32_t(tables.value[p[1]]) * 100 + tables.value[p[2]];
}
inline void pack3(uint32_t n, uint8_t* p) {  // n < 10^6
    p[0] = tables.packed[n / 10000];
    p[1] = tables.packed[n / 100 % 100];
    p[2] = tables.packed[n % 100];
}

}  // namespace

Cell currency_list() {
    static const int32_t locale = symbol::make("locale");
    static const int32_t currencies = symbol::make("currencies");
    static const int32_t list = symbol::make("list");
    return system_fields::get({locale, currencies, list});
}

Cell currency_word(uint32_t index) {
    if (index == 0) return none_value;
    Cell codes = currency_list();
    if (type_of(codes) != TYPE_BLOCK || int64_t(index) > block::ks_length(codes)) return none_value;
    return block::ks_head(codes)[index - 1];
}

// The 22 digits are read and written as a 12-digit head (bytes 5-10) and a
// 10-digit tail (bytes 11-15), each a 64-bit number.
Scaled amount(const Cell& c) {
    Bytes r = bytes_of(c);
    // Digits 1-12 (bytes 5-10) and 13-22 (bytes 11-15, the first holding
    // two digits).
    uint64_t head = uint64_t(unpack3(r.b + 5)) * 1000000 + unpack3(r.b + 8);
    uint64_t tail =
        uint64_t(tables.value[r.b[11]]) * 100000000ULL + uint64_t(unpack3(r.b + 12)) * 100 + tables.value[r.b[15]];
    Scaled v = Scaled(head) * 10000000000LL + tail;
    return (c.header & SIGN) ? -v : v;
}

uint32_t currency_of(const Cell& c) { return c.data1 & 0xFF; }

Cell make_cell(Scaled v, uint32_t currency) {
    Bytes r{};
    bool negative = v < 0;
    Scaled m = negative ? -v : v;
    // m < 10^22 < 2^74, so m / 2^10 fits 64 bits and m / 10^10 is that
    // divided by 5^10, all in 64-bit arithmetic.
    uint64_t head = uint64_t(m >> 10) / 9765625u;
    uint64_t tail = uint64_t(m) - head * 10000000000ULL;
    pack3(uint32_t(head / 1000000), r.b + 5);
    pack3(uint32_t(head % 1000000), r.b + 8);
    uint32_t top = uint32_t(tail / 100000000), low = uint32_t(tail % 100000000);
    r.b[11] = tables.packed[top];
    pack3(low / 100, r.b + 12);
    r.b[15] = tables.packed[low % 100];
    r.b[4] = uint8_t(currency);
    Cell c;
    std::memcpy(&c, r.b, 16);
    c.header = TYPE_MONEY | (negative ? SIGN : 0);
    return c;
}

int32_t sign(const Cell& c) {
    Scaled v = amount(c);
    return v > 0 ? 1 : v < 0 ? -1 : 0;
}

int32_t currency_index(int32_t symbol) {
    Cell codes = currency_list();
    if (type_of(codes) != TYPE_BLOCK) return -1;
    int32_t n = block::ks_length(codes);
    int32_t wanted = symbol::resolve(symbol);
    for (int32_t i = 0; i < n && i < 255; ++i) {
        const Cell& item = block::ks_head(codes)[i];
        if (word::is_any_word(type_of(item)) && symbol::resolve(word::symbol_of(item)) == wanted) return i + 1;
    }
    return -1;
}

bool from_text(Cell& cell, bool negative, const char* code, const char* start, const char* point, const char* end) {
    uint32_t currency = 0;
    if (code) {
        int32_t index = currency_index(symbol::make_with_length(reinterpret_cast<const uint8_t*>(code), 3));
        if (index < 0) return false;
        currency = uint32_t(index);
    }
    Scaled v = 0, unit = SCALE;
    int32_t count = 0;
    for (const char* p = (point ? point : end) - 1; p > start && count < INTEGER_DIGITS; --p) {
        if (*p == '\'') continue;
        v += Scaled(*p - '0') * unit;
        unit *= 10;
        ++count;
    }
    if (point) {
        unit = SCALE / 10;
        for (const char* p = point + 1; p < end && unit > 0; ++p) {
            if (*p == '\'') continue;
            v += Scaled(*p - '0') * unit;
            unit /= 10;
        }
    }
    cell = make_cell(v, currency);
    if (negative) cell.header |= SIGN;
    return true;
}

bool valid_bytes(uint32_t currency, const uint8_t digits[DIGIT_BYTES]) {
    for (int32_t i = 0; i < DIGIT_BYTES; ++i)
        if ((digits[i] >> 4) > 9 || (digits[i] & 0xF) > 9) return false;
    if (currency == 0) return true;
    Cell codes = currency_list();
    return currency <= 255 && type_of(codes) == TYPE_BLOCK && int64_t(currency) <= block::ks_length(codes);
}

Cell* from_bytes(Cell& cell, bool negative, uint32_t currency, const uint8_t digits[DIGIT_BYTES]) {
    Bytes r{};
    r.b[4] = uint8_t(currency);
    std::memcpy(r.b + 5, digits, DIGIT_BYTES);
    std::memcpy(&cell, r.b, 16);
    cell.header = TYPE_MONEY | (negative ? SIGN : 0);
    return &cell;
}

Cell from_integer(int32_t n) { return make_cell(Scaled(n) * SCALE, 0); }

int32_t to_integer(const Cell& c) {
    Scaled whole = amount(c) / SCALE;
    if (whole < INT32_MIN || whole > INT32_MAX) fire(ErrorId::script_type_limit, {datatype::make(TYPE_INTEGER)});
    return int32_t(whole);
}

Cell from_float(double f, bool strict) {
    if (!std::isfinite(f)) fire_bad_float(f);
    double m = std::fabs(f);
    if (m == 0.0) return make_cell(0, 0);
    if (m < 1e-5 || m >= 1e17) fire_bad_float(f);
    int point = 0, count = 0;
    bool negative = false;
    const char* digits = dtoa::digits(f, 0, point, negative, count, false);
    // The value is 0.D x 10^point: digit i stands for 10^(point - 1 - i),
    // which is 10^(point + 4 - i) hundred-thousandths.
    Scaled v = 0;
    for (int i = 0; i < count; ++i) {
        int exponent = point + 4 - i;
        if (exponent < 0) {
            if (strict) fire_bad_float(f);
            break;
        }
        Scaled p = 1;
        for (int k = 0; k < exponent; ++k) p *= 10;
        v += Scaled(digits[i] - '0') * p;
    }
    return make_cell(negative ? -v : v, 0);
}

double to_float(const Cell& c) {
    Scaled v = amount(c);
    if (v == 0) return 0.0;
    Scaled m = v < 0 ? -v : v;
    char text[40];
    int n = 0;
    char digits[32];
    int k = 0;
    do {
        digits[k++] = char('0' + int(m % 10));
        m /= 10;
    } while (m > 0);
    while (k < 6) digits[k++] = '0';
    while (k > 5) text[n++] = digits[--k];
    text[n++] = '.';
    while (k > 0) text[n++] = digits[--k];
    double d = dtoa::string_to_float(text, text + n, 0, nullptr);
    return v < 0 ? -d : d;
}

bool from_string(Cell& out, const uint8_t* first, size_t count, uint32_t unit) {
    // The characters as ASCII bytes: anything above 127 is no amount.
    // A blank stands first, so that the position before the digits is
    // always inside the text.
    std::string s = " ";
    s.reserve(count + 1);
    for (size_t i = 0; i < count; ++i) {
        uint32_t cp = unit == 1 ? first[i] : 0;
        if (unit == 2) {
            uint16_t u;
            std::memcpy(&u, first + 2 * i, 2);
            cp = u;
        } else if (unit == 4) {
            std::memcpy(&cp, first + 4 * i, 4);
        }
        if (cp > 127) return false;
        s.push_back(char(cp));
    }
    size_t i = 1, n = s.size();
    if (n == 1) return false;
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') negative = s[i++] == '-';
    auto letter = [&](size_t k) { return k < n && ((s[k] | 0x20) >= 'a' && (s[k] | 0x20) <= 'z'); };
    const char* code = nullptr;
    if (letter(i)) {
        if (n - i < 5 || !letter(i + 1) || !letter(i + 2) || s[i + 3] != '$') return false;
        code = s.data() + i;
        i += 3;
    }
    if (i < n && s[i] == '$') {
        if (i + 1 == n) return false;
        ++i;
    } else if (code) {
        return false;
    }
    size_t digits_from = i;
    size_t point = std::string::npos;
    int integer_digits = 0;
    for (size_t k = i; k < n; ++k) {
        char c = s[k];
        if (c >= '0' && c <= '9') {
            if (point == std::string::npos) ++integer_digits;
            continue;
        }
        if (c == '\'') {
            if (k == digits_from || k + 1 == n || s[k - 1] == '\'' || s[k - 1] == '.' || point != std::string::npos)
                return false;
            continue;
        }
        if (c == '.') {
            if (point != std::string::npos || k == digits_from || s[k - 1] == '\'' || k + 1 == n) return false;
            point = k;
            continue;
        }
        return false;
    }
    if (digits_from == n || integer_digits == 0) return false;
    // More integer digits than an amount holds would be cut silently.
    if (integer_digits > INTEGER_DIGITS) return false;
    const char* base = s.data();
    return from_text(out, negative, code, base + digits_from - 1, point == std::string::npos ? nullptr : base + point,
                     base + n);
}

}  // namespace kel::money
