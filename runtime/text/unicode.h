// Text between the three encodings of the system: UTF-8 at every outside
// boundary, UTF-16 towards operating-system interfaces that want it, and the
// fixed-width units (1, 2 or 4 bytes per code point) inside string series.
//
// String cells (string!, file!, url!, tag!, email!, ref!, binary!): word 1 is
// the head index in units, word 2 the node of the series, word 3 the node of
// the conversion cache (0 until a conversion first needs one).
//
// Collector discipline: every function below that takes a string cell or a
// target may allocate, and so may move series buffers. A raw source pointer
// handed to a loader must not point into a series buffer; the loaders that
// read from a series take its node instead and re-read it after allocating.
// A Cell& that a function writes to (the cache node in word 3) must not live
// inside a series buffer either (use a stack cell or a copy).
#pragma once
#include <cstdint>
#include <cstring>

#include "runtime/core/cell.h"
#include "runtime/core/system.h"
#include "runtime/memory/memory.h"

namespace kel::unicode {

// ---------------------------------------------------------------------------
// Decoding UTF-8

// The table-driven decoder's table: bytes 0-255 give the class of each byte,
// bytes 256-363 the transitions (state + class; states are multiples of 12,
// 0 accept, 12 reject).
extern const uint8_t utf8_decoder_table[364];
inline constexpr uint32_t UTF8_ACCEPT = 0;
inline constexpr uint32_t UTF8_REJECT = 12;

// Decodes one code point of the text [p, end) (p < end) with the state table.
// Returns the address after the sequence and stores the code point, or -1 for
// a rejected or truncated sequence. A bad lead byte consumes one byte; a bad
// continuation byte is consumed with the bytes before it; a sequence cut off
// by `end` consumes everything up to `end`. Never reads at or beyond `end`.
// Rejects overlong forms, surrogates and everything above 0x10FFFF. ASCII is
// handled inline; fast_decode_utf8_sequence walks the table for the rest.
const uint8_t* fast_decode_utf8_sequence(const uint8_t* p, const uint8_t* end, int32_t& cp);
inline const uint8_t* fast_decode_utf8_char(const uint8_t* p, const uint8_t* end, int32_t& cp) {
    if (p < end && *p < 0x80) {  // ASCII needs no table
        cp = *p;
        return p + 1;
    }
    return fast_decode_utf8_sequence(p, end, cp);
}

// Code points from p to end (a rejected sequence counts as one).
int32_t count_chars(const uint8_t* p, const uint8_t* end);
// The address after n code points, or end when the text runs out first.
const uint8_t* skip_chars(const uint8_t* p, const uint8_t* end, int32_t n);

// 4 when the lead byte's top four bits are set, 3 for the top three, 2 for the
// top two, else 0 (ASCII and continuation bytes alike).
int32_t utf8_seq_length(uint8_t lead);

// The unit (1, 2 or 4) that the code points of the UTF-8 text [p, end) need,
// from its lead bytes: C4-EF start code points above U+00FF, F0 and above
// ones above U+FFFF. A sequence cut off by the end of the text is not
// counted, so for text the loader accepts this is the unit of its load.
uint32_t utf8_unit_needed(const uint8_t* p, const uint8_t* end);

// Outcome of the checked decoder that raises nothing; the failures are out of
// band (negative) so that every code point, U+FFFE included, is a result.
inline constexpr int32_t DECODE_INCOMPLETE = -1;
inline constexpr int32_t DECODE_MALFORMED = -2;
// Decodes one sequence from the `n` bytes at p: the code point (length stored
// in `len`), DECODE_INCOMPLETE when the bytes available are a valid start of a
// sequence that needs more, or DECODE_MALFORMED. Malformed: a continuation byte
// as lead, C0/C1 and F5-FF leads, overlong forms, surrogates D800-DFFF, values
// above 0x10FFFF, or a byte that is not a continuation where one is needed.
inline int32_t decode_utf8_status(const uint8_t* p, int32_t n, int32_t& len) {
    if (n <= 0) return DECODE_INCOMPLETE;
    uint32_t lead = p[0];
    if (lead < 0x80) {
        len = 1;
        return int32_t(lead);
    }
    // The allowed range of the second byte rules out the overlong forms (E0
    // 80-9F, F0 80-8F), the surrogates (ED A0-BF) and values above 0x10FFFF
    // (F4 90-BF) before any value is assembled.
    int32_t need;
    uint32_t lo = 0x80, hi = 0xBF;
    uint32_t cp;
    if (lead < 0xC2) {
        return DECODE_MALFORMED;  // a continuation byte, or C0/C1 (overlong)
    } else if (lead < 0xE0) {
        need = 2;
        cp = lead & 0x1F;
    } else if (lead < 0xF0) {
        need = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0)
            lo = 0xA0;
        else if (lead == 0xED)
            hi = 0x9F;
    } else if (lead < 0xF5) {
        need = 4;
        cp = lead & 0x07;
        if (lead == 0xF0)
            lo = 0x90;
        else if (lead == 0xF4)
            hi = 0x8F;
    } else {
        return DECODE_MALFORMED;
    }
    int32_t have = n < need ? n : need;
    for (int32_t i = 1; i < have; i++) {
        uint32_t b = p[i];
        if (b < lo || b > hi) return DECODE_MALFORMED;
        lo = 0x80;
        hi = 0xBF;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (n < need) return DECODE_INCOMPLETE;
    len = need;
    return int32_t(cp);
}

// The checked decoder: n holds the bytes available and, on success, receives
// the sequence length. Returns the code point, or -1 (n unchanged) when the
// bytes are a valid but incomplete start of a sequence. A malformed sequence
// raises access/invalid-utf8 with a binary! of its first bytes (up to 4).
int32_t decode_utf8_char(const uint8_t* p, int32_t& n);

// ---------------------------------------------------------------------------
// Encoding and lengths

// UTF-8 length of a code point: 1-4; script/invalid-char above 0x10FFFF.
int32_t utf8_cp_length(uint32_t cp);
// Sum of the UTF-8 lengths of the units in [p, end) of the given unit size.
int64_t utf8_units_length(const uint8_t* p, const uint8_t* end, uint32_t unit);
// Writes 1-4 bytes and returns their number; script/invalid-char above
// 0x10FFFF.
int32_t encode_utf8_char(uint32_t cp, uint8_t* out);
// The same, writing only as many leading bytes as `room` allows (none when it
// is below 1); returns the bytes written.
int32_t encode_utf8_char(uint32_t cp, uint8_t* out, int32_t room);
// One little-endian unit (returns 1) below 0x10000, a surrogate pair
// (returns 2) up to 0x10FFFF, nothing (returns 0) above. `out` needs no
// particular alignment.
int32_t encode_utf16_char(uint32_t cp, uint8_t* out);

// ---------------------------------------------------------------------------
// Units of a string buffer

// The shift from a unit index to its byte offset: 0, 1 or 2. Any other unit
// size ends the process with status 101.
inline uint32_t unit_shift(uint32_t unit) {
    switch (unit) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    default:
        no_switch_matched();
    }
}
// The code point at unit index i of a buffer of the given unit size.
inline uint32_t get_unit(const uint8_t* p, uint32_t unit, uint64_t i) {
    switch (unit) {
    case 1:
        return p[i];
    case 2: {
        uint16_t v;
        std::memcpy(&v, p + i * 2, 2);
        return v;
    }
    default: {
        uint32_t v;
        std::memcpy(&v, p + i * 4, 4);
        return v;
    }
    }
}

// Widening in place: each returns the buffer, which may have moved. The head
// stays; units are rewritten back to front, each zero-extended, and the tail
// scales with them.
SeriesBuffer* widen_latin1_to_ucs2(SeriesBuffer* buffer);
SeriesBuffer* widen_latin1_to_ucs4(SeriesBuffer* buffer);
SeriesBuffer* widen_ucs2_to_ucs4(SeriesBuffer* buffer);
// Widens the buffer of `node` so that its unit holds `cp` (no change when it
// already does); returns the buffer.
SeriesBuffer* widen_for(NodeId node, uint32_t cp);

// ---------------------------------------------------------------------------
// Export of a string (from its head to its tail)

// The first data byte of the string's conversion cache, holding at least
// `size` bytes; allocates or expands the cache (its node kept in word 3).
uint8_t* get_cache(Cell& str, uint64_t size);

// NUL-terminated UTF-8 in the cache. `length`: in, the maximum units (-1 =
// all); out, the bytes written before the NUL. With `crlf`, each LF is
// written as CR LF.
uint8_t* to_utf8(Cell& str, int32_t& length);
uint8_t* to_utf8(Cell& str, int32_t& length, bool crlf);
// UTF-8 into the caller's buffer (which needs 4 bytes per unit, plus the NUL
// when asked); returns the bytes written, NUL not counted.
int64_t to_utf8_buffer(const Cell& str, uint8_t* out, int32_t max_units, bool nul);
// The same within `room` bytes: writing stops when the room is used up, so the
// text may end in the first bytes of a sequence. `max_units` is used only when
// above 0 and below the length. The NUL, when asked, goes after the last byte
// written (the caller leaves room for it).
int64_t to_utf8_buffer(const Cell& str, uint8_t* out, int64_t room, int32_t max_units, bool nul);

// NUL-terminated UTF-16LE in the cache. The whole string, LF written as CR LF.
uint16_t* to_utf16(Cell& str);
// `count`: in, the maximum units (-1 = all); out, the UTF-16 units written
// before the NUL (inserted CRs and surrogate pairs included). With `crlf`, each
// LF is written as CR LF. Null when a code point above 0x10FFFF is met.
uint16_t* to_utf16(Cell& str, int32_t& count, bool crlf);
// Each byte of a NUL-terminated byte string as one UTF-16 unit, then a zero
// unit; returns `out`.
uint16_t* ascii_to_utf16(const char* text, uint16_t* out);

// UTF-16 units beyond 2 bytes each that [p, end) needs: 2 bytes per LF and
// 2 bytes per code point above 0xFFFF.
int64_t utf16_extra_size(const uint8_t* p, const uint8_t* end, uint32_t unit);

// ---------------------------------------------------------------------------
// Import

// Loads UTF-8 into a string buffer of the narrowest unit and returns its
// node. `target` 0 makes a new buffer of unit 1; otherwise the target keeps its
// unit and is overwritten from its head; a length of 0 leaves it as it is
// (content and tail). A leading byte-order mark is skipped.
// An incomplete sequence at the end stops the load: `unconsumed` (when given)
// receives the bytes left (0 after a complete load). With `crlf`, CR LF becomes
// LF and a lone CR becomes LF. Malformed input raises access/invalid-utf8.
// `source` must not point into a series buffer: use the overload with a node.
NodeId load_utf8(const uint8_t* source, int32_t length, NodeId target, int32_t* unconsumed, bool crlf);
// The same, reading from `length` bytes at byte `offset` of the data of the
// series `source` (re-read after every allocation).
NodeId load_utf8(NodeId source, uint64_t offset, int32_t length, NodeId target, int32_t* unconsumed, bool crlf);
// Into the buffer of a string cell, no line-end conversion.
NodeId load_utf8_into(const uint8_t* source, int32_t length, const Cell& str, int32_t* unconsumed);
// Into a new buffer, no line-end conversion.
NodeId load_utf8(const uint8_t* source, int32_t length);

// Unit size that UTF-16LE text of `length` units needs: 4 when a unit's high
// byte is D8-DF, else 2 when any high byte is not 0, else 1.
uint32_t utf16_unit_size(const uint8_t* source, int32_t length);
// Loads UTF-16LE (`length` units) into a string buffer and returns its node.
// `source` null reads the data of the target cell's conversion cache (no more
// units than the cache holds); a `source` given must not point into a series
// buffer. `target` null makes a new buffer (of unit 2 for no text); a target
// takes the unit the text needs (1 for no text) and is overwritten from its
// head. With `skip_cr`, CR units are dropped. A high surrogate not followed
// by a low one raises access/invalid-utf8 with the offending bytes.
NodeId load_utf16(const uint8_t* source, int32_t length, Cell* target, bool skip_cr);
// Windows-1251 text (`length` bytes) into a string buffer; source and target
// as for load_utf16. A unit-1 buffer is widened when Cyrillic arrives. With
// `crlf`, CR LF becomes LF and a lone CR becomes LF.
NodeId load_cp1251(const uint8_t* source, int32_t length, Cell* target, bool crlf);
// The code point of a Windows-1251 byte.
uint32_t cp1251_to_cp(uint8_t byte);

}  // namespace kel::unicode
