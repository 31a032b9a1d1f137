// The memory manager: allocation sizes, expansion, big and fixed series, the
// frame-selection rules and node frames.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/memory/frames.h"
#include "runtime/platform/pages.h"
#include "tests/support.h"

namespace kel {
namespace {

using memory::buffer_of;
using test::error_of;
using test::id;

// The cases count collections exactly, through a stand-in that collects
// nothing: collecting at every allocation would blur what they check. The
// collector of the runtime, when another test started it, comes back after
// each case. Each case starts with the collection budget spent, so that a
// full heap collects; the pacing cases set it themselves.
struct Memory : ::testing::Test {
    Memory() { memory::state.allocated = memory::state.budget; }
    static int collections;
    static void (*on_collect)();
    static void count_collection() {
        ++collections;
        if (on_collect) on_collect();
    }
    static int prepared() {
        memory::init();
        memory::init_frames();
        collections = 0;
        on_collect = nullptr;
        return 0;
    }
    int ready = prepared();  // before the guard saves the stress switch, which init sets
    test::StandInCollector counting{count_collection, false};
    test::Restore<uint64_t> allocated{memory::state.allocated};
};
int Memory::collections = 0;
void (*Memory::on_collect)() = nullptr;

TEST_F(Memory, CapacitiesOfSmallRequests) {
    struct Case {
        NodeId node;
        uint64_t capacity;
        uint32_t unit;
    } cases[] = {
        {memory::alloc_cells(0), 0, 16},         {memory::alloc_bytes(0), 16, 1},
        {memory::alloc_codepoints(0, 4), 16, 4}, {memory::alloc_codepoints(0, 2), 16, 2},
        {memory::alloc_bytes(17), 32, 1},        {memory::alloc_cells(3), 48, 16},
    };
    for (const Case& c : cases) {
        SeriesBuffer* b = buffer_of(c.node);
        EXPECT_EQ(b->size, c.capacity);
        EXPECT_EQ(b->unit(), c.unit);
        EXPECT_EQ(b->node, c.node);
        EXPECT_EQ(b->used(), 0u);
        EXPECT_TRUE(b->flags & series_flag::IN_USE);
        EXPECT_TRUE(b->flags & series_flag::ALWAYS);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b->data()) % 16, 0u);
    }
}

TEST_F(Memory, ConsecutiveBuffersAreBumpedInOneFrame) {
    SeriesBuffer* a = buffer_of(memory::alloc_bytes(40));
    SeriesBuffer* b = buffer_of(memory::alloc_bytes(40));
    EXPECT_EQ(reinterpret_cast<uint8_t*>(b), a->data() + 48);
}

TEST_F(Memory, UnsetCellsAndCentredHeads) {
    SeriesBuffer* u = buffer_of(memory::alloc_unset_cells(1));
    EXPECT_EQ(u->size, 16u);
    EXPECT_EQ(u->used(), 0u);
    EXPECT_EQ(type_of(*reinterpret_cast<Cell*>(u->data())), TYPE_UNSET);

    SeriesBuffer* c = buffer_of(memory::alloc_series(10, 4, -1));
    EXPECT_EQ(c->size, 48u);
    EXPECT_EQ(c->offset, 24u);
    EXPECT_EQ(c->tail, 24u);
    EXPECT_TRUE(c->flags & series_flag::CENTRED);
}

TEST_F(Memory, ExpansionDoublesAndKeepsContent) {
    NodeId n = memory::alloc_bytes(16);
    SeriesBuffer* old = buffer_of(n);
    std::memcpy(alloc_tail_bytes(old, 10), "0123456789", 10);
    SeriesBuffer* nb = memory::expand_series(buffer_of(n), 0);
    EXPECT_EQ(buffer_of(n), nb);
    EXPECT_EQ(nb->size, 32u);
    EXPECT_EQ(nb->used(), 10u);
    EXPECT_EQ(std::memcmp(nb->head_ptr(), "0123456789", 10), 0);
    EXPECT_EQ(old->node, 0u);
    EXPECT_FALSE(old->flags & series_flag::IN_USE);
    EXPECT_EQ(nb->node, n);
}

TEST_F(Memory, ExpansionOfACentredHeadKeepsItsContent) {
    NodeId n = memory::alloc_series(32, 1, -1);
    SeriesBuffer* b = buffer_of(n);
    std::memcpy(alloc_tail_bytes(b, 16), "abcdefghijklmnop", 16);  // fills the upper half
    SeriesBuffer* nb = memory::expand_series(buffer_of(n), 0);
    EXPECT_EQ(nb->used(), 16u);
    EXPECT_EQ(std::memcmp(nb->head_ptr(), "abcdefghijklmnop", 16), 0);
    EXPECT_LE(nb->tail, nb->size);
}

TEST_F(Memory, ExpansionOfAnEmptyBufferGrows) {
    NodeId n = memory::alloc_cells(0);
    Cell* c = alloc_tail(buffer_of(n));
    EXPECT_EQ(type_of(*c), TYPE_UNSET);
    EXPECT_EQ(buffer_of(n)->cell_count(), 1u);
}

TEST_F(Memory, TailGrowth) {
    NodeId n = memory::alloc_cells(16);
    for (int i = 0; i < 16; ++i) *alloc_tail(buffer_of(n)) = make_integer(i);
    EXPECT_EQ(buffer_of(n)->size, 256u);
    *alloc_tail(buffer_of(n)) = make_integer(16);
    SeriesBuffer* b = buffer_of(n);
    EXPECT_EQ(b->size, 512u);
    ASSERT_EQ(b->cell_count(), 17u);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(cell_integer(b->cells()[i]), i);

    Cell block{TYPE_BLOCK, 0, n, 0};
    *alloc_block_tail(block) = make_integer(17);
    EXPECT_EQ(buffer_of(n)->cell_count(), 18u);

    NodeId bytes = memory::alloc_bytes(32);
    alloc_tail_bytes(buffer_of(bytes), 100);
    EXPECT_EQ(buffer_of(bytes)->size, 208u);
    EXPECT_EQ(buffer_of(bytes)->used(), 100u);
}

TEST_F(Memory, BigSeriesGetAFrameOfTheirOwnAfterACollection) {
    // Big series that earlier cases left unreachable are no part of this
    // case: marked, they survive its sweep.
    for (BigFrame* f = memory::state.big_first; f; f = f->next) f->buffer()->flags |= series_flag::MARK;
    uint64_t threshold = memory::MAX_SERIES_FRAME - memory::BUFFER_OVERHEAD;
    NodeId small = memory::alloc_bytes(threshold - 16);
    EXPECT_FALSE(buffer_of(small)->flags & series_flag::BIG);
    int before = collections;
    NodeId big = memory::alloc_bytes(threshold);
    EXPECT_TRUE(buffer_of(big)->flags & series_flag::BIG);
    EXPECT_EQ(collections, before + 1);
    EXPECT_EQ(buffer_of(big)->size, threshold);
    std::memset(buffer_of(big)->data(), 0xAB, threshold);

    // Unmarked big series are released by the sweep and their node handed on.
    static std::vector<NodeId> dead;
    dead.clear();
    buffer_of(small)->flags |= series_flag::MARK;  // not big: untouched by the sweep
    memory::sweep_big_series([](NodeId n) { dead.push_back(n); });
    EXPECT_EQ(dead, std::vector<NodeId>{big});
    buffer_of(small)->flags &= ~series_flag::MARK;
    for (NodeId n : dead) memory::free_node(n);  // what the collector does with them
}

TEST_F(Memory, SeriesFrameSizes) {
    SeriesFrame* first = memory::state.series_first;
    while (first->prev) first = first->prev;
    // The first frame made has a 1 MB data area, every later one 2 MB.
    uint64_t smallest = ~0ull;
    for (SeriesFrame* f = memory::state.series_first; f; f = f->next) smallest = std::min(smallest, f->size);
    EXPECT_EQ(smallest, memory::INITIAL_SERIES_FRAME + sizeof(SeriesFrame));
    SeriesFrame* f = memory::new_series_frame();
    EXPECT_EQ(f->size, memory::MAX_SERIES_FRAME + sizeof(SeriesFrame));
    for (SeriesFrame* p = memory::state.series_first; p && p->next; p = p->next) EXPECT_LT(p, p->next);
}

// Frame selection: the fixture leaves room only where a case wants it, by
// moving frame heaps, never below what was allocated. The bytes skipped
// become one dead buffer, so that every frame stays a sound run of buffers
// for the collection of a later test; moving a heap back shortens it.
struct FrameRules : Memory {
    static inline std::map<SeriesFrame*, uint8_t*> filler;  // the dead buffer that ends at a frame's heap
    SeriesFrame* fresh = memory::new_series_frame();  // empty, and at least two frames
    ~FrameRules() override { filler.clear(); }

    // Moves the heap so that `room` bytes are left (16 more where the gap
    // would be too small to hold a buffer header).
    static void leave_room(SeriesFrame* f, uint64_t room) {
        uint8_t* floor = f->heap;
        auto it = filler.find(f);
        if (it != filler.end()) {
            auto* dead = reinterpret_cast<SeriesBuffer*>(it->second);
            if (dead->end_ptr() == f->heap) floor = it->second;  // else the case allocated past it
        }
        uint8_t* heap = f->end - room;
        ASSERT_GE(heap, floor) << "frame already too full for this case";
        if (uint64_t(heap - floor) == 16) heap -= 16;
        f->heap = heap;
        if (heap == floor) {
            filler.erase(f);
            return;
        }
        auto* dead = reinterpret_cast<SeriesBuffer*>(floor);
        *dead = SeriesBuffer{series_flag::ALWAYS, 0, uint64_t(heap - floor) - memory::BUFFER_OVERHEAD, 0, 0};
        filler[f] = floor;
    }
    static void fill_all() {
        for (SeriesFrame* f = memory::state.series_first; f; f = f->next) leave_room(f, 16);
    }
};

TEST_F(FrameRules, AnOlderFrameWithRoomIsUsedWithoutCollecting) {
    fill_all();
    SeriesFrame* older = fresh;
    leave_room(older, 1008);
    memory::state.series_active = older == memory::state.series_first ? older->next : memory::state.series_first;
    SeriesBuffer* b = buffer_of(memory::alloc_bytes(500));
    EXPECT_EQ(collections, 0);
    EXPECT_GE(reinterpret_cast<uint8_t*>(b), older->data());
    EXPECT_LT(reinterpret_cast<uint8_t*>(b), older->end);
    EXPECT_EQ(memory::state.series_active, older);
}

// When no frame has room, a collection runs only once the bytes allocated
// since the last one reach the budget; before that a new frame is made at
// once. After a collection, a frame is used only with enough room left.
TEST_F(FrameRules, AFullHeapCollectsOnceTheBudgetIsSpent) {
    static SeriesFrame* target;
    static uint64_t room;
    target = fresh;
    const uint64_t request = 1008;  // a multiple of 16: the buffer takes request + header
    struct Case {
        uint64_t allocated;  // since the last collection, before the request
        uint64_t room_after_collect;  // in the target, which a reusing case takes 1040 bytes of
        bool collects, reused;
    } cases[] = {
        {memory::state.budget, 60000, true, true},
        {memory::state.budget, 40000, true, false},
        {memory::state.budget - request - memory::BUFFER_OVERHEAD, 58000, true, true},  // the request spends it
        {memory::state.budget - request - memory::BUFFER_OVERHEAD - 16, 58000, false, false},
        {0, 58000, false, false},
    };
    for (const Case& c : cases) {
        fill_all();
        memory::state.series_active = memory::state.series_last;
        memory::state.allocated = c.allocated;
        room = c.room_after_collect;
        on_collect = [] { leave_room(target, room); };  // what compaction would free
        int before = collections;
        int frames_before = 0;
        for (SeriesFrame* f = memory::state.series_first; f; f = f->next) ++frames_before;
        SeriesBuffer* b = buffer_of(memory::alloc_bytes(request));
        EXPECT_EQ(collections, before + (c.collects ? 1 : 0)) << c.allocated;
        bool in_target = reinterpret_cast<uint8_t*>(b) >= target->data() && reinterpret_cast<uint8_t*>(b) < target->end;
        EXPECT_EQ(in_target, c.reused) << c.allocated << " " << c.room_after_collect;
        int frames_after = 0;
        for (SeriesFrame* f = memory::state.series_first; f; f = f->next) ++frames_after;
        EXPECT_EQ(frames_after, frames_before + (c.reused ? 0 : 1));
        on_collect = nullptr;
    }
}

TEST_F(Memory, FixedSeriesStayOutsideTheFramesAndNeverGrow) {
    NodeId n = memory::alloc_fixed_series(4, 16, 0);
    SeriesBuffer* b = buffer_of(n);
    EXPECT_TRUE(b->flags & series_flag::FIXED);
    for (SeriesFrame* f = memory::state.series_first; f; f = f->next)
        EXPECT_FALSE(reinterpret_cast<uint8_t*>(b) >= f->data() && reinterpret_cast<uint8_t*>(b) < f->end);
    static NodeId fixed;
    fixed = n;
    for (int i = 0; i < 4; ++i) alloc_tail(buffer_of(fixed));
    EXPECT_EQ(error_of([] { alloc_tail(buffer_of(fixed)); }), id(ErrorId::internal_limit_hit));
    EXPECT_EQ(buffer_of(fixed)->cell_count(), 4u);
}

TEST_F(Memory, CloneCopiesCapacityFlagsAndContent) {
    NodeId n = memory::alloc_codepoints(8, 2);
    std::memcpy(alloc_tail_bytes(buffer_of(n), 6), "a\0b\0c\0", 6);
    NodeId c = memory::clone_series(buffer_of(n));
    SeriesBuffer* cb = buffer_of(c);
    EXPECT_EQ(cb->unit(), 2u);
    EXPECT_EQ(cb->size, buffer_of(n)->size);
    EXPECT_EQ(cb->used(), 6u);
    EXPECT_EQ(std::memcmp(cb->head_ptr(), "a\0b\0c\0", 6), 0);
    EXPECT_EQ(cb->node, c);

    // A clone of a fixed series is an ordinary one: it lives in a frame and grows.
    NodeId fixed = memory::alloc_fixed_series(2, 16, 0);
    *alloc_tail(buffer_of(fixed)) = make_integer(5);
    NodeId copy = memory::clone_series(buffer_of(fixed));
    EXPECT_FALSE(buffer_of(copy)->flags & series_flag::FIXED);
    for (int i = 0; i < 3; ++i) *alloc_tail(buffer_of(copy)) = make_integer(6 + i);
    ASSERT_EQ(buffer_of(copy)->cell_count(), 4u);
    EXPECT_EQ(cell_integer(buffer_of(copy)->cells()[0]), 5);
    EXPECT_EQ(cell_integer(buffer_of(copy)->cells()[3]), 8);
}

TEST_F(Memory, PageRefusalsBecomeLanguageErrors) {
    uint64_t big = memory::MAX_SERIES_FRAME;
    static uint64_t size;
    size = big;
    pages::refuse_next_allocation = true;
    EXPECT_EQ(error_of([] { memory::alloc_bytes(size); }), id(ErrorId::internal_no_memory));
    EXPECT_EQ(sys.thrown, 0u);
    static void* p;
    p = memory::allocate_virtual(100, false);
    pages::refuse_next_release = true;
    EXPECT_EQ(error_of([] { memory::free_virtual(p); }), id(ErrorId::internal_wrong_mem));
}

// A page limit refuses what would take the page layer past it as the
// operating system's refusal is, before the total counts it; what fits
// below it is still given.
TEST_F(Memory, PageLimitRefusesRequestsPastIt) {
    static uint64_t size;
    size = memory::MAX_SERIES_FRAME;  // a big frame of its own
    int64_t before = memory::state.total;
    test::Installed<uint64_t> limit(memory::set_page_limit, uint64_t(before) + 16384);
    EXPECT_EQ(error_of([] { memory::alloc_bytes(size); }), id(ErrorId::internal_no_memory));
    EXPECT_LE(memory::state.total, before) << "a refused request is not counted";
    memory::set_page_limit(uint64_t(memory::state.total) + 3 * size);
    EXPECT_EQ(error_of([] { memory::alloc_bytes(size); }), -1) << "a request below the limit is given";
}

// Lengths and positions are signed 32-bit unit counts: no buffer may hold
// more than INT32_MAX units (a longer one read back as a negative length).
// Requests past that are a catchable script/too-long, refused before any
// memory is taken.
TEST_F(Memory, NoSeriesGrowsPastInt32MaxUnits) {
    static const uint64_t too_many = uint64_t(INT32_MAX) + 1;
    const uint32_t too_long = uint32_t(ErrorId::script_too_long);
    EXPECT_EQ(error_of([] { memory::alloc_bytes(too_many); }), too_long);
    EXPECT_EQ(error_of([] { memory::alloc_codepoints(too_many, 2); }), too_long);
    EXPECT_EQ(error_of([] { memory::alloc_bytes(uint64_t(1) << 62); }), too_long);
    static NodeId n;
    n = memory::alloc_bytes(16);
    EXPECT_EQ(error_of([] { memory::expand_series(buffer_of(n), too_many); }), too_long);
    EXPECT_EQ(error_of([] { alloc_tail_bytes(buffer_of(n), too_many); }), too_long);
    EXPECT_EQ(buffer_of(n)->size, 16u) << "a refused growth leaves the buffer as it was";

    // Growth doubles up to the largest series, never past it.
    const uint64_t largest_bytes = uint64_t(INT32_MAX) & ~uint64_t(15);
    const uint64_t largest_cells = (uint64_t(INT32_MAX) * 16) & ~uint64_t(15);
    struct Case {
        uint64_t size;
        uint32_t unit;
        uint64_t need, wanted, grown;  // wanted 0: doubling until the need fits
    } cases[] = {
        {64, 1, 65, 0, 128},
        {0, 16, 16, 0, 16},
        {64, 1, 65, 1000, 1000},
        {64, 1, 300, 0, 512},
        {uint64_t(1) << 30, 1, (uint64_t(1) << 30) + 1, 0, largest_bytes},
        {uint64_t(1) << 30, 1, largest_bytes, uint64_t(1) << 32, largest_bytes},
        {uint64_t(1) << 34, 16, (uint64_t(1) << 34) + 16, 0, largest_cells},
    };
    for (const Case& c : cases)
        EXPECT_EQ(memory::growth_size(c.size, c.unit, c.need, c.wanted), c.grown) << c.size << " " << c.need;
    static uint64_t past;
    past = largest_bytes + 1;
    EXPECT_EQ(error_of([] { memory::growth_size(uint64_t(1) << 30, 1, past, 0); }), too_long);
}

TEST_F(Memory, NodesComeFromTheActiveFrameAndEmptyFramesAreReleased) {
    // A node held in another frame: were every frame empty, the list would
    // get a fresh one at once, in the range just released.
    NodeId held = memory::alloc_node();
    NodeFrame* f = memory::new_node_frame();
    ASSERT_NE(memory::frame_of(held), f);
    NodeFrame* saved = memory::state.node_active;
    memory::state.node_active = f;
    std::vector<NodeId> nodes;
    for (int i = 0; i < 100; ++i) nodes.push_back(memory::alloc_node());
    for (NodeId n : nodes) EXPECT_EQ(memory::frame_of(n), f);
    EXPECT_EQ(f->used, 100);
    EXPECT_EQ(nodes[0], f->first);
    for (NodeId n : nodes) memory::free_node(n);
    EXPECT_EQ(f->used, 0);
    EXPECT_EQ(memory::alloc_node(), nodes.back());  // last freed is reused first
    memory::free_node(nodes.back());
    memory::state.node_active = saved;
    memory::update_node_frames();
    bool still_there = false;
    for (NodeFrame* p = memory::state.node_first; p; p = p->next) still_there |= (p == f);
    EXPECT_FALSE(still_there);
    EXPECT_EQ(memory::frame_of(nodes[0]), nullptr);
    // The released range is reused by the next frame.
    NodeFrame* again = memory::new_node_frame();
    EXPECT_EQ(again->first, nodes[0]);
    memory::free_node(held);
}

TEST_F(Memory, NoCollectionWhileDisabled) {
    memory::set_collector_enabled(false);
    memory::alloc_bytes(memory::MAX_SERIES_FRAME);
    EXPECT_EQ(collections, 0);
}

}  // namespace
}  // namespace kel
