// series! remove, reverse and take, for any unit size, and the argument
// helpers the modifying actions share.
#include <algorithm>

#include "runtime/core/fire.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series-edit.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/memory/roots.h"
#include "runtime/sort/sort.h"

namespace kel::series {

namespace {

// The head as a position inside the series' units.
int64_t clamped_head(const Cell& s) { return head_inside(s, total_units(buffer(s))); }

}  // namespace

void fire_invalid_refine_arg(words::Ref refinement, const Cell& arg) {
    fire(ErrorId::script_invalid_refine_arg, {words::refinement(refinement), arg});
}

int64_t part_count(const Cell& s, const Cell& part) {
    if (type_of(part) == TYPE_INTEGER) return cell_integer(part);
    if (type_of(part) == type_of(s) && cell_node(part) == cell_node(s))
        return int64_t(head_index(part)) - head_index(s);
    fire_invalid_refine_arg(words::Ref::part, part);
}

void remove(Cell* out, Cell* s, Cell* part, Cell* key) {
    Cell series = *s;
    Rooted keep(series);
    int64_t count = part ? part_count(series, *part) : 1;
    if (count < 1) {
        *out = series;
        return;
    }
    Cell answer = series;  // the series at its unchanged index
    Rooted keep_answer(answer);
    int64_t at = std::max<int64_t>(head_index(series), 0);
    if (key) {
        FindOptions options;
        options.case_sensitive = true;
        actions::find(&answer, &series, key, options);
        if (type_of(answer) == TYPE_NONE) {
            *out = none_value;
            return;
        }
        at = head_index(answer);
        ++count;  // the key goes with the values after it
    }
    int64_t units = total_units(buffer(series));
    if (at < units) {
        count = std::min(count, units - at);
        bool told = check(series, Change::remove, nullptr, int32_t(at), int32_t(count)) != 0;
        units = total_units(buffer(series));  // the owner's handler may have changed it
        count = std::min(count, units - at);
        if (count > 0) edit::cut(series, at, count);
        if (told) check(series, Change::removed, nullptr, int32_t(at), int32_t(std::max<int64_t>(count, 0)));
    }
    *out = answer;
}

void reverse(Cell* out, Cell* s, Cell* part, Cell* skip) {
    Cell series = *s;
    Rooted keep(series);
    int64_t units = total_units(buffer(series));
    int64_t head = clamped_head(series);
    int64_t n = part ? part_count(series, *part) : units - head;
    n = std::min(n, units - head);
    if (n < 1) {
        *out = series;
        return;
    }
    int64_t size = 1;
    if (skip) {
        if (type_of(*skip) != TYPE_INTEGER) fire_invalid_refine_arg(words::Ref::skip, *skip);
        size = cell_integer(*skip);
        if (size == n) {  // one record: nothing to reverse
            *out = series;
            return;
        }
        if (size < 1) fire(ErrorId::script_out_of_range, {*skip});
        if (n < size || n % size != 0) fire_invalid_refine_arg(words::Ref::skip, *skip);
    }
    bool told = check(series, Change::reverse, nullptr, int32_t(head), int32_t(n)) != 0;
    units = total_units(buffer(series));
    n = std::min(n, units - head);
    n -= n > 0 ? n % size : n;
    if (n > 0) {
        NodeId table = edit::table_of(series);
        if (table) hashtable::delete_range(table, int32_t(head), int32_t(n));
        SeriesBuffer* b = buffer(series);
        uint32_t shift = shift_of(b->unit());
        size_t width = size_t(size) << shift;
        uint8_t* lo = b->head_ptr() + (uint64_t(head) << shift);
        uint8_t* hi = lo + (uint64_t(n - size) << shift);
        for (; lo < hi; lo += width, hi -= width) sort::swap(lo, hi, width, width % 4 != 0);
        edit::enter(series, head, n, false);
    }
    if (told) check(series, Change::reversed, nullptr, int32_t(head), int32_t(n));
    *out = series;
}

void take(Cell* out, Cell* s, const TakeOptions& options) {
    Cell series = *s;
    Rooted keep(series);
    int64_t units = total_units(buffer(series));
    int64_t head = clamped_head(series);
    int64_t n = units - head;
    if (n < 1) {
        *out = none_value;
        return;
    }
    int64_t count = 1;
    if (options.part) {
        const Cell& part = *options.part;
        if (type_of(part) == TYPE_INTEGER) {
            count = cell_integer(part);
        } else if (type_of(part) == type_of(series) && cell_node(part) == cell_node(series)) {
            int64_t position = head_inside(part, units);
            count = options.last ? units - position : std::max<int64_t>(position - head, 0);
        } else {
            fire_invalid_refine_arg(words::Ref::part, part);
        }
    }
    // The range taken: count units from the head (the last ones with /last);
    // a negative count takes the units just before the head (none with /last);
    // a count of 0 takes nothing.
    int64_t from = head, length = 0;
    if (count >= 1) {
        length = std::min(count, n);
        if (options.last) from = units - length;
    } else if (count < 0 && !options.last) {
        length = std::min(-count, head);
        from = head - length;
    }
    bool told = length > 0 && check(series, Change::take, nullptr, int32_t(from), int32_t(length)) != 0;
    units = total_units(buffer(series));
    length = std::max<int64_t>(std::min(length, units - from), 0);

    uint32_t unit = buffer(series)->unit();
    Cell* result = stack::push(make_unset());
    NodeId node = memory::alloc_series(uint64_t(std::max<int64_t>(length, 1)), unit, 0);
    SeriesBuffer* b = buffer(series);
    SeriesBuffer* rb = memory::buffer_of(node);
    uint32_t shift = shift_of(unit);
    if (length > 0) std::memcpy(rb->head_ptr(), b->head_ptr() + (uint64_t(from) << shift), uint64_t(length) << shift);
    rb->tail = rb->offset + (uint64_t(length) << shift);
    *result = Cell{type_of(series), 0, node, type_of(series) == TYPE_VECTOR ? series.data3 : 0};
    if (type_of(series) == TYPE_HASH) {
        NodeId table = hashtable::make_table(uint32_t(length), result, hashtable::KIND_HASH);
        result->data3 = table;
    }
    edit::cut(series, from, length);
    if (told) check(series, Change::taken, nullptr, int32_t(from), int32_t(length));
    *out = *result;
    stack::pop(1);
}

}  // namespace kel::series
