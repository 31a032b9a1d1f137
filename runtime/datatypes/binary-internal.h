// Helpers shared by the binary! modules (not part of the module's interface):
// read-only views of a binary's bytes and of a string's characters from
// their index, and the UTF-8 bytes of those characters. A view holds a raw
// buffer address: it is good only until the next call that may allocate or
// run Kel code.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/memory/memory.h"
#include "runtime/text/unicode.h"

namespace kel::binary::detail {

// The bytes of a binary from its index, without changing the cell: a
// negative index reads from the first byte, an index past the tail gives
// none.
struct Bytes {
    const uint8_t* p;
    int64_t n;
};
inline Bytes bytes_of(const Cell& bin) {
    SeriesBuffer* b = memory::buffer_of(cell_node(bin));
    int64_t total = int64_t(b->used());
    int64_t head = series::head_inside(bin, total);
    return Bytes{b->head_ptr() + head, total - head};
}

// The index clamped into the series (a negative index as 0), and the bytes
// in use from the series' first byte.
inline int64_t head_of(const Cell& bin) {
    return series::head_inside(bin, int64_t(memory::buffer_of(cell_node(bin))->used()));
}
inline int64_t size_of(const Cell& bin) { return int64_t(memory::buffer_of(cell_node(bin))->used()); }

// The characters of a string-family value from its index.
using Text = string::Span;
inline Text text_of(const Cell& str) { return string::span_from_head(str); }

// The UTF-8 bytes of a code point; a value above U+10FFFF, which has no
// UTF-8 form, gives those of U+FFFD. Answers the count (1-4).
inline int32_t utf8_or_replacement(uint32_t cp, uint8_t* out) {
    return unicode::encode_utf8_char(cp > 0x10FFFF ? 0xFFFD : cp, out);
}

}  // namespace kel::binary::detail
