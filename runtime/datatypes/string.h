// The low layer of the string module: reading, writing, inserting, removing
// and appending code points in series buffers whose unit is 1, 2 or 4 bytes,
// and making and importing strings. At the end, the text routines other
// modules share with the string! actions (one comparison of text for every
// op, the formed text of any value, the set operations over code points, the
// case change of the uppercase and lowercase natives), the services later
// types install and the registration. The action slots are declared in
// string-internal.h; other modules reach them through the action dispatch
// (runtime/evaluator/actions.h).
//
// A string cell (string!, file!, url!, tag!, email!, ref!, and binary! for the
// byte helpers) keeps its head index (in units, signed) in payload word 1, its
// series node in word 2 and its conversion cache node in word 3.
//
// Units: 1 byte holds 0-255, 2 bytes 0-0xFFFF, 4 bytes any code point, all
// little-endian. A buffer is only ever widened (1 to 2, 1 to 4, 2 to 4), in
// place, never narrowed. Appending at the tail widens a one-byte buffer
// already for code points above 0x7F; writing or inserting at a position only
// above 0xFF.
//
// Collector discipline: the writers take and return a SeriesBuffer*: the
// returned buffer is the one to use afterwards (it moves when widened or
// expanded, and any allocation may collect). A string cell passed to a
// function that writes to it must not live in a buffer that the call may move.
//
// Predicates drop the trailing "?"; where that would collide with another
// function they end in `_q` instead (`ks_tail` / `ks_tail_q`).
//
// The `ks_` prefix marks the cell-level form of a series action (length?,
// head, tail, tail?, skip, next, clear, at ...): C++ code calls it directly
// on a series cell it holds, while the action of the same name is reached
// through the datatype's slot with the evaluator's arguments; the prefix
// keeps the two apart in one namespace.
#pragma once
#include <cstdint>
#include <cstring>

#include "runtime/core/cell.h"
#include "runtime/memory/memory.h"

namespace kel::string {

inline SeriesBuffer* buffer(const Cell& str) { return memory::buffer_of(cell_node(str)); }

// Reading ----------------------------------------------------------------------

// The code point stored at the address; a unit other than 1, 2 or 4 ends the
// process with status 101.
uint32_t get_char(const uint8_t* p, uint32_t unit);
// The code point `offset` units from the start of the series (not the head).
uint32_t get_char_at(const Cell& str, int32_t offset);
// The unit at the head; a head past the tail is first clamped in the cell.
uint8_t* ks_head(Cell& str);
uint8_t* ks_tail(const Cell& str);
// The head is at or past the tail.
bool ks_tail_q(const Cell& str);
// Units from the head to the tail (a negative head counts as 0; a head past
// the tail is clamped in the cell, giving 0).
int32_t ks_length(Cell& str);
// Units from the start of the series to the tail.
int32_t ks_abs_length(const Cell& str);
// Move the head by n units / by one, never past the tail; answer whether the
// new position is at the tail.
bool ks_skip(Cell& str, int32_t n);
bool ks_next(Cell& str);
// Offset from the head of the first unit equal to cp (exact), or -1.
int32_t find_char(Cell& str, uint32_t cp);
// A unit equal to cp among the head, head + skip ...; both sides folded to
// upper case unless case_sensitive.
bool has_char(Cell& str, uint32_t cp, int32_t skip, bool case_sensitive);
// The units from the head equal the bytes of the C-string (exact case; a
// unit above 255 never matches).
bool starts_with_c_string(Cell& str, const char* text);
// The code point at the head is in the bitset (beyond the bitset's bits: the
// bitset's complement flag).
bool head_in_bitset(Cell& str, const Cell& bitset);
// The unit at the head is "<" and the unit just after the tag's length is
// ">" (false when the string is too short).
bool tag_brackets_at(Cell& str, const Cell& tag);
// The value matches at the head of the string (string types as a prefix,
// char!, tag! with its brackets) under the comparison op.
bool match_value(Cell& str, const Cell& value, int32_t op);

// Writing: each returns the buffer that holds the string afterwards -----------------

namespace detail {
SeriesBuffer* append_char_widening(SeriesBuffer* buffer, uint32_t cp);
}
// Appends cp at the tail. The common case (the unit holds cp without
// widening and the buffer has room) is written inline.
inline SeriesBuffer* append_char(SeriesBuffer* buffer, uint32_t cp) {
    uint32_t unit = buffer->unit();
    if (buffer->tail + unit <= buffer->size) {
        uint8_t* p = buffer->tail_ptr();
        if (unit == 1 && cp < 0x80) {
            *p = uint8_t(cp);
            buffer->tail += 1;
            return buffer;
        }
        if (unit == 2 && cp < 0x10000) {
            uint16_t v = uint16_t(cp);
            std::memcpy(p, &v, 2);
            buffer->tail += 2;
            return buffer;
        }
        if (unit == 4) {
            std::memcpy(p, &cp, 4);
            buffer->tail += 4;
            return buffer;
        }
    }
    return detail::append_char_widening(buffer, cp);
}
// Writes cp at the address (which lies in buffer), widening first when needed.
SeriesBuffer* poke_char(SeriesBuffer* buffer, uint8_t* address, uint32_t cp);
// Writes cp at a unit position from the series start, growing the buffer and
// moving the tail when the position is at or past it.
SeriesBuffer* overwrite_char(SeriesBuffer* buffer, int32_t position, uint32_t cp);
// Inserts cp at a unit position from the series start.
SeriesBuffer* insert_char(SeriesBuffer* buffer, int32_t position, uint32_t cp);
// Removes one unit / count units at a unit position from the series start
// (nothing when the position is at or past the tail).
void remove_char(const Cell& str, int32_t position);
void remove_chars(const Cell& str, int32_t position, int32_t count);
// Cuts the tail to `count` units after the start when the buffer holds that
// many and the tail lies beyond; never lengthens.
SeriesBuffer* truncate_at(SeriesBuffer* buffer, int32_t count);
// Empties the string in place: unit 1, tail at the start, head 0.
Cell& ks_reset(Cell& str);
// Widens from the current unit to the target unit (1 to 2, 1 to 4, 2 to 4).
SeriesBuffer* widen_to(SeriesBuffer* buffer, uint32_t unit, uint32_t target);
// Moves the source's code points covering `bytes` bytes from its head to the
// target's head (inserted one by one, in order), then removes them from the
// source.
void move_chars(Cell& source, Cell& target, int32_t bytes);
// Appends the source (a string-like value or a symbol!) from its head to the
// target's tail; part >= 0 limits the units. A symbol! target is a broken
// invariant (its spelling belongs to every word of the symbol): the process
// ends with status 98. With convert the source is left
// as it is and converted while copying; without it a narrower source is
// widened in place to the target's unit.
void copy_into(const Cell& target, const Cell& source, int32_t part, bool convert);
// Appends every byte of a NUL-terminated C-string as a code point.
void append_c_string(const Cell& str, const char* text);
// Appends the first count bytes as code points.
void append_c_string_part(const Cell& str, const char* text, int32_t count);

// Making and importing -------------------------------------------------------------

// An empty string! of unit 1 with room for capacity units (1 when 0); the
// header is replaced whole.
Cell* ks_make_at(Cell& cell, int32_t capacity);
// An empty string! of the given unit with room for capacity code points;
// header flags kept.
Cell* make_at(Cell& cell, int32_t capacity, uint32_t unit);
// A copy of the cell on the argument stack.
Cell* push(const Cell& str);

// Encodings of the importers.
inline constexpr int32_t ENCODING_UTF8 = 0;
inline constexpr int32_t ENCODING_UTF16LE = -1;

// Decodes the text (length in the encoding's units) into a new string! held
// in the cell, or in a new cell on the argument stack when cell is null.
// Neither the text nor the cell may lie in a series buffer: the load
// allocates. An unsupported encoding prints
// "*** Loading Error: input encoding unsupported" and ends with internal_fault.
Cell* import_at(const uint8_t* text, int32_t length, Cell* cell, int32_t encoding);
// The same into a new cell appended at the block's tail.
Cell* import_in(const uint8_t* text, int32_t length, const Cell& block, int32_t encoding);
// The same into a new cell on the argument stack.
Cell* import(const uint8_t* text, int32_t length, int32_t encoding);
// The same into a new cell of the root block.
Cell* import_root(const uint8_t* text, int32_t length, int32_t encoding);

// Text routines other modules share with the actions -----------------------

// Compares two string-like values (or symbol! cells, read by their spelling)
// code point by code point under a comparison op: -1, 0 or 1. Case is folded
// to upper case except for ops 2 and 8; op 9 is identity (0 for the same
// series at the same head, else -1). With prefix the question is whether the
// first begins with the second: an empty second operand matches, except
// under op 12. In whole mode different lengths make the equality ops (0, 1,
// 2, 12) answer 1 without reading a code point. Never allocates.
int32_t compare_strings(const Cell& a, const Cell& b, int32_t op, bool prefix);

// Appends the formed text of any value to the target string; returns limit
// minus the code points written. Types without a form slot are formed
// here when the string module knows their text (char!, the string types);
// any other raises script/expect-arg.
int64_t form_value(const Cell& value, const Cell& target, bool part, int64_t limit);

// Set operations (op 8 unique, 9 union, 10 intersect, 11 exclude, 12
// difference) over code points, or records of skip units keyed by their first
// unit; skip null for 1. The result is a new string in `out`.
void set_operation(Cell* out, const Cell& first, const Cell& second, bool case_sensitive, const Cell* skip, int32_t op);

// The core of uppercase and lowercase: a char! in *value gets its code point
// mapped; a string-like value has the units from its head (at most *part
// units: an integer!, or a position in the same series) mapped in place,
// widening when a mapped code point needs it, and its owner told with
// `uppercase` or `lowercase`. A /part of another kind is
// script/invalid-refine-arg. The value stays in *value.
void change_case(Cell* value, const Cell* part, bool upper);

// Hooks of the types that register later -------------------------------------------

struct Services {
    // make binary! of a spec that is not a number: binary!'s to action.
    void (*binary_to)(Cell* out, Cell* proto, Cell* spec, uint32_t type) = nullptr;
    // find in a vector!: the element position of value among the positions
    // low, low + step ... below high (backward: from high - step down to
    // low; with match only the first), or -1.
    int64_t (*vector_find)(const Cell& vector, const Cell& value, int64_t low, int64_t high, int64_t step,
                           bool backward, bool match) = nullptr;
    // sort of a vector!: records of size elements from head, with the
    // element comparators of its element type (flags: bit 0 reverse, bit 1
    // whole records, above the record size or the compared offset).
    void (*vector_sort)(const Cell& vector, int64_t head, int64_t records, int64_t size, uint32_t flags,
                        bool stable) = nullptr;
};
Services& services();

// Registers string! (id 7, parent series!).
void init();

}  // namespace kel::string
