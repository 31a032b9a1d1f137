// The memory manager's own state: the node table and its node frames, the
// series frames that buffers are bump-allocated in, big frames, the memory
// record, the page layer, and the passes the collector runs over them.
// Only the memory manager, the collector and their tests include this
// header; every other module uses the allocation API of
// runtime/memory/memory.h.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/memory/memory.h"

namespace kel {

// Node frames are ranges of NODE_FRAME_SLOTS slots of the node table.
inline constexpr uint32_t NODE_FRAME_SLOTS = 10000;

struct NodeFrame {
    NodeFrame* next;
    NodeFrame* prev;
    NodeId free;  // head of the free list threaded through the free slots, 0 at its end
    int32_t used;  // slots in use
    int32_t previous_used;  // used at the previous post-collection pass
    uint32_t history;  // one bit per pass, newest in bit 0: 1 when used had not changed
    uint32_t release;  // draining: no node is taken from it; released once empty
    NodeId first;  // id of the frame's first slot
};

struct alignas(16) SeriesFrame {
    SeriesFrame* next;
    SeriesFrame* prev;
    uint64_t size;  // total size including this header
    uint8_t* heap;  // next free byte
    uint8_t* end;  // first byte after the frame
    uint8_t* data() { return reinterpret_cast<uint8_t*>(this + 1); }
};

// The one buffer of a big frame follows this header.
struct alignas(16) BigFrame {
    BigFrame* next;
    uint64_t size;  // bytes of the mapping
    SeriesBuffer* buffer() { return reinterpret_cast<SeriesBuffer*>(this + 1); }
};
static_assert(sizeof(BigFrame) % 16 == 0, "the buffer after the header stays 16-byte aligned");

namespace memory {

inline constexpr uint64_t INITIAL_SERIES_FRAME = 1048576;  // 1 MB
inline constexpr uint64_t MAX_SERIES_FRAME = 2097152;  // 2 MB; also the big-series threshold
inline constexpr uint64_t MIN_FREE_AFTER_COLLECT = 52428;  // a frame found after collecting needs this much room
inline constexpr uint64_t PAGE_SIZE = 4096;
// The least allocation between two collections that allocation starts (the
// budget below never falls under it).
inline constexpr uint64_t MIN_COLLECT_BUDGET = MAX_SERIES_FRAME;

// The memory record.
struct State {
    int64_t total = 0;  // bytes held from the operating system
    NodeFrame* node_first = nullptr;
    NodeFrame* node_last = nullptr;
    NodeFrame* node_active = nullptr;
    SeriesFrame* series_first = nullptr;
    SeriesFrame* series_active = nullptr;
    SeriesFrame* series_last = nullptr;
    uint64_t next_series_size = INITIAL_SERIES_FRAME;
    BigFrame* big_first = nullptr;
    bool stress = false;  // KEL_GC_STRESS: collect before every allocation
    // Collection pacing. Allocation collects when no frame has room (or for
    // a big series) only once `allocated` plus the request reaches `budget`:
    // the bytes the last collection kept (`live`), at least
    // MIN_COLLECT_BUDGET. Between collections the heap at most doubles, so
    // a heap that grows with live data is collected O(log) times, not once
    // per frame. The same figure bounds the emptied series frames kept for
    // reuse after a collection.
    uint64_t allocated = 0;  // bytes of buffers placed (frames and big frames) since the last collection
    uint64_t live = 0;  // bytes in frames and big frames after the last collection
    uint64_t budget = MIN_COLLECT_BUDGET;
    uint64_t external = 0;  // bytes held outside the frames (memory::take_external)
};
extern State state;

// Slot n of the node table holds the address of node n's buffer while in
// use, or the id of the next free slot while free. Slot 0 is never used.
using detail::node_table;
inline void set_buffer(NodeId node, SeriesBuffer* b) { node_table[node] = reinterpret_cast<uintptr_t>(b); }
NodeFrame* frame_of(NodeId node);

// Page layer: failures become internal/no-memory and internal/wrong-mem.
void* allocate_virtual(uint64_t size, bool executable);
void free_virtual(void* address);

NodeFrame* new_node_frame();
NodeId alloc_node();
void free_node(NodeId node);

SeriesFrame* new_series_frame();

// The nodes of every fixed series (the collector clears their marks).
const NodeId* fixed_series(size_t* count);

// Set by the collector for the length of a cycle (see `collecting`).
void set_collecting(bool on);

// Passes run by the collector after marking. The node-frame pass releases
// empty frames, updates each frame's history and picks the active frame.
void update_node_frames();
// Frees every big frame whose buffer is not marked, handing its node to
// `dead`; clears the mark of the others.
void sweep_big_series(void (*dead)(NodeId));
// The last pass of a cycle, after compaction and the big-series sweep:
// measures what the cycle kept, sets the next budget, and keeps emptied
// series frames (lowest addresses first) while their bytes stay within that
// budget; the others are released. The first and the last frame always stay.
void update_series_frames();
// Whether allocation should collect before placing `need` more bytes.
bool collection_due(uint64_t need);

}  // namespace memory

}  // namespace kel
