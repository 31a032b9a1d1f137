// tuple!: 3 to 12 bytes written with dots, such as 255.128.0 or 0.6.6
// (type id 39, no parent). A scalar: the bytes live in the cell.
//
// Cell: header type 39 with the byte count (3-12) in bits 19-22; the bytes
// in payload words 1-3 in order, the first in the lowest byte of word 1.
// Bytes beyond the count are 0 and not part of the value. Fewer than three
// components are padded with zero bytes to three.
//
// Arithmetic works byte by byte and clamps every result byte to 0..255: with
// an integer! or a tuple! through the integer! op core (an overflowing
// result gives 255 when positive, else 0; a division truncates), with a
// float! or percent! through float!'s op core, clamped in double (NaN gives
// 0). A number on the left may only add, multiply, take a remainder or
// combine bits; it is combined with each byte in the written order.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"

namespace kel::tuple {

inline constexpr uint32_t MAX_BYTES = 12;
inline constexpr uint32_t MIN_BYTES = 3;
inline constexpr uint32_t COUNT_SHIFT = 19;
inline constexpr uint32_t COUNT_MASK = 0xFu << COUNT_SHIFT;

inline uint32_t count(const Cell& c) { return (c.header & COUNT_MASK) >> COUNT_SHIFT; }
// Byte i (0-based, below 12) of the cell.
inline uint8_t byte_at(const Cell& c, uint32_t i) {
    uint32_t word = i < 4 ? c.data1 : i < 8 ? c.data2 : c.data3;
    return uint8_t(word >> (8 * (i % 4)));
}
// The count's bytes of the cell, zeros after them.
inline void read_bytes(const Cell& c, uint8_t (&bytes)[MAX_BYTES]) {
    for (uint32_t i = 0; i < MAX_BYTES; ++i) bytes[i] = i < count(c) ? byte_at(c, i) : 0;
}
// A tuple! of the first `n` bytes (at most 12; padded with zeros to 3): the
// lexer's maker.
Cell make_cell(uint32_t n, const uint8_t* bytes);
// The same from the three payload words as the cell holds them (compiled
// code and KELBIN).
Cell make_from_words(uint32_t n, uint32_t word1, uint32_t word2, uint32_t word3);
// A new tuple! on the argument stack from the words / from the low bytes of
// `n` integers.
Cell* push(uint32_t n, uint32_t word1, uint32_t word2, uint32_t word3);
Cell* push_from_ints(uint32_t n, const int32_t* values);
// r.g.b, or r.g.b.a when a is not -1.
Cell make_rgba(int32_t r, int32_t g, int32_t b, int32_t a);
// Every byte is 0 (the zero? native).
bool all_zero(const Cell& value);

// Registers tuple! (id 39).
void init();

}  // namespace kel::tuple
