#include "runtime/memory/memory-stats.h"

#include <cstdint>
#include <vector>

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/float.h"
#include "runtime/memory/frames.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/heap.h"

namespace kel::memory {

namespace {

constexpr uint64_t NODE_SLOT_BYTES = sizeof(uintptr_t);

struct Triple {
    uint64_t free, used, total;
};

// What the walk reads, before anything is allocated.
struct Snapshot {
    std::vector<Triple> nodes;
    std::vector<Triple> series;
    std::vector<uint64_t> bigs;
    double total = 0;
    double heap = 0;
};

Snapshot take_snapshot() {
    Snapshot s;
    for (NodeFrame* f = state.node_first; f; f = f->next) {
        uint64_t used = uint64_t(f->used);
        s.nodes.push_back({NODE_FRAME_SLOTS - used, used, NODE_FRAME_SLOTS});
        s.total += double(NODE_FRAME_SLOTS * NODE_SLOT_BYTES + sizeof(NodeFrame));
    }
    for (SeriesFrame* f = state.series_first; f; f = f->next) {
        uint64_t used = uint64_t(f->heap - f->data());
        uint64_t all = uint64_t(f->end - f->data());
        s.series.push_back({all - used, used, all});
        s.total += double(f->size);
    }
    for (BigFrame* f = state.big_first; f; f = f->next) {
        s.bigs.push_back(f->size);
        s.total += double(f->size);
    }
    s.heap = double(heap::live_bytes());
    s.total += s.heap;
    return s;
}

Cell* new_block_in(const Cell& block) {
    Cell b = make_none();
    block::make_at(b, 8);
    b.header = TYPE_BLOCK;
    Rooted keep(b);
    return block::append_cell(block, b);
}

void append_triples(const Cell& block, const std::vector<Triple>& rows) {
    Cell list = *new_block_in(block);
    Rooted keep(list);
    for (const Triple& t : rows) {
        Cell entry = *new_block_in(list);
        block::append_cell(entry, amount_cell(double(t.free)));
        block::append_cell(entry, amount_cell(double(t.used)));
        block::append_cell(entry, amount_cell(double(t.total)));
        SeriesBuffer* b = memory::buffer_of(cell_node(list));
        b->cells_tail()[-1].header |= CELL_NEW_LINE;
    }
}

}  // namespace

CollectorPause::CollectorPause() : was_enabled_(collector_enabled()) { set_collector_enabled(false); }
CollectorPause::~CollectorPause() { set_collector_enabled(was_enabled_); }

Cell amount_cell(double bytes) {
    if (bytes <= 2147483647.0) return make_integer(int32_t(bytes));
    return float_::make_cell(bytes);
}

double bytes_in_use() {
    CollectorPause pause;
    double sum = 0;
    for (NodeFrame* f = state.node_first; f; f = f->next) sum += double(uint64_t(f->used) * NODE_SLOT_BYTES);
    for (SeriesFrame* f = state.series_first; f; f = f->next) sum += double(f->heap - f->data());
    for (BigFrame* f = state.big_first; f; f = f->next) sum += double(f->size);
    return sum;
}

void append_stats(const Cell& block) {
    CollectorPause pause;
    Snapshot s = take_snapshot();
    Cell target = block;
    Rooted keep(target);
    append_triples(target, s.nodes);
    append_triples(target, s.series);
    Cell bigs = *new_block_in(target);
    Rooted keep_bigs(bigs);
    for (uint64_t size : s.bigs) {
        Cell* c = block::append_cell(bigs, amount_cell(double(size)));
        c->header |= CELL_NEW_LINE;
    }
    block::append_cell(target, amount_cell(s.total));
    block::append_cell(target, amount_cell(s.heap));
}

}  // namespace kel::memory
