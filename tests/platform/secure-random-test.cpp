// Secure random bytes: the kernel's generator fills whole requests, and the
// fill loop retries interruptions and short reads and fails, never filling
// with predictable bytes, when its source does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "runtime/platform/secure-random.h"

namespace kel {
namespace {

TEST(SecureRandom, FillsWholeRequestsWithFreshBytes) {
    for (size_t n : {size_t(1), size_t(16), size_t(257), size_t(1) << 20}) {
        std::vector<uint8_t> a(n, 0), b(n, 0);
        ASSERT_TRUE(platform::secure_random_bytes(a));
        ASSERT_TRUE(platform::secure_random_bytes(b));
        if (n >= 16) {
            EXPECT_NE(a, b) << n;
            // A tail left as it was (a short read taken as whole) stays 0.
            EXPECT_NE(std::vector<uint8_t>(a.end() - 16, a.end()), std::vector<uint8_t>(16, 0)) << n;
        }
        if (n > 100000) {
            std::vector<int> seen(256, 0);
            for (uint8_t x : a) seen[x]++;
            EXPECT_EQ(std::count(seen.begin(), seen.end(), 0), 0);
        }
    }
    EXPECT_TRUE(platform::secure_random_bytes({}));
}

// A source that is interrupted every other call and gives at most 3 bytes.
int calls = 0;
uint8_t next_byte = 0;
ssize_t stuttering(void* buffer, size_t length, unsigned int) {
    if (++calls % 2 == 1) {
        errno = EINTR;
        return -1;
    }
    size_t n = length < 3 ? length : 3;
    for (size_t i = 0; i < n; ++i) static_cast<uint8_t*>(buffer)[i] = ++next_byte;
    return ssize_t(n);
}
ssize_t refusing(void*, size_t, unsigned int) {
    errno = ENOSYS;
    return -1;
}
ssize_t empty(void*, size_t, unsigned int) { return 0; }

TEST(SecureRandom, InterruptionsAndShortReadsAreRetriedInOrder) {
    calls = 0;
    next_byte = 0;
    std::vector<uint8_t> out(10, 0);
    ASSERT_TRUE(platform::fill_random(out, stuttering));
    for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], i + 1);
}

TEST(SecureRandom, AFailingSourceFails) {
    std::vector<uint8_t> out(8, 0);
    EXPECT_FALSE(platform::fill_random(out, refusing));
    EXPECT_FALSE(platform::fill_random(out, empty));
}

}  // namespace
}  // namespace kel
