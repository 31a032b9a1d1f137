#include "runtime/checksum/crc32.h"

#include <array>
#include <bit>
#include <cstring>

namespace kel::checksum {

namespace {

inline constexpr uint32_t POLYNOMIAL = 0xEDB88320u;
inline constexpr int SLICES = 16;

using Tables = std::array<std::array<uint32_t, 256>, SLICES>;

// tables[0] is the classic byte table: entry i is i shifted right eight times,
// XORing the polynomial when the low bit was 1. tables[k][i] is the CRC of
// byte i followed by k zero bytes, which lets the loop fold sixteen input
// bytes with sixteen independent look-ups (slicing-by-16); every result is the
// same as the byte-at-a-time loop's.
constexpr Tables make_tables() {
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ POLYNOMIAL : c >> 1;
        t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i)
        for (int s = 1; s < SLICES; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
    return t;
}

constexpr Tables tables = make_tables();

inline uint32_t load_le32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
}

}  // namespace

uint32_t crc32(std::span<const uint8_t> bytes, uint32_t previous) {
    uint32_t crc = ~previous;
    const uint8_t* p = bytes.data();
    size_t n = bytes.size();
    while (n >= 16) {
        uint32_t w0 = load_le32(p) ^ crc;
        uint32_t w1 = load_le32(p + 4);
        uint32_t w2 = load_le32(p + 8);
        uint32_t w3 = load_le32(p + 12);
        crc = tables[15][w0 & 0xFF] ^ tables[14][(w0 >> 8) & 0xFF] ^ tables[13][(w0 >> 16) & 0xFF] ^
            tables[12][w0 >> 24] ^ tables[11][w1 & 0xFF] ^ tables[10][(w1 >> 8) & 0xFF] ^ tables[9][(w1 >> 16) & 0xFF] ^
            tables[8][w1 >> 24] ^ tables[7][w2 & 0xFF] ^ tables[6][(w2 >> 8) & 0xFF] ^ tables[5][(w2 >> 16) & 0xFF] ^
            tables[4][w2 >> 24] ^ tables[3][w3 & 0xFF] ^ tables[2][(w3 >> 8) & 0xFF] ^ tables[1][(w3 >> 16) & 0xFF] ^
            tables[0][w3 >> 24];
        p += 16;
        n -= 16;
    }
    while (n--) crc = (crc >> 8) ^ tables[0][(crc ^ *p++) & 0xFF];
    return ~crc;
}

}  // namespace kel::checksum
