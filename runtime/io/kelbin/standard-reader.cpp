// The standard reader: word-sized records, with every check of the compact
// reader (bounds before allocation, reference classes, depth, scalars).
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/kelbin/reader.h"
#include "runtime/io/kelbin/references.h"
#include "runtime/io/kelbin/scalars.h"
#include "runtime/io/kelbin/symbol-table.h"
#include "runtime/io/kelbin/writer-rules.h"
#include "runtime/memory/roots.h"

namespace kel::kelbin {
namespace {

constexpr uint32_t REFERENCE_BIT = 0x80000;
constexpr uint32_t GLOBAL_BIT = 0x2000000;
constexpr uint32_t NEW_LINE_BIT = 0x80000000;

class StandardReader {
public:
    StandardReader(const uint8_t* base, const uint8_t* start, const uint8_t* end) : base_(base), p_(start), end_(end) {}
    void file(uint8_t flags, const Cell& parent);

private:
    const uint8_t* base_;
    const uint8_t* p_;
    const uint8_t* end_;
    SymbolTable symbols_;
    Cell root_{};
    uint32_t root_base_ = 0;
    std::vector<uint32_t> path_;
    int32_t depth_ = 0;

    [[noreturn]] void bad() const { fire(ErrorId::script_kb_invalid_record, {make_integer(int32_t(p_ - base_ + 1))}); }
    size_t left() const { return size_t(end_ - p_); }
    uint32_t word() {
        if (left() < 4) bad();
        uint32_t v = uint32_t(p_[0]) | uint32_t(p_[1]) << 8 | uint32_t(p_[2]) << 16 | uint32_t(p_[3]) << 24;
        p_ += 4;
        return v;
    }
    uint32_t count(uint64_t unit) {
        uint32_t n = word();
        if (n >= 0x80000000u || uint64_t(n) * unit > left()) bad();
        return n;
    }
    const uint8_t* take(size_t n) {
        if (n > left()) bad();
        const uint8_t* at = p_;
        p_ += n;
        return at;
    }
    void reference(Cell& out) {
        if (word() != 255) bad();
        uint32_t n = word();
        if (n == 0 || n > 65536 || uint64_t(n) * 4 > left()) bad();
        path_.resize(n);
        for (uint32_t i = 0; i < n; ++i) path_[i] = word();
        if (uint64_t(path_[0]) + root_base_ > 0xFFFFFFFFu) bad();
        path_[0] += root_base_;
        if (!resolve_path(root_, path_, out)) bad();
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
        if (!series_reference_fits(t, c, head)) bad();
        c.header = t | new_line;
        c.data1 = head;
        if (type_classes::holds_cells(t)) c.data3 = 0;
        block::append_cell(parent, c);
        return;
    }
    if (type_classes::holds_cells(t)) {
        uint32_t n = count(4);
        if (head > n) bad();
        Cell holder = parent;
        Cell* made = block::make_in(&holder, int32_t(n));
        made->header = t | new_line;
        made->data1 = head;
        Cell child = *made;
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
    if (bytes) {
        Cell* made = binary::load_in(data, n, &parent);
        made->header = TYPE_BINARY | new_line;
        made->data1 = head;
        return;
    }
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
        if (n < 1 || n > 12) bad();
        c.header |= std::max(n, 3u) << 19;
        c.data1 = word();
        c.data2 = word();
        c.data3 = word();
        break;
    }
    case TYPE_MONEY:
        if (header & 0x400000u) c.header |= 0x4000;  // the cell's sign bit
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
        uint32_t size = word();
        if (size >= 0x80000000u || uint64_t(n) * 4 + size > left()) bad();
        const uint8_t* offsets = take(size_t(n) * 4);
        const uint8_t* strings = take(size);
        // Names are padded with zero bytes: the area ends with a NUL.
        if (size > 0 && strings[size - 1] != 0) bad();
        symbols_.set(offsets, n, strings, size);
    }
    if (payload >= 0x80000000u || payload > left()) bad();
    end_ = p_ + payload;
    root_ = parent;
    root_base_ = uint32_t(block::buffer(parent)->cell_count());
    while (p_ < end_) value(parent);
}

}  // namespace

void decode_standard(const uint8_t* base, const uint8_t* start, const uint8_t* end, uint8_t flags, const Cell& parent) {
    if (end - start < 8) fire(ErrorId::script_invalid_data);
    StandardReader reader(base, start, end);
    reader.file(flags, parent);
}

}  // namespace kel::kelbin
