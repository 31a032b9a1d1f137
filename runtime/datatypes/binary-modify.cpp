// binary! append, insert, change and trim.
//
// Each one measures the value before the target changes (measure checks
// every type and byte value), grows the buffer once, and writes the value
// once, replicating it for /dup. A value whose bytes lie in the target's own
// buffer (the target itself, or a block holding it) is written to scratch
// memory first: its bytes are those it had before the change. Sizes are
// computed in 64 bits; a result beyond the series limit is
// internal/no-memory.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary-internal.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/series-repeat.h"
#include "runtime/datatypes/series.h"
#include "runtime/memory/roots.h"

namespace kel::binary {

namespace {

using series::Change;

// count x dup, within the series limit.
int64_t total_of(int64_t count, int64_t dup) {
    int64_t total = 0;
    if (__builtin_mul_overflow(count, dup, &total) || total > INT32_MAX) fire(ErrorId::internal_no_memory);
    return total;
}
// The bytes in use after `removed` bytes give way to `total`, within the
// series limit.
int64_t new_size_of(int64_t size, int64_t total, int64_t removed) {
    int64_t new_size = size - removed + total;
    if (new_size > INT32_MAX) fire(ErrorId::internal_no_memory);
    return new_size;
}

// The index clamped to the tail in the cell.
void clamp_index(Cell& s) {
    int64_t size = detail::size_of(s);
    if (int32_t(s.data1) > size) s.data1 = uint32_t(size);
}

// The value's bytes, written once where they go and repeated dup times.
class Placement {
public:
    Placement(const Cell& target, const Cell& value, int64_t count, int64_t part, bool byte_part)
        : value_(value), count_(count), part_(part), byte_part_(byte_part) {
        if (count > 0 && shares(value, cell_node(target))) {
            copy_.resize(size_t(count));
            write(copy_.data(), value, part, byte_part);
            copied_ = true;
        }
    }
    void put(uint8_t* at, int64_t dup) const {
        if (count_ <= 0) return;
        if (copied_)
            std::memcpy(at, copy_.data(), size_t(count_));
        else
            write(at, value_, part_, byte_part_);
        replicate_bytes(at, uint64_t(count_), uint64_t(dup));
    }

private:
    const Cell& value_;
    int64_t count_;
    int64_t part_;
    bool byte_part_;
    std::vector<uint8_t> copy_;
    bool copied_ = false;
};

int32_t notified_part(int64_t part) { return part < 0 ? 1 : int32_t(part); }

}  // namespace

void append(Cell* out, Cell* series_cell, Cell* value_cell, const AppendOptions& o, bool appending) {
    Cell s = *series_cell;
    Rooted keep(s);
    Cell value = *value_cell;
    Rooted keep_value(value);
    clamp_index(s);
    bool told = series::check(s, Change::append, &value, int32_t(detail::size_of(s)), o.part) != 0;
    // The owner's handler may have changed the binary.
    clamp_index(s);
    int64_t size = detail::size_of(s);
    int64_t head = detail::head_of(s);
    int64_t at = appending ? size : head;
    int64_t count = measure(value, o.part, o.only);
    if (count == 0) {
        *out = s;
        return;
    }
    int64_t dup = o.dup < 1 ? 1 : o.dup;
    int64_t total = total_of(count, dup);
    int64_t new_size = new_size_of(size, total, 0);
    Placement placement(s, value, count, o.part, o.only);

    SeriesBuffer* b = buffer(s);
    uint64_t need = b->offset + uint64_t(new_size);
    b = memory::grow_series(b, need, 2 * b->size > need ? 2 * b->size : need);
    uint8_t* p = b->head_ptr();
    if (at < size) std::memmove(p + at + total, p + at, size_t(size - at));
    placement.put(p + at, dup);
    b->tail = b->offset + uint64_t(new_size);

    if (told) series::check(s, Change::appended, &value, int32_t(size), notified_part(o.part));
    s.data1 = appending ? 0 : uint32_t(at + total);
    *out = s;
}

void change(Cell* out, Cell* series_cell, Cell* value_cell, const AppendOptions& o) {
    Cell s = *series_cell;
    Rooted keep(s);
    Cell value = byte_form(*value_cell);  // types without bytes as their formed text
    Rooted keep_value(value);
    int64_t dup = o.dup < 1 ? 1 : o.dup;
    // The part (when given) and the value's bytes, against the binary as it
    // stands now.
    int64_t size, head, rest, part, count;
    auto measure_all = [&] {
        clamp_index(s);
        size = detail::size_of(s);
        head = detail::head_of(s);
        rest = size - head;
        part = o.part < 0 ? -1 : std::min<int64_t>(o.part, rest);
        count = measure(value, -1, false);
    };
    measure_all();
    int64_t total_guess = count > INT32_MAX / dup ? INT32_MAX : count * dup;
    int64_t notified = part >= 0 ? part : std::min(total_guess, rest);
    bool told = series::check(s, Change::change, nullptr, int32_t(head), int32_t(notified)) != 0;
    measure_all();  // the owner's handler may have changed the binary

    int64_t total = total_of(count, dup);
    int64_t removed = part >= 0 ? part : std::min(total, rest);
    int64_t new_size = new_size_of(size, total, removed);
    Placement placement(s, value, count, -1, false);

    SeriesBuffer* b = buffer(s);
    uint64_t need = b->offset + uint64_t(new_size);
    b = memory::grow_series(b, need, need);
    uint8_t* p = b->head_ptr();
    if (total != removed) std::memmove(p + head + total, p + head + removed, size_t(size - head - removed));
    placement.put(p + head, dup);
    b->tail = b->offset + uint64_t(new_size);

    if (told) series::check(s, Change::changed, nullptr, int32_t(head), int32_t(total));
    s.data1 = uint32_t(std::min(head + total, new_size));
    *out = s;
}

void trim(Cell* out, Cell* series_cell, const TrimOptions& o) {
    if (o.automatic || o.lines) fire(ErrorId::internal_not_done);
    Cell s = *series_cell;
    Rooted keep(s);
    SeriesBuffer* b = buffer(s);
    int64_t size = int64_t(b->used());
    int64_t head = series::head_inside(s, size);
    uint8_t* p = b->head_ptr();
    int64_t kept = 0;
    if (o.all || o.with) {
        // The bytes to remove: 0x00, or those the with-value gives.
        bool strip[256] = {};
        if (!o.with) {
            strip[0] = true;
        } else {
            const Cell& with = *o.with;
            uint32_t type = type_of(with);
            if (type == TYPE_CHAR || type == TYPE_INTEGER) {
                uint32_t c = type == TYPE_CHAR ? with.data2 : uint32_t(cell_integer(with));
                if (c < 256) strip[c] = true;
            } else if (type == TYPE_BINARY) {
                detail::Bytes w = detail::bytes_of(with);
                for (int64_t i = 0; i < w.n; ++i) strip[w.p[i]] = true;
            } else if (series::is_string_type(type)) {
                detail::Text w = detail::text_of(with);
                for (int64_t i = 0; i < w.count; ++i)
                    if (w.at(i) < 256) strip[w.at(i)] = true;
            } else {
                fire(ErrorId::script_invalid_arg, {with});
            }
        }
        for (int64_t i = head; i < size; ++i)
            if (!strip[p[i]]) p[head + kept++] = p[i];
    } else {
        int64_t start = head, end = size;
        bool only_tail = o.tail && !o.head, only_head = o.head && !o.tail;
        if (!only_tail)
            while (start < end && p[start] == 0) ++start;
        if (!only_head)
            while (end > start && p[end - 1] == 0) --end;
        kept = end - start;
        std::memmove(p + head, p + start, size_t(kept));
    }
    b->tail = b->offset + uint64_t(head + kept);
    series::check(s, Change::trim, nullptr, int32_t(head), 0);
    *out = s;
}

}  // namespace kel::binary
