// The standard reader: word-sized records, with every check of the compact
// reader (bounds before allocation, reference classes, depth, scalars).
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/kelbin/reader.h"
#include "runtime/io/kelbin/scalars.h"
#include "runtime/io/kelbin/writer-rules.h"
#include "runtime/memory/roots.h"

namespace kel::kelbin {
namespace {

constexpr uint32_t REFERENCE_BIT = 0x80000;
constexpr uint32_t GLOBAL_BIT = 0x2000000;
constexpr uint32_t NEW_LINE_BIT = 0x80000000;

class StandardReader : RecordCursor {
public:
    using RecordCursor::RecordCursor;
    void file(uint8_t flags, const Cell& parent);

private:
    uint32_t word() { return u32(); }
    uint32_t count(uint64_t unit) {
        uint32_t n = word();
        if (n >= 0x80000000u || uint64_t(n) * unit > left()) bad();
        return n;
    }
    void reference(Cell& out) {
        if (word() != 255) bad();
        uint32_t n = word();
        if (n == 0 || n > MAX_PATH || uint64_t(n) * 4 > left()) bad();
        path_.resize(n);
        for (uint32_t i = 0; i < n; ++i) path_[i] = word();
        resolve(out);
    }
    void value(const Cell& parent);
    void series(uint32_t header, const Cell& parent);
};

void StandardReader::series(uint32_t header, const Cell& parent) {
    uint32_t t = header & 0xFF;
    uint32_t new_line = (header & NEW_LINE_BIT) ? CELL_NEW_LINE : 0;
    uint32_t head = word();
    if (head >= 0x80000000u) bad();
    if (header & REFERENCE_BIT) {
        Cell c;
        reference(c);
        append_reference(parent, t | new_line, head, c);
        return;
    }
    if (type_classes::holds_cells(t)) {
        uint32_t n = count(4);
        if (head > n) bad();
        Cell child = append_block(parent, t | new_line, head, n);
        for (uint32_t i = 0; i < n; ++i) value(child);
        return;
    }
    uint32_t unit = (header >> 8) & 0xFF;
    bool bytes = t == TYPE_BINARY;
    if (bytes ? unit != 1 : (unit != 1 && unit != 2 && unit != 4)) bad();
    uint32_t n = count(unit);
    if (head > n) bad();
    const uint8_t* data = p_;
    if (!bytes && !units_ok(data, n, unit)) bad();
    take(size_t(n) * unit);
    take((4 - (size_t(n) * unit) % 4) % 4);
    if (bytes)
        append_binary(parent, new_line, head, data, n);
    else
        append_string(parent, t | new_line, head, data, n, unit);
}

void StandardReader::value(const Cell& parent) {
    DepthLevel level(depth_);
    if (depth_ > block::DEEP_COPY_LEVELS) bad();
    uint32_t header;
    do header = word();
    while (header == 0 && p_ < end_);
    if (header == 0) return;  // filler at the end of the records
    uint32_t t = header & 0xFF;
    uint32_t new_line = (header & NEW_LINE_BIT) ? CELL_NEW_LINE : 0;
    if (t == 255) {
        p_ -= 4;
        Cell c;
        reference(c);
        c.header = (c.header & ~CELL_NEW_LINE) | new_line;
        block::append_cell(parent, c);
        return;
    }
    refuse_unrecorded(t);
    if (word_record(t)) {
        if (!(header & GLOBAL_BIT)) bad();  // words bound to objects and functions have no reader yet
        int32_t id = symbols_.get(word());
        if (id < 0) bad();
        word();  // the index in the global context: found again by name
        Cell w = context::add_global(id, true, true);
        w.header = t | new_line;
        block::append_cell(parent, w);
        return;
    }
    if (series_record(t)) return series(header, parent);
    if (header & REFERENCE_BIT) bad();
    Cell c{t | new_line, 0, 0, 0};
    switch (t) {
    case TYPE_UNSET:
    case TYPE_NONE:
        break;
    case TYPE_LOGIC:
        c.data1 = word() ? 1 : 0;
        break;
    case TYPE_DATATYPE:
        c.data1 = word();
        break;
    case TYPE_CHAR:
    case TYPE_INTEGER:
        c.data2 = word();
        break;
    case TYPE_PAIR:
        c.data2 = word();
        c.data3 = word();
        break;
    case TYPE_POINT2D:
        c.data1 = word();
        c.data2 = word();
        break;
    case TYPE_POINT3D:
    case TYPE_TYPESET:
        c.data1 = word();
        c.data2 = word();
        c.data3 = word();
        break;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME:
        c.data3 = word();
        c.data2 = word();
        break;
    case TYPE_DATE:
        c.data1 = word();
        c.data3 = word();
        c.data2 = word();
        break;
    case TYPE_TUPLE: {
        uint32_t n = (header >> 8) & 0xFF;
        if (n < 1 || n > tuple::MAX_BYTES) bad();
        c.header |= std::max(n, tuple::MIN_BYTES) << tuple::COUNT_SHIFT;
        c.data1 = word();
        c.data2 = word();
        c.data3 = word();
        break;
    }
    case TYPE_MONEY:
        if (header & 0x400000u) c.header |= money::SIGN;
        c.data1 = word();
        c.data2 = word();
        c.data3 = word();
        break;
    case TYPE_ISSUE: {
        int32_t id = symbols_.get(word());
        if (id < 0) bad();
        c = word::make(id);
        c.header = TYPE_ISSUE | new_line;
        break;
    }
    default:
        bad();
    }
    if (!scalar_ok(c)) bad();
    block::append_cell(parent, c);
}

void StandardReader::file(uint8_t flags, const Cell& parent) {
    word();
    uint32_t payload = word();
    if (flags & FLAG_SYMBOLS) {
        uint32_t n = count(4);
        // Names are padded with zero bytes: the area ends with a NUL.
        symbol_table(n, word());
    }
    if (payload >= 0x80000000u) bad();
    begin_records(parent, payload);
    while (p_ < end_) value(parent);
}

}  // namespace

void decode_standard(const uint8_t* base, const uint8_t* start, const uint8_t* end, uint8_t flags, const Cell& parent) {
    if (end - start < 8) fire(ErrorId::script_invalid_data);
    StandardReader reader(base, start, end);
    reader.file(flags, parent);
}

}  // namespace kel::kelbin
