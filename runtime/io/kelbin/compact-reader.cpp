// The compact reader and the lead: every count is checked against the bytes
// that remain before anything is allocated, every value under construction
// is appended to its parent before its children are read, and all state
// belongs to the call.
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
#include "runtime/datatypes/word.h"
#include "runtime/io/compression.h"
#include "runtime/io/kelbin/callables.h"
#include "runtime/io/kelbin/contexts.h"
#include "runtime/io/kelbin/kelbin.h"
#include "runtime/io/kelbin/reader.h"
#include "runtime/io/kelbin/scalars.h"
#include "runtime/io/kelbin/varint.h"
#include "runtime/io/kelbin/writer-rules.h"
#include "runtime/memory/roots.h"

namespace kel::kelbin {
namespace {

constexpr uint8_t RECORD_FLAG = 0x40;

class Reader : RecordCursor {
public:
    using RecordCursor::RecordCursor;

    void file(uint8_t flags, const Cell& parent);

private:
    uint8_t byte() {
        if (p_ >= end_) bad();
        return *p_++;
    }
    uint32_t varint();
    // A count or size: below 2^31 and backed by the bytes that remain
    // (each unit taking at least `unit` bytes).
    uint32_t count(uint64_t unit = 1) {
        uint32_t n = varint();
        if (n >= 0x80000000u || uint64_t(n) * unit > left()) bad();
        return n;
    }
    int32_t symbol();
    void reference(Cell& out);
    void value(const Cell& parent);
    void special(uint8_t lead, bool ref, uint32_t new_line, const Cell& parent);
    void scalar(uint32_t t, bool flag, uint32_t new_line, const Cell& parent);
    void word(uint32_t t, bool flag, bool ref, uint32_t new_line, const Cell& parent);
    void series(uint32_t t, bool flag, bool ref, uint32_t new_line, const Cell& parent);
    void callable(uint32_t t, bool flag, uint32_t new_line, const Cell& parent);
    void collection(uint32_t t, bool flag, bool ref, uint32_t new_line, const Cell& parent);

    uint32_t read_count(uint64_t unit) override { return count(unit); }
    int32_t read_signed() override { return unzigzag(varint()); }
    int32_t read_symbol() override { return symbol(); }
    void read_value(const Cell& parent) override { value(parent); }
    void read_reference(Cell& out) override { reference(out); }
    // A context record: type byte 14, a flags byte, the word count.
    uint32_t read_context_head(uint32_t& flags) override {
        if (byte() != TYPE_CONTEXT) {
            --p_;
            bad();
        }
        flags = byte();
        return count();
    }
    uint32_t read_owner_head(bool& events) override {
        uint8_t lead = byte();
        events = (lead & RECORD_FLAG) != 0;
        return lead < 0x80 ? lead & 0x3F : 0;
    }
    void set_record(uint32_t t, bool flag, const Cell& parent);
    void context_record(bool flag, uint32_t new_line, const Cell& parent);
};

uint32_t Reader::varint() {
    uint32_t v = 0;
    for (int i = 0; i < 5; ++i) {
        uint8_t b = byte();
        if (i == 4 && (b & 0xF0)) {
            --p_;
            bad();
        }
        v |= uint32_t(b & 0x7F) << (7 * i);
        if (!(b & 0x80)) return v;
    }
    return v;  // the fifth byte has no continuation bit (checked above)
}

int32_t Reader::symbol() {
    int32_t id = symbols_.get(varint());
    if (id < 0) bad();
    return id;
}

// Reads a path and copies the cell it leads to.
void Reader::reference(Cell& out) {
    uint32_t n = varint();
    if (n == 0 || n > MAX_PATH || n > left()) bad();
    path_.resize(n);
    for (uint32_t i = 0; i < n; ++i) path_[i] = varint();
    resolve(out);
}

Cell* append(const Cell& parent, Cell c, uint32_t new_line) {
    c.header = (c.header & ~CELL_NEW_LINE) | new_line;
    return block::append_cell(parent, c);
}

void Reader::special(uint8_t lead, bool ref, uint32_t new_line, const Cell& parent) {
    if (ref) bad();
    if (lead <= 0xBF) {
        append(parent, make_integer(lead - 0x80), new_line);
    } else if (lead == 0xC2 || lead == 0xC3) {
        append(parent, Cell{TYPE_LOGIC, lead == 0xC2 ? 1u : 0u, 0, 0}, new_line);
    } else if (lead == 0xFF) {
        Cell c;
        reference(c);
        append(parent, c, new_line);
    } else {
        --p_;
        bad();
    }
}

void Reader::scalar(uint32_t t, bool flag, uint32_t new_line, const Cell& parent) {
    Cell c{t, 0, 0, 0};
    switch (t) {
    case TYPE_DATATYPE:
        c = datatype::make(varint());
        break;
    case TYPE_UNSET:
    case TYPE_NONE:
        break;
    case TYPE_INTEGER:
        c.data2 = uint32_t(unzigzag(varint()));
        break;
    case TYPE_CHAR:
        c.data2 = varint();
        break;
    case TYPE_PAIR:
        c.data2 = uint32_t(unzigzag(varint()));
        c.data3 = uint32_t(unzigzag(varint()));
        break;
    case TYPE_POINT2D:
        c.data1 = u32();
        c.data2 = u32();
        break;
    case TYPE_POINT3D:
        c.data1 = u32();
        c.data2 = u32();
        c.data3 = u32();
        break;
    case TYPE_FLOAT:
    case TYPE_TIME:
    case TYPE_PERCENT:
        if (flag) {
            double d = double(unzigzag(varint()));
            set_cell_double(c, t == TYPE_PERCENT ? d / 100.0 : d);
        } else {
            c.data2 = u32();
            c.data3 = u32();
        }
        break;
    case TYPE_DATE: {
        c.data1 = u32();
        bool timed = (c.data1 & date::TIME_FLAG) != 0;
        if (timed != flag) bad();
        if (timed) {
            c.data2 = u32();
            c.data3 = u32();
        }
        break;
    }
    case TYPE_TYPESET: {
        uint8_t n = byte();
        if (n > 12) bad();
        std::memcpy(&c.data1, take(n), n);
        break;
    }
    case TYPE_TUPLE: {
        uint32_t n = flag ? byte() : 3;
        if (n < 1 || n > tuple::MAX_BYTES) bad();
        std::memcpy(&c.data1, take(n), n);
        // Fewer than three components are padded to three, as everywhere.
        c.header |= std::max(n, tuple::MIN_BYTES) << tuple::COUNT_SHIFT;
        break;
    }
    case TYPE_MONEY: {
        std::memcpy(&c.data1, take(12), 12);
        if (flag) c.header |= money::SIGN;
        break;
    }
    case TYPE_ISSUE:
        c = word::make(symbol());
        c.header = TYPE_ISSUE;
        break;
    default:
        bad();
    }
    // The boot image also names types whose modules are not registered yet,
    // as start-up's type words do.
    bool named_type = boot_ && t == TYPE_DATATYPE && c.data1 >= 1 && c.data1 <= TYPE_EVENT;
    if (!named_type && !scalar_ok(c)) bad();
    append(parent, c, new_line);
}

// Words: a plain word binds in the global context, added there when absent
// (a reference prefix before it means nothing). A bound word carries its
// context's owner inline or refers to a value sharing that context; in boot
// mode it names the literal whose context it binds to, and its index there
// (-1: found by name, ignoring case).
void Reader::word(uint32_t t, bool flag, bool ref, uint32_t new_line, const Cell& parent) {
    if (!flag) {
        Cell w;
        if (!symbols_.global_word(varint(), &w)) bad();
        set_type(w, t);
        append(parent, w, new_line);
        return;
    }
    int32_t id = symbol();
    if (boot_) {
        uint32_t literal = varint();
        int32_t index = unzigzag(varint());
        Cell w{t, literal_context(literal), uint32_t(id), 0};
        if (index == -1) index = context::find_word(w.data1, id, true);
        if (index < 0 || uint32_t(index) >= context::word_count(w.data1)) bad();
        w.data3 = uint32_t(index);
        append(parent, w, new_line);
        return;
    }
    int32_t index = unzigzag(varint());
    if (ref)
        bound_word_reference(t | new_line, id, index, parent);
    else
        bound_word_owner(t | new_line, id, index, parent);
}

// A set record: the word, then the value it is set to; neither stays in the
// parent (a native's spec read after it leaves with them).
void Reader::set_record(uint32_t t, bool flag, const Cell& parent) {
    if (!word_record(t)) bad();
    uint32_t at = count_of(parent);
    word(t, flag, false, 0, parent);
    value(parent);
    SeriesBuffer* b = block::buffer(parent);
    Cell w = b->cells()[at];
    Cell v = b->cells()[at + 1];
    context::set(w, v);
    block::buffer(parent)->tail = block::buffer(parent)->offset + uint64_t(at) * sizeof(Cell);
}

// A standalone context record (contexts.h).
void Reader::context_record(bool flag, uint32_t new_line, const Cell& parent) {
    if (flag) bad();
    uint32_t flags = byte();
    if (!context_flags_ok(flags, boot_)) bad();
    // A codec's object has self, as every object made by the language.
    if (!boot_) flags |= CONTEXT_SELF;
    uint32_t n = count();
    NodeId ctx = append_context_object(parent, flags, n, new_line);
    for (uint32_t i = 0; i < n; ++i) context::add_word(ctx, symbol());
    if (!(flags & CONTEXT_VALUES)) return;
    if (context::word_count(ctx) != n) bad();  // names that fell together
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t at = count_of(parent);
        value(parent);
        Cell v = block::buffer(parent)->cells()[at];
        context::values_of(*context::cell_of(ctx))[i] = v;
        block::buffer(parent)->tail = block::buffer(parent)->offset + uint64_t(at) * sizeof(Cell);
    }
}

void Reader::series(uint32_t t, bool flag, bool ref, uint32_t new_line, const Cell& parent) {
    uint32_t head = 0;
    if (flag) {
        head = varint();
        if (head >= 0x80000000u) bad();
    }
    if (ref) return referenced_series(parent, t | new_line, head);
    type_classes::Series kind = type_classes::of(t).series;
    if (kind == type_classes::Series::cells) {
        uint32_t n = count();
        if (head > n) bad();
        Cell child = append_block(parent, t | new_line, head, n);
        for (uint32_t i = 0; i < n; ++i) value(child);
    } else if (kind == type_classes::Series::code_points) {
        uint32_t code = varint();
        uint32_t n = code >> 2;
        uint32_t unit = 1u << (code & 3);
        if ((code & 3) == 3 || uint64_t(n) * unit > left() || head > n) bad();
        const uint8_t* units = p_;
        if (!units_ok(units, n, unit)) bad();
        take(size_t(n) * unit);
        append_string(parent, t | new_line, head, units, n, unit);
    } else {
        uint32_t n = count();
        if (head > n) bad();
        append_binary(parent, new_line, head, take(n), n);
    }
}

// map! and bitset! have no head (the flag of bitset! marks a complemented
// one); hash!, vector! and image! have one when flagged.
void Reader::collection(uint32_t t, bool flag, bool ref, uint32_t new_line, const Cell& parent) {
    uint32_t head = 0;
    if (flag && t != TYPE_MAP && t != TYPE_BITSET) {
        head = varint();
        if (head >= 0x80000000u) bad();
    }
    if (shared_collection(t, head, ref, new_line, parent)) return;
    switch (t) {
    case TYPE_VECTOR: {
        uint8_t code = byte();
        uint32_t width = 1u << (code & 3);
        uint32_t n = count(width);
        return append_vector(parent, new_line, head, code >> 2, width, take(size_t(n) * width), n);
    }
    case TYPE_BITSET: {
        uint32_t n = count();
        return append_bitset(parent, new_line, flag, take(n), n);
    }
    default: {  // image!
        uint32_t width = varint();
        uint32_t height = varint();
        if (width > 0xFFFF || height > 0xFFFF || uint64_t(width) * height * 4 > left()) bad();
        return append_image(parent, new_line, head, width, height, take(size_t(width) * height * 4));
    }
    }
}

// native!, action! and op! (callables.h): the spec record, or the wrapped
// callable's, is read into the parent after the placeholder.
void Reader::callable(uint32_t t, bool flag, uint32_t new_line, const Cell& parent) {
    if (flag) bad();
    if (t == TYPE_OP) {
        uint32_t at = count_of(parent);
        value(parent);
        return finish_op(new_line, parent, at);
    }
    uint32_t index = varint();
    uint32_t at = begin_callable(t, index, parent);
    value(parent);
    finish_callable(t, index, new_line, parent, at);
}

void Reader::value(const Cell& parent) {
    DepthLevel level(depth_);
    if (depth_ > block::DEEP_COPY_LEVELS) bad();
    bool ref = false;
    bool set = false;
    uint32_t new_line = 0;
    uint8_t lead;
    for (;;) {
        lead = byte();
        if (lead == 0xC0)
            new_line = CELL_NEW_LINE;
        else if (lead == 0xC1)
            ref = true;
        else if (lead == 0xC4) {
            // Set records belong to the boot image, at its top level only.
            if (!boot_ || depth_ != 1) {
                --p_;
                bad();
            }
            set = true;
        } else
            break;
    }
    if (lead >= 0x80) {
        if (set) bad();
        return special(lead, ref, new_line, parent);
    }
    bool flag = (lead & RECORD_FLAG) != 0;
    uint32_t t = lead & 0x3F;
    if (t == 63) t = varint();
    if (t == 0) bad();
    if (set) return set_record(t, flag, parent);
    refuse_unrecorded(t);
    if (word_record(t)) return word(t, flag, ref, new_line, parent);
    if (t == TYPE_CONTEXT) return context_record(flag, new_line, parent);
    if (t < TYPE_TOTAL && series_record(t)) return series(t, flag, ref, new_line, parent);
    if (owner_record(t, flag, ref, new_line, parent)) return;
    if (collection_record(t)) return collection(t, flag, ref, new_line, parent);
    if (ref) bad();
    if (callable_record(t) || t == TYPE_OP) return callable(t, flag, new_line, parent);
    scalar(t, flag, new_line, parent);
}

void Reader::file(uint8_t flags, const Cell& parent) {
    // Root count (read and ignored) and payload size.
    varint();
    uint32_t payload = varint();
    if (payload >= 0x80000000u) bad();
    if (flags & FLAG_SYMBOLS) {
        uint32_t n = count(4);
        symbol_table(n, varint());
    }
    begin_records(parent, payload);
    while (p_ < end_) value(parent);
}

[[noreturn]] void invalid_data() { fire(ErrorId::script_invalid_data); }

}  // namespace

LeadError open_file(const uint8_t* data, size_t size, bool copy, OpenedFile& out) {
    if (size < LEAD_SIZE || std::memcmp(data, "KELBIN", 6) != 0) return LeadError::not_kelbin;
    out.flags = data[7];
    out.start = 0;
    if (out.flags & FLAG_ZSTD) {
        if (size < LEAD_SIZE + 4) return LeadError::corrupt;
        const uint8_t* s = data + LEAD_SIZE;
        uint32_t frame = uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | uint32_t(s[3]) << 24;
        if (frame > size - LEAD_SIZE - 4) return LeadError::corrupt;
        compression::Result r = compression::decompress(compression::Method::zstd, {s + 4, frame}, 0, out.unpacked);
        if (r.code != compression::Code::ok) return LeadError::corrupt;
        out.bytes = out.unpacked.bytes();
    } else if (copy) {
        out.copy.assign(data, data + size);
        out.bytes = out.copy;
        out.start = LEAD_SIZE;
    } else {
        out.bytes = {data, size};
        out.start = LEAD_SIZE;
    }
    return LeadError::none;
}

void read_records(const OpenedFile& file, const Cell& parent, bool boot) {
    Cell root = parent;
    Rooted keep(root);
    const uint8_t* first = file.bytes.data();
    const uint8_t* end = first + file.bytes.size();
    if (!(file.flags & FLAG_COMPACT)) {
        // The boot image is a compact file.
        if (boot) fire(ErrorId::script_kb_invalid_record, {make_integer(int32_t(LEAD_SIZE))});
        return decode_standard(first, first + file.start, end, file.flags, root);
    }
    Reader reader(first, first + file.start, end, boot);
    reader.file(file.flags, root);
}

void decode(const uint8_t* data, size_t size, const Cell& parent) {
    // The bytes are read from memory of this call's own (the decompressed
    // payload or a copy): decoding allocates, and data may lie in a series.
    OpenedFile file;
    if (open_file(data, size, true, file) != LeadError::none) invalid_data();
    read_records(file, parent, false);
}

void decode_boot(const uint8_t* image, size_t size, const Cell& parent) {
    OpenedFile file;
    if (open_file(image, size, false, file) != LeadError::none) invalid_data();
    read_records(file, parent, true);
}

}  // namespace kel::kelbin
