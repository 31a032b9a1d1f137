// What the compact and the standard reader share: building series values
// from checked record fields, the reference class rule, refused types and
// the nesting count.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "runtime/core/cell.h"
#include "runtime/io/compression.h"
#include "runtime/io/kelbin/contexts.h"
#include "runtime/io/kelbin/symbol-table.h"

namespace kel::kelbin {

// The longest reference path a reader takes.
inline constexpr uint32_t MAX_PATH = 65536;

// Counts one nesting level for as long as it lives.
struct DepthLevel {
    int32_t& depth;
    explicit DepthLevel(int32_t& d) : depth(d) { ++depth; }
    ~DepthLevel() { --depth; }
    DepthLevel(const DepthLevel&) = delete;
    DepthLevel& operator=(const DepthLevel&) = delete;
};

// Where a reader stands in its bytes, and the state of one decode call that
// both forms keep alike: bounds-checked reads that raise kb-invalid-record
// at the current position, the symbol table, the decode root and the
// nesting count.
class RecordCursor {
public:
    RecordCursor(const uint8_t* base, const uint8_t* start, const uint8_t* end, bool boot = false)
        : base_(base), p_(start), end_(end), boot_(boot) {}
    virtual ~RecordCursor() = default;

protected:
    const uint8_t* base_;  // positions in errors count from here
    const uint8_t* p_;
    const uint8_t* end_;
    SymbolTable symbols_;
    std::vector<uint32_t> path_;  // the path of the reference being read
    int32_t depth_ = 0;
    bool boot_;  // boot mode (the boot image), else codec mode

    [[noreturn]] void bad() const;
    size_t left() const { return size_t(end_ - p_); }
    const uint8_t* take(size_t n) {
        if (n > left()) bad();
        const uint8_t* at = p_;
        p_ += n;
        return at;
    }
    // A little-endian 32-bit word.
    uint32_t u32() {
        const uint8_t* at = take(4);
        return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
    }
    // Takes the symbol table that starts here: n offsets of 4 bytes, then
    // the names area of size bytes, which must end with a NUL.
    void symbol_table(uint32_t n, uint32_t size);
    // The records are the payload bytes from here; values are appended to
    // parent, the decode root.
    void begin_records(const Cell& parent, uint32_t payload);
    // The cell that path_ leads to from the decode root, copied to out (its
    // first step counts past the cells the root held before decoding).
    void resolve(Cell& out);
    // Appends to parent the series record of header (type and new-line
    // marker) at head that refers to the series of c.
    void append_reference(const Cell& parent, uint32_t header, uint32_t head, Cell c) const;
    // Reads a reference and appends the series record it makes (as above).
    void referenced_series(const Cell& parent, uint32_t header, uint32_t head);

    // The form's own fields, read for the record builders both forms share.
    // A count or size below 2^31 backed by unit bytes each (0: no bound).
    virtual uint32_t read_count(uint64_t unit) = 0;
    virtual int32_t read_signed() = 0;
    virtual int32_t read_symbol() = 0;
    // One record, its value appended to parent.
    virtual void read_value(const Cell& parent) = 0;
    // A reference path (or record) and the cell it leads to.
    virtual void read_reference(Cell& out) = 0;
    // A context record's head: answers its word count and sets flags in
    // one layout for both forms (CONTEXT_*, contexts.h).
    virtual uint32_t read_context_head(uint32_t& flags) = 0;
    // The head of a word's inline owner: its type (any, checked by the
    // caller) and whether an object has change handlers.
    virtual uint32_t read_owner_head(bool& events) = 0;

    // Where a decoded owner goes: appended to parent as a value, or into the
    // context of the word at parent's position `word` (an inline owner, the
    // word's symbol and index checked against the new context).
    struct Place {
        const Cell& parent;
        uint32_t new_line;
        int64_t word = -1;
        int32_t symbol = 0;
        int32_t index = 0;
    };

    // Records of contexts and their owners (records-objects.cpp).
    // object!, function! and error! records after their head (events: an
    // object's on-change flag); false for other types.
    bool owner_record(uint32_t t, bool events, bool ref, uint32_t new_line, const Cell& parent);
    void bound_word_reference(uint32_t header, int32_t symbol, int32_t index, const Cell& parent);
    void bound_word_owner(uint32_t header, int32_t symbol, int32_t index, const Cell& parent);
    void object_contents(bool events, const Place& place);
    void function_contents(const Place& place);
    // A reference to an object or a function: a copy of the context's owner.
    void owner_reference(uint32_t type, uint32_t new_line, const Cell& parent);
    void error_contents(uint32_t new_line, const Cell& parent);

    // Records of collections (records-collections.cpp).
    // After a collection's head: a reference, a map! or a hash! is read
    // here (true); vector!, bitset! and image! records are the form's own.
    bool shared_collection(uint32_t t, uint32_t head, bool ref, uint32_t new_line, const Cell& parent);
    void map_contents(uint32_t new_line, const Cell& parent);
    void hash_contents(uint32_t header, uint32_t head, const Cell& parent);
    void append_vector(const Cell& parent, uint32_t new_line, uint32_t head, uint32_t type, uint32_t width,
                       const uint8_t* data, uint32_t n);
    void append_bitset(const Cell& parent, uint32_t new_line, bool complemented, const uint8_t* data, uint32_t n);
    void append_image(const Cell& parent, uint32_t new_line, uint32_t head, uint32_t width, uint32_t height,
                      const uint8_t* pixels);
    // Boot mode: the context of literal #literal (counted from the cells the
    // decode root held before decoding), an object! or function!.
    NodeId literal_context(uint32_t literal);
    // The cells of parent (where the next record lands).
    static uint32_t count_of(const Cell& parent);
    // A native! or action! record of the table index: appends a placeholder
    // to parent and answers its position; the spec record is read into the
    // parent next, then finish_callable makes the value (callables.h).
    uint32_t begin_callable(uint32_t t, uint32_t index, const Cell& parent);
    void finish_callable(uint32_t t, uint32_t index, uint32_t new_line, const Cell& parent, uint32_t at);
    // The record read into parent at position at is the callable an op!
    // wraps: it becomes the op.
    void finish_op(uint32_t new_line, const Cell& parent, uint32_t at);

private:
    Cell root_{};
    void check_binding(NodeId ctx, int32_t symbol, int32_t index) const;
    int64_t settle(const Place& place, const Cell& owner);
    // The next record, which must be a block!, read into holder (a block
    // the caller keeps reachable).
    Cell block_record(const Cell& holder);
    uint32_t root_base_ = 0;  // cells the decode root held before decoding
};

// A new block-family value of the header at head, with room for n cells, at
// the tail of parent; answers the new value.
Cell append_block(const Cell& parent, uint32_t header, uint32_t head, uint32_t n);

// A new binary! with the new-line marker at head, holding the n bytes at
// data (outside every series), at the tail of parent.
void append_binary(const Cell& parent, uint32_t new_line, uint32_t head, const uint8_t* data, uint32_t n);

// Raises access/no-codec with the datatype for the types that have no
// record (routine!, handle!, port!, event!, triple!); returns otherwise.
void refuse_unrecorded(uint32_t type);

// hash!, map!, vector!, bitset! and image! records refer only to a value of
// their own type, whose header they keep.
bool own_type_reference(uint32_t t);

inline bool collection_record(uint32_t t) {
    return t == TYPE_MAP || t == TYPE_HASH || t == TYPE_VECTOR || t == TYPE_BITSET || t == TYPE_IMAGE;
}

// A series record of type t may take the referenced cell c: c's series
// holds what t's holds (a block record takes any block-family series, a
// string record a string-family one, binary! only binary!) and head lies
// within it.
bool series_reference_fits(uint32_t t, const Cell& c, uint32_t head);

// Code units of width unit (1, 2 or 4): 4-byte units must be code points.
bool units_ok(const uint8_t* data, uint32_t n, uint32_t unit);

// A new string-family value of the header (type and new-line marker) at
// head, holding the n units at data (outside every series), at the tail of
// parent.
void append_string(const Cell& parent, uint32_t header, uint32_t head, const uint8_t* data, uint32_t n, uint32_t unit);

// A file's lead taken apart: the flags and the bytes its records are read
// from (the decompressed payload, a copy of the file, or the file itself),
// records starting at start.
struct OpenedFile {
    uint8_t flags = 0;
    size_t start = 0;
    std::span<const uint8_t> bytes;
    compression::GrowingSink unpacked;
    std::vector<uint8_t> copy;
};
enum class LeadError { none, not_kelbin, corrupt };
// Reads the lead (magic, flags, a zstd payload through the bounded
// decoder); copy: the file's bytes are copied (they may move).
LeadError open_file(const uint8_t* data, size_t size, bool copy, OpenedFile& out);
// Reads the records of an opened file into parent, in boot or codec mode.
void read_records(const OpenedFile& file, const Cell& parent, bool boot);

// The standard reader over [start, end); base is where error positions
// count from.
void decode_standard(const uint8_t* base, const uint8_t* start, const uint8_t* end, uint8_t flags, const Cell& parent);

}  // namespace kel::kelbin
