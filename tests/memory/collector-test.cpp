// The collector: what survives, what is reclaimed, compaction keeping
// content, cycles and deep nesting, and the passes that follow marking.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/evaluator/stack.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/frames.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"
#include "tests/support.h"

namespace kel {
namespace {

using memory::buffer_of;

Cell new_block(uint64_t capacity) { return Cell{TYPE_BLOCK, 0, memory::alloc_cells(capacity), 0}; }

void append(const Cell& block, const Cell& value) {
    Cell v = value;  // `value` may live in the buffer that grows
    Rooted keep(v);  // and the growth may collect
    *alloc_block_tail(block) = v;
}

Cell new_string(const char* text) {
    size_t n = std::strlen(text);
    Cell s{TYPE_STRING, 0, memory::alloc_bytes(n), 0};
    std::memcpy(alloc_tail_bytes(buffer_of(s.data2), n), text, n);
    return s;
}

std::string text_of(const Cell& s) {
    SeriesBuffer* b = buffer_of(s.data2);
    return std::string(reinterpret_cast<char*>(b->head_ptr()), b->used());
}

struct Collector : ::testing::Test {
    void SetUp() override {
        test::boot();
        collector::do_cycle();  // start from a clean heap
    }
    static uint64_t live_bytes() {
        uint64_t total = 0;
        for (SeriesFrame* f = memory::state.series_first; f; f = f->next) total += uint64_t(f->heap - f->data());
        return total;
    }
    static bool in_use(NodeId n) { return memory::node_table[n] != 0 && (buffer_of(n)->flags & series_flag::IN_USE); }
};

TEST_F(Collector, GuardedValuesSurviveAndGarbageIsReclaimed) {
    Cell kept = new_string("kept across the cycle");
    Rooted guard(kept);
    Cell lost = new_string("garbage");
    NodeId lost_node = lost.data2;
    uint64_t before = live_bytes();
    collector::do_cycle();
    EXPECT_EQ(text_of(kept), "kept across the cycle");
    EXPECT_LT(live_bytes(), before);
    // The dead node went back to its frame's free list.
    EXPECT_EQ(memory::frame_of(lost_node)->free, lost_node);
}

// A block guarded both as a value and, more recently, as a bare node (as a
// function that grows it does): its contents are still marked.
TEST_F(Collector, ABlockAlsoGuardedAsABareNodeKeepsItsContents) {
    Cell outer = new_block(4);
    Rooted value_guard(outer);
    Cell inner = new_string("inner");
    append(outer, inner);
    NodeId inner_node = inner.data2;
    NodeId outer_node = outer.data2;
    Rooted node_guard(outer_node);
    collector::do_cycle();
    EXPECT_NE(memory::frame_of(inner_node)->free, inner_node);
    EXPECT_EQ(text_of(buffer_of(outer.data2)->cells()[0]), "inner");
}

TEST_F(Collector, ACycleWithNothingUnreachableMovesNothing) {
    Cell a = new_string("alpha");
    Rooted guard(a);
    collector::do_cycle();
    SeriesBuffer* where = buffer_of(a.data2);
    std::vector<uint8_t*> heaps;
    for (SeriesFrame* f = memory::state.series_first; f; f = f->next) heaps.push_back(f->heap);
    collector::do_cycle();
    EXPECT_EQ(buffer_of(a.data2), where);
    size_t i = 0;
    for (SeriesFrame* f = memory::state.series_first; f; f = f->next) EXPECT_EQ(f->heap, heaps[i++]);
}

TEST_F(Collector, LiveBuffersSlideDownOverDeadOnes) {
    Cell outer = new_block(4);
    Rooted guard(outer);
    Cell first = new_string("first");
    append(outer, first);
    Cell dead = new_string("this one dies between two live strings");
    (void)dead;
    Cell last = new_string("last");
    append(outer, last);
    SeriesBuffer* last_before = buffer_of(last.data2);
    collector::do_cycle();
    SeriesBuffer* ob = buffer_of(outer.data2);
    ASSERT_EQ(ob->cell_count(), 2u);
    EXPECT_EQ(text_of(ob->cells()[0]), "first");
    EXPECT_EQ(text_of(ob->cells()[1]), "last");
    // (When every allocation collects, the dead string is gone before `last`
    // is made, so nothing is left to slide over.)
    if (!test::gc_stress()) {
        EXPECT_LT(buffer_of(last.data2), last_before);
    }
    EXPECT_FALSE(buffer_of(last.data2)->flags & series_flag::MARK);
}

TEST_F(Collector, ValuesOnTheArgumentStackAreRoots) {
    Cell* slot = stack::push(new_string("on the stack"));
    new_string("garbage");
    collector::do_cycle();
    EXPECT_EQ(text_of(*slot), "on the stack");
    stack::pop(1);
}

TEST_F(Collector, CyclicBlocksAreMarkedOnceAndKept) {
    Cell a = new_block(2);
    Rooted guard(a);
    Cell b = new_block(2);
    append(a, b);
    append(b, a);  // a -> b -> a
    append(a, a);  // and a contains itself
    collector::do_cycle();
    SeriesBuffer* ab = buffer_of(a.data2);
    ASSERT_EQ(ab->cell_count(), 2u);
    EXPECT_EQ(ab->cells()[1].data2, a.data2);
    EXPECT_EQ(buffer_of(ab->cells()[0].data2)->cells()[0].data2, a.data2);
}

TEST_F(Collector, AMillionDeepNestedBlockIsMarkedWithoutRecursion) {
    const size_t depth = test::scaled(1000000, 2000);
    Cell top = new_block(1);
    Rooted guard(top);
    Cell inner = top;
    Rooted inner_guard(inner);
    for (size_t i = 0; i < depth; ++i) {
        Cell next = new_block(1);
        append(inner, next);
        inner = next;
    }
    append(inner, new_string("bottom"));
    inner = top;
    collector::do_cycle();
    Cell c = top;
    for (size_t i = 0; i < depth; ++i) c = buffer_of(c.data2)->cells()[0];
    EXPECT_EQ(text_of(buffer_of(c.data2)->cells()[0]), "bottom");
}

TEST_F(Collector, ContentSurvivesManyCyclesOfChurn) {
    const int rounds = int(test::scaled(20000, 300));
    Cell keep = new_block(8);
    Rooted guard(keep);
    for (int i = 0; i < rounds; ++i) {
        std::string t = "value " + std::to_string(i);
        Cell s = new_string(t.c_str());
        if (i % 7 == 0) append(keep, s);
        new_block(i % 50);  // garbage of varied sizes
        if (i % 1000 == 0) collector::do_cycle();
    }
    collector::do_cycle();
    SeriesBuffer* kb = buffer_of(keep.data2);
    int expect = 0;
    for (uint64_t k = 0; k < kb->cell_count(); ++k, expect += 7) {
        kb = buffer_of(keep.data2);
        EXPECT_EQ(text_of(kb->cells()[k]), "value " + std::to_string(expect));
    }
}

TEST_F(Collector, ConversionCachesOfStringsAndBinariesAreKept) {
    for (uint32_t type : {TYPE_STRING, TYPE_BINARY}) {
        Cell v = new_string("content");
        set_type(v, type);
        Rooted guard(v);
        Cell cache = new_string("cache");
        v.data3 = cache.data2;
        collector::do_cycle();
        EXPECT_EQ(text_of(Cell{TYPE_STRING, 0, v.data3, 0}), "cache") << type;
    }
}

// A loader's new buffer is held only by the loader while it widens: it must
// survive the collections that the widening runs.
TEST_F(Collector, LoadedTextSurvivesCollectionsWhileItWidens) {
    const char text[] = "ascii first, then \xC3\xA9 and \xE2\x82\xAC and \xF0\x9F\x98\x80";
    NodeId n;
    {
        test::Restore<bool> stress(memory::state.stress);
        memory::state.stress = true;
        n = unicode::load_utf8(reinterpret_cast<const uint8_t*>(text), int32_t(sizeof text - 1));
    }
    SeriesBuffer* b = buffer_of(n);
    ASSERT_TRUE(b->flags & series_flag::IN_USE);
    EXPECT_EQ(b->unit(), 4u);
    const auto* u = reinterpret_cast<const uint32_t*>(b->head_ptr());
    uint64_t count = b->used() / 4;
    ASSERT_EQ(count, 31u);
    EXPECT_EQ(u[0], uint32_t('a'));
    EXPECT_EQ(u[18], 0xE9u);
    EXPECT_EQ(u[24], 0x20ACu);
    EXPECT_EQ(u[30], 0x1F600u);
}

TEST_F(Collector, BigSeriesAreReleasedWhenUnreachable) {
    int64_t total = memory::state.total;
    Cell big{TYPE_BINARY, 0, memory::alloc_bytes(3 * memory::MAX_SERIES_FRAME), 0};
    EXPECT_TRUE(buffer_of(big.data2)->flags & series_flag::BIG);
    {
        Rooted guard(big);
        collector::do_cycle();
        EXPECT_TRUE(in_use(big.data2));
        EXPECT_FALSE(buffer_of(big.data2)->flags & series_flag::MARK);
    }
    collector::do_cycle();
    EXPECT_LE(memory::state.total, total);
}

TEST_F(Collector, FixedSeriesMarksAreClearedAfterEveryCycle) {
    NodeId fixed = memory::alloc_fixed_series(4, sizeof(Cell), 0);
    Cell holder{TYPE_BLOCK, 0, fixed, 0};
    Rooted guard(holder);
    Cell s = new_string("inside a fixed block");
    *alloc_tail(buffer_of(fixed)) = s;
    for (int i = 0; i < 3; ++i) {
        collector::do_cycle();
        EXPECT_FALSE(buffer_of(fixed)->flags & series_flag::MARK);
        new_string("garbage");
    }
    // Were the fixed block's mark left set, its content would no longer be
    // walked and the string would have been reclaimed.
    EXPECT_EQ(text_of(buffer_of(fixed)->cells()[0]), "inside a fixed block");
}

TEST_F(Collector, EmptyNodeFramesAreReleased) {
    // Fill with garbage until two new node frames exist, so at least one
    // frame holds nothing else, then collect. Earlier tests may have left
    // free slots in the existing frames: those fill first.
    auto count_frames = [] {
        int n = 0;
        for (NodeFrame* f = memory::state.node_first; f; f = f->next) ++n;
        return n;
    };
    const int frames_at_start = count_frames();
    collector::set_active(false);  // let garbage pile up past one frame
    while (count_frames() < frames_at_start + 2) memory::alloc_bytes(0);
    collector::set_active(true);
    const int frames_before = count_frames();
    collector::do_cycle();
    collector::do_cycle();
    EXPECT_LT(count_frames(), frames_before);
}

// The marker runs once in each cycle, those that allocation runs included,
// and keeps its value through all of them; once removed it runs no more.
TEST_F(Collector, RootMarkersRunInEveryCycle) {
    static Cell held;
    static int64_t runs;
    runs = 0;
    held = new_string("held by a module");
    auto marker = [] {
        ++runs;
        collector::mark_value(held);
    };
    int64_t cycles = collector::stats.cycles;
    {
        struct Added {
            explicit Added(void (*m)()) : marker(m) { collector::add_root_marker(m); }
            ~Added() { collector::remove_root_marker(marker); }
            void (*marker)();
        } added(marker);
        for (int i = 0; i < 4; ++i) {
            new_string("garbage between the cycles");
            collector::do_cycle();
            EXPECT_EQ(text_of(held), "held by a module") << i;
            EXPECT_EQ(runs, collector::stats.cycles - cycles) << i;
        }
    }
    int64_t before = runs;
    collector::do_cycle();
    EXPECT_EQ(runs, before);
}

TEST_F(Collector, AllocationCollectsOnlyWhenActive) {
    int64_t cycles = collector::stats.cycles;
    collector::set_active(false);
    memory::alloc_bytes(memory::MAX_SERIES_FRAME);  // big: would collect first
    EXPECT_EQ(collector::stats.cycles, cycles);
    collector::set_active(true);
    memory::alloc_bytes(memory::MAX_SERIES_FRAME);
    EXPECT_GT(collector::stats.cycles, cycles);
}

}  // namespace
}  // namespace kel
