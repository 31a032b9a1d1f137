#include "runtime/datatypes/series-edit.h"

#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/roots.h"

namespace kel::series::edit {

namespace {

SeriesBuffer* buffer(const Cell& s) { return memory::buffer_of(cell_node(s)); }

uint32_t cells_in_block(NodeId table) {
    return uint32_t(memory::buffer_of(hashtable::record(table)->block)->cell_count());
}

}  // namespace

void cut(const Cell& s, int64_t at, int64_t count) {
    if (count <= 0) return;
    NodeId table = table_of(s);
    // The entries go first: the table clamps positions to the block's length.
    if (table) hashtable::delete_range(table, int32_t(at), int32_t(count));
    SeriesBuffer* b = buffer(s);
    uint32_t shift = shift_of(b->unit());
    int64_t total = total_units(b);
    int64_t after = total - at - count;
    uint8_t* p = b->head_ptr() + (uint64_t(at) << shift);
    if (after > 0) std::memmove(p, p + (uint64_t(count) << shift), uint64_t(after) << shift);
    b->tail -= uint64_t(count) << shift;
    if (table && after > 0 &&
        hashtable::shift_positions(table, int32_t(-count), int32_t(at + count), int32_t(after), true) != 0)
        hashtable::rebuild(table, cells_in_block(table));
}

bool open_gap(const Cell& s, int64_t at, int64_t count, bool twice) {
    if (count <= 0) return false;
    NodeId node = cell_node(s);
    Rooted keep(node);
    SeriesBuffer* b = memory::buffer_of(node);
    uint32_t shift = shift_of(b->unit());
    uint64_t bytes = uint64_t(count) << shift;
    uint64_t need = b->tail + bytes;
    if (need < b->tail) fire(ErrorId::internal_no_memory);
    if (need > b->size) b = memory::expand_series(b, twice ? 2 * need : need);
    int64_t moved = total_units(b) - at;
    bool rebuild = false;
    NodeId table = table_of(s);
    if (table && moved > 0)
        rebuild = hashtable::shift_positions(table, int32_t(count), int32_t(at), int32_t(moved), true) != 0;
    b = memory::buffer_of(node);  // the table's arrays may have grown
    uint8_t* p = b->head_ptr() + (uint64_t(at) << shift);
    if (moved > 0) std::memmove(p + bytes, p, uint64_t(moved) << shift);
    b->tail += bytes;
    return rebuild;
}

void enter(const Cell& s, int64_t from, int64_t count, bool rebuild) {
    NodeId table = table_of(s);
    if (!table) return;
    if (rebuild) {
        hashtable::rebuild(table, cells_in_block(table));
        return;
    }
    for (int64_t p = from; p < from + count; ++p) {
        Cell* cell = memory::buffer_of(hashtable::record(table)->block)->cells() + p;
        int status;
        hashtable::put_status(table, cell, &status);
        if (status == hashtable::PUT_REBUILT) return;  // every cell is in it now
    }
}

void rebuild(const Cell& s) {
    NodeId table = table_of(s);
    if (table) hashtable::rebuild(table, cells_in_block(table));
}

}  // namespace kel::series::edit
