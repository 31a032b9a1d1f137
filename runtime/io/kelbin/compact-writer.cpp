// The compact writer: one value, its graph walked depth first, shared series
// written once and referred to by path afterwards.
#include <cmath>
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/core/type-classes.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/tuple.h"
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

class Writer {
public:
    std::vector<uint8_t> payload;
    SymbolNames names{1};

    void value(const Cell& v);

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
    std::vector<int32_t> found_;  // the path of the last reference
    void path();
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
    default:
        refuse(v);
    }
}

void Writer::contents(const Cell& v, uint32_t t) {
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
    default:
        refuse(v);
    }
}

void Writer::series(const Cell& v, uint32_t t) {
    NodeId node = cell_node(v);
    bool known = book_.find(node, found_);
    if (known) payload.push_back(REFERENCE_PREFIX);
    int32_t head = int32_t(cell_head(v));
    type(t, head != 0);
    if (head != 0) put_varint(payload, uint32_t(head));
    if (known) {
        path();
        return;
    }
    if (book_.depth() >= size_t(block::DEEP_COPY_LEVELS)) fire(ErrorId::internal_too_deep);
    book_.enter(node);
    contents(v, t);
    book_.leave();
}

void Writer::value(const Cell& v) {
    uint32_t t = type_of(v);
    // Refuse before writing anything of the value.
    bool is_series = series_record(t);
    bool is_word = word_record(t);
    if (is_word && !plain_word(v)) refuse(v);
    if (v.header & CELL_NEW_LINE) payload.push_back(NEW_LINE_PREFIX);
    if (is_word) {
        type(t, false);
        symbol(int32_t(v.data2));
    } else if (is_series) {
        series(v, t);
    } else {
        scalar(v, t);
    }
    book_.counter++;
}

}  // namespace

std::vector<uint8_t> encode_compact(const Cell& value) {
    Writer w;
    w.value(value);
    std::vector<uint8_t> out;
    out.reserve(24 + 4 * w.names.offsets.size() + w.names.strings.size() + w.payload.size());
    // Byte by byte: GCC 12 misreads a range insert here as an overflow.
    for (char c : {'K', 'E', 'L', 'B', 'I', 'N'}) out.push_back(uint8_t(c));
    out.push_back(2);
    out.push_back(w.names.empty() ? FLAG_COMPACT : FLAG_COMPACT | FLAG_SYMBOLS);
    put_varint(out, 1);
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

}  // namespace kel::kelbin
