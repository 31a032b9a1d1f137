// Base2: eight "0"/"1" characters per byte, most significant bit first.
#include <array>
#include <cstring>

#include "runtime/encoding/base-encodings.h"
#include "runtime/encoding/base-units.h"

namespace kel::encoding {

namespace {

// The eight characters of every byte, written with one copy each.
constexpr std::array<std::array<char, 8>, 256> make_bits() {
    std::array<std::array<char, 8>, 256> t{};
    for (int b = 0; b < 256; ++b)
        for (int k = 0; k < 8; ++k) t[b][k] = char('0' + ((b >> (7 - k)) & 1));
    return t;
}
constexpr auto bits = make_bits();

template <uint32_t U>
int64_t decode_units(const uint8_t* text, uint64_t count, uint8_t* out) {
    uint8_t* q = out;
    uint32_t byte = 0;
    int filled = 0;
    uint64_t i = 0;
    while (i < count) {
        uint32_t cp = units::at<U>(text, i++);
        if (cp == '0' || cp == '1') {
            byte = (byte << 1) | (cp - '0');
            if (++filled == 8) {
                *q++ = uint8_t(byte);
                byte = 0;
                filled = 0;
            }
        } else if (cp == ';') {
            i = units::past_comment<U>(text, i, count);
        } else if (cp > 32) {
            return DECODE_INVALID;
        }
    }
    if (filled != 0) return DECODE_INVALID;  // a partial byte
    return q - out;
}

}  // namespace

uint8_t* encode_2(const uint8_t* src, uint64_t n, uint8_t* out) {
    for (uint64_t i = 0; i < n; ++i, out += 8) std::memcpy(out, bits[src[i]].data(), 8);
    return out;
}

int64_t decode_2(const uint8_t* text, uint64_t count, uint32_t unit, uint8_t* out) {
    return units::by_unit(unit, [&](auto u) { return decode_units<decltype(u)::value>(text, count, out); });
}

}  // namespace kel::encoding
