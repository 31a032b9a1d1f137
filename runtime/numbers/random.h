// Random draws: the one place every random choice of the runtime goes
// through, so that the same seed gives the same choices everywhere.
//
// The generator is the runtime's Mersenne Twister (twister.h), seeded with
// 19650218 by `init` at start-up, before the memory manager exists (its state
// is static and allocates nothing). `init` installs the generator into
// `source()`, through which every datatype's random slot seeds and draws;
// tests may install scripted sources there and put the saved one back. With
// no source installed (a program that never started the runtime) a draw or a
// seed raises internal/not-done.
//
// Secure draws come from the kernel's generator (getrandom). When it refuses,
// internal/not-here is raised: a predictable number is never answered in
// place of a secure one.
#pragma once
#include <cstdint>
#include <span>

namespace kel::random {

struct Source {
    void (*seed)(int32_t value) = nullptr;
    // 0 .. 2147483647; from the secure source when secure is set.
    int32_t (*next)(bool secure) = nullptr;
};
Source& source();

// Seeds the generator with its default seed, sets the MurmurHash3 seed of
// the hash tables to the build's fixed constant and installs the generator
// as `source()`. Run once by the runtime start-up.
void init();

// Seeds the installed source (random/seed of every datatype);
// internal/not-done while none is installed.
void seed(int32_t value);

// The generator itself, whatever source is installed.
// Reseeds: the next 624 outputs are the tempered seeding words.
void seed_generator(int32_t value);
// 0 .. 2147483647.
int32_t next();

// Four bytes of the kernel's generator with bit 31 cleared: 0 .. 2147483647.
// Raises internal/not-here when the kernel gives none.
int32_t secure_next();
// The same from another filler of secure bytes (tests feed it failures).
using SecureBytes = bool (*)(std::span<uint8_t> out);
int32_t secure_next(SecureBytes fill);

// A uniform integer from `source()`: 1..n for n > 0, n..-1 for n < 0, 0 for
// n = 0 (no draw). The top partial range of the 31-bit draws is rejected
// (drawn again), so every result is equally likely; n = 1 still takes one
// draw. -n is drawn for a negative n and the result negated; INT32_MIN gives
// -1 - r for one draw r.
int32_t uniform(int32_t n, bool secure);

}  // namespace kel::random
