// Secure random bytes from the kernel's generator, getrandom(2), for
// `random/secure` and any caller that needs unpredictable bytes.
//
// A request is filled completely or the call fails: interrupted calls
// (EINTR) and short reads are retried, and when the kernel refuses (no
// getrandom, a seccomp filter, ...) the answer is false. Predictable bytes are
// never given in place of random ones.
#pragma once
#include <sys/types.h>
#include <cstdint>
#include <span>

namespace kel::platform {

// Fills `out` with secure random bytes; false (and `out` unspecified) on
// failure.
bool secure_random_bytes(std::span<uint8_t> out);

// The fill loop over a given source with getrandom's contract, so that tests
// can feed it interruptions, short reads and failures.
using RandomSource = ssize_t (*)(void* buffer, size_t length, unsigned int flags);
bool fill_random(std::span<uint8_t> out, RandomSource source);

}  // namespace kel::platform
