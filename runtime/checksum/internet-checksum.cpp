#include "runtime/checksum/internet-checksum.h"

#include <bit>
#include <cstring>

namespace kel::checksum {

namespace {

// Adds the carries above bit 15 back in until none remain.
inline uint32_t fold(uint64_t sum) {
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return uint32_t(sum);
}

}  // namespace

// The ones' complement sum does not depend on the width of the words added
// (2^16 is 1 modulo 2^16 - 1), so the bytes are summed as big-endian 32-bit
// words into 64 bits and folded at the end. 2^30 words at most are added
// between folds, far below what 64 bits hold.
uint16_t internet_checksum(std::span<const uint8_t> bytes) {
    const uint8_t* p = bytes.data();
    size_t n = bytes.size();
    uint64_t sum = 0;
    while (n >= 4) {
        size_t words = n / 4;
        if (words > (size_t(1) << 30)) words = size_t(1) << 30;
        n -= words * 4;
        for (size_t i = 0; i < words; ++i, p += 4) {
            uint32_t w;
            std::memcpy(&w, p, 4);
            if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap32(w);
            sum += w;
        }
        sum = fold(sum);
    }
    if (n >= 2) {
        sum += uint32_t(p[0]) << 8 | p[1];
        p += 2;
        n -= 2;
    }
    if (n == 1) sum += uint32_t(p[0]) << 8;
    return uint16_t(~fold(sum));
}

}  // namespace kel::checksum
