// The compact writer: one value, its graph walked depth first, shared series
// written once and referred to by path afterwards.
#include <cmath>
#include <cstring>
#include <memory>

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/bitset.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/image.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/vector.h"
#include "runtime/io/kelbin/callables.h"
#include "runtime/io/kelbin/contexts.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/kelbin/references.h"
#include "runtime/io/kelbin/varint.h"
#include "runtime/io/kelbin/writer-rules.h"

namespace kel::kelbin {
namespace {

constexpr uint8_t NEW_LINE_PREFIX = 0xC0;
constexpr uint8_t REFERENCE_PREFIX = 0xC1;
constexpr uint8_t SMALL_INTEGER = 0x80;
constexpr uint8_t LOGIC_TRUE = 0xC2;
constexpr uint8_t LOGIC_FALSE = 0xC3;
constexpr uint8_t RECORD_FLAG = 0x40;
constexpr uint8_t SET_PREFIX = 0xC4;

class Writer {
public:
    std::vector<uint8_t> payload;
    SymbolNames names{1};

    void value(const Cell& v);
    // Values that leave the decoded parent again (a set record's word and
    // value) take no position.
    void drop_positions(int32_t n) { book_.counter -= n; }

private:
    PathBook book_;

    void type(uint32_t t, bool flag) { payload.push_back(uint8_t(t | (flag ? RECORD_FLAG : 0))); }
    void bytes(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        payload.insert(payload.end(), b, b + n);
    }
    void symbol(int32_t id) { put_varint(payload, names.index(id)); }
    void scalar(const Cell& v, uint32_t t);
    void real(const Cell& v, uint32_t t);
    void series(const Cell& v, uint32_t t);
    void contents(const Cell& v, uint32_t t);
    void callable(const Cell& v, uint32_t t);
    void op(const Cell& v);
    std::vector<int32_t> found_;  // the path of the last reference
    void path();
    void enter(NodeId node) {
        if (book_.depth() >= size_t(block::DEEP_COPY_LEVELS)) fire(ErrorId::internal_too_deep);
        book_.enter(node);
    }

    // Contexts and their owners.
    void bound_word(const Cell& v, uint32_t t);
    void owner(const Cell& v, uint32_t t);
    void object_contents(const Cell& v);
    void function_contents(const Cell& v);
    void context(NodeId ctx);
    void error(const Cell& v);
    // Collections without a head.
    void map(const Cell& v);
    void bitset(const Cell& v);
};

[[noreturn]] void refuse(const Cell& v) { fire(ErrorId::access_no_codec, {v}); }

void Writer::path() {
    put_varint(payload, uint32_t(found_.size()));
    for (int32_t position : found_) put_varint(payload, uint32_t(position));
}

// float!, time! and percent!: a whole number (a whole number of percent)
// in the small form, anything else as the full double, low word first.
void Writer::real(const Cell& v, uint32_t t) {
    double d = cell_double(v);
    bool small = false;
    int32_t n = 0;
    if (t == TYPE_PERCENT) {
        if (d >= -21474836.0 && d <= 21474836.0) {
            double scaled = d * 100.0;
            n = int32_t(scaled >= 0 ? scaled + 0.5 : scaled - 0.5);
            small = double(n) / 100.0 == d;
        }
    } else if (d >= -2147483000.0 && d <= 2147483000.0) {
        n = int32_t(d);
        small = double(n) == d;
    }
    if (small && n == 0 && std::signbit(d)) small = false;
    type(t, small);
    if (small)
        put_zigzag(payload, n);
    else {
        put_u32(payload, v.data2);
        put_u32(payload, v.data3);
    }
}

void Writer::scalar(const Cell& v, uint32_t t) {
    switch (t) {
    case TYPE_DATATYPE:
        type(t, false);
        put_varint(payload, datatype::type_of_value(v));
        break;
    case TYPE_UNSET:
    case TYPE_NONE:
        type(t, false);
        break;
    case TYPE_LOGIC:
        payload.push_back(v.data1 ? LOGIC_TRUE : LOGIC_FALSE);
        break;
    case TYPE_INTEGER: {
        int32_t n = cell_integer(v);
        if (n >= 0 && n <= 63)
            payload.push_back(uint8_t(SMALL_INTEGER + n));
        else {
            type(t, false);
            put_zigzag(payload, n);
        }
        break;
    }
    case TYPE_CHAR:
        type(t, false);
        put_varint(payload, v.data2);
        break;
    case TYPE_PAIR:
        type(t, false);
        put_zigzag(payload, int32_t(v.data2));
        put_zigzag(payload, int32_t(v.data3));
        break;
    case TYPE_POINT2D:
        type(t, false);
        put_u32(payload, v.data1);
        put_u32(payload, v.data2);
        break;
    case TYPE_POINT3D:
        type(t, false);
        put_u32(payload, v.data1);
        put_u32(payload, v.data2);
        put_u32(payload, v.data3);
        break;
    case TYPE_FLOAT:
    case TYPE_TIME:
    case TYPE_PERCENT:
        real(v, t);
        break;
    case TYPE_DATE: {
        bool timed = (v.data1 & date::TIME_FLAG) != 0;
        type(t, timed);
        put_u32(payload, v.data1);
        if (timed) {
            put_u32(payload, v.data2);
            put_u32(payload, v.data3);
        }
        break;
    }
    case TYPE_TYPESET: {
        uint8_t bits[12];
        std::memcpy(bits, &v.data1, sizeof bits);
        uint8_t n = 12;
        while (n > 0 && bits[n - 1] == 0) --n;
        type(t, false);
        payload.push_back(n);
        bytes(bits, n);
        break;
    }
    case TYPE_TUPLE: {
        uint32_t n = tuple::count(v);
        uint8_t b[12];
        std::memcpy(b, &v.data1, sizeof b);
        type(t, n != 3);
        if (n != 3) payload.push_back(uint8_t(n));
        bytes(b, n);
        break;
    }
    case TYPE_MONEY:
        type(t, (v.header & money::SIGN) != 0);
        bytes(&v.data1, 12);
        break;
    case TYPE_ISSUE:
        type(t, false);
        symbol(int32_t(v.data2));
        break;
    case TYPE_NATIVE:
    case TYPE_ACTION:
        callable(v, t);
        break;
    case TYPE_OP:
        op(v);
        break;
    default:
        refuse(v);
    }
}

// The table index, then the spec block; the pair takes one position.
void Writer::callable(const Cell& v, uint32_t t) {
    type(t, false);
    put_varint(payload, v.data1);
    value(spec_block_of(v));
    book_.counter--;
}

// The wrapped callable's record; the pair takes one position.
void Writer::op(const Cell& v) {
    Cell inner = op_inner(v);
    type(TYPE_OP, false);
    write_op_callee(*this, book_, inner);
}

void Writer::contents(const Cell& v, uint32_t t) {
    if (t == TYPE_IMAGE) {  // an image of no pixels has no record
        put_varint(payload, image::width(v));
        put_varint(payload, image::height(v));
        bytes(image_pixels(v), size_t(image::pixel_count(v)) * 4);
        return;
    }
    SeriesBuffer* b = memory::buffer_of(cell_node(v));
    switch (type_classes::of(t).series) {
    case type_classes::Series::cells: {
        uint64_t n = b->cell_count();
        put_varint(payload, uint32_t(n));
        for (uint64_t i = 0; i < n; ++i) {
            // The writer never allocates series memory: the buffer stays put.
            value(memory::buffer_of(cell_node(v))->cells()[i]);
        }
        break;
    }
    case type_classes::Series::code_points: {
        uint32_t unit = b->unit();
        uint64_t n = b->used() / unit;
        put_varint(payload, uint32_t(n << 2) | (unit == 4 ? 2u : unit == 2 ? 1u : 0u));
        bytes(b->head_ptr(), n * unit);
        break;
    }
    case type_classes::Series::bytes:
        put_varint(payload, uint32_t(b->used()));
        bytes(b->head_ptr(), b->used());
        break;
    case type_classes::Series::elements: {
        uint32_t unit = b->unit();
        payload.push_back(uint8_t(vector::element_type(v) << 2 |
                                  (unit == 8       ? 3u
                                       : unit == 4 ? 2u
                                       : unit == 2 ? 1u
                                                   : 0u)));
        put_varint(payload, uint32_t(b->used() / unit));
        bytes(b->head_ptr(), b->used());
        break;
    }
    default:
        refuse(v);
    }
}

void Writer::series(const Cell& v, uint32_t t) {
    NodeId node = cell_node(v);
    if (t == TYPE_IMAGE) image_pixels(v);  // refuses a released image before anything is written
    bool known = book_.find(node, found_);
    if (known) payload.push_back(REFERENCE_PREFIX);
    int32_t head = int32_t(cell_head(v));
    type(t, head != 0);
    if (head != 0) put_varint(payload, uint32_t(head));
    if (known) {
        path();
        return;
    }
    enter(node);
    contents(v, t);
    book_.leave();
}

// Contexts and their owners ---------------------------------------------------

// A word of an object's or a function's context carries the owner inline
// the first time that context is met, and refers to the first value met
// with it afterwards. Other owners (an error!, a port!, a routine!) cannot
// be rebuilt from a word: their words are written only as references, once
// the owner itself was written.
void Writer::bound_word(const Cell& v, uint32_t t) {
    NodeId ctx = v.data1;
    bool known = book_.find(ctx, found_);
    Cell owner = *context::owner_of(ctx);
    uint32_t ot = type_of(owner);
    if (!known && ot != TYPE_OBJECT && ot != TYPE_FUNCTION) refuse(v);
    if (known) payload.push_back(REFERENCE_PREFIX);
    type(t, true);
    symbol(int32_t(v.data2));
    put_zigzag(payload, int32_t(v.data3));
    if (known) return path();
    enter(ctx);
    if (ot == TYPE_OBJECT)
        object_contents(owner);
    else
        function_contents(owner);
    book_.leave();
}

// An object! or a function!: its context is written once.
void Writer::owner(const Cell& v, uint32_t t) {
    if (book_.find(v.data1, found_)) {
        payload.push_back(REFERENCE_PREFIX);
        type(t, false);
        return path();
    }
    enter(v.data1);
    if (t == TYPE_OBJECT)
        object_contents(v);
    else
        function_contents(v);
    book_.leave();
}

// From the type byte on: class id, the change handlers' field positions,
// the context with the field values.
void Writer::object_contents(const Cell& v) {
    bool events = v.data3 != 0;
    type(TYPE_OBJECT, events);
    put_zigzag(payload, int32_t(v.data2));
    if (events) {
        for (int k = 0; k < 2; ++k) put_zigzag(payload, int32_t(memory::buffer_of(v.data3)->cells()[k].data1));
    }
    context(v.data1);
}

// From the type byte on: the sizes, the context's words, then the spec at
// position 0 and the body at position 1.
void Writer::function_contents(const Cell& v) {
    Cell body = function_body(v);
    type(TYPE_FUNCTION, false);
    put_varint(payload, uint32_t(memory::buffer_of(v.data2)->cell_count()));
    put_varint(payload, uint32_t(block::buffer(body)->cell_count() - cell_head(body)));
    context(v.data1);
    write_spec_and_body(*this, book_.counter, v, body);
}

void Writer::context(NodeId ctx) {
    ContextShape shape = context_shape(ctx);
    type(TYPE_CONTEXT, false);
    payload.push_back(uint8_t(shape.kind | (shape.on_stack ? CONTEXT_ON_STACK : 0) | (shape.self ? CONTEXT_SELF : 0) |
                              (shape.values ? CONTEXT_VALUES : 0)));
    put_varint(payload, shape.count);
    for (uint32_t i = 0; i < shape.count; ++i) symbol(int32_t(context::word_at(ctx, int32_t(i))->data2));
    if (shape.values) {
        for (uint32_t i = 0; i < shape.count; ++i) value(context::values_of(*context::cell_of(ctx))[i]);
    }
}

// Always written whole (errors are values, not shared), its context
// recorded so that words of it refer to it: the code, then arg1 to stack
// at positions 0 to 5.
void Writer::error(const Cell& v) {
    int32_t code = error_code(v);
    enter(v.data1);
    type(TYPE_ERROR, false);
    put_varint(payload, uint32_t(code));
    for (uint32_t f = error::ARG1; f <= error::STACK; ++f) value(error::field(v, error::Field(f)));
    book_.leave();
}

// Collections without a head ------------------------------------------------

// The live pairs only: a removed key is not written.
void Writer::map(const Cell& v) {
    NodeId node = cell_node(v);
    bool known = book_.find(node, found_);
    if (known) payload.push_back(REFERENCE_PREFIX);
    type(TYPE_MAP, false);
    if (known) return path();
    enter(node);
    put_varint(payload, uint32_t(map::key_count(v)) * 2);
    for (uint64_t i = 0; i + 1 < memory::buffer_of(node)->cell_count(); i += 2) {
        if (map::removed(memory::buffer_of(node)->cells()[i + 1])) continue;
        value(memory::buffer_of(node)->cells()[i]);
        value(memory::buffer_of(node)->cells()[i + 1]);
    }
    book_.leave();
}

void Writer::bitset(const Cell& v) {
    NodeId node = cell_node(v);
    bool known = book_.find(node, found_);
    if (known) payload.push_back(REFERENCE_PREFIX);
    type(TYPE_BITSET, !known && bitset::complemented(v));
    if (known) return path();
    enter(node);
    SeriesBuffer* b = memory::buffer_of(node);
    put_varint(payload, uint32_t(b->used()));
    bytes(b->head_ptr(), b->used());
    book_.leave();
}

void Writer::value(const Cell& v) {
    uint32_t t = type_of(v);
    // Refuse before writing anything of the value.
    bool is_series = series_record(t);
    bool is_word = word_record(t);
    if (v.header & CELL_NEW_LINE) payload.push_back(NEW_LINE_PREFIX);
    if (is_word && !plain_word(v)) {
        bound_word(v, t);
    } else if (is_word) {
        type(t, false);
        symbol(int32_t(v.data2));
    } else if (is_series) {
        series(v, t);
    } else {
        switch (t) {
        case TYPE_OBJECT:
        case TYPE_FUNCTION:
            owner(v, t);
            break;
        case TYPE_ERROR:
            error(v);
            break;
        case TYPE_MAP:
            map(v);
            break;
        case TYPE_BITSET:
            bitset(v);
            break;
        case TYPE_HASH:
        case TYPE_VECTOR:
        case TYPE_IMAGE:
            series(v, t);
            break;
        default:
            scalar(v, t);
        }
    }
    book_.counter++;
}

// The whole file around the writer's records: the lead, the root count, the
// payload size, the symbol table, the records.
std::vector<uint8_t> assemble(const Writer& w, uint32_t roots) {
    std::vector<uint8_t> out;
    out.reserve(24 + 4 * w.names.offsets.size() + w.names.strings.size() + w.payload.size());
    // Byte by byte: GCC 12 misreads a range insert here as an overflow.
    for (char c : {'K', 'E', 'L', 'B', 'I', 'N'}) out.push_back(uint8_t(c));
    out.push_back(2);
    out.push_back(w.names.empty() ? FLAG_COMPACT : FLAG_COMPACT | FLAG_SYMBOLS);
    put_varint(out, roots);
    put_varint(out, uint32_t(w.payload.size()));
    if (!w.names.empty()) {
        put_varint(out, uint32_t(w.names.offsets.size()));
        put_varint(out, uint32_t(w.names.strings.size()));
        for (uint32_t o : w.names.offsets) put_u32(out, o);
        out.insert(out.end(), w.names.strings.begin(), w.names.strings.end());
    }
    out.insert(out.end(), w.payload.begin(), w.payload.end());
    return out;
}

}  // namespace

std::vector<uint8_t> encode_compact(const Cell& value) {
    Writer w;
    w.value(value);
    return assemble(w, 1);
}

struct ImageWriter::State : Writer {
    uint32_t roots = 0;
};

ImageWriter::ImageWriter() : state_(std::make_unique<State>()) {}
ImageWriter::~ImageWriter() = default;

void ImageWriter::set(const Cell& word, const Cell& value) {
    if (!word_record(type_of(word)) || !plain_word(word)) fire(ErrorId::access_no_codec, {word});
    state_->payload.push_back(SET_PREFIX);
    state_->value(word);
    state_->value(value);
    state_->drop_positions(2);
}

void ImageWriter::value(const Cell& value) {
    state_->value(value);
    state_->roots++;
}

std::vector<uint8_t> ImageWriter::finish() const { return assemble(*state_, state_->roots); }

}  // namespace kel::kelbin
