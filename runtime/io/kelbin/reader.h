// What the compact and the standard reader share: building series values
// from checked record fields, the reference class rule, refused types and
// the nesting count.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/core/cell.h"
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
    RecordCursor(const uint8_t* base, const uint8_t* start, const uint8_t* end) : base_(base), p_(start), end_(end) {}

protected:
    const uint8_t* base_;  // positions in errors count from here
    const uint8_t* p_;
    const uint8_t* end_;
    SymbolTable symbols_;
    std::vector<uint32_t> path_;  // the path of the reference being read
    int32_t depth_ = 0;

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

private:
    Cell root_{};
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

// The standard reader over [start, end); base is where error positions
// count from.
void decode_standard(const uint8_t* base, const uint8_t* start, const uint8_t* end, uint8_t flags, const Cell& parent);

}  // namespace kel::kelbin
