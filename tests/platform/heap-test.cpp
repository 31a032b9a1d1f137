// Heap blocks: the list of scratch memory released at exit.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/platform/heap.h"

namespace kel {
namespace {

TEST(Heap, ResizeAllocatesFreesAndKeepsContent) {
    size_t before = heap::live_blocks();
    void* a = heap::resize(nullptr, 10);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(heap::live_blocks(), before + 1);
    std::memcpy(a, "abcdefghij", 10);
    void* b = heap::allocate_zeroed(8);
    a = heap::resize(a, 4000);
    EXPECT_EQ(std::memcmp(a, "abcdefghij", 10), 0);
    EXPECT_EQ(heap::resize(a, 0), nullptr);
    EXPECT_EQ(heap::live_blocks(), before + 1);
    heap::free(b);
    EXPECT_EQ(heap::live_blocks(), before);
}

TEST(Heap, FreeingWhatIsNotABlockChangesNothing) {
    size_t before = heap::live_blocks();
    alignas(16) static char not_a_block[64];
    heap::free(not_a_block + 32);
    heap::free(nullptr);
    EXPECT_EQ(heap::live_blocks(), before);
}

}  // namespace
}  // namespace kel
