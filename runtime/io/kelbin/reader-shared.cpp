// The pieces both readers share.
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/image.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/vector.h"
#include "runtime/io/kelbin/callables.h"
#include "runtime/io/kelbin/reader.h"
#include "runtime/io/kelbin/references.h"
#include "runtime/memory/roots.h"

namespace kel::kelbin {

void RecordCursor::bad() const { fire(ErrorId::script_kb_invalid_record, {make_integer(int32_t(p_ - base_ + 1))}); }

void RecordCursor::symbol_table(uint32_t n, uint32_t size) {
    if (size >= 0x80000000u || uint64_t(n) * 4 + size > left()) bad();
    const uint8_t* offsets = take(size_t(n) * 4);
    const uint8_t* strings = take(size);
    if (size > 0 && strings[size - 1] != 0) bad();
    symbols_.set(offsets, n, strings, size);
}

void RecordCursor::begin_records(const Cell& parent, uint32_t payload) {
    if (payload > left()) bad();
    end_ = p_ + payload;
    root_ = parent;
    root_base_ = uint32_t(block::buffer(parent)->cell_count());
}

void RecordCursor::resolve(Cell& out) {
    if (uint64_t(path_[0]) + root_base_ > 0xFFFFFFFFu) bad();
    path_[0] += root_base_;
    if (!resolve_path(root_, path_, out)) bad();
}

void RecordCursor::append_reference(const Cell& parent, uint32_t header, uint32_t head, Cell c) const {
    uint32_t t = header & CELL_TYPE_MASK;
    // A block record may name the spec of a callable by the callable's path.
    uint32_t rt = type_of(c);
    if (t == TYPE_BLOCK && (rt == TYPE_NATIVE || rt == TYPE_ACTION || rt == TYPE_OP || rt == TYPE_FUNCTION))
        c = spec_block_of(c);
    if (!series_reference_fits(t, c, head)) bad();
    if (own_type_reference(t)) {
        // The referenced value's header (its flags) is kept.
        c.header = (c.header & ~CELL_NEW_LINE) | (header & CELL_NEW_LINE);
    } else {
        c.header = header;
        if (type_classes::holds_cells(t)) c.data3 = 0;
    }
    c.data1 = head;
    block::append_cell(parent, c);
}

void RecordCursor::referenced_series(const Cell& parent, uint32_t header, uint32_t head) {
    Cell c;
    read_reference(c);
    append_reference(parent, header, head, c);
}

Cell append_block(const Cell& parent, uint32_t header, uint32_t head, uint32_t n) {
    Cell holder = parent;
    Cell* made = block::make_in(&holder, int32_t(n));
    made->header = header;
    made->data1 = head;
    return *made;
}

void append_binary(const Cell& parent, uint32_t new_line, uint32_t head, const uint8_t* data, uint32_t n) {
    Cell* made = binary::load_in(data, n, &parent);
    made->header = TYPE_BINARY | new_line;
    made->data1 = head;
}

void refuse_unrecorded(uint32_t type) {
    switch (type) {
    case TYPE_ROUTINE:
    case TYPE_HANDLE:
    case TYPE_PORT:
    case TYPE_EVENT:
    case TYPE_TRIPLE:
        fire(ErrorId::access_no_codec, {datatype::make(type)});
    default:
        break;
    }
}

bool own_type_reference(uint32_t t) { return collection_record(t); }

bool series_reference_fits(uint32_t t, const Cell& c, uint32_t head) {
    using type_classes::Series;
    uint32_t rt = type_of(c);
    if (own_type_reference(t)) {
        if (rt != t) return false;
        switch (t) {
        case TYPE_HASH:
            return head <= memory::buffer_of(cell_node(c))->cell_count();
        case TYPE_VECTOR:
            return head <= vector::buffer(c)->used() / vector::width(c);
        case TYPE_IMAGE:
            return head <= uint64_t(image::pixel_count(c));
        default:
            return head == 0;
        }
    }
    Series kind = type_classes::of(t).series;
    bool fits = kind == Series::bytes ? rt == TYPE_BINARY : type_classes::of(rt).series == kind;
    if (!fits) return false;
    SeriesBuffer* b = memory::buffer_of(cell_node(c));
    uint32_t unit = kind == Series::cells ? sizeof(Cell) : b->unit();
    return head <= b->used() / unit;
}

bool units_ok(const uint8_t* data, uint32_t n, uint32_t unit) {
    if (unit != 4) return true;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t cp;
        std::memcpy(&cp, data + 4 * size_t(i), 4);
        if (cp > 0x10FFFF) return false;
    }
    return true;
}

void append_string(const Cell& parent, uint32_t header, uint32_t head, const uint8_t* data, uint32_t n, uint32_t unit) {
    Cell s{header & CELL_TYPE_MASK, 0, 0, 0};
    Rooted keep(s);
    string::make_at(s, int32_t(n), unit);
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    std::memcpy(b->head_ptr(), data, size_t(n) * unit);
    b->tail = b->offset + uint64_t(n) * unit;
    s.header = header;
    s.data1 = head;
    block::append_cell(parent, s);
}

}  // namespace kel::kelbin
