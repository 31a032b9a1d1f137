// Percent-decoding and percent-encoding of string-family values.
#include <array>
#include <vector>

#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/url.h"
#include "runtime/encoding/base-tables.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode-fire.h"
#include "runtime/text/unicode.h"

namespace kel::url {

namespace {

// 128 entries each: true keeps the character.
constexpr std::array<bool, 128> make_set(const char* extra) {
    std::array<bool, 128> t{};
    for (int c = '0'; c <= '9'; ++c) t[size_t(c)] = true;
    for (int c = 'A'; c <= 'Z'; ++c) t[size_t(c)] = true;
    for (int c = 'a'; c <= 'z'; ++c) t[size_t(c)] = true;
    for (const char* p = extra; *p; ++p) t[size_t(*p)] = true;
    return t;
}
constexpr std::array<bool, 128> url_set = make_set("!#$&'()*+,-./:=?@_~");
constexpr std::array<bool, 128> strict_set = make_set("-._~");

// The code points of a value from its index, copied out of its buffer.
std::vector<uint32_t> code_points(const Cell& value) {
    string::Span s = string::span_from_head(value);
    std::vector<uint32_t> out(static_cast<size_t>(s.count));
    for (int64_t i = 0; i < s.count; ++i) out[size_t(i)] = s.at(i);
    return out;
}

// The byte of the escape at i ("%" and two hexadecimal digits), or -1.
int32_t escape_at(const std::vector<uint32_t>& cps, size_t i) {
    if (i + 2 >= cps.size() || cps[i] != '%') return -1;
    uint32_t h = cps[i + 1], l = cps[i + 2];
    if (h >= 128 || l >= 128) return -1;
    uint8_t hv = encoding::hex_digit_values[h], lv = encoding::hex_digit_values[l];
    if (hv == encoding::NOT_HEX || lv == encoding::NOT_HEX) return -1;
    return int32_t(hv * 16 + lv);
}

// The decoded code points; raises access/invalid-utf8 for a malformed run.
std::vector<uint32_t> decoded(const std::vector<uint32_t>& cps) {
    std::vector<uint32_t> out;
    out.reserve(cps.size());
    for (size_t i = 0; i < cps.size();) {
        int32_t b = escape_at(cps, i);
        if (b < 0) {
            out.push_back(cps[i++]);
            continue;
        }
        if (b < 0xC0) {
            out.push_back(uint32_t(b));
            i += 3;
            continue;
        }
        size_t n = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        uint8_t bytes[4] = {uint8_t(b)};
        size_t k = 1;
        for (; k < n; ++k) {
            int32_t next = escape_at(cps, i + 3 * k);
            if (next < 0) break;
            bytes[k] = uint8_t(next);
        }
        if (k < n) {  // a lead byte without its escapes: the "%" as it stands
            out.push_back(cps[i++]);
            continue;
        }
        int32_t len = 0;
        int32_t cp = unicode::decode_utf8_status(bytes, int32_t(n), len);
        if (cp < 0 || size_t(len) != n) unicode::fire_invalid_encoding(bytes, int64_t(n));
        out.push_back(uint32_t(cp));
        i += 3 * n;
    }
    return out;
}

void append_all(const Cell& target, const std::vector<uint32_t>& cps) {
    SeriesBuffer* b = string::buffer(target);
    for (uint32_t cp : cps) b = string::append_char(b, cp);
}

}  // namespace

bool keeps(uint32_t c, Mode mode) {
    if (c >= 128) return false;
    return mode == Mode::strict ? strict_set[c] : url_set[c];
}

void decode(const Cell& source, const Cell& target) {
    std::vector<uint32_t> cps = decoded(code_points(source));
    append_all(target, cps);
}

void decode_in_place(Cell& value) {
    std::vector<uint32_t> cps = code_points(value);
    bool any = false;
    for (uint32_t c : cps) any |= c == '%';
    if (!any) return;
    std::vector<uint32_t> out = decoded(cps);
    uint32_t widest = 0;
    for (uint32_t c : out) widest = c > widest ? c : widest;
    uint32_t unit = widest > 0xFFFF ? 4 : widest > 0xFF ? 2 : 1;
    Cell made{};
    string::make_at(made, int32_t(out.size()), unit);
    // Units written in place: nothing allocates after the string is made.
    SeriesBuffer* b = string::buffer(made);
    for (size_t i = 0; i < out.size(); ++i) string::detail::store_unit(b->tail_ptr(), unit, int64_t(i), out[i]);
    b->tail += out.size() * unit;
    made.header = value.header;  // the type and the new-line marker
    value = made;
}

int64_t encode(const Cell& source, const Cell& target, Mode mode, int64_t limit) {
    static const char digits[] = "0123456789ABCDEF";
    std::vector<uint32_t> cps = code_points(source);
    SeriesBuffer* b = string::buffer(target);
    int64_t written = 0;
    auto put = [&](uint32_t c) {
        if (limit >= 0 && written >= limit) return false;
        b = string::append_char(b, c);
        ++written;
        return true;
    };
    for (uint32_t cp : cps) {
        uint8_t bytes[4];
        int32_t n = unicode::encode_utf8_char(cp, bytes);
        for (int32_t k = 0; k < n; ++k) {
            uint8_t byte = bytes[k];
            if (byte < 0x80 && keeps(byte, mode)) {
                if (!put(byte)) return written;
            } else if (!put('%') || !put(uint32_t(digits[byte >> 4])) || !put(uint32_t(digits[byte & 15]))) {
                return written;
            }
        }
    }
    return written;
}

namespace {

Cell new_string(const Cell& value) {
    Cell made{};
    string::ks_make_at(made, int32_t(string::span_from_head(value).count));
    return made;
}

}  // namespace

void dehex(Cell* out, const Cell& value) {
    Cell made = new_string(value);
    Rooted keep(made);
    decode(value, made);
    *out = made;
}

void enhex(Cell* out, const Cell& value) {
    Cell made = new_string(value);
    Rooted keep(made);
    encode(value, made, type_of(value) == TYPE_STRING ? Mode::strict : Mode::url);
    *out = made;
}

}  // namespace kel::url
