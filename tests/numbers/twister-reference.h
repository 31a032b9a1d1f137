// A reference of the runtime's random generator for the tests, written
// from its rules and sharing no code with it: 624 words seeded by
// 1812433253 x (w xor w >> 30) + i, the twist over words 397 apart with the
// matrix 0x9908B0DF, the tempering, and every right shift arithmetic. It
// works on unsigned words and fills the sign bits by hand, so it does not
// lean on the compiler's shift of negative numbers either.
#pragma once
#include <cstdint>

namespace kel::test {

struct ReferenceTwister {
    uint32_t mt[624];
    int index = 0;

    // An arithmetic right shift of the word's bits: the sign bit copied into
    // the n vacated top bits.
    static uint32_t sar(uint32_t w, int n) {
        uint32_t fill = (w & 0x80000000u) ? ~(0xFFFFFFFFu >> n) : 0u;
        return (w >> n) | fill;
    }
    static uint32_t temper(uint32_t y) {
        y ^= sar(y, 11);
        y ^= (y << 7) & 0x9D2C5680u;
        y ^= (y << 15) & 0xEFC60000u;
        y ^= sar(y, 18);
        return y;
    }
    explicit ReferenceTwister(int32_t s) {
        mt[0] = uint32_t(s);
        for (uint32_t i = 1; i < 624; ++i) mt[i] = 1812433253u * (mt[i - 1] ^ sar(mt[i - 1], 30)) + i;
    }
    int64_t next() {
        if (index == 624) {
            for (int k = 0; k < 624; ++k) {
                uint32_t y = (mt[k] & 0x80000000u) | (mt[(k + 1) % 624] & 0x7FFFFFFFu);
                mt[k] = mt[(k + 397) % 624] ^ sar(y, 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
            }
            index = 0;
        }
        uint32_t y = temper(mt[index++]);
        // Widened so that a result with bit 31 set would show as out of range.
        return int64_t(int32_t(y));
    }
};

}  // namespace kel::test
