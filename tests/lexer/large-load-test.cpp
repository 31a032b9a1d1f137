// Large loads without a callback hold collection off while they run; loads
// in a row must still let the collector run (every other one at most is
// held), or the garbage of the earlier ones would never be freed.
#include "tests/lexer/lexer-fixture.h"

#include "runtime/memory/collector.h"
#include "runtime/memory/memory.h"

namespace kel::test {
namespace {

TEST_F(Lexer, LoadsInARowStillCollect) {
    if (memory::stress()) GTEST_SKIP() << "every allocation collects: no load is held";
    std::string text;
    while (text.size() < (1u << 20) + 4096) text += "[alpha 12 \"text\" beta: 1.5 a/b]\n";
    int64_t before = collector::stats.cycles;
    for (int round = 0; round < 6; round++) {
        Cell out = load_text(text);
        ASSERT_EQ(type_of(out), TYPE_BLOCK);
        ASSERT_EQ(memory::buffer_of(cell_node(out))->cell_count(), text.size() / 32);
    }
    EXPECT_GE(collector::stats.cycles - before, 2);
    EXPECT_TRUE(memory::collector_enabled());
}

}  // namespace
}  // namespace kel::test
