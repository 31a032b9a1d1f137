// string!: the datatype's action slots and the text routines the other
// modules share with them: one comparison of text for every op, the escape of
// one code point in source form, and the case change of the uppercase and
// lowercase natives.
//
// Every slot writes its answer into the caller's `out` (datatype.h). Slots
// that modify a string keep these rules:
// - units only widen: a write path widens once, in place or into a new
//   buffer, keeping the text before and after the position; positions are
//   unit indices, recomputed after a widening;
// - a value that uses the target's own series is copied before the target
//   changes (its units are read as they stood before the change);
// - sizes are computed in 64 bits and checked against the 32-bit series
//   limits (internal/no-memory);
// - owners are told of the change before and after it (series::Change).
//
// The other string-like types (file!, url!, tag!, email!, ref!) inherit these
// slots when they register; binary! and vector! inherit some of them, and
// their branches go through `services()`.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::string {

// Comparison -------------------------------------------------------------------

// Compares two string-like values (or symbol! cells, read by their spelling)
// code point by code point under a comparison op: -1, 0 or 1. Case is folded
// to upper case except for ops 2 and 8; op 9 is identity (0 for the same
// series at the same head, else -1). With prefix the question is whether the
// first begins with the second: an empty second operand matches, except
// under op 12. In whole mode different lengths make the equality ops (0, 1,
// 2, 12) answer 1 without reading a code point. Never allocates.
int32_t compare_strings(const Cell& a, const Cell& b, int32_t op, bool prefix);
// The compare action: a second operand of another type is comparable only
// when it is string-like and the op is 0 or 1; otherwise -2.
int32_t compare(const Cell& a, const Cell& b, int32_t op);

// Registration, make, to, form, mold --------------------------------------------

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
// Appends cp to the target in its escaped source form (char! mold writes
// `#"` before it): 0x1E, 0x80-0x9F and, with all, anything above 0x7F as
// ^(hex); the control characters, the double quote and the caret by the
// caret table; 0x7F as ^~; anything else as itself.
void mold_char(const Cell& target, uint32_t cp, bool all);

// Appends the formed text of any value to the target string; returns limit
// minus the code points written. Types without a form slot are formed
// here when the string module knows their text (char!, the string types);
// any other raises script/expect-arg.
int64_t form_value(const Cell& value, const Cell& target, bool part, int64_t limit);

// Find, select, path access -------------------------------------------------------

void find(Cell* out, Cell* series, Cell* value, const FindOptions& options);
void select(Cell* out, Cell* series, Cell* value, const FindOptions& options);
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);

// Modification ----------------------------------------------------------------

void append_insert(Cell* out, Cell* series, Cell* value, const AppendOptions& options, bool append);
void change(Cell* out, Cell* series, Cell* value, const AppendOptions& options);
void swap(Cell* out, Cell* series1, Cell* series2);
void take(Cell* out, Cell* series, const TakeOptions& options);
void trim(Cell* out, Cell* series, const TrimOptions& options);
// Removes every unit from the head to the tail that is in the set: the units
// of a string! or binary! from its head, one char! or integer! code point, or
// (set null) tab, line feed, carriage return and space.
void strip_chars(const Cell& series, const Cell* set);
void sort(Cell* out, Cell* series, const SortOptions& options);

// Set operations (op 8 unique, 9 union, 10 intersect, 11 exclude, 12
// difference) over code points, or records of skip units keyed by their first
// unit; skip null for 1. The result is a new string in `out`.
void set_operation(Cell* out, const Cell& first, const Cell& second, bool case_sensitive, const Cell* skip, int32_t op);

// Case change --------------------------------------------------------------------

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
