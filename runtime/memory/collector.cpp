#include "runtime/memory/collector.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/core/type-classes.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/externals.h"
#include "runtime/memory/frames.h"
#include "runtime/memory/roots.h"

namespace kel::collector {

Stats stats;
RootSteps root_steps;
void (*hashtable_mark)(NodeId) = nullptr;
void (*image_mark_node)(NodeId) = nullptr;

namespace {

constexpr int HISTORY_LENGTH = 5;
constexpr int32_t SPARSE_NODES = 5000;
constexpr uint64_t DEAD_QUEUE_CAPACITY = 20000;

bool is_active = false;
void (*markers[MAX_ROOT_MARKERS])() = {};
int marker_count = 0;

// Blocks whose cells still have to be walked.
std::vector<NodeId>& work() {
    static auto* w = new std::vector<NodeId>();
    return *w;
}

std::vector<NodeId>& dead_nodes() {
    static auto* q = [] {
        auto* v = new std::vector<NodeId>();
        v->reserve(DEAD_QUEUE_CAPACITY);
        return v;
    }();
    return *q;
}

// Sorts node ids with three passes of an 11-bit counting sort: a cycle
// frees thousands of nodes, and a comparison sort of them cost more than
// the rest of freeing together.
void sort_node_ids(std::vector<NodeId>& q) {
    constexpr int BITS = 11;
    constexpr uint32_t BUCKETS = 1u << BITS;
    static auto* scratch = new std::vector<NodeId>();
    scratch->resize(q.size());
    NodeId* from = q.data();
    NodeId* to = scratch->data();
    for (int shift = 0; shift < 32; shift += BITS) {
        uint32_t count[BUCKETS + 1] = {};
        for (size_t i = 0; i < q.size(); ++i) ++count[((from[i] >> shift) & (BUCKETS - 1)) + 1];
        for (uint32_t b = 1; b <= BUCKETS; ++b) count[b] += count[b - 1];
        for (size_t i = 0; i < q.size(); ++i) to[count[(from[i] >> shift) & (BUCKETS - 1)]++] = from[i];
        std::swap(from, to);
    }
    // Three passes leave the result in the scratch vector.
    if (from != q.data()) std::copy(from, from + q.size(), q.data());
}

// Dead nodes are queued during compaction and freed, in order, at the end
// of a cycle (or when the queue is full).
void free_dead_nodes() {
    auto& q = dead_nodes();
    if (q.size() > 64)
        sort_node_ids(q);
    else
        std::sort(q.begin(), q.end());
    for (NodeId n : q) memory::free_node(n);
    q.clear();
}

void queue_dead_node(NodeId node) {
    if (!node) return;
    auto& q = dead_nodes();
    if (q.size() >= DEAD_QUEUE_CAPACITY) free_dead_nodes();
    q.push_back(node);
}

void walk_pending() {
    auto& w = work();
    while (!w.empty()) {
        NodeId n = w.back();
        w.pop_back();
        SeriesBuffer* b = memory::buffer_of(n);
        if (b->unit() != sizeof(Cell)) continue;
        const Cell* c = b->cells();
        mark_values(c, c + b->cell_count());
    }
}

void mark_node_if(NodeId n) {
    if (n) mark_node(n);
}

// Marks what one payload word of the cell refers to, as the type-class
// table describes it.
void mark_word(const Cell& c, type_classes::Word role, uint32_t w) {
    using type_classes::Word;
    switch (role) {
    case Word::none:
        break;
    case Word::node:
        mark_node_if(w);
        break;
    case Word::cells:
        if (w) mark_block(w);
        break;
    case Word::context:
        if (w) mark_context(w);
        break;
    case Word::table:
        if (w && hashtable_mark) hashtable_mark(w);
        break;
    case Word::external:
        externals::mark_entry(int32_t(w));
        break;
    case Word::image_record:
        if (w && mark_node(w) && image_mark_node) image_mark_node(w);
        break;
    case Word::values:
        if (w && !(c.header & type_classes::CONTEXT_VALUES_ON_STACK)) mark_block(w);
        break;
    case Word::event_block:
        if (w && (c.header & (type_classes::EVENT_HOLDS_BLOCK | type_classes::EVENT_BACKEND_BLOCK))) mark_block(w);
        break;
    case Word::wrapped_context: {
        uint32_t wrapped = (c.header >> type_classes::OP_WRAPPED_SHIFT) & CELL_TYPE_MASK;
        if (w && type_classes::context_in_word1(wrapped)) mark_context(w);
        break;
    }
    }
}

void mark_one(const Cell& c) {
    const type_classes::TypeClass& tc = type_classes::of(type_of(c));
    if (!tc.refers()) return;
    mark_word(c, tc.words[0], c.data1);
    mark_word(c, tc.words[1], c.data2);
    mark_word(c, tc.words[2], c.data3);
}

void mark_roots() {
    NodeId root = roots::root_block();
    if (root) mark_block(root);
    walk_pending();
    if (root_steps.symbol_table) root_steps.symbol_table();
    if (root_steps.ownership_table) root_steps.ownership_table();
    if (stack::state.block) {
        mark_node(stack::state.block);
        mark_values(stack::state.bottom, stack::state.top);
    }
    // The error in flight: its value and arguments are often the only
    // reference to what they name (the bytes of a failed decode) until a
    // handler reads them, and collections run in between.
    const ErrorInFlight& in_flight = error_in_flight();
    mark_value(in_flight.value);
    mark_values(in_flight.args, in_flight.args + in_flight.argc);
    walk_pending();
    for (auto step : {root_steps.call_stack, root_steps.global_context, root_steps.take_scratch,
                      root_steps.current_block, root_steps.lexer_states, root_steps.cell_slots}) {
        if (step) step();
        walk_pending();
    }
    for (int i = 0; i < marker_count; ++i) {
        if (markers[i]) markers[i]();
        walk_pending();
    }
    // Value guards first: a bare node guard marks its buffer only, and a
    // block it marked first would never have its cells walked (append_cell
    // guards the node of the block it grows).
    Rooted::for_each([](Cell& c) { mark_value(c); }, [](NodeId&) {});
    walk_pending();
    Rooted::for_each([](Cell&) {}, [](NodeId& n) { mark_node_if(n); });
}

// Sparse node frames that have stayed unchanged drain: no node is taken
// from them any more, so they empty and are released. (Nodes are never moved:
// C++ code holds node ids.)
void drain_sparse_node_frames() {
    constexpr uint32_t mask = (1u << (HISTORY_LENGTH + 1)) - 1;
    int64_t free_elsewhere = 0;
    for (NodeFrame* f = memory::state.node_first; f; f = f->next)
        if (f->free != 0 && !f->release) free_elsewhere += int64_t(NODE_FRAME_SLOTS) - f->used;
    for (NodeFrame* f = memory::state.node_last; f; f = f->prev) {
        if (f->release || f == memory::state.node_first) continue;
        if ((f->history & mask) == mask && f->used < SPARSE_NODES &&
            free_elsewhere - (int64_t(NODE_FRAME_SLOTS) - f->used) > int64_t(NODE_FRAME_SLOTS)) {
            f->release = 1;
            free_elsewhere -= int64_t(NODE_FRAME_SLOTS) - f->used;
        }
    }
}

// Fixes the node slots of the buffers in [from, from + length) that have
// just been moved there.
void repoint(uint8_t* from, uint64_t length) {
    for (uint8_t* p = from; p < from + length;) {
        auto* b = reinterpret_cast<SeriesBuffer*>(p);
        memory::set_buffer(b->node, b);
        p += b->size + memory::BUFFER_OVERHEAD;
    }
}

uint64_t usable_room(SeriesFrame* f) {
    uint64_t room = f ? uint64_t(f->end - f->heap) : 0;
    return room <= memory::MIN_FREE_AFTER_COLLECT ? 0 : room;
}

// Slides the live buffers of one frame together. Runs of live buffers move
// into the free tail of the previous frame while it has room, else down to
// the first gap; dead buffers queue their nodes.
void compact_frame(SeriesFrame* f) {
    SeriesFrame* prev = f->prev;
    uint64_t room = usable_room(prev);
    uint8_t* p = f->data();
    uint8_t* const end = f->heap;
    uint8_t* gap = nullptr;
    while (p < end) {
        auto* b = reinterpret_cast<SeriesBuffer*>(p);
        uint64_t len = b->size + memory::BUFFER_OVERHEAD;
        if (!(b->flags & series_flag::MARK)) {
            if (b->node && (b->flags & series_flag::IN_USE)) queue_dead_node(b->node);
            if (!gap) gap = p;
            p += len;
            continue;
        }
        uint8_t* run = p;
        uint64_t run_len = 0;
        while (p < end) {
            auto* r = reinterpret_cast<SeriesBuffer*>(p);
            if (!(r->flags & series_flag::MARK)) break;
            uint64_t rl = r->size + memory::BUFFER_OVERHEAD;
            if (room && run_len + rl > room) break;
            r->flags &= ~series_flag::MARK;
            run_len += rl;
            p += rl;
        }
        if (run_len == 0) {  // the next buffer alone does not fit the previous frame
            room = 0;
            continue;
        }
        if (room) {
            std::memcpy(prev->heap, run, run_len);
            repoint(prev->heap, run_len);
            prev->heap += run_len;
            room = usable_room(prev);
            if (!gap) gap = run;
        } else if (gap) {
            std::memmove(gap, run, run_len);
            repoint(gap, run_len);
            gap += run_len;
        }
    }
    if (gap) f->heap = gap;
}

// Under the stress switch the space that compaction frees is overwritten, so
// that code still reading a buffer through a stale address reads garbage
// (and fails its tests) instead of the old bytes.
constexpr uint8_t FREED_BYTE = 0xDB;

void compact_series() {
    for (SeriesFrame* f = memory::state.series_first; f; f = f->next) {
        uint8_t* old_heap = f->heap;
        compact_frame(f);
        if (memory::state.stress) memory::fill(f->heap, old_heap, FREED_BYTE);
    }
}

void clear_fixed_marks() {
    size_t count = 0;
    const NodeId* fixed = memory::fixed_series(&count);
    for (size_t i = 0; i < count; ++i) unmark(fixed[i]);
}

}  // namespace

void init() {
    stats = Stats{};
    memory::install_collector(collect_if_enabled);
}

void set_active(bool on) {
    is_active = on;
    memory::set_collector_enabled(on);
}

bool active() { return is_active; }

bool collecting() { return memory::collecting(); }

void collect_if_enabled() {
    if (is_active && !memory::collecting()) do_cycle();
}

void do_cycle() {
    memory::set_collecting(true);
    struct Done {
        ~Done() { memory::set_collecting(false); }
    } done;
    drain_sparse_node_frames();
    mark_roots();
    externals::sweep();
    if (root_steps.ownership_sweep) root_steps.ownership_sweep();
    compact_series();
    memory::sweep_big_series(queue_dead_node);
    memory::update_series_frames();  // emptied frames: kept for reuse or released
    free_dead_nodes();
    memory::update_node_frames();
    clear_fixed_marks();
    ++stats.cycles;
}

bool mark_node(NodeId node) {
    SeriesBuffer* b = memory::buffer_of(node);
    if (b->flags & series_flag::MARK) return false;
    b->flags |= series_flag::MARK;
    return true;
}

bool is_marked(NodeId node) { return memory::buffer_of(node)->flags & series_flag::MARK; }

void unmark(NodeId node) { memory::buffer_of(node)->flags &= ~series_flag::MARK; }

void mark_block(NodeId node) {
    if (mark_node(node)) work().push_back(node);
}

void mark_context(NodeId node) { mark_block(node); }

void mark_values(const Cell* first, const Cell* end) {
    for (const Cell* c = first; c < end; ++c) mark_one(*c);
}

int add_root_marker(void (*marker)()) {
    // A marker that is not run lets its values be freed while in use: a
    // full table is a fault of the runtime, never a marker dropped.
    if (!marker) internal_fault();
    for (int i = 0; i < marker_count; ++i)
        if (!markers[i]) {
            markers[i] = marker;
            return i + 1;
        }
    if (marker_count == MAX_ROOT_MARKERS) internal_fault();
    markers[marker_count++] = marker;
    return marker_count;
}

void remove_root_marker(void (*marker)()) {
    for (int i = 0; i < marker_count; ++i)
        if (markers[i] == marker) {
            markers[i] = nullptr;
            while (marker_count > 0 && !markers[marker_count - 1]) --marker_count;
            return;
        }
}

}  // namespace kel::collector
