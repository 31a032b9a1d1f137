// The standard reader: word-sized records, with every check of the compact
// reader (bounds before allocation, reference classes, depth, scalars).
#include <cstring>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/word.h"
#include "runtime/io/kelbin/callables.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/kelbin/reader.h"
#include "runtime/io/kelbin/scalars.h"
#include "runtime/io/kelbin/writer-rules.h"
#include "runtime/memory/roots.h"

namespace kel::kelbin {
namespace {

constexpr uint32_t REFERENCE_BIT = 0x80000;
constexpr uint32_t COMPLEMENTED_BIT = 0x800000;
constexpr uint32_t EVENTS_BIT = 0x1000000;
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
    void word_record(uint32_t header, const Cell& parent);
    void collection(uint32_t header, const Cell& parent);
    int32_t symbol() {
        int32_t id = symbols_.get(word());
        if (id < 0) bad();
        return id;
    }

    uint32_t read_count(uint64_t unit) override { return count(unit); }
    int32_t read_signed() override { return int32_t(word()); }
    int32_t read_symbol() override { return symbol(); }
    void read_value(const Cell& parent) override { value(parent); }
    void read_reference(Cell& out) override { reference(out); }
    // A context record: its header word (bits 26-27 kind, 28 self, 29 values
    // on the stack, 30 values follow), then the word count.
    uint32_t read_context_head(uint32_t& flags) override {
        uint32_t h = word();
        if ((h & 0xFF) != TYPE_CONTEXT) bad();
        // Header bits 26-27 kind, 28 self, 29 values on the stack, 30 values.
        flags = (h >> 26 & CONTEXT_KIND) | (h >> 29 & 1 ? CONTEXT_ON_STACK : 0) | (h >> 28 & 1 ? CONTEXT_SELF : 0) |
            (h >> 30 & 1 ? CONTEXT_VALUES : 0);
        return count(4);
    }
    uint32_t read_owner_head(bool& events) override {
        uint32_t h = word();
        events = (h & EVENTS_BIT) != 0;
        return (h & (REFERENCE_BIT | NEW_LINE_BIT)) ? 0 : h & 0xFF;
    }
    void callable(uint32_t header, uint32_t new_line, const Cell& parent);
};

// Global words bind by name in the global context (their recorded index is
// not used); a bound word carries its context's owner or refers to a value
// sharing that context.
void StandardReader::word_record(uint32_t header, const Cell& parent) {
    uint32_t t = header & 0xFF;
    uint32_t new_line = (header & NEW_LINE_BIT) ? CELL_NEW_LINE : 0;
    uint32_t entry = word();
    int32_t id = symbols_.get(entry);
    if (id < 0) bad();
    int32_t index = int32_t(word());
    if (header & GLOBAL_BIT) {
        Cell w;
        (void)symbols_.global_word(entry, &w);
        w.header = t | new_line;
        block::append_cell(parent, w);
    } else if (header & REFERENCE_BIT) {
        bound_word_reference(t | new_line, id, index, parent);
    } else {
        bound_word_owner(t | new_line, id, index, parent);
    }
}

// map! and bitset! have no head; hash!, vector! and image! have one.
void StandardReader::collection(uint32_t header, const Cell& parent) {
    uint32_t t = header & 0xFF;
    uint32_t new_line = (header & NEW_LINE_BIT) ? CELL_NEW_LINE : 0;
    uint32_t head = 0;
    if (t != TYPE_MAP && t != TYPE_BITSET) {
        head = word();
        if (head >= 0x80000000u) bad();
    }
    if (shared_collection(t, head, (header & REFERENCE_BIT) != 0, new_line, parent)) return;
    switch (t) {
    case TYPE_VECTOR: {
        uint32_t width = (header >> 8) & 0xFF;
        if (width != 1 && width != 2 && width != 4 && width != 8) bad();
        uint32_t n = count(width);
        uint32_t type = word();
        const uint8_t* data = take(size_t(n) * width);
        take((4 - (size_t(n) * width) % 4) % 4);
        return append_vector(parent, new_line, head, type, width, data, n);
    }
    case TYPE_BITSET: {
        uint32_t n = count(1);
        const uint8_t* data = take(n);
        take((4 - n % 4) % 4);
        return append_bitset(parent, new_line, (header & COMPLEMENTED_BIT) != 0, data, n);
    }
    default: {  // image!
        uint32_t size = word();
        uint32_t width = size & 0xFFFF;
        uint32_t height = size >> 16;
        if (uint64_t(width) * height * 4 > left()) bad();
        return append_image(parent, new_line, head, width, height, take(size_t(width) * height * 4));
    }
    }
}

// native!, action! and op! (callables.h). An op's header holds its wrapped
// type in bits 16-23 (bit 19 is no reference bit here); the record that
// follows must be of that type.
void StandardReader::callable(uint32_t header, uint32_t new_line, const Cell& parent) {
    uint32_t t = header & 0xFF;
    uint32_t at = count_of(parent);
    if (t == TYPE_OP) {
        if (header & 0x7F00FF00u) bad();
        value(parent);
        if (count_of(parent) <= at) bad();
        if (type_of(block::buffer(parent)->cells()[at]) != ((header >> 16) & 0xFF)) bad();
        return finish_op(new_line, parent, at);
    }
    if (header & 0x7FFFFF00u) bad();
    uint32_t index = word();
    at = begin_callable(t, index, parent);
    value(parent);
    finish_callable(t, index, new_line, parent, at);
}

void StandardReader::series(uint32_t header, const Cell& parent) {
    uint32_t t = header & 0xFF;
    uint32_t new_line = (header & NEW_LINE_BIT) ? CELL_NEW_LINE : 0;
    uint32_t head = word();
    if (head >= 0x80000000u) bad();
    if (header & REFERENCE_BIT) {
        return referenced_series(parent, t | new_line, head);
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
    if (t == TYPE_OP || callable_record(t)) return callable(header, new_line, parent);
    refuse_unrecorded(t);
    if (kelbin::word_record(t)) return word_record(header, parent);
    if (series_record(t)) return series(header, parent);
    bool ref = (header & REFERENCE_BIT) != 0;
    if (owner_record(t, header & EVENTS_BIT, ref, new_line, parent)) return;
    if (collection_record(t)) return collection(header, parent);
    if (ref) bad();
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
        c = word::make(symbol());
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
