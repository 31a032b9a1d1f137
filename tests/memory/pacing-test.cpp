// Collection pacing: a full heap collects only once the bytes allocated since
// the last collection reach a budget as large as what that collection kept
// (at least 2 MB). A heap that grows with live data is therefore collected a
// logarithmic number of times rather than once per frame; a loop that makes
// only garbage still keeps the heap bounded; the frames a collection empties
// are kept for reuse up to the budget and the rest go back to the system.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "runtime/memory/collector.h"
#include "runtime/memory/frames.h"
#include "runtime/memory/roots.h"
#include "tests/support.h"

namespace kel {
namespace {

using memory::buffer_of;

uint64_t empty_frame_bytes() {
    uint64_t bytes = 0;
    for (SeriesFrame* f = memory::state.series_first->next; f; f = f->next)
        if (f->heap == f->data()) bytes += f->size;
    return bytes;
}

int series_frames() {
    int n = 0;
    for (SeriesFrame* f = memory::state.series_first; f; f = f->next) ++n;
    return n;
}

// A block of `count` blocks of `cells` integers, each inner block made by
// its own allocation.
Cell nested_blocks(uint64_t count, uint64_t cells) {
    Cell outer{TYPE_BLOCK, 0, memory::alloc_cells(count), 0};
    Rooted keep(outer);
    for (uint64_t i = 0; i < count; ++i) {
        NodeId inner = memory::alloc_cells(cells);
        SeriesBuffer* b = buffer_of(inner);
        for (uint64_t k = 0; k < cells; ++k) b->cells()[k] = make_integer(int32_t(i + k));
        b->tail = b->offset + cells * sizeof(Cell);
        *alloc_block_tail(outer) = Cell{TYPE_BLOCK, 0, inner, 0};  // within capacity: allocates nothing
    }
    return outer;
}

// The cases count the collections that the budget alone starts, so the
// stress switch (a collection at every allocation) is off while they run.
struct Pacing : ::testing::Test {
    int booted = (test::boot(), 0);
    test::Restore<bool> stress{memory::state.stress};
    Pacing() {
        memory::state.stress = false;
        collector::set_active(true);
        collector::do_cycle();
    }
};

TEST_F(Pacing, AGrowingLiveHeapIsCollectedLogarithmically) {
    constexpr uint64_t cells = 10;
    constexpr uint64_t grown = 48u << 20;  // live bytes added: 24 frames of 2 MB
    const uint64_t count = grown / (cells * sizeof(Cell) + memory::BUFFER_OVERHEAD);
    int64_t before = collector::stats.cycles;
    Cell outer = nested_blocks(count, cells);
    Rooted keep(outer);
    int64_t cycles = collector::stats.cycles - before;
    // Each collection lets the heap grow by what it kept, so the live heap at
    // least doubles from one to the next. Collecting at every full frame made
    // one per frame, about 24 here.
    EXPECT_LE(cycles, int64_t(std::bit_width(grown / memory::MIN_COLLECT_BUDGET)) + 2);
    EXPECT_GE(memory::state.budget, memory::state.live);

    SeriesBuffer* ob = buffer_of(outer.data2);
    ASSERT_EQ(ob->cell_count(), count);
    for (uint64_t i = 0; i < count; i += 997) {
        SeriesBuffer* b = buffer_of(ob->cells()[i].data2);
        ASSERT_EQ(b->cell_count(), cells);
        EXPECT_EQ(cell_integer(b->cells()[cells - 1]), int32_t(i + cells - 1));
    }
}

TEST_F(Pacing, AGarbageLoopKeepsTheHeapBounded) {
    struct Case {
        uint64_t size;  // of each short-lived series
        uint64_t total;  // bytes made in all
    } cases[] = {
        {1000, 256u << 20}, {3 * memory::MAX_SERIES_FRAME, 96u << 20},  // big series, each in a frame of its own
    };
    for (const Case& c : cases) {
        collector::do_cycle();
        const int64_t start = memory::state.total;
        const uint64_t budget = memory::state.budget;
        int64_t peak = start;
        int64_t before = collector::stats.cycles;
        for (uint64_t made = 0; made < c.total; made += c.size) {
            memory::alloc_bytes(c.size);
            peak = std::max(peak, memory::state.total);
        }
        // Between two collections the heap grows by the budget at most, plus
        // the frame or big series of the request that spends it.
        EXPECT_LE(uint64_t(peak - start), 2 * budget + c.size + 2 * memory::MAX_SERIES_FRAME) << c.size;
        EXPECT_GE(collector::stats.cycles - before, int64_t(c.total / (2 * budget + c.size))) << c.size;
    }
}

TEST_F(Pacing, EmptiedFramesAreKeptForReuseWithinTheBudget) {
    // A live heap of some 12 MB sets a budget of several frames.
    Cell live = nested_blocks(60000, 10);
    Rooted keep(live);
    collector::do_cycle();
    ASSERT_GE(memory::state.budget, uint64_t(8u << 20));

    // Garbage far past the budget, made while nothing collects.
    collector::set_active(false);
    for (uint64_t made = 0; made < 3 * memory::state.budget; made += 4000) memory::alloc_bytes(4000);
    collector::set_active(true);
    const int64_t full = memory::state.total;
    collector::do_cycle();

    const uint64_t frame = memory::MAX_SERIES_FRAME + sizeof(SeriesFrame);
    uint64_t kept = empty_frame_bytes();
    EXPECT_LE(kept, memory::state.budget);
    EXPECT_GT(kept + frame, memory::state.budget) << "as many emptied frames as the budget holds are kept";
    EXPECT_LT(memory::state.total, full) << "the others are released";

    // The kept frames take the next allocations: no new frame, no collection.
    int frames = series_frames();
    int64_t cycles = collector::stats.cycles;
    for (uint64_t made = 0; made < kept / 2; made += 4000 + memory::BUFFER_OVERHEAD) memory::alloc_bytes(4000);
    EXPECT_EQ(series_frames(), frames);
    EXPECT_EQ(collector::stats.cycles, cycles);
}

}  // namespace
}  // namespace kel
