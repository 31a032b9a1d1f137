// The action slots of string! and the helpers its action modules share; not
// for other modules (they reach the slots through the action dispatch).
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
#include <cstring>

#include "runtime/core/cell.h"
#include "runtime/core/fire.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/string.h"
#include "runtime/memory/roots.h"

namespace kel::string {

// Action slots --------------------------------------------------------------------

// The compare action: a second operand of another type is comparable only
// when it is string-like and the op is 0 or 1; otherwise -2.
int32_t compare(const Cell& a, const Cell& b, int32_t op);

void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void to(Cell* out, Cell* proto, Cell* spec, uint32_t type);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
// Appends cp to the target in its escaped source form (char! mold writes
// `#"` before it): 0x1E, 0x80-0x9F and, with all, anything above 0x7F as
// ^(hex); the control characters, the double quote and the caret by the
// caret table; 0x7F as ^~; anything else as itself.
void mold_char(const Cell& target, uint32_t cp, bool all);

void find(Cell* out, Cell* series, Cell* value, const FindOptions& options);
void select(Cell* out, Cell* series, Cell* value, const FindOptions& options);
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);

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

}  // namespace kel::string

namespace kel::string::detail {

// The units of a series and its head clamped into them (a negative head as 0).
inline int64_t units_of(const Cell& s) { return series::total_units(memory::buffer_of(cell_node(s))); }
inline int64_t head_of(const Cell& s) { return series::head_inside(s, units_of(s)); }

// A series value of the same type at another head.
inline Cell at_position(const Cell& s, int64_t head) {
    Cell c = s;
    c.data1 = uint32_t(int32_t(head));
    return c;
}

// Writes a code point at unit index i of a buffer of the given unit.
inline void store_unit(uint8_t* p, uint32_t unit, int64_t i, uint32_t cp) {
    switch (unit) {
    case 1:
        p[i] = uint8_t(cp);
        break;
    case 2: {
        uint16_t v = uint16_t(cp);
        std::memcpy(p + i * 2, &v, 2);
        break;
    }
    default:
        std::memcpy(p + i * 4, &cp, 4);
        break;
    }
}

// The unit a code point needs inside a string (written at a position).
inline uint32_t unit_for(uint32_t cp) { return cp <= 0xFF ? 1 : cp <= 0xFFFF ? 2 : 4; }

}  // namespace kel::string::detail
