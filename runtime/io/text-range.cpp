#include "runtime/io/text-range.h"

#include "runtime/evaluator/stack.h"

namespace kel::text_range {

int32_t tail_of(const Cell& str) {
    SeriesBuffer* b = string::buffer(str);
    return int32_t(b->used() / b->unit());
}

Cell* push_copy(const Cell& str, int32_t s, int32_t e) {
    int32_t length = e - s;
    uint32_t unit = string::buffer(str)->unit();
    Cell* copy = stack::push(make_none());
    string::make_at(*copy, length + 1, unit);
    SeriesBuffer* from = string::buffer(str);
    SeriesBuffer* to = string::buffer(*copy);
    uint64_t bytes = uint64_t(length) * unit;
    std::memcpy(to->head_ptr(), from->head_ptr() + int64_t(s) * unit, bytes);
    to->tail = to->offset + bytes;
    return copy;
}

}  // namespace kel::text_range
