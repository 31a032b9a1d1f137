// handle!: an operating-system or backend handle, or a pointer, with a class
// number (type id 46, parent integer!, though it inherits nothing: only form,
// mold and compare are its own; every other action is refused).
//
// Cell: header type id 46 with no flags; word 1 the class; word 2 the value
// (32 bits); word 3 the index of its external resource entry, -1 for none.
// The handles made here always have -1.
//
// Class names come from a static table (null, "fd", "monitor", "window",
// "font", "rich-text"); class 0 and classes outside the table have no name,
// and mold/all then writes none. Comparison looks at the values only.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::handle {

inline constexpr uint32_t CLASS_NULL = 0;
inline constexpr uint32_t CLASS_FD = 1;
inline constexpr uint32_t CLASS_MONITOR = 2;
inline constexpr uint32_t CLASS_WINDOW = 3;
inline constexpr uint32_t CLASS_FONT = 4;
inline constexpr uint32_t CLASS_RICH_TEXT = 5;

inline Cell make_cell(int32_t value, uint32_t klass) { return Cell{TYPE_HANDLE, klass, uint32_t(value), uint32_t(-1)}; }
inline int32_t value_of(const Cell& h) { return int32_t(h.data2); }
inline uint32_t class_of(const Cell& h) { return h.data1; }

// The name of a class, or null when it has none.
const char* class_name(uint32_t klass);

// The cell becomes a handle!; answers it.
Cell* make_at(Cell& cell, int32_t value, uint32_t klass);
// The current argument frame's first cell becomes a handle!.
Cell* box(int32_t value, uint32_t klass);
// A new handle! on the argument stack; the null handle (value 0, class 0).
Cell* push(int32_t value, uint32_t klass);
Cell* push_null();
// A new handle! at the block's tail.
Cell* make_in(const Cell& block, int32_t value, uint32_t klass);

// Registers handle! (id 46); integer! must be registered first.
void init();

}  // namespace kel::handle
