// Base2, Base16, Base58 and Base64: bytes to ASCII text and back.
//
// Encoders write ASCII text, one byte per character and never a line break:
// Base2 eight "0"/"1" per byte, most significant bit first; Base16 two
// upper-case hex digits per byte; Base58 the big-endian number after the
// leading zero bytes, with one "1" for each of those; Base64 the alphabet and
// "=" padding of RFC 4648.
//
// Decoders read `count` code points stored in units of 1, 2 or 4 bytes (a
// string series' units, or any span laid out the same way) and answer the
// decoded bytes, or fail (DECODE_INVALID; the series level answers node 0,
// which the natives turn into none). The rules they share:
// - ";" starts a comment that runs to the next line feed; whatever the
//   comment holds is passed over. Text that ends inside a comment ends there.
// - Base2 and Base16 pass over every code point up to 32 (space and the
//   control characters); Base58 and Base64 pass over their SKIP class
//   (backspace, tab, line feed, form feed, carriage return, space and the
//   apostrophe).
// - Any other code point outside the base's digits fails, and so does every
//   code point above 127 outside a comment: it is never reduced, truncated
//   or taken as the end of the text.
// - Base2: bits that do not fill a whole number of bytes fail. Base16: a
//   single digit left at the end is dropped. Base64: the first "=" ends the
//   text (nothing after it is read): it stores the bytes of 3 or 2 pending
//   digits and fails after 0 or 1; without "=", 1 to 3 pending digits at the
//   end are dropped. Base58: each leading "1" stands for one 0x00 byte.
//
// Two levels:
// - The span level works on raw addresses and never allocates series memory,
//   so it never collects: the caller provides the output room
//   (`encoded_room`, `decoded_room`) and keeps both addresses valid.
// - The series level reads a byte or string series through its node and
//   makes the result series. It allocates, so it re-reads every buffer after
//   the allocation and keeps its own source reachable meanwhile. A result
//   cell it writes must not lie in a series buffer that may move (use a C++
//   local or an argument-stack cell).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/cell.h"
#include "runtime/encoding/base-tables.h"

namespace kel::encoding {

enum class Base : int32_t { base2 = 2, base16 = 16, base58 = 58, base64 = 64 };

// The base named by an integer! value; any other value (another number, or
// not an integer!) raises script/invalid-arg with it.
Base base_of(const Cell& value);

// The longest text, in code points, and the longest byte series that a value
// can address: heads and lengths are 32-bit.
inline constexpr uint64_t MAX_LENGTH = INT32_MAX;

// Span level -------------------------------------------------------------------

inline constexpr int64_t DECODE_INVALID = -1;

// Room for the text of n bytes: the exact length for Base2, Base16 and
// Base64, an upper bound (2n) for Base58; script/too-long when n exceeds
// MAX_LENGTH.
uint64_t encoded_room(Base base, uint64_t n);
// Room for the bytes decoded from `count` code points; internal/no-memory
// when count exceeds MAX_LENGTH.
uint64_t decoded_room(Base base, uint64_t count);

// Writes the text of the n bytes at `src` to `out` (which must not overlap
// it) and answers the end of the text.
uint8_t* encode(Base base, const uint8_t* src, uint64_t n, uint8_t* out);
uint8_t* encode_2(const uint8_t* src, uint64_t n, uint8_t* out);
uint8_t* encode_16(const uint8_t* src, uint64_t n, uint8_t* out);
uint8_t* encode_58(const uint8_t* src, uint64_t n, uint8_t* out);
uint8_t* encode_64(const uint8_t* src, uint64_t n, uint8_t* out);

// Decodes `count` code points of `unit` bytes each (1, 2 or 4; any other
// unit ends the process with status 101) at `text` into `out`, which has
// decoded_room bytes; answers the number of bytes or DECODE_INVALID.
int64_t decode(Base base, const uint8_t* text, uint64_t count, uint32_t unit, uint8_t* out);
int64_t decode_2(const uint8_t* text, uint64_t count, uint32_t unit, uint8_t* out);
int64_t decode_16(const uint8_t* text, uint64_t count, uint32_t unit, uint8_t* out);
int64_t decode_58(const uint8_t* text, uint64_t count, uint32_t unit, uint8_t* out);
int64_t decode_64(const uint8_t* text, uint64_t count, uint32_t unit, uint8_t* out);

// The same into C++ containers, for code that holds its data outside series
// memory. decode answers false (and leaves `out` empty) for invalid text.
std::string encode(Base base, const uint8_t* src, uint64_t n);
bool decode(Base base, const uint8_t* text, uint64_t count, uint32_t unit, std::vector<uint8_t>& out);

// Series level -----------------------------------------------------------------

// The capacity the enbase native gives the text of n bytes (Base2
// 8n + 2(n div 8) + 4, Base16 2n + (n div 32) + 32, Base58 2n, Base64
// 4(n div 3) + (4(n mod 3)) div 3 + 2(n div 32) + 5); script/too-long when
// it exceeds the 32-bit range.
int32_t enbase_capacity(Base base, uint64_t n);

// The text of n bytes of the byte series `bytes`, from byte `from` after its
// first element (both clamped to the bytes it holds), as a new string! of
// unit 1 at index 0 in `result`.
void enbase(Base base, NodeId bytes, uint64_t from, uint64_t n, Cell& result);
// The text of a binary! from its index, or of the UTF-8 encoding of a
// string!, file!, url!, tag!, email! or ref! from its index. Any other value
// raises script/invalid-arg with it.
void enbase(Base base, const Cell& value, Cell& result);

// Decodes `count` code points of the string series `text`, from unit `from`
// after its first element (both clamped to the units it holds): the node of
// a new byte series (unit 1, bytes from offset 0 to the tail), or 0 when the
// text is invalid.
NodeId debase(Base base, NodeId text, uint64_t from, uint64_t count);
// The same for a string-family value from its index to its tail.
NodeId debase(Base base, const Cell& text);
// The same for code points that lie outside every series buffer;
// internal/no-memory when `count` exceeds MAX_LENGTH.
NodeId debase(Base base, const uint8_t* text, uint64_t count, uint32_t unit);

}  // namespace kel::encoding
