// string!: registration, make and to (from text, binary!, refinement! and
// the formed text of any other value).
#include <cmath>
#include <cstring>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string-internal.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"

namespace kel::string {

namespace {

// A new empty string of the given type with room for capacity one-byte units.
Cell new_text(uint32_t type, int32_t capacity) {
    Cell c = make_unset();
    ks_make_at(c, capacity);
    set_type(c, type);
    return c;
}

// Appends the UTF-8 bytes as code points.
void append_utf8(const Cell& target, const uint8_t* p, const uint8_t* end) {
    while (p < end) {
        int32_t cp;
        p = unicode::fast_decode_utf8_char(p, end, cp);
        SeriesBuffer* b = buffer(target);
        append_char(b, cp < 0 ? 0xFFFD : uint32_t(cp));
    }
}

// The copy of a string-like value from its head, in its own unit.
Cell copy_text(const Cell& spec, uint32_t type) {
    Cell src = spec;
    Rooted keep(src);
    int64_t count = span_from_head(src).count;
    uint32_t unit = buffer(src)->unit();
    Cell c = make_unset();
    make_at(c, int32_t(count), unit);
    Span s = span_from_head(src);
    SeriesBuffer* b = buffer(c);
    std::memcpy(b->tail_ptr(), s.p, size_t(count * unit));
    b->tail += uint64_t(count * unit);
    set_type(c, type);
    return c;
}

// A binary!'s bytes from its head decoded as UTF-8; an incomplete sequence at
// the end is access/invalid-utf8 with those bytes.
Cell text_of_binary(const Cell& spec, uint32_t type) {
    Cell src = spec;
    Rooted keep(src);
    SeriesBuffer* b = buffer(src);
    int64_t head = series::head_inside(src, int64_t(b->used()));
    int64_t n = int64_t(b->used()) - head;
    int32_t unconsumed = 0;
    NodeId node = unicode::load_utf8(cell_node(src), b->offset + uint64_t(head), int32_t(n), 0, &unconsumed, false);
    Cell c{type, 0, node, 0};
    if (unconsumed > 0) {
        Rooted keep_text(c);
        NodeId rest = memory::alloc_bytes(uint64_t(unconsumed));
        SeriesBuffer* from = buffer(src);
        SeriesBuffer* to = memory::buffer_of(rest);
        std::memcpy(to->tail_ptr(), from->head_ptr() + head + (n - unconsumed), size_t(unconsumed));
        to->tail += uint64_t(unconsumed);
        fire(ErrorId::access_invalid_utf8, {Cell{TYPE_BINARY, 0, rest, 0}});
    }
    return c;
}

}  // namespace

Services& services() {
    static Services s;
    return s;
}

void to(Cell* out, Cell*, Cell* spec_cell, uint32_t type) {
    Cell spec = *spec_cell;
    Rooted keep(spec);
    uint32_t from = type_of(spec);
    Cell result;
    if (series::is_string_type(from)) {
        result = copy_text(spec, type);
    } else if (from == TYPE_BINARY) {
        result = text_of_binary(spec, type);
    } else if (from == TYPE_REFINEMENT) {
        result = new_text(type, 16);
        Rooted keep_result(result);
        if (type != TYPE_STRING) append_char(buffer(result), '/');
        uint32_t n = 0;
        const uint8_t* p = symbol::spelling(int32_t(spec.data2), &n);
        // The spelling lives in a series: decode it from a copy.
        std::string bytes(reinterpret_cast<const char*>(p), n);
        append_utf8(result, reinterpret_cast<const uint8_t*>(bytes.data()),
                    reinterpret_cast<const uint8_t*>(bytes.data()) + bytes.size());
    } else if (from == TYPE_NONE) {
        fire(ErrorId::script_bad_to_arg, {datatype::make(type), spec});
    } else {
        result = new_text(TYPE_STRING, 16);
        Rooted keep_result(result);
        if (series::is_block_type(from)) {
            Cell local = result;
            AppendOptions plain;
            append_insert(&local, &local, &spec, plain, true);
        } else {
            form_value(spec, result, false, INT32_MAX);
        }
        set_type(result, type);
    }
    *out = result;
}

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type) {
    uint32_t from = type_of(*spec);
    if (from == TYPE_INTEGER || from == TYPE_FLOAT) {
        int64_t count;
        if (from == TYPE_INTEGER) {
            count = cell_integer(*spec);
        } else {
            double d = cell_double(*spec);
            // Checked: a NaN or a float beyond the integers is out of range.
            if (!(d > -2147483649.0 && d < 2147483648.0)) fire(ErrorId::script_out_of_range, {*spec});
            count = int64_t(std::trunc(d));
        }
        if (count < 0) fire(ErrorId::script_out_of_range, {*spec});
        Cell c = make_unset();
        NodeId node = memory::alloc_bytes(uint64_t(count));
        c = Cell{type, 0, node, 0};
        *out = c;
        return;
    }
    if (type == TYPE_BINARY) {
        if (from == TYPE_MONEY) fire_bad_make_arg(TYPE_BINARY, *spec);
        if (!services().binary_to) fire(ErrorId::internal_not_done);
        services().binary_to(out, proto, spec, type);
        return;
    }
    to(out, proto, spec, type);
}

void init() {
    datatype::Record r(TYPE_STRING, TYPE_SERIES, "string!");
    r.own<ACTION_MAKE>(make)
        .own<ACTION_TO>(to)
        .own<ACTION_FORM>(form)
        .own<ACTION_MOLD>(mold)
        .own<ACTION_EVAL_PATH>(eval_path)
        .own<ACTION_COMPARE>(compare)
        .own<ACTION_APPEND>(append_insert)
        .own<ACTION_CHANGE>(change)
        .own<ACTION_FIND>(find)
        .own<ACTION_INSERT>(append_insert)
        .own<ACTION_SELECT>(select)
        .own<ACTION_SORT>(sort)
        .own<ACTION_SWAP>(swap)
        .own<ACTION_TAKE>(take)
        .own<ACTION_TRIM>(trim)
        .inherit_all<ACTION_RANDOM, ACTION_REFLECT, ACTION_AT, ACTION_BACK, ACTION_CLEAR, ACTION_COPY, ACTION_HEAD,
                     ACTION_HEAD_Q, ACTION_INDEX_Q, ACTION_LENGTH_Q, ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE,
                     ACTION_REMOVE, ACTION_REVERSE, ACTION_SKIP, ACTION_TAIL, ACTION_TAIL_Q, ACTION_MODIFY>();
    datatype::register_type(r);
}

}  // namespace kel::string
