#include "runtime/memory/memory.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/memory/frames.h"
#include "runtime/platform/heap.h"
#include "runtime/platform/pages.h"

namespace kel {

namespace memory {

State state;
uintptr_t* detail::node_table = nullptr;

namespace {

// The node table is one reserved region; node frames are ranges of it.
constexpr uint64_t MAX_NODE_FRAMES = 1u << 15;  // 327,680,000 nodes
constexpr uint64_t NODE_TABLE_SLOTS = 1 + MAX_NODE_FRAMES * NODE_FRAME_SLOTS;

std::vector<NodeFrame*>* frames_by_range = nullptr;  // range index -> frame or null
std::vector<uint32_t>* free_ranges = nullptr;  // ranges of released frames
std::vector<NodeId>* fixed = nullptr;  // every fixed series ever made
uint32_t next_range = 0;

CollectFn collector = nullptr;
bool enabled = false;
bool running = false;  // inside collect_if_enabled: no nested collection
bool in_cycle = false;  // a collection cycle runs: no series may be made
bool initialised = false;

constexpr uint64_t VIRTUAL_HEADER = 16;  // the stored size, kept 16-byte aligned

uint64_t round16(uint64_t n) { return (n + 15) & ~uint64_t(15); }

// Maps the pages of [start, start + bytes) at once, rounded out to whole
// pages. A frame is filled from its start by bump allocation, so its pages
// are touched soon anyway; one call maps them all, where touching each one
// first costs a page fault apiece (a large share of start-up). Only a hint:
// a kernel without MADV_POPULATE_WRITE, or memory short, leaves the pages to
// be faulted in as they are touched.
void prefault(void* start, uint64_t bytes) {
    uintptr_t from = reinterpret_cast<uintptr_t>(start) & ~(PAGE_SIZE - 1);
    uintptr_t to = (reinterpret_cast<uintptr_t>(start) + bytes + PAGE_SIZE - 1) & ~(PAGE_SIZE - 1);
    (void)madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
}

[[noreturn]] void no_memory() { fire(ErrorId::internal_no_memory); }
[[noreturn]] void too_long() { fire(ErrorId::script_too_long); }

// A series made during a cycle would be unmarked and so freed by that same
// cycle while its maker holds the node: finalizers and mark steps must not
// allocate.
void refuse_inside_cycle() {
    if (in_cycle) internal_fault();
}

// Bytes of a request; script/too-long past the largest series.
uint64_t checked_capacity(uint64_t count, uint32_t unit) {
    if (count > MAX_SERIES_UNITS || round16(count * unit) > largest_series(unit)) too_long();
    return round16(count * unit);
}

SeriesBuffer* place_buffer(uint8_t* at, uint64_t capacity, uint32_t unit, int64_t offset, uint32_t extra) {
    auto* b = reinterpret_cast<SeriesBuffer*>(at);
    b->flags = unit | series_flag::IN_USE | series_flag::ALWAYS | extra;
    b->node = 0;
    b->size = capacity;
    if (offset == -1) {
        b->offset = uint64_t(int64_t(capacity) / 2);
        b->flags |= series_flag::CENTRED;
    } else {
        b->offset = uint64_t(offset);
    }
    b->tail = b->offset;
    return b;
}

SeriesFrame* find_frame_with_room(uint64_t need) {
    for (SeriesFrame* f = state.series_first; f; f = f->next)
        if (f->heap + need < f->end) return f;
    return nullptr;
}

SeriesBuffer* alloc_big(uint64_t capacity, uint32_t unit, int64_t offset) {
    uint64_t need = capacity + BUFFER_OVERHEAD;
    if (collection_due(need)) collect_if_enabled();
    auto* frame = static_cast<BigFrame*>(allocate_virtual(need + sizeof(BigFrame), false));
    frame->next = nullptr;
    frame->size = need + sizeof(BigFrame);
    if (!state.big_first) {
        state.big_first = frame;
    } else {
        BigFrame* last = state.big_first;
        while (last->next) last = last->next;
        last->next = frame;
    }
    state.allocated += need;
    return place_buffer(reinterpret_cast<uint8_t*>(frame->buffer()), capacity, unit, offset, series_flag::BIG);
}

}  // namespace

static bool stress_requested = false;

void init() {
    if (initialised) return;
    initialised = true;
    state = State{};
    // KEL_GC_STRESS=boot collects at every allocation from the first one;
    // any other value but 0 from the end of start-up (begin_stress).
    const char* stress = std::getenv("KEL_GC_STRESS");
    stress_requested = stress && stress[0] && stress[0] != '0';
    state.stress = stress_requested && std::strcmp(stress, "boot") == 0;
    node_table = static_cast<uintptr_t*>(pages::reserve(NODE_TABLE_SLOTS * sizeof(uintptr_t)));
    if (!node_table) system_quit(exit_status::OUT_OF_MEMORY, caller_location());
    frames_by_range = new std::vector<NodeFrame*>();
    free_ranges = new std::vector<uint32_t>();
    fixed = new std::vector<NodeId>();
}

void begin_stress() {
    if (stress_requested) state.stress = true;
}

void init_frames() {
    if (!state.node_first) new_node_frame();
    if (!state.series_first) state.series_active = new_series_frame();
}

// Page layer --------------------------------------------------------------

namespace {
uint64_t page_limit = 0;
}  // namespace

uint64_t set_page_limit(uint64_t bytes) {
    uint64_t old = page_limit;
    page_limit = bytes;
    return old;
}

void* allocate_virtual(uint64_t size, bool executable) {
    uint64_t rounded = (size + VIRTUAL_HEADER + PAGE_SIZE - 1) & ~(PAGE_SIZE - 1);
    // Refused as the operating system's refusal is, before total counts it.
    if (page_limit && (size > page_limit || uint64_t(state.total) + rounded > page_limit)) no_memory();
    state.total += int64_t(rounded);
    void* pages_at = nullptr;
    uint32_t code = protect(catch_level::MEMORY, [&] { pages_at = pages::allocate(rounded, executable); });
    if (code >= thrown::PAGE_FREE && code <= thrown::MEMORY) {
        handled();
        no_memory();
    }
    auto* p = static_cast<uint8_t*>(pages_at);
    std::memcpy(p, &rounded, sizeof rounded);
    return p + VIRTUAL_HEADER;
}

void free_virtual(void* address) {
    uint8_t* p = static_cast<uint8_t*>(address) - VIRTUAL_HEADER;
    uint64_t rounded;
    std::memcpy(&rounded, p, sizeof rounded);
    state.total -= int64_t(rounded);
    uint32_t code = protect(catch_level::MEMORY, [&] { pages::release(p, rounded); });
    if (code >= thrown::PAGE_FREE && code <= thrown::MEMORY) {
        handled();
        fire(ErrorId::internal_wrong_mem);
    }
}

// Nodes ------------------------------------------------------------------

NodeFrame* frame_of(NodeId node) {
    uint32_t range = (node - 1) / NODE_FRAME_SLOTS;
    return range < frames_by_range->size() ? (*frames_by_range)[range] : nullptr;
}

NodeFrame* new_node_frame() {
    uint32_t range;
    if (!free_ranges->empty()) {
        range = free_ranges->back();
        free_ranges->pop_back();
    } else {
        if (next_range == MAX_NODE_FRAMES) no_memory();
        range = next_range++;
        frames_by_range->push_back(nullptr);
    }
    auto* f = static_cast<NodeFrame*>(heap::allocate_zeroed(sizeof(NodeFrame)));
    f->first = 1 + range * NODE_FRAME_SLOTS;
    prefault(&node_table[f->first], NODE_FRAME_SLOTS * sizeof(uintptr_t));
    for (uint32_t i = 0; i < NODE_FRAME_SLOTS; ++i)
        node_table[f->first + i] = (i + 1 < NODE_FRAME_SLOTS) ? f->first + i + 1 : 0;
    f->free = f->first;
    f->used = 0;
    (*frames_by_range)[range] = f;
    state.total += int64_t(NODE_FRAME_SLOTS * sizeof(uintptr_t));

    f->prev = state.node_last;
    f->next = nullptr;
    if (state.node_last)
        state.node_last->next = f;
    else
        state.node_first = f;
    state.node_last = f;
    if (!state.node_active) state.node_active = f;
    return f;
}

namespace {

// The first frame with a free slot that is not draining. A draining frame is
// taken back into use only when no other frame has a free slot: its nodes
// stay where they are, so leaving it idle then would only add a new frame.
NodeFrame* frame_with_free_node() {
    NodeFrame* draining = nullptr;
    for (NodeFrame* p = state.node_first; p; p = p->next) {
        if (p->free == 0) continue;
        if (!p->release) return p;
        if (!draining) draining = p;
    }
    if (!draining) return new_node_frame();
    draining->release = 0;
    return draining;
}

}  // namespace

NodeId alloc_node() {
    NodeFrame* f = state.node_active;
    if (!f || f->free == 0 || f->release) {
        f = frame_with_free_node();
        state.node_active = f;
    }
    NodeId n = f->free;
    f->free = NodeId(node_table[n]);
    node_table[n] = 0;
    ++f->used;
    return n;
}

void free_node(NodeId node) {
    NodeFrame* f = frame_of(node);
    node_table[node] = f->free;
    f->free = node;
    --f->used;
}

namespace {

// Unlinks and releases a node frame; its range of the node table is reused.
void free_node_frame(NodeFrame* f) {
    if (f->prev)
        f->prev->next = f->next;
    else
        state.node_first = f->next;
    if (f->next)
        f->next->prev = f->prev;
    else
        state.node_last = f->prev;
    if (state.node_active == f) state.node_active = state.node_last;
    uint32_t range = (f->first - 1) / NODE_FRAME_SLOTS;
    (*frames_by_range)[range] = nullptr;
    free_ranges->push_back(range);
    // Give the slots' pages back; they read as zero when the range is reused.
    uintptr_t start = reinterpret_cast<uintptr_t>(&node_table[f->first]);
    uintptr_t end = reinterpret_cast<uintptr_t>(&node_table[f->first + NODE_FRAME_SLOTS]);
    start = (start + PAGE_SIZE - 1) & ~(PAGE_SIZE - 1);
    end &= ~(PAGE_SIZE - 1);
    if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
    state.total -= int64_t(NODE_FRAME_SLOTS * sizeof(uintptr_t));
    heap::free(f);
}

}  // namespace

// Series frames ------------------------------------------------------------

SeriesFrame* new_series_frame() {
    uint64_t s = state.next_series_size;
    if (s < MAX_SERIES_FRAME) state.next_series_size = s * 2 > MAX_SERIES_FRAME ? MAX_SERIES_FRAME : s * 2;
    auto* f = static_cast<SeriesFrame*>(allocate_virtual(s + sizeof(SeriesFrame), false));
    prefault(f, s + sizeof(SeriesFrame));
    f->size = s + sizeof(SeriesFrame);
    f->heap = f->data();
    f->end = f->data() + s;

    // Keep the list sorted by address.
    SeriesFrame* after = nullptr;
    for (SeriesFrame* p = state.series_first; p && p < f; p = p->next) after = p;
    f->prev = after;
    f->next = after ? after->next : state.series_first;
    if (f->next)
        f->next->prev = f;
    else
        state.series_last = f;
    if (after)
        after->next = f;
    else
        state.series_first = f;
    if (!state.series_active) state.series_active = f;
    return f;
}

// Series -------------------------------------------------------------------

namespace {

// A buffer of count x unit bytes (rounded up to 16), not yet linked to a
// node. offset is the head position in bytes, or -1 for a centred head.
SeriesBuffer* alloc_series_buffer(uint64_t count, uint32_t unit, int64_t offset) {
    refuse_inside_cycle();
    if (state.stress) collect_if_enabled();
    uint64_t capacity = checked_capacity(count, unit);
    uint64_t need = capacity + BUFFER_OVERHEAD;
    if (need >= MAX_SERIES_FRAME) return alloc_big(capacity, unit, offset);

    SeriesFrame* f = state.series_active;
    if (!f || f->heap + need >= f->end) {
        f = find_frame_with_room(need);
        if (!f) {
            // Collecting at every full frame would mark the whole live heap
            // once per frame while it grows: collect only once the budget
            // is spent, else take a new frame at once.
            if (collection_due(need)) {
                collect_if_enabled();
                f = find_frame_with_room(need);
                if (f && uint64_t(f->end - f->heap) < MIN_FREE_AFTER_COLLECT) f = nullptr;
            }
            if (!f) {
                if (need >= state.next_series_size) state.next_series_size = MAX_SERIES_FRAME;
                f = new_series_frame();
            }
        }
        state.series_active = f;
    }
    uint8_t* at = f->heap;
    f->heap += need;
    state.allocated += need;
    return place_buffer(at, capacity, unit, offset, 0);
}

}  // namespace

NodeId alloc_series(uint64_t count, uint32_t unit, int64_t offset) {
    SeriesBuffer* b = alloc_series_buffer(count, unit, offset);
    NodeId n = alloc_node();  // never collects: b stays where it is
    b->node = n;
    set_buffer(n, b);
    return n;
}

NodeId alloc_fixed_series(uint64_t count, uint32_t unit, int64_t offset) {
    refuse_inside_cycle();
    uint64_t capacity = checked_capacity(count, unit);
    auto* at = static_cast<uint8_t*>(heap::allocate(capacity + BUFFER_OVERHEAD));
    SeriesBuffer* b = place_buffer(at, capacity, unit, offset, series_flag::FIXED);
    NodeId n = alloc_node();
    b->node = n;
    set_buffer(n, b);
    fixed->push_back(n);
    return n;
}

NodeId alloc_cells(uint64_t n) { return alloc_series(n, sizeof(Cell), 0); }

NodeId alloc_unset_cells(uint64_t n) {
    NodeId node = alloc_cells(n == 0 ? 1 : n);
    SeriesBuffer* b = buffer_of(node);
    auto* c = reinterpret_cast<Cell*>(b->data());
    for (uint64_t i = 0; i < b->size / sizeof(Cell); ++i) c[i] = make_unset();
    return node;
}

NodeId alloc_bytes(uint64_t n) { return alloc_series(n == 0 ? 16 : n, 1, 0); }

NodeId alloc_codepoints(uint64_t n, uint32_t unit) {
    if (n == 0) n = 16 / unit;
    return alloc_series(n, unit, 0);
}

NodeId alloc_bytes_filled(uint64_t n, uint8_t byte) {
    NodeId node = alloc_bytes(n);
    SeriesBuffer* b = buffer_of(node);
    std::memset(b->data(), byte, b->size);
    return node;
}

const NodeId* fixed_series(size_t* count) {
    *count = fixed->size();
    return fixed->data();
}

namespace {

// Moves a series to a new buffer of at least new_size bytes (0: double, up
// to the largest series); returns the old buffer in *old. A buffer of
// capacity 0 grows to 16 bytes.
SeriesBuffer* take_over(SeriesBuffer* b, uint64_t new_size, SeriesBuffer** old) {
    if (b->flags & series_flag::FIXED) fire(ErrorId::internal_limit_hit, {make_integer(int32_t(b->size / 16))});
    uint32_t unit = b->unit();
    if (new_size == 0) new_size = growth_size(b->size, unit, b->size + 1, 0);
    if (new_size < b->size) new_size = b->size;
    if (new_size > largest_series(unit)) too_long();
    NodeId node = b->node;
    SeriesBuffer* nb = alloc_series_buffer((new_size + unit - 1) / unit, unit, 0);
    b = buffer_of(node);  // the allocation may have moved it
    nb->flags = (b->flags & ~series_flag::BIG) | (nb->flags & series_flag::BIG);
    nb->node = node;
    // Positions stay where they were: the whole old data area is carried over
    // from its start, so a centred head keeps its content.
    nb->offset = b->offset;
    nb->tail = b->tail;
    set_buffer(node, nb);
    b->node = 0;
    b->flags &= ~series_flag::IN_USE;
    *old = b;
    return nb;
}

}  // namespace

SeriesBuffer* expand_series(SeriesBuffer* b, uint64_t new_size) {
    SeriesBuffer* old;
    SeriesBuffer* nb = take_over(b, new_size, &old);
    if (old->size) std::memcpy(nb->data(), old->data(), old->size);
    return nb;
}

SeriesBuffer* expand_series_filled(SeriesBuffer* b, uint64_t new_size, uint8_t byte) {
    uint64_t old_size = b->size;
    SeriesBuffer* nb = expand_series(b, new_size);
    fill(nb->data() + old_size, nb->data() + nb->size, byte);
    return nb;
}

NodeId clone_series(SeriesBuffer* b) {
    NodeId source = b->node;
    NodeId n = alloc_series(b->size, 1, 0);
    b = buffer_of(source);
    SeriesBuffer* nb = buffer_of(n);
    // The copy takes the source's flags but keeps its own placement: a clone
    // of a fixed series lives in a frame and may grow.
    constexpr uint32_t placement = series_flag::BIG | series_flag::FIXED;
    nb->flags = (b->flags & ~placement) | (nb->flags & placement);
    nb->offset = b->offset;
    nb->tail = b->tail;
    if (b->size) std::memcpy(nb->data(), b->data(), b->size);
    return n;
}

uint64_t largest_series(uint32_t unit) { return (MAX_SERIES_UNITS * unit) & ~uint64_t(15); }

uint64_t growth_size(uint64_t size, uint32_t unit, uint64_t need, uint64_t wanted) {
    uint64_t largest = largest_series(unit);
    if (need > largest) too_long();
    if (wanted == 0) {
        wanted = size == 0 ? 16 : size;
        while (wanted < need) wanted *= 2;  // need <= largest < 2^36: never overflows
    }
    if (wanted < need) wanted = need;
    return wanted < largest ? wanted : largest;
}

SeriesBuffer* grow_series(SeriesBuffer* b, uint64_t need, uint64_t wanted) {
    if (need <= b->size) return b;
    return expand_series(b, growth_size(b->size, b->unit(), need, wanted));
}

void fill(uint8_t* from, uint8_t* end, uint8_t byte) {
    if (end > from) std::memset(from, byte, size_t(end - from));
}

// Collector hooks ------------------------------------------------------------

CollectFn install_collector(CollectFn collect) {
    CollectFn previous = collector;
    collector = collect;
    return previous;
}
void set_collector_enabled(bool on) { enabled = on; }
bool collector_enabled() { return enabled; }

bool stress() { return state.stress; }

void collect_if_enabled() {
    if (!enabled || !collector || running) return;
    running = true;
    struct Reset {
        ~Reset() { running = false; }
    } reset;
    collector();
}

void set_collecting(bool on) { in_cycle = on; }
bool collecting() { return in_cycle; }

void update_node_frames() {
    NodeFrame* f = state.node_first;
    bool active_set = false;
    while (f) {
        NodeFrame* next = f->next;
        if (f->used == 0) {
            free_node_frame(f);
        } else {
            if (!active_set && f->free != 0 && f->release == 0) {
                state.node_active = f;
                active_set = true;
            }
            f->history = (f->history << 1) | (f->used == f->previous_used ? 1u : 0u);
            f->previous_used = f->used;
        }
        f = next;
    }
    if (!state.node_first) new_node_frame();
}

bool collection_due(uint64_t need) { return state.allocated + need >= state.budget; }

void take_external(uint64_t bytes) {
    if (state.stress || collection_due(bytes)) collect_if_enabled();
    state.allocated += bytes;
    state.external += bytes;
}

void drop_external(uint64_t bytes) { state.external -= bytes < state.external ? bytes : state.external; }

uint64_t external_bytes() { return state.external; }

void update_series_frames() {
    uint64_t live = 0;
    for (SeriesFrame* f = state.series_first; f; f = f->next) live += uint64_t(f->heap - f->data());
    for (BigFrame* f = state.big_first; f; f = f->next) live += f->buffer()->size + BUFFER_OVERHEAD;
    state.live = live;
    // What the cycle kept outside the frames paces the next one too, but
    // is no room for emptied frames.
    uint64_t room = live > MIN_COLLECT_BUDGET ? live : MIN_COLLECT_BUDGET;
    uint64_t paced = live + state.external;
    state.budget = paced > MIN_COLLECT_BUDGET ? paced : MIN_COLLECT_BUDGET;
    state.allocated = 0;

    // Emptied frames kept for reuse spare the next allocations fresh pages;
    // they are filled before any new frame is made, so keeping up to the
    // room never raises the peak the budget allows anyway. The first and
    // the last frame always stay (an empty last one counts as kept).
    SeriesFrame* last = state.series_last;
    uint64_t kept = last != state.series_first && last->heap == last->data() ? last->size : 0;
    SeriesFrame* f = state.series_first->next;
    while (f && f != last) {
        SeriesFrame* next = f->next;
        if (f->heap == f->data()) {
            uint64_t size = f->size;
            if (kept + size <= room) {
                kept += size;
            } else {
                f->prev->next = next;
                next->prev = f->prev;
                if (state.series_active == f) state.series_active = state.series_first;
                free_virtual(f);
            }
        }
        f = next;
    }
}

void sweep_big_series(void (*dead)(NodeId)) {
    BigFrame* prev = nullptr;
    BigFrame* f = state.big_first;
    while (f) {
        BigFrame* next = f->next;
        SeriesBuffer* b = f->buffer();
        if (b->flags & series_flag::MARK) {
            b->flags &= ~series_flag::MARK;
            prev = f;
        } else {
            if (b->node && (b->flags & series_flag::IN_USE) && dead) dead(b->node);
            if (prev)
                prev->next = next;
            else
                state.big_first = next;
            free_virtual(f);
        }
        f = next;
    }
}

}  // namespace memory

// Tail growth ---------------------------------------------------------------

Cell* alloc_tail(SeriesBuffer* b) {
    b = memory::grow_series(b, b->tail + sizeof(Cell), 0);
    auto* c = reinterpret_cast<Cell*>(b->tail_ptr());
    c->header = TYPE_UNSET;
    b->tail += sizeof(Cell);
    return c;
}

Cell* alloc_block_tail(const Cell& block) { return alloc_tail(memory::buffer_of(cell_node(block))); }

uint8_t* alloc_tail_bytes(SeriesBuffer* b, uint64_t n) {
    if (n > memory::largest_series(b->unit())) fire(ErrorId::script_too_long);
    b = memory::grow_series(b, b->tail + n, n > b->size ? 2 * n : 2 * b->size);
    uint8_t* at = b->tail_ptr();
    b->tail += n;
    return at;
}

}  // namespace kel
