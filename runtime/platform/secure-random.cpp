#include "runtime/platform/secure-random.h"

#include <sys/random.h>
#include <cerrno>

namespace kel::platform {

bool fill_random(std::span<uint8_t> out, RandomSource source) {
    uint8_t* p = out.data();
    size_t left = out.size();
    while (left > 0) {
        ssize_t got = source(p, left, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        // A source that answers nothing (or more than asked) is broken, not
        // slow: stop rather than loop for ever or overrun.
        if (got == 0 || size_t(got) > left) return false;
        p += got;
        left -= size_t(got);
    }
    return true;
}

bool secure_random_bytes(std::span<uint8_t> out) { return fill_random(out, getrandom); }

}  // namespace kel::platform
