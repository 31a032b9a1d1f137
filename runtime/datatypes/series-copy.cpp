// series! copy: a shallow copy of any series from its head, or of a /part.
#include <algorithm>
#include <cstring>

#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/memory/roots.h"

namespace kel::series {

void copy(Cell* out, Cell* s, const CopyOptions& options) {
    Cell series = *s;
    Rooted keep(series);
    int64_t units = total_units(buffer(series));
    int64_t head = head_inside(series, units);
    int64_t start = head;
    int64_t count = units - head;
    if (options.part) {
        const Cell& part = *options.part;
        if (type_of(part) == TYPE_PAIR) {
            // (x, y): from the x-th unit after the head up to the y-th.
            int64_t x = int32_t(part.data2), y = int32_t(part.data3);
            start = std::max<int64_t>(x < 0 ? head + x : head + x - 1, 0);
            count = y < x ? 0 : y - x;
        } else {
            count = part_count(series, part);
        }
        if (count < 0) {  // the units just before the head
            start = std::max<int64_t>(head + count, 0);
            count = head - start;
        }
    }
    count = start >= units ? 0 : std::min(count, units - start);

    SeriesBuffer* b = buffer(series);
    uint32_t unit = b->unit();
    uint32_t complement = b->flags & series_flag::COMPLEMENT;
    NodeId node = memory::alloc_series(uint64_t(std::max<int64_t>(count, 1)), unit, 0);
    b = buffer(series);
    SeriesBuffer* rb = memory::buffer_of(node);
    uint32_t shift = shift_of(unit);
    if (count > 0) std::memcpy(rb->head_ptr(), b->head_ptr() + (uint64_t(start) << shift), uint64_t(count) << shift);
    rb->tail = rb->offset + (uint64_t(count) << shift);
    rb->flags |= complement;
    // The copy keeps the type and the new-line marker; word 3 only where it
    // describes the content (a vector's element type).
    uint32_t header = type_of(series) | (series.header & CELL_NEW_LINE);
    *out = Cell{header, 0, node, type_of(series) == TYPE_VECTOR ? series.data3 : 0};
}

}  // namespace kel::series
