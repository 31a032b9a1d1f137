// The standard writer: records of 32-bit little-endian words, the layout
// the compact form condenses. Sharing, refusals and word rules are the
// compact writer's.
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
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
};

void StandardWriter::series(const Cell& v, uint32_t t, uint32_t header) {
    NodeId node = cell_node(v);
    bool known = book_.find(node, found_);
    SeriesBuffer* b = memory::buffer_of(node);
    bool cells = type_classes::holds_cells(t);
    uint32_t unit = cells ? 0 : b->unit();
    word(header | (unit << 8) | (known ? 0x80000u : 0));
    word(cell_head(v));
    if (known) {
        word(255);
        word(uint32_t(found_.size()));
        for (int32_t p : found_) word(uint32_t(p));
        return;
    }
    if (book_.depth() >= size_t(block::DEEP_COPY_LEVELS)) fire(ErrorId::internal_too_deep);
    book_.enter(node);
    if (cells) {
        uint64_t n = b->cell_count();
        word(uint32_t(n));
        for (uint64_t i = 0; i < n; ++i) value(memory::buffer_of(node)->cells()[i]);
    } else {
        uint64_t n = b->used() / unit;
        word(uint32_t(n));
        payload.insert(payload.end(), b->head_ptr(), b->head_ptr() + n * unit);
        pad(4);
    }
    book_.leave();
}

void StandardWriter::value(const Cell& v) {
    uint32_t t = type_of(v);
    uint32_t header = t | ((v.header & CELL_NEW_LINE) ? 0x80000000u : 0);
    if (word_record(t)) {
        if (!plain_word(v)) fire(ErrorId::access_no_codec, {v});
        word(header | 0x2000000u);
        symbol(int32_t(v.data2));
        word(v.data3);
    } else if (series_record(t)) {
        series(v, t, header);
    } else {
        switch (t) {
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
