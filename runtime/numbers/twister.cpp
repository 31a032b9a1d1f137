#include "runtime/numbers/twister.h"

namespace kel::random {

namespace {

constexpr int SHIFT_DISTANCE = 397;
constexpr uint32_t MATRIX = 0x9908B0DFu;

// The bits of a word as unsigned, for wrapping products and left shifts.
constexpr uint32_t bits(int32_t v) { return uint32_t(v); }
// Back to a signed word (modular since C++20).
constexpr int32_t word(uint32_t v) { return int32_t(v); }

// y >> 1 (arithmetic, well defined for negative words since C++20),
// XOR the matrix when y is odd.
constexpr int32_t mix(int32_t y) { return word(bits(y >> 1) ^ ((bits(y) & 1u) ? MATRIX : 0u)); }

// The top bit of a and the low 31 bits of b.
constexpr int32_t join(int32_t a, int32_t b) { return word((bits(a) & 0x80000000u) | (bits(b) & 0x7FFFFFFFu)); }

constexpr int32_t temper(int32_t y) {
    y ^= y >> 11;
    y ^= word((bits(y) << 7) & 0x9D2C5680u);
    y ^= word((bits(y) << 15) & 0xEFC60000u);
    y ^= y >> 18;
    return y;
}

}  // namespace

void Twister::seed(int32_t value) {
    mt_[0] = value;
    for (int i = 1; i < STATE_WORDS; ++i) {
        int32_t previous = mt_[i - 1];
        mt_[i] = word(1812433253u * bits(previous ^ (previous >> 30)) + uint32_t(i));
    }
    index_ = 0;
}

void Twister::twist() {
    for (int k = 0; k < STATE_WORDS - 1; ++k)
        mt_[k] = mt_[(k + SHIFT_DISTANCE) % STATE_WORDS] ^ mix(join(mt_[k], mt_[k + 1]));
    mt_[STATE_WORDS - 1] = mt_[SHIFT_DISTANCE - 1] ^ mix(join(mt_[STATE_WORDS - 1], mt_[0]));
    index_ = 0;
}

int32_t Twister::next() {
    if (index_ == STATE_WORDS) twist();
    return temper(mt_[index_++]);
}

}  // namespace kel::random
