// Base58: the bytes after the leading zeros as one big-endian number written
// in the Base58 alphabet, with one "1" in front for each leading zero byte.
//
// The number is converted through limbs rather than one digit or byte at a
// time: the encoder keeps it in base 58^5 and feeds it up to 4 bytes per
// pass, the decoder keeps it in base 2^32 and feeds it up to 5 digits per
// pass. Every product stays below 2^62, and the result is the same canonical
// text (no leading "1" beyond the zero bytes, no leading 0x00 beyond the
// "1"s) that digit-by-digit division gives.
#include <cstring>
#include <vector>

#include "runtime/encoding/base-encodings.h"
#include "runtime/encoding/base-units.h"

namespace kel::encoding {

namespace {

constexpr uint64_t LIMB = 58ull * 58 * 58 * 58 * 58;  // 656,356,768, below 2^32

// limbs = limbs x factor + add, the limbs little-endian in base `radix`.
void multiply_add(std::vector<uint32_t>& limbs, uint64_t factor, uint64_t add, uint64_t radix) {
    uint64_t carry = add;
    for (uint32_t& limb : limbs) {
        uint64_t t = limb * factor + carry;
        limb = uint32_t(t % radix);
        carry = t / radix;
    }
    for (; carry != 0; carry /= radix) limbs.push_back(uint32_t(carry % radix));
}

// The digit values of the text, or false when it is invalid.
template <uint32_t U>
bool gather(const uint8_t* text, uint64_t count, std::vector<uint8_t>& digits) {
    uint64_t i = 0;
    while (i < count) {
        uint32_t cp = units::at<U>(text, i++);
        if (cp >= 128) return false;  // not taken as the end of the text
        uint8_t v = base58_decode_table[cp];
        if (v < 58)
            digits.push_back(v);
        else if (cp == ';')
            i = units::past_comment<U>(text, i, count);
        else if (v != SKIP)
            return false;
    }
    return true;
}

// The bytes of m digit values; out has room for m bytes.
uint64_t digits_to_bytes(const uint8_t* d, uint64_t m, uint8_t* out) {
    uint64_t zeros = 0;
    while (zeros < m && d[zeros] == 0) ++zeros;
    std::memset(out, 0, zeros);
    uint8_t* q = out + zeros;
    std::vector<uint32_t> limbs;
    limbs.reserve((m - zeros) / 5 + 2);
    for (uint64_t i = zeros; i < m;) {
        uint64_t take = i == zeros && (m - zeros) % 5 != 0 ? (m - zeros) % 5 : 5;
        uint64_t chunk = 0, factor = 1;
        for (uint64_t k = 0; k < take; ++k, factor *= 58) chunk = chunk * 58 + d[i + k];
        multiply_add(limbs, factor, chunk, uint64_t(1) << 32);
        i += take;
    }
    if (limbs.empty()) return zeros;
    uint32_t top = limbs.back();
    int skip = top >= 1u << 24 ? 0 : top >= 1u << 16 ? 1 : top >= 1u << 8 ? 2 : 3;
    for (int k = skip; k < 4; ++k) *q++ = uint8_t(top >> (8 * (3 - k)));
    for (size_t j = limbs.size() - 1; j-- > 0; q += 4) {
        uint32_t v = limbs[j];
        q[0] = uint8_t(v >> 24);
        q[1] = uint8_t(v >> 16);
        q[2] = uint8_t(v >> 8);
        q[3] = uint8_t(v);
    }
    return uint64_t(q - out);
}

}  // namespace

uint8_t* encode_58(const uint8_t* src, uint64_t n, uint8_t* out) {
    uint64_t zeros = 0;
    while (zeros < n && src[zeros] == 0) ++zeros;
    std::memset(out, '1', zeros);
    out += zeros;
    if (zeros == n) return out;
    std::vector<uint32_t> limbs;
    limbs.reserve((n - zeros) * 28 / 100 + 2);  // log(256) / log(58^5) is about 0.273
    for (uint64_t i = zeros; i < n;) {
        uint64_t take = i == zeros && (n - zeros) % 4 != 0 ? (n - zeros) % 4 : 4;
        uint64_t chunk = 0;
        for (uint64_t k = 0; k < take; ++k) chunk = chunk << 8 | src[i + k];
        multiply_add(limbs, uint64_t(1) << (8 * take), chunk, LIMB);
        i += take;
    }
    // The top limb without leading zero digits (it is never 0: the first
    // byte after the zeros is not 0), every other limb as five digits.
    char top[5];
    int digits = 0;
    for (uint32_t v = limbs.back(); v != 0; v /= 58) top[digits++] = base58_alphabet[v % 58];
    while (digits > 0) *out++ = uint8_t(top[--digits]);
    for (size_t j = limbs.size() - 1; j-- > 0; out += 5) {
        uint32_t v = limbs[j];
        for (int k = 4; k >= 0; --k, v /= 58) out[k] = uint8_t(base58_alphabet[v % 58]);
    }
    return out;
}

int64_t decode_58(const uint8_t* text, uint64_t count, uint32_t unit, uint8_t* out) {
    std::vector<uint8_t> digits;
    digits.reserve(count);
    bool valid = units::by_unit(unit, [&](auto u) { return gather<decltype(u)::value>(text, count, digits); });
    if (!valid) return DECODE_INVALID;
    return int64_t(digits_to_bytes(digits.data(), digits.size(), out));
}

}  // namespace kel::encoding
