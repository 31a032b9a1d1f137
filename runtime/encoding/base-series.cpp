// The series level of the base encodings: sizes checked against the 32-bit
// limits, the result series made, and every buffer address re-read after
// that allocation (it may collect and move the source).
#include "runtime/core/fire.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/encoding/base-encodings.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"

namespace kel::encoding {

namespace {

// n lowered to what remains of `total` after `from` (from lowered to total).
void clamp_range(uint64_t total, uint64_t& from, uint64_t& n) {
    if (from > total) from = total;
    if (n > total - from) n = total - from;
}

// Decodes into a new byte series (its room checked against the limit before
// it is made); `text_at` answers the address of the text and is called only
// after the allocation.
template <class TextAt>
NodeId decode_into_series(Base base, uint64_t count, uint32_t unit, TextAt&& text_at) {
    NodeId out = memory::alloc_bytes(decoded_room(base, count));
    SeriesBuffer* b = memory::buffer_of(out);
    int64_t n = decode(base, text_at(), count, unit, b->head_ptr());
    if (n < 0) return 0;
    b->tail = b->offset + uint64_t(n);
    return out;
}

}  // namespace

int32_t enbase_capacity(Base base, uint64_t n) {
    if (n > MAX_LENGTH) fire(ErrorId::script_too_long);
    uint64_t size = 0;  // n < 2^31: no term below can overflow 64 bits
    switch (base) {
    case Base::base2:
        size = 8 * n + 2 * (n / 8) + 4;
        break;
    case Base::base16:
        size = 2 * n + n / 32 + 32;
        break;
    case Base::base58:
        size = 2 * n;
        break;
    case Base::base64:
        size = 4 * (n / 3) + (4 * (n % 3)) / 3 + 2 * (n / 32) + 5;
        break;
    }
    if (size > MAX_LENGTH) fire(ErrorId::script_too_long);
    return int32_t(size);  // never below encoded_room(base, n)
}

void enbase(Base base, NodeId bytes, uint64_t from, uint64_t n, Cell& result) {
    Rooted keep(bytes);
    clamp_range(memory::buffer_of(bytes)->used(), from, n);
    Cell text = make_unset();
    string::ks_make_at(text, enbase_capacity(base, n));  // may move `bytes`
    SeriesBuffer* out = string::buffer(text);
    const uint8_t* src = memory::buffer_of(bytes)->head_ptr() + from;
    uint8_t* end = encode(base, src, n, out->head_ptr());
    out->tail = uint64_t(end - out->data());
    result = text;
}

void enbase(Base base, const Cell& value, Cell& result) {
    uint32_t type = type_of(value);
    if (type == TYPE_BINARY) {
        SeriesBuffer* b = series::buffer(value);
        uint64_t head = uint64_t(series::head_inside(value, int64_t(b->used())));
        enbase(base, cell_node(value), head, UINT64_MAX, result);
        return;
    }
    if (!series::is_string_type(type)) fire(ErrorId::script_invalid_arg, {value});
    // The UTF-8 bytes of the characters from the index, in a byte series of
    // their own.
    Cell source = value;
    Rooted keep_source(source);
    SeriesBuffer* b = series::buffer(source);
    uint32_t unit = b->unit();
    int64_t head = series::head_inside(source, series::total_units(b));
    source.data1 = uint32_t(head);
    const uint8_t* from = b->head_ptr() + (uint64_t(head) << unicode::unit_shift(unit));
    uint64_t length = uint64_t(unicode::utf8_units_length(from, b->tail_ptr(), unit));
    if (length > MAX_LENGTH) fire(ErrorId::script_too_long);
    NodeId utf8 = memory::alloc_bytes(length);  // may move `source`
    Rooted keep_utf8(utf8);
    SeriesBuffer* u = memory::buffer_of(utf8);
    u->tail = u->offset + uint64_t(unicode::to_utf8_buffer(source, u->head_ptr(), -1, false));
    enbase(base, utf8, 0, length, result);
}

NodeId debase(Base base, NodeId text, uint64_t from, uint64_t count) {
    Rooted keep(text);
    SeriesBuffer* b = memory::buffer_of(text);
    uint32_t unit = b->unit();
    uint32_t shift = unicode::unit_shift(unit);
    clamp_range(b->used() >> shift, from, count);
    return decode_into_series(base, count, unit, [&] { return memory::buffer_of(text)->head_ptr() + (from << shift); });
}

NodeId debase(Base base, const Cell& text) {
    SeriesBuffer* b = series::buffer(text);
    uint64_t head = uint64_t(series::head_inside(text, series::total_units(b)));
    return debase(base, cell_node(text), head, UINT64_MAX);
}

NodeId debase(Base base, const uint8_t* text, uint64_t count, uint32_t unit) {
    return decode_into_series(base, count, unit, [&] { return text; });
}

}  // namespace kel::encoding
