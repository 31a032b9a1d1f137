// block! append, insert, change, swap and trim.
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block-internal.h"
#include "runtime/datatypes/series-edit.h"
#include "runtime/datatypes/series.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/ownership.h"
#include "runtime/memory/roots.h"

namespace kel::block {

namespace {

// The value given to append, insert and change: the cells of a block source
// from its head, or one cell (any other value, or any value with /only).
struct Source {
    Cell value;
    bool spliced;

    Source(const Cell& v, bool only) : value(v), spliced(!only && series::is_block_type(type_of(v))) {}

    int64_t length() const { return spliced ? detail::length_of(value) : 1; }
    // The first cell; good until the next allocation.
    const Cell* cells() const { return spliced ? buffer(value)->cells() + detail::head_of(value) : &value; }

    // A block source on the target's own buffer is copied before anything
    // moves (the caller keeps `value` under a root guard): the values written
    // are those it held before the call.
    void detach_from(const Cell& target) {
        if (!spliced || cell_node(value) != cell_node(target)) return;
        Cell copy = *push_copy(value, false, false);
        stack::pop(1);
        value = copy;
    }
};

// A count of cells that the series' positions (32-bit) can hold, else
// internal/no-memory.
int64_t checked_cells(int64_t n) {
    if (n < 0 || n > INT32_MAX) fire(ErrorId::internal_no_memory);
    return n;
}

// Writes n cells of the source at position `at` and repeats them dup - 1
// more times behind; the room is there.
void write_copies(const Cell& series, int64_t at, const Source& source, int64_t n, int64_t dup) {
    if (n <= 0) return;
    Cell* target = buffer(series)->cells() + at;
    std::memmove(target, source.cells(), size_t(n) * sizeof(Cell));
    if (dup > 1) replicate_bytes(reinterpret_cast<uint8_t*>(target), uint64_t(n) * sizeof(Cell), uint64_t(dup));
}

}  // namespace

// The common append of one value to a block with room at its tail, no
// hash table and no owner to tell: one cell written, nothing allocated.
// Anything else takes the general path below.
bool append_one_in_place(Cell* out, const Cell& series, const Cell& value, const AppendOptions& options) {
    if (options.dup != 1 || options.part == 0 || (!options.only && series::is_block_type(type_of(value))) ||
        type_of(series) == TYPE_HASH)
        return false;
    SeriesBuffer* b = buffer(series);
    if ((b->flags & ownership::OWNED_FLAG) || b->tail + sizeof(Cell) > b->size) return false;
    int64_t cells = int64_t(b->cell_count());
    std::memcpy(b->tail_ptr(), &value, sizeof(Cell));
    b->tail += sizeof(Cell);
    *out = series;
    if (int32_t(out->data1) > cells) out->data1 = uint32_t(int32_t(cells));
    return true;
}

void append(Cell* out, Cell* series_cell, Cell* value, const AppendOptions& options, bool append) {
    if (append && append_one_in_place(out, *series_cell, *value, options)) return;
    Cell series = *series_cell;
    Rooted keep_series(series);
    Source source(*value, options.only);
    Rooted keep_source(source.value);
    int64_t s = source.length();
    if (s < 1 || options.dup < 1) {
        *out = series;
        return;
    }
    int64_t part = options.part < 0 || options.part > s ? s : options.part;
    int64_t cells = int64_t(buffer(series)->cell_count());
    if (int32_t(series.data1) > cells) series.data1 = uint32_t(int32_t(cells));
    int64_t index = detail::head_of(series);
    bool at_tail = append || index == cells;
    int64_t total = checked_cells(part * options.dup);

    source.detach_from(series);
    bool told = series::check(series, append ? series::Change::append : series::Change::insert, &source.value,
                              int32_t(append ? cells : index), int32_t(total)) != 0;
    // The owner's handler may have changed the block.
    cells = int64_t(buffer(series)->cell_count());
    if (index > cells) index = cells;
    int64_t at = at_tail ? cells : index;
    checked_cells(cells + total);
    bool rebuild = series::edit::open_gap(series, at, total, options.dup < 5);
    write_copies(series, at, source, part, options.dup);
    series::edit::enter(series, at, total, rebuild);
    if (told)
        series::check(series, append ? series::Change::appended : series::Change::inserted, &source.value, int32_t(at),
                      int32_t(total));
    if (!append) {
        int64_t after = index + total;
        int64_t now = int64_t(buffer(series)->cell_count());
        series.data1 = uint32_t(int32_t(after < now ? after : now));
    }
    *out = series;
}

void change(Cell* out, Cell* series_cell, Cell* value, const AppendOptions& options) {
    Cell series = *series_cell;
    Rooted keep_series(series);
    Source source(*value, options.only);
    Rooted keep_source(source.value);
    int64_t cells = int64_t(buffer(series)->cell_count());
    if (int32_t(series.data1) > cells) series.data1 = uint32_t(int32_t(cells));
    int64_t index = detail::head_of(series);
    int64_t dup = options.dup < 1 ? 1 : options.dup;

    source.detach_from(series);
    bool told = series::check(series, series::Change::change, &source.value, int32_t(index),
                              int32_t(source.length() * dup)) != 0;
    cells = int64_t(buffer(series)->cell_count());
    if (index > cells) index = cells;
    int64_t avail = cells - index;
    int64_t s = source.length();
    if (s < 0) s = 0;
    int64_t written = checked_cells(s * dup);
    int64_t removed = options.part >= 0 ? std::min<int64_t>(avail, options.part) : std::min(avail, written);
    checked_cells(cells + written - removed);

    NodeId node = cell_node(series);
    SeriesBuffer* b = buffer(series);
    uint64_t need = b->offset + uint64_t(cells + written - removed) * sizeof(Cell);
    if (need > b->size) b = memory::expand_series(b, need);
    if (written != removed) {
        b = memory::buffer_of(node);
        Cell* at = b->cells() + index;
        std::memmove(at + written, at + removed, size_t(cells - index - removed) * sizeof(Cell));
        b->tail = b->offset + uint64_t(cells + written - removed) * sizeof(Cell);
    }
    write_copies(series, index, source, s, dup);
    series::edit::rebuild(series);
    if (told) series::check(series, series::Change::changed, &source.value, int32_t(index), int32_t(written));
    int64_t after = index + written;
    int64_t now = int64_t(buffer(series)->cell_count());
    series.data1 = uint32_t(int32_t(after < now ? after : now));
    *out = series;
}

void swap(Cell* out, Cell* series1, Cell* series2) {
    Cell a = *series1;
    Rooted keep_a(a);
    Cell b = *series2;
    Rooted keep_b(b);
    if (!series::is_block_type(type_of(b))) fire(ErrorId::script_invalid_arg, {b});
    if (!series::ks_tail_q(a) && !series::ks_tail_q(b)) {
        int64_t ha = detail::head_of(a), hb = detail::head_of(b);
        bool told_a = series::check(a, series::Change::swap, nullptr, int32_t(ha), 1) != 0;
        bool told_b = series::check(b, series::Change::swap, nullptr, int32_t(hb), 1) != 0;
        if (!series::ks_tail_q(a) && !series::ks_tail_q(b)) {
            ha = detail::head_of(a);
            hb = detail::head_of(b);
            Cell* x = buffer(a)->cells() + ha;
            Cell* y = buffer(b)->cells() + hb;
            if (NodeId t = series::edit::table_of(a)) hashtable::delete_at(t, x);
            if (NodeId t = series::edit::table_of(b)) hashtable::delete_at(t, y);
            Cell held = *x;
            *x = *y;
            *y = held;
            series::edit::enter(a, ha, 1, false);
            series::edit::enter(b, hb, 1, false);
        }
        if (told_a) series::check(a, series::Change::swaped, nullptr, int32_t(ha), 1);
        if (told_b) series::check(b, series::Change::swaped, nullptr, int32_t(hb), 1);
    }
    *out = a;
}

void trim(Cell* out, Cell* series_cell, const TrimOptions&) {
    Cell series = *series_cell;
    Rooted keep(series);
    int64_t head = detail::head_of(series);
    bool told = series::check(series, series::Change::trim, nullptr, int32_t(head), 0) != 0;
    SeriesBuffer* b = buffer(series);
    int64_t total = int64_t(b->cell_count());
    head = detail::head_of(series);
    Cell* cells = b->cells();
    int64_t kept = head;
    for (int64_t i = head; i < total; ++i)
        if (type_of(cells[i]) != TYPE_NONE) cells[kept++] = cells[i];
    if (kept != total) {
        b->tail = b->offset + uint64_t(kept) * sizeof(Cell);
        series::edit::rebuild(series);
    }
    if (told) series::check(series, series::Change::trimmed, nullptr, int32_t(head), 0);
    *out = series;
}

}  // namespace kel::block
