#include "runtime/checksum/adler32.h"

namespace kel::checksum {

namespace {

inline constexpr uint32_t MODULUS = 65521;
// The longest run of bytes after which B, kept in 32 unsigned bits and
// reduced before the run, cannot overflow: 255 n (n + 1) / 2 + (n + 1)
// (MODULUS - 1) < 2^32 holds up to 5,552. The modulo is taken once per run.
inline constexpr size_t RUN = 5552;

}  // namespace

uint32_t adler32(std::span<const uint8_t> bytes, uint32_t previous) {
    uint32_t a = previous & 0xFFFF;
    uint32_t b = previous >> 16;
    const uint8_t* p = bytes.data();
    size_t n = bytes.size();
    while (n > 0) {
        size_t run = n < RUN ? n : RUN;
        n -= run;
        while (run >= 16) {
            for (int i = 0; i < 16; ++i) {
                a += p[i];
                b += a;
            }
            p += 16;
            run -= 16;
        }
        while (run--) {
            a += *p++;
            b += a;
        }
        a %= MODULUS;
        b %= MODULUS;
    }
    return b << 16 | a;
}

}  // namespace kel::checksum
