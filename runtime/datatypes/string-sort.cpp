// string! sort: the code points of a string, or records of /skip units,
// sorted in place by the built-in comparators of each unit, or, with a Kel
// comparator, sorted as a heap copy and written back.
#include <cstring>
#include <vector>

#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/vector.h"
#include "runtime/evaluator/callbacks.h"
#include "runtime/sort/sort.h"
#include "runtime/text/case-folding.h"

namespace kel::string {

namespace {

using series::Change;

// The comparator flags word: bit 0 reverse, bit 1 whole records; above, the
// units compared (whole records) or the offset of the one unit compared.
constexpr uint32_t REVERSE = 1;
constexpr uint32_t ALL = 2;

// A one-byte string folds only the ASCII letters, to lower case; wider
// strings fold through the upper-case tables. The order of "_" against the
// letters therefore depends on the unit of the string sorted.
template <uint32_t U>
uint32_t fold_unit(uint32_t c) {
    if constexpr (U == 1)
        return c >= 'A' && c <= 'Z' ? c + 0x20 : c;
    else
        return unicode::upper_char(c);
}

template <uint32_t U>
struct UnitCompare {
    uint32_t flags;
    bool fold;
    int32_t operator()(const uint8_t* a, const uint8_t* b) const {
        int64_t first = (flags & ALL) ? 0 : int64_t(flags >> 2);
        int64_t n = (flags & ALL) ? int64_t(flags >> 2) : 1;
        int32_t r = 0;
        for (int64_t i = first; i < first + n; ++i) {
            uint32_t x = unicode::get_unit(a, U, uint64_t(i));
            uint32_t y = unicode::get_unit(b, U, uint64_t(i));
            if (fold) {
                x = fold_unit<U>(x);
                y = fold_unit<U>(y);
            }
            if (x != y) {
                r = x < y ? -1 : 1;
                break;
            }
        }
        return (flags & REVERSE) ? -r : r;
    }
};

template <uint32_t U>
void sort_builtin(uint8_t* base, size_t records, size_t width, uint32_t flags, bool fold, bool stable) {
    UnitCompare<U> cmp{flags, fold};
    if (stable)
        sort::merge_sort_by(base, records, width, cmp);
    else
        sort::quicksort_by(base, records, width, cmp);
}

// The value a Kel comparator receives for a record: a char! (an integer! for
// binary!, the element's value for vector!) for a single unit, a new string
// (binary, vector of the same element type) holding a copy of the record
// with whole records.
Cell record_value(uint32_t type, uint32_t element, const uint8_t* rec, uint32_t unit, int64_t size, bool whole) {
    if (type == TYPE_VECTOR) {
        if (!whole) return vector::element_value(rec, element, unit);
        Cell v = make_unset();
        vector::make_at(v, size, element, unit);
        SeriesBuffer* b = memory::buffer_of(cell_node(v));
        std::memcpy(b->tail_ptr(), rec, size_t(size) * unit);
        b->tail += uint64_t(size) * unit;
        return v;
    }
    if (!whole) {
        uint32_t c = unicode::get_unit(rec, unit, 0);
        return type == TYPE_BINARY ? make_integer(int32_t(c)) : Cell{TYPE_CHAR, 0, c, 0};
    }
    Cell s = make_unset();
    make_at(s, int32_t(size), unit);
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    std::memcpy(b->tail_ptr(), rec, size_t(size) * unit);
    b->tail += uint64_t(size) * unit;
    set_type(s, type == TYPE_BINARY ? TYPE_BINARY : TYPE_STRING);
    return s;
}

struct CallCompare {
    const Cell* fn;
    uint32_t type;
    uint32_t element;  // a vector's element type
    uint32_t unit;
    int64_t size;
    bool whole;
    bool reverse;
    int32_t operator()(const uint8_t* a, const uint8_t* b) const {
        // Under /reverse the first record's value comes first.
        Cell args[2] = {make_unset(), make_unset()};
        Rooted keep0(args[0]);
        Rooted keep1(args[1]);
        args[0] = record_value(type, element, reverse ? a : b, unit, size, whole);
        args[1] = record_value(type, element, reverse ? b : a, unit, size, whole);
        Cell result = callbacks::call_function(*fn, std::span<const Cell>(args, 2), callbacks::Callback::compare);
        return callbacks::comparator_order(result);
    }
};

// Sorts [start, start + records x size) with a Kel comparator: the records
// hold no references, so they are sorted in plain heap memory (the comparator
// may collect, move or change the string), then written back within the
// string's current tail and in its current unit.
void sort_with_function(const Cell& s, const Cell& fn_cell, int64_t start, int64_t records, int64_t size, bool whole,
                        bool reverse, bool stable) {
    Cell fn = fn_cell;
    Rooted keep_fn(fn);
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    uint32_t unit = b->unit();
    uint32_t shift = series::shift_of(unit);  // vector! units go up to 8
    size_t width = size_t(size) << shift;
    std::vector<uint8_t> copy(b->head_ptr() + (uint64_t(start) << shift),
                              b->head_ptr() + (uint64_t(start) << shift) + records * int64_t(width));
    uint32_t element = type_of(s) == TYPE_VECTOR ? vector::element_type(s) : 0;
    CallCompare cmp{&fn, type_of(s), element, unit, size, whole, reverse};
    if (stable)
        sort::merge_sort_by(copy.data(), size_t(records), width, cmp);
    else
        sort::quicksort_by(copy.data(), size_t(records), width, cmp);
    b = memory::buffer_of(cell_node(s));
    int64_t total = series::total_units(b);
    int64_t n = int64_t(copy.size()) >> shift;
    if (start + n > total) n = total - start;
    if (n <= 0) return;
    uint32_t now = b->unit();
    uint8_t* p = b->head_ptr() + (uint64_t(start) << series::shift_of(now));
    if (now == unit)
        std::memcpy(p, copy.data(), size_t(n) << shift);
    else
        for (int64_t i = 0; i < n; ++i)
            detail::store_unit(p, now, i, unicode::get_unit(copy.data(), unit, uint64_t(i)));
}

}  // namespace

void sort(Cell* out, Cell* series_cell, const SortOptions& o) {
    Cell s = *series_cell;
    Rooted keep(s);
    int64_t total = detail::units_of(s);
    int64_t head = detail::head_of(s);
    int64_t len = total - head;
    if (o.part) {
        int64_t count = series::part_count(s, *o.part);
        if (count < 0) {
            if (head + count < 0) {
                head = 0;
                len = 0;
            } else {
                head += count;
                len = -count;
            }
            s.data1 = uint32_t(int32_t(head));
        } else if (count < len) {
            len = count;
        }
    }
    if (len == 0) {
        *out = s;
        return;
    }
    int64_t size = 1;
    if (o.skip) {
        if (type_of(*o.skip) != TYPE_INTEGER) series::fire_invalid_refine_arg(words::Ref::skip, *o.skip);
        size = cell_integer(*o.skip);
        if (size < 1 || len % size != 0 || len < size) series::fire_invalid_refine_arg(words::Ref::skip, *o.skip);
    } else if (o.all) {
        fire(ErrorId::script_bad_refines);
    }
    uint32_t flags = o.reverse ? REVERSE : 0;
    bool function = false;
    if (o.compare) {
        if (type_of(*o.compare) == TYPE_FUNCTION) {
            function = true;
        } else if (type_of(*o.compare) == TYPE_INTEGER) {
            if (o.all || !o.skip) fire(ErrorId::script_bad_refines);
            int32_t offset = cell_integer(*o.compare);
            if (offset < 1 || offset > size) fire(ErrorId::script_out_of_range, {*o.compare});
            flags |= uint32_t(offset - 1) << 2;
        } else {
            series::fire_invalid_refine_arg(words::Ref::compare, *o.compare);
        }
    } else if (o.all && o.skip) {
        flags |= ALL | (uint32_t(size) << 2);
    }
    int64_t limit = len;
    bool told = series::check(s, Change::sort, nullptr, int32_t(head), int32_t(len)) != 0;
    // The owner's handler may have changed the string: the range is what is
    // left of it now, never more than before.
    total = detail::units_of(s);
    len = std::min(limit, total - head);
    if (len < 0) len = 0;
    int64_t records = len / size;
    if (records > 1) {
        if (function) {
            sort_with_function(s, *o.compare, head, records, size, o.all && o.skip, o.reverse, o.stable);
        } else {
            uint32_t type = type_of(s);
            // Equal single units compared exactly are indistinguishable: they
            // need no stable sort.
            bool stable = o.stable && !(o.case_sensitive && (size == 1 || o.all) && !o.compare);
            if (type == TYPE_VECTOR) {
                if (!services().vector_sort) fire(ErrorId::internal_not_done);
                services().vector_sort(s, head, records, size, flags, o.stable);
            } else {
                bool fold = !o.case_sensitive && type != TYPE_BINARY;
                SeriesBuffer* b = memory::buffer_of(cell_node(s));
                uint32_t unit = b->unit();
                uint8_t* base = b->head_ptr() + (uint64_t(head) << unicode::unit_shift(unit));
                size_t width = size_t(size) * unit;
                switch (unit) {
                case 1:
                    sort_builtin<1>(base, size_t(records), width, flags, fold, stable);
                    break;
                case 2:
                    sort_builtin<2>(base, size_t(records), width, flags, fold, stable);
                    break;
                default:
                    sort_builtin<4>(base, size_t(records), width, flags, fold, stable);
                    break;
                }
            }
        }
    }
    if (told) series::check(s, Change::sorted, nullptr, int32_t(head), int32_t(len));
    *out = s;
}

}  // namespace kel::string
