// The standard writer: records of 32-bit little-endian words, the layout
// the compact form condenses. Sharing, refusals and word rules are the
// compact writer's.
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/bitset.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/image.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/vector.h"
#include "runtime/io/kelbin/callables.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/kelbin/references.h"
#include "runtime/io/kelbin/varint.h"
#include "runtime/io/kelbin/writer-rules.h"

namespace kel::kelbin {
namespace {

constexpr uint32_t REFERENCE_BIT = 0x80000;
constexpr uint32_t COMPLEMENTED_BIT = 0x800000;
constexpr uint32_t EVENTS_BIT = 0x1000000;
constexpr uint32_t GLOBAL_BIT = 0x2000000;

class StandardWriter {
public:
    std::vector<uint8_t> payload;
    SymbolNames names{8};  // names padded to 8 bytes

    void value(const Cell& v);

private:
    PathBook book_;
    std::vector<int32_t> found_;

    void word(uint32_t w) { put_u32(payload, w); }
    void pad(size_t to) {
        while (payload.size() % to) payload.push_back(0);
    }
    void symbol(int32_t id) { word(names.index(id)); }
    void series(const Cell& v, uint32_t t, uint32_t header);
    void enter(NodeId node) {
        if (book_.depth() >= size_t(block::DEEP_COPY_LEVELS)) fire(ErrorId::internal_too_deep);
        book_.enter(node);
    }
    // The header with the reference bit when node was written before.
    bool known(NodeId node, uint32_t& header) {
        bool k = book_.find(node, found_);
        if (k) header |= REFERENCE_BIT;
        return k;
    }
    void reference() {
        word(255);
        word(uint32_t(found_.size()));
        for (int32_t p : found_) word(uint32_t(p));
    }

    // Contexts and their owners.
    void bound_word(const Cell& v, uint32_t header);
    void owner(const Cell& v, uint32_t t, uint32_t header);
    void object_contents(const Cell& v, uint32_t header);
    void function_contents(const Cell& v, uint32_t header);
    void context(NodeId ctx);
    void error(const Cell& v, uint32_t header);
    // Collections without a head.
    void map(const Cell& v, uint32_t header);
    void bitset(const Cell& v, uint32_t header);
};

void StandardWriter::series(const Cell& v, uint32_t t, uint32_t header) {
    NodeId node = cell_node(v);
    if (t == TYPE_IMAGE) image_pixels(v);  // refuses a released image before anything is written
    bool k = known(node, header);
    using type_classes::Series;
    Series kind = type_classes::of(t).series;
    uint32_t unit = kind == Series::code_points || kind == Series::bytes || kind == Series::elements
        ? memory::buffer_of(node)->unit()
        : 0;
    word(header | (unit << 8));
    word(cell_head(v));
    if (k) return reference();
    enter(node);
    if (kind == Series::cells) {
        uint64_t n = memory::buffer_of(node)->cell_count();
        word(uint32_t(n));
        for (uint64_t i = 0; i < n; ++i) value(memory::buffer_of(node)->cells()[i]);
    } else if (kind == Series::pixels) {
        word(image::width(v) | image::height(v) << 16);
        const uint8_t* pixels = image_pixels(v);
        payload.insert(payload.end(), pixels, pixels + size_t(image::pixel_count(v)) * 4);
    } else {
        SeriesBuffer* b = memory::buffer_of(node);
        word(uint32_t(b->used() / unit));
        if (kind == Series::elements) word(vector::element_type(v));
        payload.insert(payload.end(), b->head_ptr(), b->head_ptr() + b->used());
        pad(4);
    }
    book_.leave();
}

// Contexts and their owners: as in the compact form, a word of an object's
// or a function's context carries the owner's whole record the first time
// that context is met; other owners' words are only references.
void StandardWriter::bound_word(const Cell& v, uint32_t header) {
    NodeId ctx = v.data1;
    Cell owner = *context::owner_of(ctx);
    uint32_t ot = type_of(owner);
    bool k = known(ctx, header);
    if (!k && ot != TYPE_OBJECT && ot != TYPE_FUNCTION) fire(ErrorId::access_no_codec, {v});
    word(header);
    symbol(int32_t(v.data2));
    word(v.data3);
    if (k) return reference();
    enter(ctx);
    if (ot == TYPE_OBJECT)
        object_contents(owner, TYPE_OBJECT);
    else
        function_contents(owner, TYPE_FUNCTION);
    book_.leave();
}

// An object! or a function!: its context is written once.
void StandardWriter::owner(const Cell& v, uint32_t t, uint32_t header) {
    if (known(v.data1, header)) {
        word(header);
        return reference();
    }
    enter(v.data1);
    if (t == TYPE_OBJECT)
        object_contents(v, header);
    else
        function_contents(v, header);
    book_.leave();
}

void StandardWriter::object_contents(const Cell& v, uint32_t header) {
    bool events = v.data3 != 0;
    word(header | (events ? EVENTS_BIT : 0));
    word(v.data2);
    if (events) {
        for (int k = 0; k < 2; ++k) word(memory::buffer_of(v.data3)->cells()[k].data1);
    }
    context(v.data1);
}

void StandardWriter::function_contents(const Cell& v, uint32_t header) {
    Cell body = function_body(v);
    word(header);
    word(uint32_t(memory::buffer_of(v.data2)->cell_count()));
    word(uint32_t(block::buffer(body)->cell_count() - cell_head(body)));
    context(v.data1);
    write_spec_and_body(*this, book_.counter, v, body);
}

void StandardWriter::context(NodeId ctx) {
    ContextShape shape = context_shape(ctx);
    word(TYPE_CONTEXT | shape.kind << 26 | uint32_t(shape.self) << 28 | uint32_t(shape.on_stack) << 29 |
         uint32_t(shape.values) << 30);
    word(shape.count);
    for (uint32_t i = 0; i < shape.count; ++i) symbol(int32_t(context::word_at(ctx, int32_t(i))->data2));
    if (shape.values) {
        for (uint32_t i = 0; i < shape.count; ++i) value(context::values_of(*context::cell_of(ctx))[i]);
    }
}

void StandardWriter::error(const Cell& v, uint32_t header) {
    int32_t code = error_code(v);
    enter(v.data1);
    word(header);
    word(uint32_t(code));
    for (uint32_t f = error::ARG1; f <= error::STACK; ++f) value(error::field(v, error::Field(f)));
    book_.leave();
}

void StandardWriter::map(const Cell& v, uint32_t header) {
    NodeId node = cell_node(v);
    bool k = known(node, header);
    word(header);
    if (k) return reference();
    enter(node);
    word(uint32_t(map::key_count(v)) * 2);
    for (uint64_t i = 0; i + 1 < memory::buffer_of(node)->cell_count(); i += 2) {
        if (map::removed(memory::buffer_of(node)->cells()[i + 1])) continue;
        value(memory::buffer_of(node)->cells()[i]);
        value(memory::buffer_of(node)->cells()[i + 1]);
    }
    book_.leave();
}

void StandardWriter::bitset(const Cell& v, uint32_t header) {
    NodeId node = cell_node(v);
    bool k = known(node, header);
    word(header | (!k && bitset::complemented(v) ? COMPLEMENTED_BIT : 0));
    if (k) return reference();
    enter(node);
    SeriesBuffer* b = memory::buffer_of(node);
    word(uint32_t(b->used()));
    payload.insert(payload.end(), b->head_ptr(), b->head_ptr() + b->used());
    pad(4);
    book_.leave();
}

void StandardWriter::value(const Cell& v) {
    uint32_t t = type_of(v);
    uint32_t header = t | ((v.header & CELL_NEW_LINE) ? 0x80000000u : 0);
    if (word_record(t) && !plain_word(v)) {
        bound_word(v, header);
    } else if (word_record(t)) {
        word(header | GLOBAL_BIT);
        symbol(int32_t(v.data2));
        word(v.data3);
    } else if (series_record(t)) {
        series(v, t, header);
    } else {
        switch (t) {
        case TYPE_OBJECT:
        case TYPE_FUNCTION:
            owner(v, t, header);
            break;
        case TYPE_ERROR:
            error(v, header);
            break;
        case TYPE_MAP:
            map(v, header);
            break;
        case TYPE_BITSET:
            bitset(v, header);
            break;
        case TYPE_HASH:
        case TYPE_VECTOR:
        case TYPE_IMAGE:
            series(v, t, header);
            break;
        case TYPE_UNSET:
        case TYPE_NONE:
            word(header);
            break;
        case TYPE_LOGIC:
        case TYPE_DATATYPE:
            word(header);
            word(v.data1);
            break;
        case TYPE_CHAR:
        case TYPE_INTEGER:
            word(header);
            word(v.data2);
            break;
        case TYPE_PAIR:
            word(header);
            word(v.data2);
            word(v.data3);
            break;
        case TYPE_POINT2D:
            word(header);
            word(v.data1);
            word(v.data2);
            break;
        case TYPE_POINT3D:
        case TYPE_TYPESET:
            word(header);
            word(v.data1);
            word(v.data2);
            word(v.data3);
            break;
        case TYPE_FLOAT:
        case TYPE_PERCENT:
        case TYPE_TIME:
            // The record starts at a multiple of 8 (zero filler words).
            pad(8);
            word(header);
            word(v.data3);
            word(v.data2);
            break;
        case TYPE_DATE:
            word(header);
            word(v.data1);
            word(v.data3);
            word(v.data2);
            break;
        case TYPE_TUPLE:
            word(header | (tuple::count(v) << 8));
            word(v.data1);
            word(v.data2);
            word(v.data3);
            break;
        case TYPE_MONEY:
            word(header | ((v.header & money::SIGN) ? 0x400000u : 0));
            word(v.data1);
            word(v.data2);
            word(v.data3);
            break;
        case TYPE_ISSUE:
            word(header);
            symbol(int32_t(v.data2));
            break;
        case TYPE_NATIVE:
        case TYPE_ACTION:
            // The table index, then the spec block; the pair takes one position.
            word(header);
            word(v.data1);
            value(spec_block_of(v));
            book_.counter--;
            break;
        case TYPE_OP: {
            // The wrapped type in bits 16-23, then the wrapped callable's record.
            Cell inner = op_inner(v);
            word(header | (type_of(inner) << native::OP_WRAPPED_SHIFT));
            write_op_callee(*this, book_, inner);
            break;
        }
        default:
            fire(ErrorId::access_no_codec, {v});
        }
    }
    book_.counter++;
}

}  // namespace

std::vector<uint8_t> encode_standard(const Cell& value) {
    StandardWriter w;
    w.value(value);
    bool symbols = !w.names.empty();
    std::vector<uint8_t> out = {'K', 'E', 'L', 'B', 'I', 'N', 2, uint8_t(symbols ? FLAG_SYMBOLS : 0)};
    put_u32(out, 1);
    put_u32(out, uint32_t(w.payload.size()));
    if (symbols) {
        put_u32(out, uint32_t(w.names.offsets.size()));
        put_u32(out, uint32_t(w.names.strings.size()));
        for (uint32_t o : w.names.offsets) put_u32(out, o);
        out.insert(out.end(), w.names.strings.begin(), w.names.strings.end());
    }
    out.insert(out.end(), w.payload.begin(), w.payload.end());
    return out;
}

}  // namespace kel::kelbin
