// The 16-byte value slot and the primitives every module uses on it.
#pragma once
#include <cstdint>
#include <cstring>

#include "runtime/core/types.h"

namespace kel {

// A series is reached through a node id: an index into the node table, whose
// slots never move while the buffers they point to do. 0 means no node.
using NodeId = uint32_t;

// header: type id in bits 0-7, per-type flags above, new-line marker in bit 30.
// The three payload words belong to the type.
struct Cell {
    uint32_t header;
    uint32_t data1;
    uint32_t data2;
    uint32_t data3;
};
static_assert(sizeof(Cell) == 16, "cells are 16 bytes");

inline constexpr uint32_t CELL_TYPE_MASK = 0xFF;
inline constexpr uint32_t CELL_NEW_LINE = 0x40000000;

inline uint32_t type_of(const Cell& c) { return c.header & CELL_TYPE_MASK; }

// Copies the four words; copying a cell onto itself changes nothing.
inline Cell* copy_cell(const Cell* src, Cell* dst) {
    if (src != dst) std::memcpy(dst, src, sizeof(Cell));
    return dst;
}

// Replaces the type id and keeps every flag.
inline void set_type(Cell& c, uint32_t type) { c.header = (c.header & ~CELL_TYPE_MASK) | (type & CELL_TYPE_MASK); }

inline void clear_new_line(Cell& c) { c.header &= ~CELL_NEW_LINE; }

// float!, percent! and time! keep a double in payload words 2-3.
inline double cell_double(const Cell& c) {
    double d;
    std::memcpy(&d, &c.data2, sizeof d);
    return d;
}
inline void set_cell_double(Cell& c, double d) { std::memcpy(&c.data2, &d, sizeof d); }

// Plain constructors for the few values the foundation makes itself.
inline Cell make_unset() { return Cell{TYPE_UNSET, 0, 0, 0}; }
inline Cell make_none() { return Cell{TYPE_NONE, 0, 0, 0}; }
inline Cell make_integer(int32_t v) { return Cell{TYPE_INTEGER, 0, uint32_t(v), 0}; }
inline int32_t cell_integer(const Cell& c) { return int32_t(c.data2); }

// Series values (the block family, the string family, binary!, vector!,
// image! ...) keep their head index in payload word 1 and their series node
// in payload word 2. What every type holds in its payload words is the
// type-class table's to say (runtime/core/type-classes.h).
inline uint32_t cell_head(const Cell& c) { return c.data1; }
inline NodeId cell_node(const Cell& c) { return c.data2; }

}  // namespace kel
