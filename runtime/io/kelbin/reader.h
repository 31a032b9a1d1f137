// What the compact and the standard reader share: building series values
// from checked record fields, the reference class rule, refused types and
// the nesting count.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::kelbin {

// Counts one nesting level for as long as it lives.
struct DepthLevel {
    int32_t& depth;
    explicit DepthLevel(int32_t& d) : depth(d) { ++depth; }
    ~DepthLevel() { --depth; }
    DepthLevel(const DepthLevel&) = delete;
    DepthLevel& operator=(const DepthLevel&) = delete;
};

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
