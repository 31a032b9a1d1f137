// binary!: byte strings. A binary! cell (type 41) is a string-family cell:
// payload word 1 the index in bytes, word 2 the node of a series of unit 1,
// word 3 the conversion cache (0 until one is made). Its bytes are those
// from the index to the tail, unsigned (0-255) in every comparison and
// conversion; an integer! -128..-1 given as a byte stands for its low byte.
//
// Collector discipline. The accessors below that grow a binary (append,
// insert, overwrite, append_int32) may move every series buffer. They take
// and answer positions as byte offsets from the value's index, never as
// addresses, so a caller that allocates between two calls keeps valid
// positions. A raw source address given to them is used before the buffer
// grows: when the target must grow, the source bytes are first copied to
// heap scratch memory, so the source may lie in any series buffer, the
// target's own included. Addresses answered by ks_head, ks_tail and
// ks_abs_at are good only until the next call that may allocate.
//
// The action slots are declared in binary-internal.h; other modules reach
// them through the action dispatch (runtime/evaluator/actions.h).
//
// The `ks_` prefix marks the cell-level form of a series action (length?,
// head, tail, tail?, skip, next, clear, at ...): C++ code calls it directly
// on a series cell it holds, while the action of the same name is reached
// through the datatype's slot with the evaluator's arguments; the prefix
// keeps the two apart in one namespace.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/core/cell.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/memory/memory.h"

namespace kel::binary {

inline SeriesBuffer* buffer(const Cell& bin) { return memory::buffer_of(cell_node(bin)); }

// Positions ----------------------------------------------------------------------

// Bytes from the index to the tail; a negative index counts 0, an index past
// the tail is clamped to the tail in the cell and counts 0.
int32_t ks_length(Cell& bin);
// The byte at the index (after the clamp of ks_length) / the tail.
uint8_t* ks_head(Cell& bin);
uint8_t* ks_tail(const Cell& bin);
// The index is at or past the tail.
bool ks_tail_q(const Cell& bin);
// Moves the index by n bytes when the new position is not past the tail;
// answers whether the new position lies at or past the tail.
bool ks_skip(Cell& bin, int32_t n);
bool ks_next(Cell& bin);
// Drops every byte from the index on.
void ks_clear(Cell& bin);
// The byte `offset` bytes after the first byte of the series (the index is
// not added); the offset must lie inside the series.
uint8_t ks_abs_at(const Cell& bin, int64_t offset);

// Writing bytes --------------------------------------------------------------------
//
// Sizes are checked against the series limit (script/too-long past it).

// Appends n bytes at the tail; answers their offset from the index.
int64_t append_bytes(const Cell& bin, const uint8_t* src, uint64_t n);
// Inserts n bytes `offset` bytes after the index (0 .. bytes to the tail),
// growing the buffer to twice its capacity plus n when it is too small;
// answers the offset of the inserted bytes.
int64_t insert_bytes(const Cell& bin, int64_t offset, const uint8_t* src, uint64_t n);
// Writes n bytes `offset` bytes after the index (0 .. bytes to the tail),
// over the bytes there and past the tail, which moves when the write ends
// beyond it; answers the offset of the written bytes.
int64_t overwrite_bytes(const Cell& bin, int64_t offset, const uint8_t* src, uint64_t n);
// Appends the value big-endian (most significant byte first), making room.
void append_int32(const Cell& bin, uint32_t value);

// Making -----------------------------------------------------------------------------

// The cell becomes an empty binary! at index 0 with room for capacity bytes.
// The cell must not lie in a series buffer.
Cell* make_at(Cell& cell, uint64_t capacity);
// A new empty binary! in a cell appended at the block's tail. The answered
// cell lies in the block: good until the next allocation.
Cell* make_in(const Cell& block, uint64_t capacity);
// A new binary! holding a copy of the n bytes at src (outside every series
// buffer), in a new cell at the tail of the block, or on the argument stack
// when block is null. The cell is good until the next allocation.
Cell* load_in(const uint8_t* src, uint64_t n, const Cell* block);

// Stores the low 8 bits of an integer! or char! at the address (no range
// check: 256 stores 0); any other type raises script/invalid-arg with it.
void set_value(uint8_t* at, const Cell& value);

// Values as bytes -----------------------------------------------------------------
//
// By type: char! its UTF-8 bytes; integer! one byte (-128..255, else
// script/invalid-arg with it); binary! its bytes from the index; tuple! its
// component bytes; string!, file!, url!, tag!, email!, ref! the UTF-8 bytes of
// the characters from the index; block!, paren!, hash! their elements from
// the index, each by these rules, in order. A part of 0 or more limits the
// bytes of one value (a cut may fall inside a character's sequence); below 0
// there is no limit. In a block, without byte_part the part counts elements;
// with byte_part it is one byte budget the elements share (16 bytes per
// element without a part).
//
// Any other type has no byte form: measure and write raise
// script/bad-to-arg with binary! and the value, unless `any` (the mode of
// change), where byte_form has formed it to text first.

// The number of bytes of the value. Measuring checks everything that
// writing could refuse (types, byte values, blocks that contain themselves:
// internal/no-cycle), so a value measured without error writes without
// error. Never allocates.
int64_t measure(const Cell& value, int64_t part, bool byte_part);
// Writes what measure counted at dest (room for that many bytes, outside
// the value's own bytes); answers the count. Never allocates.
int64_t write(uint8_t* dest, const Cell& value, int64_t part, bool byte_part);
// All the value's bytes (measure and write without a part) copied into C++
// memory, which no collection moves.
std::vector<uint8_t> copy_out(const Cell& value);
// The value with every part that has no byte form formed to text: the value
// itself when it needs nothing, else a new string! (for a block, a new
// binary! of the bytes its elements give). May allocate.
Cell byte_form(const Cell& value);
// True when the value is, or (in a block) holds, a series whose node is
// `node`: its bytes must be taken before that series changes.
bool shares(const Cell& value, NodeId node);

// The issue's name decoded as Base16 into `result` (a binary! at index 0);
// script/invalid-data with the issue when the name is not hexadecimal
// (a code point above 127 included). With result null, only the name's
// length in code points is answered (nothing is decoded).
int64_t from_issue(const Cell& issue, Cell* result);

// Comparison and parse matching ----------------------------------------------

// Compares a binary! with a binary! or a string-family value under a
// comparison op (the string's UTF-8 bytes, whatever its unit): -1, 0 or 1,
// -2 for a value2 of any other type. Op 9 is identity. Without prefix,
// different lengths make ops 0, 1, 2 and 12 answer 1 without reading a byte;
// the other ops compare the common bytes, then the lengths. With prefix the
// question is whether value1 begins with value2's bytes: an empty value2
// matches under ops 0, 2 and 12; a value1 too short to hold them does not
// (nothing past its tail is read). Never allocates.
int32_t compare_bytes(const Cell& value1, const Cell& value2, int32_t op, bool prefix);
// Parse: the binary at its index begins with the value (binary! or
// string-family, compare_bytes in prefix mode), or its byte there equals a
// char!'s code point. False at the tail and for any other value.
bool match(const Cell& bin, const Cell& value, int32_t op);
// Parse: the byte at the index is in the bitset (past the bitset's bits: its
// complement flag). False at the tail.
bool byte_in_bitset(const Cell& bin, const Cell& bitset);

// Hooks of the types that register later ------------------------------------------

struct Services {
    // to binary! of an image!: its pixels, 4 bytes each in the image's
    // stored byte order, as a new binary! in out. Null: internal/not-done.
    void (*image_bytes)(Cell* out, const Cell& image) = nullptr;
};
Services& services();

// Registers binary! (id 41, parent string!): string! must register first
// for the slots binary! inherits from it.
void init();

}  // namespace kel::binary
