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
// The bytes from the binary's head, at most 12, padded to 3.
Cell from_binary(const Cell& binary);
// #F80 (each digit doubled: 255.136.0), #FF8000 (r.g.b) or #FF800080
// (r.g.b.a); another length, or a character that is no hexadecimal digit
// (any character beyond ASCII included), is script/invalid-data with the
// issue.
Cell from_issue(const Cell& issue);
// Every byte is 0 (the zero? native).
bool all_zero(const Cell& value);

// The op core on the current frame: the tuple in the first cell, the other
// operand (integer!, float!, percent! or tuple!) in the second; number_left
// says it was the left operand. The result replaces the first cell.
void do_math(int32_t op, bool number_left);

// Actions -------------------------------------------------------------------

// make and to (the same function).
void make(Cell* out, Cell* proto, Cell* spec, uint32_t type);
void random(Cell* out, Cell* value, const RandomOptions& options);
int64_t form(Cell value, Cell buffer, bool part, int64_t limit);
int64_t mold(Cell value, Cell buffer, const MoldOptions& options);
// Reads byte n as an integer!; sets it from an integer! (clamped to 0..255)
// or cuts the tuple before it with none (never below 3 bytes). The tuple in
// *parent changes in place; the value set is the answer.
void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step);
// Byte by byte up to the longer length, a missing byte counting as 0:
// 1.2.3 equals 1.2.3.0.
int32_t compare(const Cell& value1, const Cell& value2, int32_t op);
void complement(Cell* out, Cell* value);
int32_t length(Cell* value);
void pick(Cell* out, Cell* value, int32_t index, Cell* index_cell);
// /part n reverses the first n bytes; /skip s reverses groups of s bytes.
void reverse(Cell* out, Cell* value, Cell* part, Cell* skip);

// Registers tuple! (id 39).
void init();

}  // namespace kel::tuple
