// The memory manager: node frames, series frames, big series and the
// allocation, expansion and copying of series buffers.
//
// Every series lives in a SeriesBuffer; values refer to it through a node id.
// The node table never moves; buffers do (the collector compacts them). Any
// call that allocates series memory may collect, so code re-reads buffer
// addresses through the node after every such call.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel {

namespace series_flag {
inline constexpr uint32_t UNIT_MASK = 0x1F;        // unit size in bytes: 1, 2, 4, 8 or 16
inline constexpr uint32_t IN_USE = 0x80000000;
inline constexpr uint32_t ALWAYS = 0x20000000;     // set on every buffer
inline constexpr uint32_t CENTRED = 0x10000000;    // head placed in the middle of the data
inline constexpr uint32_t MARK = 0x08000000;       // collector mark
inline constexpr uint32_t BIG = 0x01000000;        // lives in a big frame of its own
inline constexpr uint32_t FIXED = 0x00100000;      // heap block outside the collected frames
inline constexpr uint32_t COMPLEMENT = 0x00080000; // complemented bitset
}  // namespace series_flag

// The header every series shares, followed by its data. `offset` (the head of
// the data) and `tail` are byte offsets from the data start, so moving a buffer
// needs no fix-up of its own fields.
struct alignas(16) SeriesBuffer {
    uint32_t flags;
    NodeId node;      // the node that refers to this buffer; 0 once replaced
    uint64_t size;    // capacity of the data area in bytes, a multiple of 16
    uint64_t offset;  // first element
    uint64_t tail;    // just past the last element

    uint8_t* data() { return reinterpret_cast<uint8_t*>(this + 1); }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(this + 1); }
    uint8_t* head_ptr() { return data() + offset; }
    uint8_t* tail_ptr() { return data() + tail; }
    uint8_t* end_ptr() { return data() + size; }
    uint32_t unit() const { return flags & series_flag::UNIT_MASK; }
    uint64_t used() const { return tail - offset; }
    Cell* cells() { return reinterpret_cast<Cell*>(head_ptr()); }
    Cell* cells_tail() { return reinterpret_cast<Cell*>(tail_ptr()); }
    uint64_t cell_count() const { return (tail - offset) / sizeof(Cell); }
};
static_assert(sizeof(SeriesBuffer) == 32);

// Node frames are ranges of NODE_FRAME_SLOTS slots of the node table.
inline constexpr uint32_t NODE_FRAME_SLOTS = 10000;

struct NodeFrame {
    NodeFrame* next;
    NodeFrame* prev;
    int32_t count;          // slots in the frame
    NodeId free;            // head of the free list threaded through the free slots, 0 at its end
    int32_t used;           // slots in use
    int32_t stamp;          // collector cycle when the frame was made
    int32_t previous_used;  // used at the previous post-collection pass
    uint32_t history;       // one bit per pass, newest in bit 0: 1 when used had not changed
    uint32_t release;       // draining: no node is taken from it; released once empty
    NodeId first;           // id of the frame's first slot
};

struct alignas(16) SeriesFrame {
    SeriesFrame* next;
    SeriesFrame* prev;
    uint64_t size;  // total size including this header
    uint8_t* heap;  // next free byte
    uint8_t* end;   // first byte after the frame
    uint8_t* data() { return reinterpret_cast<uint8_t*>(this + 1); }
};

struct alignas(16) BigFrame {
    BigFrame* next;
    uint64_t spare;
    uint64_t size;  // bytes of the mapping
    SeriesBuffer* buffer() { return reinterpret_cast<SeriesBuffer*>(this + 1); }
};

namespace memory {

inline constexpr uint64_t INITIAL_SERIES_FRAME = 1048576;   // 1 MB
inline constexpr uint64_t MAX_SERIES_FRAME = 2097152;       // 2 MB; also the big-series threshold
inline constexpr uint64_t MIN_FREE_AFTER_COLLECT = 52428;   // a frame found after collecting needs this much room
inline constexpr uint64_t BUFFER_OVERHEAD = sizeof(SeriesBuffer);
inline constexpr uint64_t PAGE_SIZE = 4096;

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
    uint64_t max_series_size = MAX_SERIES_FRAME;
    BigFrame* big_first = nullptr;
    bool stress = false;  // KEL_GC_STRESS: collect before every allocation
};
extern State state;

// Node table: slot n holds the address of node n's buffer while in use, or
// the id of the next free slot while free. Slot 0 is never used.
extern uintptr_t* node_table;

inline SeriesBuffer* buffer_of(NodeId node) { return reinterpret_cast<SeriesBuffer*>(node_table[node]); }
inline void set_buffer(NodeId node, SeriesBuffer* b) { node_table[node] = reinterpret_cast<uintptr_t>(b); }
NodeFrame* frame_of(NodeId node);

void init();
// Makes the first node frame and the first series frame.
void init_frames();

// Page layer: failures become internal/no-memory and internal/wrong-mem.
void* allocate_virtual(uint64_t size, bool executable);
void free_virtual(void* address);

NodeFrame* new_node_frame(int32_t count);
NodeId alloc_node();
void free_node(NodeId node);
void free_node_frame(NodeFrame* frame);

SeriesFrame* new_series_frame();

// A buffer of count x unit bytes (rounded up to 16). offset is the head
// position in bytes, or -1 for a centred head.
SeriesBuffer* alloc_series_buffer(uint64_t count, uint32_t unit, int64_t offset);
NodeId alloc_series(uint64_t count, uint32_t unit, int64_t offset);
NodeId alloc_fixed_series(uint64_t count, uint32_t unit, int64_t offset);
NodeId alloc_cells(uint64_t n);
NodeId alloc_unset_cells(uint64_t n);  // n >= 1; cells of the capacity are unset, tail at head
NodeId alloc_bytes(uint64_t n);
NodeId alloc_codepoints(uint64_t n, uint32_t unit);
NodeId alloc_bytes_filled(uint64_t n, uint8_t byte);
void set_flags(NodeId node, uint32_t bits);
// The nodes of every fixed series (the collector clears their marks).
const NodeId* fixed_series(size_t* count);

// Lengths and positions are signed 32-bit unit counts, so no series holds
// more than INT32_MAX units: a buffer's capacity never passes
// `largest_series(unit)` bytes, and every request beyond it (allocation,
// expansion, tail growth) raises script/too-long before memory is taken.
inline constexpr uint64_t MAX_SERIES_UNITS = INT32_MAX;
uint64_t largest_series(uint32_t unit);

// A new, larger buffer that takes over the old one's node (new_size 0 means
// twice the capacity, held to the largest series); the content is not
// copied.
SeriesBuffer* replace_buffer(SeriesBuffer* buffer, uint64_t new_size);
// The same with the content copied.
SeriesBuffer* expand_series(SeriesBuffer* buffer, uint64_t new_size);
// The capacity a buffer of `size` bytes grows to when it must hold `need`
// bytes from its data start and its caller would like `wanted` (0: the
// capacity doubled until the need fits): never below the need, never past
// the largest series. A need past it raises script/too-long.
uint64_t growth_size(uint64_t size, uint32_t unit, uint64_t need, uint64_t wanted);
// expand_series to growth_size when the buffer holds fewer than `need`
// bytes; the buffer itself otherwise.
SeriesBuffer* grow_series(SeriesBuffer* buffer, uint64_t need, uint64_t wanted);
SeriesBuffer* expand_series_filled(SeriesBuffer* buffer, uint64_t new_size, uint8_t byte);
NodeId clone_series(SeriesBuffer* buffer);
void fill(uint8_t* from, uint8_t* end, uint8_t byte);

// The collector's hooks into allocation. `collect_if_enabled` runs a
// collection when the collector is installed and enabled; it is a no-op
// until then.
using CollectFn = void (*)();
void install_collector(CollectFn collect);
void set_collector_enabled(bool enabled);
bool collector_enabled();
void collect_if_enabled();
// Set by the collector for the length of a cycle. While it is set every
// series allocation ends the process with status 98 ("assertion failed"):
// a series made then would be unmarked and freed by that same cycle, so
// finalizers, mark steps and root markers must never allocate.
void set_collecting(bool on);
bool collecting();

// Passes run by the collector after marking. The node-frame pass releases
// empty frames, updates each frame's history and picks the active frame.
void update_node_frames(int32_t cycle);
// Frees every big frame whose buffer is not marked, handing its node to
// `dead`; clears the mark of the others.
void sweep_big_series(void (*dead)(NodeId));

}  // namespace memory

// Tail growth. Each may expand (and so move) the buffer and may collect: the
// buffer is reached again through its node afterwards.

// A new unset cell at the tail of a cell buffer; its payload is not cleared.
Cell* alloc_tail(SeriesBuffer* buffer);
// alloc_tail on the buffer of a block value.
Cell* alloc_block_tail(const Cell& block);
// n bytes reserved at the tail.
uint8_t* alloc_tail_bytes(SeriesBuffer* buffer, uint64_t n);

}  // namespace kel
