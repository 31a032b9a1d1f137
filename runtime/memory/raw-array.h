// Growable arrays of bytes, 32-bit integers or 64-bit pointers kept in
// collector-managed series, so that they move with the heap and die with their
// owner. An array is its series node; its elements run from the buffer's head
// to its tail and the unit bits of the header give the element size (1 for
// bytes, 4 for integers, 8 for pointers). Element indexes are 1-based, byte
// offsets 0-based from the head.
//
// Appending may move the buffer: addresses returned by `data` or
// `append_bytes` are good until the next call that may allocate.
#pragma once
#include <cstdint>

#include "runtime/memory/memory.h"

namespace kel::array {

// An empty array with room for n elements of `size` bytes.
NodeId make(uint64_t n, uint32_t size);
// Elements from head to tail.
int32_t length(NodeId array);
void clear(NodeId array);
// Keeps the first n - 1 elements (n = 1 empties the array).
void clear_at(NodeId array, int32_t n);
// A copy with the same flags, content, tail and capacity.
NodeId copy(NodeId array);
uint32_t get_flags(NodeId array);
// Address of the first element.
uint8_t* data(NodeId array);

void append_byte(NodeId array, uint8_t byte);
uint8_t pick_byte(NodeId array, int32_t n);
// Appends n bytes copied from `source` (which must not point into a series
// buffer) and returns where they were stored.
uint8_t* append_bytes(NodeId array, const uint8_t* source, uint64_t n);
// Removes n bytes at a byte offset from the head, moving the rest down.
void remove_bytes(NodeId array, int64_t offset, int64_t n);

void append_int(NodeId array, int32_t value);
// Inserts at a 0-based element position (clamped to the length).
void insert_int(NodeId array, int32_t value, int32_t position);
// Byte offset from the head of the first element equal to the value, or -1.
int32_t find_int(NodeId array, int32_t value);
int32_t pick_int(NodeId array, int32_t n);
void poke_int(NodeId array, int32_t n, int32_t value);
// Removes the first element equal to the value; nothing when absent.
void remove_int(NodeId array, int32_t value);

// Pointers are 8 bytes: arrays of them are made with element size 8.
void append_ptr(NodeId array, const void* value);
int32_t find_ptr(NodeId array, const void* value);
void* pick_ptr(NodeId array, int32_t n);

}  // namespace kel::array
