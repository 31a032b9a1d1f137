// The external resource registry: growth, marking, sweeping and removal.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "runtime/memory/externals-registry.h"
#include "runtime/platform/heap.h"

namespace kel {
namespace {

std::vector<uintptr_t> finalized;

// Each case works on a registry of its own; the process's registry (with
// the kinds the runtime registered) is set aside meanwhile.
struct Externals : ::testing::Test {
    externals::Registry saved = std::exchange(externals::registry, externals::Registry{});
    int kind = 0;
    void SetUp() override {
        externals::init();
        finalized.clear();
        kind = externals::register_kind(42, [](uintptr_t o) { finalized.push_back(o); });
    }
    ~Externals() override {
        heap::free(externals::registry.entries);
        externals::registry = saved;
    }
};

TEST_F(Externals, GrowsWhenTheLastFreeEntryIsTaken) {
    for (int i = 0; i < 999; ++i) EXPECT_EQ(externals::add(kind, 1000 + i), i);
    EXPECT_EQ(externals::registry.capacity, 1000);
    EXPECT_EQ(externals::add(kind, 1999), 999);
    EXPECT_EQ(externals::registry.capacity, 2000);
    EXPECT_EQ(externals::add(kind, 2000), 1000);
}

TEST_F(Externals, SweepFinalizesWhatWasNotMarked) {
    int32_t a = externals::add(kind, 1);
    int32_t b = externals::add(kind, 2);
    int32_t c = externals::add(kind, 3);
    EXPECT_EQ(externals::mark(b, 0), 1);
    EXPECT_EQ(externals::mark(b, 0), 0);
    externals::sweep();
    EXPECT_EQ(finalized, (std::vector<uintptr_t>{3, 1}));  // in-use list runs newest first
    EXPECT_EQ(externals::registry.used_head, b);
    // Freed entries are reused most recently freed first.
    EXPECT_EQ(externals::add(kind, 4), a);
    EXPECT_EQ(externals::add(kind, 5), c);
    // The kept entry lost its mark: the next sweep frees it unless marked again.
    finalized.clear();
    externals::sweep();
    EXPECT_EQ(finalized, (std::vector<uintptr_t>{5, 4, 2}));
    EXPECT_EQ(externals::registry.used_head, -1);
}

TEST_F(Externals, MarkCanReplaceTheObject) {
    int32_t a = externals::add(kind, 1);
    externals::mark(a, 77);
    EXPECT_EQ(externals::registry.entries[a].object, 77u);
    EXPECT_TRUE(finalized.empty());
}

TEST_F(Externals, RemoveFinalizesOnlyWhenAsked) {
    int32_t a = externals::add(kind, 1);
    int32_t b = externals::add(kind, 2);
    EXPECT_EQ(externals::remove(a, false), -1);
    EXPECT_TRUE(finalized.empty());
    externals::remove(b, true);
    EXPECT_EQ(finalized, std::vector<uintptr_t>{2});
    EXPECT_EQ(externals::registry.used_head, -1);
    EXPECT_EQ(externals::registry.entries[b].flags, externals::ENTRY_FREE);
    EXPECT_EQ(externals::registry.free_head, b);
}

}  // namespace
}  // namespace kel
