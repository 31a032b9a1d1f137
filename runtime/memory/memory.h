// The memory manager's public face: series buffers, their allocation,
// expansion and copying, and the collector's hooks into allocation.
//
// Every series lives in a SeriesBuffer; values refer to it through a node id.
// The node table never moves; buffers do (the collector compacts them). Any
// call that allocates series memory may collect, so code re-reads buffer
// addresses through the node after every such call. The frames the buffers
// live in are the manager's own (runtime/memory/frames.h).
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel {

namespace series_flag {
inline constexpr uint32_t UNIT_MASK = 0x1F;  // unit size in bytes: 1, 2, 4, 8 or 16
inline constexpr uint32_t IN_USE = 0x80000000;
inline constexpr uint32_t ALWAYS = 0x20000000;  // set on every buffer
inline constexpr uint32_t CENTRED = 0x10000000;  // head placed in the middle of the data
inline constexpr uint32_t MARK = 0x08000000;  // collector mark
inline constexpr uint32_t BIG = 0x01000000;  // lives in a big frame of its own
inline constexpr uint32_t FIXED = 0x00100000;  // heap block outside the collected frames
inline constexpr uint32_t COMPLEMENT = 0x00080000;  // complemented bitset
inline constexpr uint32_t LIBRARY_CODE = 0x00400000;  // code of the library (evaluator/library-code.h)
}  // namespace series_flag

// The header every series shares, followed by its data. `offset` (the head of
// the data) and `tail` are byte offsets from the data start, so moving a buffer
// needs no fix-up of its own fields.
struct alignas(16) SeriesBuffer {
    uint32_t flags;
    NodeId node;  // the node that refers to this buffer; 0 once replaced
    uint64_t size;  // capacity of the data area in bytes, a multiple of 16
    uint64_t offset;  // first element
    uint64_t tail;  // just past the last element

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

namespace memory {

inline constexpr uint64_t BUFFER_OVERHEAD = sizeof(SeriesBuffer);

namespace detail {
// The node table: slot n holds the address of node n's buffer while it is in
// use. Declared here only for the inline buffer_of; everything else about
// nodes and frames belongs to the manager (runtime/memory/frames.h).
extern uintptr_t* node_table;
}  // namespace detail

inline SeriesBuffer* buffer_of(NodeId node) { return reinterpret_cast<SeriesBuffer*>(detail::node_table[node]); }

// Start-up: the memory record, then (after the datatypes are registered)
// the first node frame and the first series frame.
void init();
void init_frames();

// A new series of count x unit bytes (rounded up to 16) linked to a new
// node. offset is the head position in bytes, or -1 for a centred head.
NodeId alloc_series(uint64_t count, uint32_t unit, int64_t offset);
// The same as a heap block outside the collected frames: never moved, never
// grown (expanding it raises internal/limit-hit).
NodeId alloc_fixed_series(uint64_t count, uint32_t unit, int64_t offset);
NodeId alloc_cells(uint64_t n);
NodeId alloc_unset_cells(uint64_t n);  // n >= 1; cells of the capacity are unset, tail at head
NodeId alloc_bytes(uint64_t n);
NodeId alloc_codepoints(uint64_t n, uint32_t unit);
NodeId alloc_bytes_filled(uint64_t n, uint8_t byte);

// Lengths and positions are signed 32-bit unit counts, so no series holds
// more than INT32_MAX units: a buffer's capacity never passes
// `largest_series(unit)` bytes, and every request beyond it (allocation,
// expansion, tail growth) raises script/too-long before memory is taken.
inline constexpr uint64_t MAX_SERIES_UNITS = INT32_MAX;
uint64_t largest_series(uint32_t unit);

// A new, larger buffer that takes over the old one's node, with the content
// copied (new_size 0 means twice the capacity, held to the largest series).
SeriesBuffer* expand_series(SeriesBuffer* buffer, uint64_t new_size);
// The same, with the bytes past the old capacity set to `byte`.
SeriesBuffer* expand_series_filled(SeriesBuffer* buffer, uint64_t new_size, uint8_t byte);
// The capacity a buffer of `size` bytes grows to when it must hold `need`
// bytes from its data start and its caller would like `wanted` (0: the
// capacity doubled until the need fits): never below the need, never past
// the largest series. A need past it raises script/too-long.
uint64_t growth_size(uint64_t size, uint32_t unit, uint64_t need, uint64_t wanted);
// expand_series to growth_size when the buffer holds fewer than `need`
// bytes; the buffer itself otherwise.
SeriesBuffer* grow_series(SeriesBuffer* buffer, uint64_t need, uint64_t wanted);
// A new series with the buffer's flags (unit included), capacity, head,
// tail and content; a clone of a fixed series lives in a frame.
NodeId clone_series(SeriesBuffer* buffer);
void fill(uint8_t* from, uint8_t* end, uint8_t byte);

// A ceiling on the bytes the page layer holds for series, node and big
// frames (0, the default: none). A request that would pass it is refused as
// a refusal of the operating system is: internal/no-memory, catchable. A
// host that runs programs it does not trust (the fuzz target) sets one, so a
// program asking for a huge series gets an error instead of the machine's
// memory. Answers the ceiling it replaces.
uint64_t set_page_limit(uint64_t bytes);

// Memory that values own outside the series frames (image pixels) counts
// toward the collection pacing: `take_external` adds bytes about to be
// allocated (collecting first when the budget is spent, so it may move every
// buffer), `drop_external` removes bytes freed (it never allocates or
// collects: finalizers call it). `external_bytes` is what is held now.
void take_external(uint64_t bytes);
void drop_external(uint64_t bytes);
uint64_t external_bytes();

// The collector's hooks into allocation. `collect_if_enabled` runs a
// collection when the collector is installed and enabled; it is a no-op
// until then.
using CollectFn = void (*)();
CollectFn install_collector(CollectFn collect);  // answers the one it replaces
void set_collector_enabled(bool enabled);
bool collector_enabled();
void collect_if_enabled();
// True while a collection cycle runs. Every series allocation then ends the
// process with status 98 ("assertion failed"): a series made during a cycle
// would be unmarked and freed by that same cycle, so finalizers, mark steps
// and root markers must never allocate.
bool collecting();
// KEL_GC_STRESS: every series allocation collects first.
bool stress();
// Starts the collection at every allocation that KEL_GC_STRESS asked for
// (any value but 0 and "boot", which starts it with the memory manager):
// called once start-up has finished, so that each process start stays
// affordable while start-up itself runs under stress in one dedicated test.
void begin_stress();

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
