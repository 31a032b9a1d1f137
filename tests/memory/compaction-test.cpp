// Compaction across series frames: runs of live buffers move into the free
// tail of the previous frame when it has more than 52,428 bytes left, else
// down over the dead ones; emptied frames are kept for reuse or released and
// the active frame stays valid; sparse node frames drain. A heap check after
// every cycle of a long churn catches a corrupt frame, node slot or mark.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/memory/collector.h"
#include "runtime/memory/frames.h"
#include "runtime/memory/roots.h"
#include "tests/support.h"

namespace kel {
namespace {

using memory::buffer_of;

Cell new_text(const std::string& text) {
    Cell s{TYPE_STRING, 0, memory::alloc_bytes(text.size()), 0};
    std::memcpy(alloc_tail_bytes(buffer_of(s.data2), text.size()), text.data(), text.size());
    return s;
}

std::string text_of(const Cell& s) {
    SeriesBuffer* b = buffer_of(s.data2);
    return std::string(reinterpret_cast<char*>(b->head_ptr()), b->used());
}

bool in_frame(const SeriesFrame* f, const Cell& s) {
    auto* b = reinterpret_cast<const uint8_t*>(buffer_of(s.data2));
    return b >= const_cast<SeriesFrame*>(f)->data() && b < f->end;
}

bool listed(const SeriesFrame* f) {
    for (SeriesFrame* p = memory::state.series_first; p; p = p->next)
        if (p == f) return true;
    return false;
}

// What must hold after every cycle: frames sorted and linked both ways, the
// active frames listed, every buffer below a frame's heap pointer in use,
// unmarked and pointed at by its own node.
void expect_sound_heap() {
    bool active_listed = false;
    for (SeriesFrame* f = memory::state.series_first; f; f = f->next) {
        active_listed |= f == memory::state.series_active;
        if (f->next) {
            EXPECT_LT(f, f->next);
            EXPECT_EQ(f->next->prev, f);
        } else {
            EXPECT_EQ(f, memory::state.series_last);
        }
        ASSERT_LE(f->heap, f->end);
        uint8_t* p = f->data();
        while (p < f->heap) {
            auto* b = reinterpret_cast<SeriesBuffer*>(p);
            ASSERT_TRUE(b->flags & series_flag::IN_USE) << "dead buffer left below the heap pointer";
            ASSERT_FALSE(b->flags & series_flag::MARK);
            ASSERT_EQ(buffer_of(b->node), b);
            p += b->size + memory::BUFFER_OVERHEAD;
        }
        ASSERT_EQ(p, f->heap);
    }
    EXPECT_TRUE(active_listed);
    bool node_active_listed = false;
    for (NodeFrame* f = memory::state.node_first; f; f = f->next) node_active_listed |= f == memory::state.node_active;
    EXPECT_TRUE(node_active_listed);
}

// Each case sets the frames up by hand: allocation must neither collect nor
// leave its frame, and the cycles run when the case says so.
struct Compaction : ::testing::Test {
    bool stress = false;
    void SetUp() override {
        test::boot();
        collector::do_cycle();
        stress = memory::state.stress;
        memory::state.stress = false;
        collector::set_active(false);
    }
    void TearDown() override {
        collector::set_active(true);
        memory::state.stress = stress;
    }
    // Fillers that keep the frames before a pair full (held by one block).
    Cell held{};
    Rooted keep_held{held};

    // Two new frames lo < hi, next to each other in the list, with every
    // frame before lo filled up: nothing moves into those, so lo keeps what
    // it holds and is the frame whose free tail hi's runs reach. New
    // mappings usually lie next to the previous one; a few tries may be
    // needed where released frames left holes.
    bool fresh_pair(SeriesFrame*& lo, SeriesFrame*& hi) {
        SeriesFrame* made = nullptr;
        for (int i = 0; i < 16; ++i) {
            SeriesFrame* f = memory::new_series_frame();
            if (made && (f->next == made || f->prev == made)) {
                lo = f < made ? f : made;
                hi = f < made ? made : f;
                seal_before(lo);
                return true;
            }
            made = f;
        }
        return false;
    }
    void seal_before(SeriesFrame* lo) {
        if (type_of(held) != TYPE_BLOCK) {
            memory::state.series_active = lo;
            held = Cell{TYPE_BLOCK, 0, memory::alloc_cells(256), 0};
        }
        for (SeriesFrame* f = memory::state.series_first; f != lo; f = f->next) {
            uint64_t room = uint64_t(f->end - f->heap);
            if (room < 2 * memory::BUFFER_OVERHEAD) continue;
            memory::state.series_active = f;
            Cell filler{TYPE_BINARY, 0, memory::alloc_bytes(room - 2 * memory::BUFFER_OVERHEAD), 0};
            ASSERT_TRUE(in_frame(f, filler));
            *alloc_block_tail(held) = filler;
        }
    }
    // Allocates in the given frame only.
    static Cell text_in(SeriesFrame* f, const std::string& text) {
        memory::state.series_active = f;
        Cell s = new_text(text);
        EXPECT_TRUE(in_frame(f, s)) << text;
        return s;
    }
};

TEST_F(Compaction, LiveRunsMoveIntoTheFreeTailOfThePreviousFrame) {
    SeriesFrame *lo, *hi;
    ASSERT_TRUE(fresh_pair(lo, hi));
    Cell anchor = text_in(lo, "keeps the first frame in use");
    Rooted a(anchor);
    uint8_t* lo_heap = lo->heap;
    text_in(hi, std::string(3000, 'd'));  // dead
    Cell one = text_in(hi, "first live run, first buffer");
    Rooted b(one);
    Cell two = text_in(hi, std::string(5000, '2'));
    Rooted c(two);
    text_in(hi, "dead between the runs");
    Cell three = text_in(hi, "second live run");
    Rooted d(three);

    collector::do_cycle();

    // Both runs follow the anchor, in their order, with nothing between.
    uint8_t* at = lo_heap;
    for (const Cell* s : {&one, &two, &three}) {
        SeriesBuffer* b = buffer_of(s->data2);
        EXPECT_EQ(reinterpret_cast<uint8_t*>(b), at);
        at += b->size + memory::BUFFER_OVERHEAD;
    }
    EXPECT_EQ(text_of(one), "first live run, first buffer");
    EXPECT_EQ(text_of(two), std::string(5000, '2'));
    EXPECT_EQ(text_of(three), "second live run");
    EXPECT_EQ(text_of(anchor), "keeps the first frame in use");
    // The emptied frame was the active one: kept for reuse (where later
    // frames may slide their runs) or released, it leaves allocation going
    // on in a listed frame.
    expect_sound_heap();
    Cell after = new_text("allocated after the cycle");
    EXPECT_EQ(text_of(after), "allocated after the cycle");
    EXPECT_TRUE(listed(memory::state.series_active));
}

TEST_F(Compaction, APreviousFrameWithTooLittleRoomIsNotUsed) {
    struct Case {
        uint64_t room;  // left in the previous frame when the later frame is compacted
        bool moved;
    } cases[] = {{52416, false}, {52432 + 4096, true}};
    for (const Case& c : cases) {
        SeriesFrame *lo, *hi;
        ASSERT_TRUE(fresh_pair(lo, hi));
        // A live filler leaves exactly the case's room in the first frame.
        uint64_t filler = uint64_t(lo->end - lo->heap) - c.room - memory::BUFFER_OVERHEAD;
        memory::state.series_active = lo;
        Cell fill{TYPE_BINARY, 0, memory::alloc_bytes(filler), 0};
        Rooted a(fill);
        ASSERT_EQ(uint64_t(lo->end - lo->heap), c.room);
        text_in(hi, std::string(500, 'd'));  // dead: the live string slides over it
        Cell live = text_in(hi, "live in the later frame");
        Rooted b(live);
        uint8_t* lo_heap = lo->heap;

        collector::do_cycle();

        EXPECT_EQ(in_frame(lo, live), c.moved) << c.room;
        if (!c.moved) {
            EXPECT_EQ(lo->heap, lo_heap);
            EXPECT_EQ(reinterpret_cast<uint8_t*>(buffer_of(live.data2)), hi->data());
        }
        EXPECT_EQ(text_of(live), "live in the later frame");
        expect_sound_heap();
    }
}

// Whatever the layout of the frames, a long churn of values of mixed sizes
// (some big enough for frames of their own) keeps every kept value intact
// and the heap sound after every cycle.
TEST_F(Compaction, ChurnAcrossManyFramesKeepsContentAndTheHeapSound) {
    collector::set_active(true);
    memory::state.stress = stress;
    const int rounds = int(test::scaled(12000, 600));
    Cell keep{TYPE_BLOCK, 0, memory::alloc_cells(8), 0};
    Rooted guard(keep);
    std::vector<std::string> expect;
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (int round = 0; round < rounds; ++round) {
        size_t len = next() % 3000 + (next() % 40 == 0 ? 300000 : 0) + (next() % 500 == 0 ? 2200000 : 0);
        std::string text(len, char('a' + round % 26));
        if (len > 8) std::memcpy(text.data(), &round, sizeof round);
        Cell s = new_text(text);
        if (next() % 2 == 0) {
            Rooted keep_s(s);
            *alloc_block_tail(keep) = s;
            expect.push_back(std::move(text));
        }
        SeriesBuffer* kb = buffer_of(keep.data2);
        if (next() % 3 == 0 && kb->cell_count() > 0) {  // drop one
            uint64_t i = next() % kb->cell_count();
            std::memmove(kb->cells() + i, kb->cells() + i + 1, (kb->cell_count() - i - 1) * sizeof(Cell));
            kb->tail -= sizeof(Cell);
            expect.erase(expect.begin() + int64_t(i));
        }
        if (round % 250 == 0) {
            collector::do_cycle();
            expect_sound_heap();
            if (HasFatalFailure()) return;
        }
    }
    collector::do_cycle();
    expect_sound_heap();
    SeriesBuffer* kb = buffer_of(keep.data2);
    ASSERT_EQ(kb->cell_count(), expect.size());
    for (uint64_t i = 0; i < kb->cell_count(); ++i) {
        kb = buffer_of(keep.data2);
        ASSERT_EQ(text_of(kb->cells()[i]), expect[i]) << i;
    }
}

TEST_F(Compaction, UnderStressFreedSpaceNoLongerHoldsTheOldBytes) {
    memory::state.stress = true;  // the switch that overwrites what compaction frees
    Cell live{};
    Rooted guard(live);
    uint8_t* old_place;
    {
        Cell dead = new_text(std::string(64, 'x'));
        Rooted keep_dead(dead);
        live = new_text(std::string(64, 'y'));
        old_place = buffer_of(live.data2)->data();
    }
    collector::do_cycle();
    ASSERT_NE(buffer_of(live.data2)->data(), old_place);  // slid over the dead one
    EXPECT_EQ(text_of(live), std::string(64, 'y'));
    // The old place, when its frame is still mapped (compaction may have
    // moved the buffer into another frame and given this one back), lies
    // above the heap pointer and holds no copy.
    bool mapped = false;
    for (SeriesFrame* f = memory::state.series_first; f; f = f->next)
        if (old_place >= f->data() && old_place + 64 <= f->end) mapped = true;
    if (mapped) {
        EXPECT_EQ(std::string(reinterpret_cast<char*>(old_place) + 32, 32).find('y'), std::string::npos);
    }
}

TEST_F(Compaction, SparseStableNodeFramesDrainUntilNoOtherFrameHasRoom) {
    // Fill four node frames, keep one node in twenty, and let the frames
    // stay unchanged for more than six cycles.
    const uint32_t total = 4 * NODE_FRAME_SLOTS;
    Cell keep{TYPE_BLOCK, 0, memory::alloc_cells(total / 20), 0};
    Rooted guard(keep);
    for (uint32_t i = 0; i < total; ++i) {
        NodeId n = memory::alloc_bytes(4);
        if (i % 20 == 0) *alloc_block_tail(keep) = Cell{TYPE_BINARY, 0, n, 0};
    }
    for (int i = 0; i < 8; ++i) collector::do_cycle();
    std::vector<NodeFrame*> draining;
    for (NodeFrame* f = memory::state.node_first; f; f = f->next)
        if (f->release) draining.push_back(f);
    ASSERT_FALSE(draining.empty());
    for (int i = 0; i < 200; ++i) {
        NodeId n = memory::alloc_bytes(1);
        for (NodeFrame* f : draining) EXPECT_NE(memory::frame_of(n), f);
    }
    // The nodes that live in draining frames still reach their buffers.
    SeriesBuffer* kb = buffer_of(keep.data2);
    for (uint64_t i = 0; i < kb->cell_count(); ++i)
        EXPECT_TRUE(buffer_of(kb->cells()[i].data2)->flags & series_flag::IN_USE);
    expect_sound_heap();

    // Once every other frame is full, a draining frame gives nodes again
    // rather than a new frame being made beside it.
    int frames = 0;
    int64_t free_elsewhere = 0;
    for (NodeFrame* f = memory::state.node_first; f; f = f->next, ++frames)
        if (!f->release) free_elsewhere += int64_t(NODE_FRAME_SLOTS) - f->used;
    for (int64_t i = 0; i < free_elsewhere; ++i) memory::alloc_bytes(1);
    NodeFrame* from = memory::frame_of(memory::alloc_bytes(1));
    EXPECT_NE(std::find(draining.begin(), draining.end(), from), draining.end());
    EXPECT_FALSE(from->release);
    int frames_after = 0;
    for (NodeFrame* f = memory::state.node_first; f; f = f->next) ++frames_after;
    EXPECT_EQ(frames_after, frames);
}

}  // namespace
}  // namespace kel
