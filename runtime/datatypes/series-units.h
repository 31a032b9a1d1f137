// Unit arithmetic shared by the series, block and string modules: a series
// buffer stores elements of 1, 2, 4, 8 or 16 bytes (bits 0-4 of its flags).
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/system.h"
#include "runtime/core/type-classes.h"
#include "runtime/core/types.h"
#include "runtime/memory/memory.h"

namespace kel::series {

// log2 of the unit size; any other unit marks a corrupted buffer and ends the
// process with status 101.
inline uint32_t shift_of(uint32_t unit) {
    switch (unit) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    case 8:
        return 3;
    case 16:
        return 4;
    default:
        no_switch_matched();
    }
}

// Units from the buffer's offset to its tail.
inline int64_t total_units(const SeriesBuffer* b) { return int64_t(b->used() >> shift_of(b->unit())); }

// A series value's head as a unit index inside its series of `units` units:
// a negative head reads from the first unit, a head past the tail from the
// tail. The cell is not changed.
inline int64_t head_inside(const Cell& s, int64_t units) {
    int64_t head = int32_t(s.data1);
    return head < 0 ? 0 : head > units ? units : head;
}

// The types whose series hold cells (runtime/core/type-classes.h).
inline bool is_block_type(uint32_t type) { return type_classes::holds_cells(type); }

// The types whose series hold code points.
inline bool is_string_type(uint32_t type) { return type_classes::holds_code_points(type); }

// The types whose values are positions in a series of their own: the block
// and string types, binary!, vector! and image! (not map! or bitset!).
inline bool is_series_type(uint32_t type) { return type_classes::of(type).series != type_classes::Series::none; }

}  // namespace kel::series
