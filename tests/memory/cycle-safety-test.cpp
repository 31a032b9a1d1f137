// What a cycle must keep and what it must refuse: the arguments of the error
// in flight are roots, and nothing allocates a series while a cycle runs.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/externals.h"
#include "runtime/memory/frames.h"
#include "runtime/text/unicode.h"
#include "tests/support.h"

namespace kel {
namespace {

using memory::buffer_of;

std::vector<uint8_t> bytes_of(NodeId n) {
    SeriesBuffer* b = buffer_of(n);
    return std::vector<uint8_t>(b->head_ptr(), b->tail_ptr());
}

struct CycleSafety : ::testing::Test {
    void SetUp() override { test::boot(); }
};

// A caught error keeps its arguments until the handler has read them: the
// binary! that names the malformed bytes must survive the collections that
// run before the handler gets to it.
TEST_F(CycleSafety, TheArgumentsOfTheErrorInFlightSurviveACollection) {
    const uint8_t malformed[] = {0x61, 0xC0, 0x80, 0x62};
    uint32_t code = protect(catch_level::ERRORS, [&] { unicode::load_utf8(malformed, 4); });
    ASSERT_EQ(code, thrown::ERROR);
    handled();
    ASSERT_EQ(error_in_flight().id, ErrorId::access_invalid_utf8);
    ASSERT_EQ(error_in_flight().argc, 1);
    ASSERT_EQ(type_of(error_in_flight().args[0]), TYPE_BINARY);
    NodeId arg = cell_node(error_in_flight().args[0]);

    collector::do_cycle();
    std::vector<NodeId> fresh;
    for (int i = 0; i < 64; ++i) fresh.push_back(memory::alloc_bytes(4));
    collector::do_cycle();

    for (NodeId n : fresh) EXPECT_NE(n, arg) << "the argument's node was freed and handed out again";
    SeriesBuffer* b = buffer_of(arg);
    EXPECT_TRUE(b->flags & series_flag::IN_USE);
    EXPECT_EQ(b->node, arg);
    EXPECT_EQ(bytes_of(arg), (std::vector<uint8_t>{0xC0, 0x80, 0x62}));
}

// A finalizer runs after marking and before compaction: a series it made
// would be unmarked, so the same cycle would free it while its maker still
// holds the node. Allocation inside a cycle is an internal fault instead.
TEST_F(CycleSafety, AFinalizerThatAllocatesEndsTheProcessWithStatus98) {
    EXPECT_EXIT(
        {
            static NodeId made = 0;
            int kind = externals::register_kind(7, [](uintptr_t) { made = memory::alloc_bytes(16); });
            externals::add(kind, 1);  // unreachable: finalized by the next sweep
            collector::do_cycle();
            // Reached only without the check: the node made above is free again.
            std::exit(memory::node_table[made] == 0 || !(buffer_of(made)->flags & series_flag::IN_USE) ? 3 : 4);
        },
        ::testing::ExitedWithCode(98), "");
}

}  // namespace
}  // namespace kel
