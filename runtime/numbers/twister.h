// The runtime's Mersenne Twister: 624 signed 32-bit words and the index of
// the next word to temper.
//
// Every right shift of the generator is arithmetic (the sign bit is copied
// in), unlike the reference MT19937, whose shifts are logical; the same seed
// therefore gives a different sequence from the reference one. Because the
// first and last tempering steps XOR a word with an arithmetic shift of
// itself, every output has bit 31 clear: 0 .. 2147483647, which the uniform
// draws rely on. Products and sums wrap in 32 bits (done in uint32_t, so no
// signed overflow ever happens).
//
// Seeding sets the index to 0 without twisting: the first 624 outputs after
// a seed are the tempered seeding words, and the 625th twists the whole
// state first.
#pragma once
#include <cstdint>

namespace kel::random {

class Twister {
public:
    static constexpr int STATE_WORDS = 624;
    static constexpr int32_t DEFAULT_SEED = 19650218;

    // Seeded with DEFAULT_SEED.
    Twister() { seed(DEFAULT_SEED); }

    void seed(int32_t value);
    // The next output, 0 .. 2147483647.
    int32_t next();

private:
    void twist();

    int32_t mt_[STATE_WORDS];
    int index_ = 0;
};

}  // namespace kel::random
