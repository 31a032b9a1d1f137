// Widening a string buffer in place when a code point arrives that its unit
// cannot hold. Buffers are never narrowed.
#include "runtime/text/unicode.h"

namespace kel::unicode {

namespace {

template <class From, class To>
void widen_units(uint8_t* head, uint64_t count) {
    // Back to front: unit i moves to a byte offset at or above its own, and
    // every unit above i has been read before unit i is written.
    for (uint64_t i = count; i-- > 0;) {
        From v;
        std::memcpy(&v, head + i * sizeof(From), sizeof(From));
        To w = v;
        std::memcpy(head + i * sizeof(To), &w, sizeof(To));
    }
}

template <class From, class To>
SeriesBuffer* widen(SeriesBuffer* b) {
    uint64_t count = b->used() / sizeof(From);
    // Room for the widened units and one more unit of the new size, measured
    // from the data start since the head stays where it is.
    uint64_t need = b->offset + count * sizeof(To) + sizeof(To);
    if (b->size < need) b = memory::expand_series(b, (need + 15) & ~uint64_t(15));
    widen_units<From, To>(b->head_ptr(), count);
    b->tail = b->offset + count * sizeof(To);
    b->flags = (b->flags & ~series_flag::UNIT_MASK) | uint32_t(sizeof(To));
    return b;
}

}  // namespace

SeriesBuffer* widen_latin1_to_ucs2(SeriesBuffer* buffer) { return widen<uint8_t, uint16_t>(buffer); }
SeriesBuffer* widen_latin1_to_ucs4(SeriesBuffer* buffer) { return widen<uint8_t, uint32_t>(buffer); }
SeriesBuffer* widen_ucs2_to_ucs4(SeriesBuffer* buffer) { return widen<uint16_t, uint32_t>(buffer); }

SeriesBuffer* widen_for(NodeId node, uint32_t cp) {
    SeriesBuffer* b = memory::buffer_of(node);
    switch (b->unit()) {
    case 1:
        if (cp > 0xFFFF) return widen_latin1_to_ucs4(b);
        if (cp > 0xFF) return widen_latin1_to_ucs2(b);
        return b;
    case 2:
        return cp > 0xFFFF ? widen_ucs2_to_ucs4(b) : b;
    case 4:
        return b;
    default:
        unit_shift(b->unit());  // ends the process
        return b;
    }
}

}  // namespace kel::unicode
