// The action slots of binary! and the helpers its modules share (not part of
// the module's interface; other modules reach the slots through the action
// dispatch). The helpers: read-only views of a binary's bytes and of a
// string's characters from their index, and the UTF-8 bytes of those
// characters. A view holds a raw buffer address: it is good only until the
// next call that may allocate or run Kel code.
//
// The action slots follow datatype.h: each writes its answer into `out`.
// The modifying ones (append, insert, change, trim) check every byte of the
// value before the target changes, take the bytes of a value that shares
// the target's buffer as they were before the change, and tell the owner of
// an owned binary before and after the change (series::Change: append and
// appended for append and insert, change and changed, trim once after).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/memory/memory.h"
#include "runtime/text/unicode.h"

namespace kel::binary {

// Action slots ---------------------------------------------------------------------

void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void and_t();
void or_t();
void xor_t();
void complement(Cell* out, Cell* value);
void append(Cell* out, Cell* series, Cell* value, const AppendOptions& options, bool append);
void change(Cell* out, Cell* series, Cell* value, const AppendOptions& options);
void trim(Cell* out, Cell* series, const TrimOptions& options);

}  // namespace kel::binary

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
