// Helpers shared by the string! action modules (not part of the module's
// interface).
#pragma once
#include <cstdint>
#include <cstring>

#include "runtime/core/cell.h"
#include "runtime/core/fire.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/series-units.h"
#include "runtime/datatypes/series.h"
#include "runtime/memory/roots.h"

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
