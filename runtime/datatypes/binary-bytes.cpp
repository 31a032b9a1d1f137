// Values as bytes: the one walk that measures a value's bytes and the one
// that writes them, which append, insert, change and to share, and the byte
// form of values that have none (formed to text) for change.
//
// Measuring checks everything writing could refuse, so callers measure
// first and change the target only once the value is known to be good.
#include <algorithm>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary-internal.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"

namespace kel::binary {

namespace {

using detail::Text;

bool is_block_family(uint32_t type) { return type == TYPE_BLOCK || type == TYPE_PAREN || type == TYPE_HASH; }

// The values whose bytes are taken as they are.
bool has_direct_bytes(uint32_t type) {
    return type == TYPE_CHAR || type == TYPE_INTEGER || type == TYPE_BINARY || type == TYPE_TUPLE ||
        series::is_string_type(type);
}

int64_t cut(int64_t n, int64_t part) { return part >= 0 && part < n ? part : n; }

// A tuple! keeps its byte count (3-12) in header bits 19-22 and its bytes in
// payload words 1-3, the first in the lowest byte of word 1.
int64_t tuple_length(const Cell& t) {
    uint32_t n = (t.header >> 19) & 0xF;
    return n < 3 ? 3 : n > 12 ? 12 : n;
}
const uint8_t* tuple_bytes(const Cell& t) { return reinterpret_cast<const uint8_t*>(&t.data1); }

// An integer! given as a byte: -128..255.
uint8_t byte_of(const Cell& value) {
    int32_t v = cell_integer(value);
    if (v < -128 || v > 255) fire(ErrorId::script_invalid_arg, {value});
    return uint8_t(uint32_t(v));
}

// The UTF-8 bytes of the characters, counted up to `limit` (none below 0).
int64_t utf8_length(const Text& t, int64_t limit) {
    int64_t total = 0;
    if (t.unit == 1) {
        for (int64_t i = 0; i < t.count && (limit < 0 || total < limit); ++i) total += 1 + (t.p[i] >> 7);
    } else {
        for (int64_t i = 0; i < t.count && (limit < 0 || total < limit); ++i) total += unicode::utf8_cp_length(t.at(i));
    }
    return cut(total, limit);
}

// Writes the UTF-8 bytes of the characters, at most `limit` (none below 0):
// the last character may be cut inside its sequence.
int64_t write_utf8(const Text& t, uint8_t* out, int64_t limit) {
    int64_t room = limit < 0 ? INT64_MAX : limit;
    int64_t written = 0;
    if (t.unit == 1) {
        // Latin-1: one byte, or two from U+0080 on.
        for (int64_t i = 0; i < t.count && written < room; ++i) {
            uint8_t c = t.p[i];
            if (c < 0x80) {
                out[written++] = c;
                continue;
            }
            out[written++] = uint8_t(0xC0 | (c >> 6));
            if (written < room) out[written++] = uint8_t(0x80 | (c & 0x3F));
        }
        return written;
    }
    for (int64_t i = 0; i < t.count && written < room; ++i) {
        uint32_t cp = t.at(i);
        if (cp < 0x80) {
            out[written++] = uint8_t(cp);
            continue;
        }
        int64_t left = room - written;
        written += unicode::encode_utf8_char(cp, out + written, left > 4 ? 4 : int32_t(left));
    }
    return written;
}

// The elements of a block from its index: the cell at i is read afresh
// (by value) through the node, as a walk may run past allocations.
struct Elements {
    NodeId node;
    int64_t head;
    int64_t count;
};
Elements elements_of(const Cell& block) {
    SeriesBuffer* b = memory::buffer_of(cell_node(block));
    int64_t n = int64_t(b->cell_count());
    int64_t head = series::head_inside(block, n);
    return Elements{cell_node(block), head, n - head};
}
Cell element(const Elements& e, int64_t i) { return memory::buffer_of(e.node)->cells()[e.head + i]; }

// Enters a block for a walk: a block that holds itself has no byte form.
void enter(NodeId node) {
    if (cycle_guard::find(node)) fire(ErrorId::internal_no_cycle);
}

// One walk for both: with dest null it measures, else it writes there.
int64_t walk(uint8_t* dest, const Cell& value, int64_t part, bool byte_part) {
    uint32_t type = type_of(value);
    switch (type) {
    case TYPE_CHAR: {
        uint32_t cp = value.data2;
        int64_t n = cut(unicode::utf8_cp_length(cp), part);
        if (dest) unicode::encode_utf8_char(cp, dest, int32_t(n));
        return n;
    }
    case TYPE_INTEGER: {
        uint8_t byte = byte_of(value);
        int64_t n = cut(1, part);
        if (dest && n > 0) *dest = byte;
        return n;
    }
    case TYPE_BINARY: {
        detail::Bytes b = detail::bytes_of(value);
        int64_t n = cut(b.n, part);
        if (dest && n > 0) std::memmove(dest, b.p, size_t(n));
        return n;
    }
    case TYPE_TUPLE: {
        int64_t n = cut(tuple_length(value), part);
        if (dest && n > 0) std::memcpy(dest, tuple_bytes(value), size_t(n));
        return n;
    }
    default:
        break;
    }
    if (series::is_string_type(type)) {
        Text t = detail::text_of(value);
        return dest ? write_utf8(t, dest, part) : utf8_length(t, part);
    }
    if (!is_block_family(type)) fire(ErrorId::script_bad_to_arg, {datatype::make(TYPE_BINARY), value});

    enter(cell_node(value));
    cycle_guard::Scope scope(cell_node(value));
    Elements e = elements_of(value);
    int64_t total = 0;
    if (!byte_part) {
        // The part counts elements, each taken whole.
        int64_t n = cut(e.count, part);
        for (int64_t i = 0; i < n; ++i) total += walk(dest ? dest + total : nullptr, element(e, i), -1, false);
        return total;
    }
    // One byte budget for the elements.
    int64_t budget = part >= 0 ? part : 16 * e.count;
    for (int64_t i = 0; i < e.count && budget > 0; ++i) {
        int64_t n = walk(dest ? dest + total : nullptr, element(e, i), budget, true);
        total += n;
        budget -= n;
    }
    return total;
}

// The value and everything in it has a byte form of its own.
bool needs_no_form(const Cell& value) {
    uint32_t type = type_of(value);
    if (has_direct_bytes(type)) return true;
    if (!is_block_family(type)) return false;
    enter(cell_node(value));
    cycle_guard::Scope scope(cell_node(value));
    Elements e = elements_of(value);
    for (int64_t i = 0; i < e.count; ++i)
        if (!needs_no_form(element(e, i))) return false;
    return true;
}

// Appends the value's bytes to the binary, forming what has no byte form.
void append_formed(const Cell& bin, const Cell& value_cell) {
    Cell value = value_cell;
    Rooted keep(value);
    uint32_t type = type_of(value);
    if (is_block_family(type)) {
        enter(cell_node(value));
        cycle_guard::Scope scope(cell_node(value));
        Elements e = elements_of(value);
        for (int64_t i = 0; i < e.count; ++i) append_formed(bin, element(e, i));
        return;
    }
    if (!has_direct_bytes(type)) value = actions::formed(value);
    int64_t n = walk(nullptr, value, -1, false);
    uint8_t* at = alloc_tail_bytes(buffer(bin), uint64_t(n));  // may move the value's bytes
    walk(at, value, -1, false);
}

}  // namespace

int64_t measure(const Cell& value, int64_t part, bool byte_part) { return walk(nullptr, value, part, byte_part); }

int64_t write(uint8_t* dest, const Cell& value, int64_t part, bool byte_part) {
    return walk(dest, value, part, byte_part);
}

std::vector<uint8_t> copy_out(const Cell& value) {
    std::vector<uint8_t> bytes(size_t(measure(value, -1, false)));
    if (!bytes.empty()) write(bytes.data(), value, -1, false);
    return bytes;
}

Cell byte_form(const Cell& value_cell) {
    Cell value = value_cell;
    if (needs_no_form(value)) return value;
    Rooted keep(value);
    if (!is_block_family(type_of(value))) return actions::formed(value);
    Cell bin = make_unset();
    Rooted keep_bin(bin);
    make_at(bin, 16);
    append_formed(bin, value);
    return bin;
}

bool shares(const Cell& value, NodeId node) {
    uint32_t type = type_of(value);
    if (type == TYPE_BINARY || series::is_string_type(type)) return cell_node(value) == node;
    if (!is_block_family(type) || cycle_guard::find(cell_node(value))) return false;
    cycle_guard::Scope scope(cell_node(value));
    Elements e = elements_of(value);
    for (int64_t i = 0; i < e.count; ++i)
        if (shares(element(e, i), node)) return true;
    return false;
}

}  // namespace kel::binary
