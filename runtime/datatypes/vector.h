// vector!: packed series of numbers or characters of one element type. A
// vector! cell (type 35, parent string!) holds in payload word 1 its index
// in elements, in word 2 the node of its series buffer and in word 3 its
// element type id: 10 char!, 11 integer!, 12 float!, 38 percent! (never a
// node: the collector does not follow it, and no inherited string! action
// takes it for a conversion cache). The buffer's unit is the element width in
// bytes:
//
//   char!     1, 2, 4 (default 4)  unsigned code point, low bits kept on write
//   integer!  1, 2, 4 (default 4)  signed, low bits kept on write (300 in 8 bits is 44)
//   float!    4, 8    (default 8)  IEEE single (round to nearest) or double
//   percent!  8                    IEEE double holding the fraction
//
// Elements are read and written by width with std::memcpy, never through a
// pointer cast. Every vector made from another (copy, take, change,
// arithmetic) carries its element type.
//
// Collector discipline: element addresses are good only until the next call
// that may allocate; the functions that grow a vector take and answer
// element offsets. The action slots are declared in vector-internal.h; other
// modules reach them through the action dispatch.
//
// The `ks_` prefix marks the cell-level form of a series action (length?,
// head, tail, tail?, skip, next, clear, at ...): C++ code calls it directly
// on a series cell it holds, while the action of the same name is reached
// through the datatype's slot with the evaluator's arguments; the prefix
// keeps the two apart in one namespace.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/memory/memory.h"

namespace kel::vector {

inline uint32_t element_type(const Cell& v) { return v.data3; }
inline SeriesBuffer* buffer(const Cell& v) { return memory::buffer_of(cell_node(v)); }
inline uint32_t width(const Cell& v) { return buffer(v)->unit(); }

// The default width in bytes of an element type (4 for char! and integer!,
// 8 for float! and percent!).
uint32_t default_width(uint32_t type);

// Element access ------------------------------------------------------------------

// Signed integer of width 1, 2 or 4.
int32_t get_integer(const uint8_t* at, uint32_t width);
// Unsigned code point of width 1, 2 or 4.
uint32_t get_char(const uint8_t* at, uint32_t width);
// Single widened, or double.
double get_float(const uint8_t* at, uint32_t width);
// The element as a cell of the element type.
Cell element_value(const uint8_t* at, uint32_t type, uint32_t width);
// Pushes a new cell holding the element (pick, random, take ...).
Cell* push_value(const uint8_t* at, uint32_t type, uint32_t width);
// Stores a char! or integer! value (low bits of the width) or a float! or
// percent! value (double for width 8, single otherwise) at the address;
// another value type raises script/invalid-type with its datatype.
void set_value(uint8_t* at, const Cell& value, uint32_t width);

// Making ------------------------------------------------------------------------------

// Makes the cell (one that stays put) a vector! with a new, empty buffer of
// room for `count` elements (at least 1). A byte size past 32 bits raises
// internal/no-memory.
Cell* make_at(Cell& cell, int64_t count, uint32_t type, uint32_t width);
// A new block! in out holding the elements from the index as values.
void to_block(Cell* out, const Cell& v);

// Element-wise arithmetic with a scalar, in place, from the index (op codes
// MATH_ADD ... MATH_XOR). See vector-math.cpp for the rules.
void do_math_scalar(int32_t op, const Cell& v, const Cell& scalar);

// Accessors for routine code ----------------------------------------------------------

int32_t ks_length(const Cell& v);  // elements from the index
bool ks_skip(Cell& v, int32_t n);  // moves the index when it stays inside; at the tail?
bool ks_next(Cell& v);
uint8_t* ks_head(const Cell& v);  // element at the index (good until the next allocation)
uint8_t* ks_tail(const Cell& v);
bool ks_tail_q(const Cell& v);
void ks_clear(const Cell& v);  // the tail set to the index
void ks_append_int(const Cell& v, uint32_t raw);  // a raw 32-bit value at the tail
// Appends a value of the element type (else script/invalid-arg).
void ks_append(const Cell& v, const Cell& value);
// Writes (poke) or inserts a value of the element type at an element offset
// from the series head; writing at the tail extends the vector by one.
void ks_poke(const Cell& v, int64_t offset, const Cell& value);
void ks_insert(const Cell& v, int64_t offset, const Cell& value);
// ks_append for every value of the block from its head.
void append_values(const Cell& v, const Cell& block);
// A copy of the vector! value on the argument stack.
Cell* push(const Cell& v);

// Registers vector! (id 35, parent string!) and fills the seams that the
// series, string, block and number modules call.
void init();

}  // namespace kel::vector
