// block! sort: values or records of /skip cells, ordered by the compare
// functions of their types or by a Kel function through the callback seam.
//
// With the built-in order the records are sorted in place: compare functions
// never allocate, so the buffer stays where it is. A Kel comparator may
// allocate, collect (moving the block's buffer) and change the block: the
// records are sorted in a copy that never moves and that the collector marks
// (MarkedCells), with a merge work buffer of the same kind, and copied back
// afterwards, never past the block's tail as it is then. When the comparator
// throws, the copy holds a permutation of the records and goes back the same
// way before the scratch is released.
#include <algorithm>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block-internal.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series-edit.h"
#include "runtime/datatypes/series.h"
#include "runtime/evaluator/callbacks.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/marked-cells.h"
#include "runtime/memory/roots.h"
#include "runtime/sort/sort.h"

namespace kel::block {

namespace {

// Comparator flags: bit 0 reverse; bit 1 whole records; bits 2 and up the
// record size (with bit 1) or the offset of the compared cell.
constexpr uint32_t REVERSE = 1;
constexpr uint32_t ALL = 2;

// The built-in order: the compare functions of the values' types (op 7, or 8
// with /case); values that cannot be compared order by type id.
struct CellOrder {
    int32_t op;
    uint32_t flags;

    int32_t operator()(const uint8_t* pa, const uint8_t* pb) const {
        const Cell* a = reinterpret_cast<const Cell*>(pa);
        const Cell* b = reinterpret_cast<const Cell*>(pb);
        uint32_t n = 1;
        if (flags & ALL) {
            n = flags >> 2;
        } else {
            a += flags >> 2;
            b += flags >> 2;
        }
        if (flags & REVERSE) std::swap(a, b);
        for (uint32_t i = 0; i < n; ++i) {
            int32_t r = detail::order(a[i], b[i], op);
            if (r == COMP_NOT_COMPARABLE) r = int32_t(type_of(a[i])) - int32_t(type_of(b[i]));
            if (r != 0) return r;
        }
        return 0;
    }
};

// The order a Kel function gives. It is asked about (b, a), or (a, b) under
// /reverse, so that a function answering "first before second" sorts
// ascending; with /all each argument is a new block holding the record.
struct FunctionOrder {
    const Cell& fn;
    uint32_t flags;
    uint32_t size;

    int32_t operator()(const uint8_t* pa, const uint8_t* pb) const {
        // The records lie in marked, unmoving scratch: their addresses hold
        // across the call.
        const Cell* first = reinterpret_cast<const Cell*>(pb);
        const Cell* second = reinterpret_cast<const Cell*>(pa);
        if (flags & REVERSE) std::swap(first, second);
        Cell args[2] = {*first, *second};
        Rooted keep0(args[0]);
        Rooted keep1(args[1]);
        if (flags & ALL) {
            args[0] = record_block(first);
            args[1] = record_block(second);
        } else {
            uint32_t offset = flags >> 2;
            args[0] = first[offset];
            args[1] = second[offset];
        }
        Cell result = callbacks::call_function(fn, std::span<const Cell>(args, 2), callbacks::Callback::compare);
        return callbacks::comparator_order(result);
    }

    Cell record_block(const Cell* record) const {
        Cell blk = make_unset();
        make_at(blk, int32_t(size));
        SeriesBuffer* b = buffer(blk);
        std::memcpy(b->cells(), record, size_t(size) * sizeof(Cell));
        b->tail = b->offset + uint64_t(size) * sizeof(Cell);
        return blk;
    }
};

// Sorts count records of size cells from the block's cell `start` with a
// Kel comparator, in marked scratch, and copies them back (also when the
// comparator throws).
void sort_with_function(const Cell& series, int64_t start, int64_t count, uint32_t size, const Cell& fn, uint32_t flags,
                        bool stable) {
    size_t cells = size_t(count) * size;
    MarkedCells records(cells);
    std::memcpy(records.data(), buffer(series)->cells() + start, cells * sizeof(Cell));
    MarkedCells work(stable ? size_t(count / 2) * size : 0);

    struct CopyBack {
        const Cell& series;
        int64_t start;
        MarkedCells& records;
        ~CopyBack() {
            // The block as it is now: the comparator may have moved or
            // changed it.
            int64_t room = int64_t(buffer(series)->cell_count()) - start;
            int64_t n = std::min<int64_t>(int64_t(records.size()), std::max<int64_t>(room, 0));
            if (n > 0) std::memcpy(buffer(series)->cells() + start, records.data(), size_t(n) * sizeof(Cell));
        }
    } copy_back{series, start, records};

    FunctionOrder order{fn, flags, size};
    size_t width = size_t(size) * sizeof(Cell);
    if (stable)
        sort::merge_sort_by(records.data(), size_t(count), width, order, work.data());
    else
        sort::quicksort_by(records.data(), size_t(count), width, order);
}

uint32_t check_record_size(const Cell& skip, int64_t count) {
    if (type_of(skip) != TYPE_INTEGER) series::fire_invalid_refine_arg(words::Ref::skip, skip);
    int64_t size = cell_integer(skip);
    if (size <= 0 || size > count || count % size != 0) series::fire_invalid_refine_arg(words::Ref::skip, skip);
    return uint32_t(size);
}

}  // namespace

void sort(Cell* out, Cell* series_cell, const SortOptions& options) {
    Cell series = *series_cell;
    Rooted keep(series);
    int64_t count = ks_length(series);
    if (count <= 0) {
        *out = series;
        return;
    }
    if (options.part) {
        int64_t l = series::part_count(series, *options.part);
        if (l < count) count = l;
        if (l < 0) {
            // The -l values before the index; the series is answered there.
            int64_t head = int64_t(int32_t(series.data1)) + l;
            count = head < 0 ? 0 : -l;
            series.data1 = uint32_t(int32_t(head < 0 ? 0 : head));
        }
    }
    if (count == 0) {
        *out = series;
        return;
    }
    uint32_t size = 1;
    if (options.skip)
        size = check_record_size(*options.skip, count);
    else if (options.all)
        fire(ErrorId::script_bad_refines);
    count /= size;

    uint32_t flags = options.reverse ? REVERSE : 0;
    int32_t op = options.case_sensitive ? COMP_CASE_SORT : COMP_SORT;
    Cell fn = none_value;
    Rooted keep_fn(fn);
    bool by_function = false;
    if (options.compare) {
        const Cell& c = *options.compare;
        if (type_of(c) == TYPE_FUNCTION) {
            by_function = true;
            fn = c;
            if (options.all && options.skip) flags |= ALL | (size << 2);
        } else if (type_of(c) == TYPE_INTEGER) {
            if (!options.skip || options.all) fire(ErrorId::script_bad_refines);
            int32_t k = cell_integer(c);
            if (k < 1 || uint32_t(k) > size) fire(ErrorId::script_out_of_range, {c});
            flags |= uint32_t(k - 1) << 2;
        } else {
            series::fire_invalid_refine_arg(words::Ref::compare, c);
        }
    } else if (options.all) {
        flags |= ALL | (size << 2);
    }

    int64_t start = detail::head_of(series);
    bool told = series::check(series, series::Change::sort, nullptr, int32_t(start), int32_t(count * size)) != 0;
    // The owner's handler may have changed the block.
    start = detail::head_of(series);
    int64_t n = std::max<int64_t>(int64_t(buffer(series)->cell_count()) - start, 0) / size;
    if (n < count || !options.part) count = n;

    if (count > 1) {
        if (by_function) {
            try {
                sort_with_function(series, start, count, size, fn, flags, options.stable);
            } catch (...) {
                series::edit::rebuild(series);  // the records went back permuted
                throw;
            }
        } else {
            CellOrder order{op, flags};
            void* base = buffer(series)->cells() + start;
            size_t width = size_t(size) * sizeof(Cell);
            if (options.stable)
                sort::merge_sort_by(base, size_t(count), width, order);
            else
                sort::quicksort_by(base, size_t(count), width, order);
        }
        series::edit::rebuild(series);  // a hash! finds its cells by position
    }
    if (told) series::check(series, series::Change::sorted, nullptr, int32_t(start), int32_t(count * size));
    *out = series;
}

}  // namespace kel::block
