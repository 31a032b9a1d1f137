// Random draws: the one place every random choice of the runtime goes
// through, so that the same seed gives the same choices everywhere.
//
// The generator itself belongs to the random-number module, which installs
// its seed and next functions into `source()` at start-up; until then a draw
// raises internal/not-done. Tests install scripted sources.
#pragma once
#include <cstdint>

namespace kel::random {

struct Source {
    void (*seed)(int32_t value) = nullptr;
    // 0 .. 2147483647; from the secure source when secure is set.
    int32_t (*next)(bool secure) = nullptr;
};
Source& source();

// Seeds the installed source (random/seed); internal/not-done while none is
// installed.
void seed(int32_t value);

// A uniform integer: 1..n for n > 0, n..-1 for n < 0, 0 for n = 0 (no draw).
// The top partial range of the 31-bit draws is rejected (drawn again), so
// every result is equally likely; n = 1 still takes one draw. -n is drawn for
// a negative n and the result negated; INT32_MIN gives -1 - r for one draw r.
int32_t uniform(int32_t n, bool secure);

}  // namespace kel::random
