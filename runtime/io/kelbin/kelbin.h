// The KELBIN binary value format: a value graph written to bytes and read
// back, sharing and cycles kept.
//
// A file is the lead ("KELBIN", a version byte, a flags byte: bit 0 compact
// form, bit 1 zstd-compressed payload, bit 2 symbol table present) and the
// records of one form. The writer here produces the compact form (version 2,
// flags 0x01 or 0x05); the reader takes every lead and refuses what it cannot
// read with a language error, never a crash:
// - script/invalid-data for input shorter than the lead, a wrong magic and a
//   corrupt or oversized compressed payload;
// - script/kb-invalid-record with the 1-based byte position where reading
//   stopped for any malformed record (positions inside a compressed payload
//   count from the payload's start);
// - access/no-codec for a type that has no record (routine!, handle!,
//   port!, event!, triple!, symbol!, context!, series!), writer and reader.
//
// Both directions are re-entrant: all their state (path stack, path store,
// reference table, symbol table) belongs to the call and is released on
// every exit. Nesting deeper than block::DEEP_COPY_LEVELS is refused
// (writer: internal/too-deep; reader: kb-invalid-record).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/core/cell.h"

namespace kel::kelbin {

inline constexpr uint8_t FLAG_COMPACT = 0x01;
inline constexpr uint8_t FLAG_ZSTD = 0x02;
inline constexpr uint8_t FLAG_SYMBOLS = 0x04;
inline constexpr size_t LEAD_SIZE = 8;

// The whole compact file of one value.
std::vector<uint8_t> encode_compact(const Cell& value);

// The boot image's writer: a compact file of several top-level values
// sharing one symbol table, and set records (a plain word and the value it
// is set to, which the boot reader binds and drops: they take no literal
// number). Values are written as encode_compact writes them.
class ImageWriter {
public:
    ImageWriter();
    ~ImageWriter();
    ImageWriter(const ImageWriter&) = delete;
    ImageWriter& operator=(const ImageWriter&) = delete;
    // A set record; the word must be one written plain.
    void set(const Cell& word, const Cell& value);
    // The next literal.
    void value(const Cell& value);
    // The whole file so far.
    std::vector<uint8_t> finish() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The whole standard-form file of one value (version 2, flags 0x00 or
// 0x04): 32-bit words, doubles high word first and 8-byte aligned.
std::vector<uint8_t> encode_standard(const Cell& value);

// Reads the file's values and appends them to parent, a block that must
// stay reachable (on the argument stack or rooted). The bytes are copied
// first, so data may point into a series buffer.
void decode(const uint8_t* data, size_t size, const Cell& parent);

// Boot mode (the boot image): a compact file whose records may be set
// records (0xC4: a word, then the value it is set to; neither stays), bound
// words naming the literal that holds their context by its number (counted
// from the cells parent held before decoding; index -1: found by name,
// ignoring case), and natives and actions made from their recorded spec
// (which stays in the parent right after each). size is the length bound.
// An uncompressed image is read in place: it must not move. Raises as
// decode does.
void decode_boot(const uint8_t* image, size_t size, const Cell& parent);

// Start-up's load of the boot image into the literal block
// (roots::literal_block), with the collector off during the decode and its
// flag restored afterwards. Answers the cell index of the image's first
// literal; the literal base becomes that index, or stays as it was with
// keep_base. A bad lead, a corrupt compressed image or a malformed record
// prints its message on a line of its own and ends the process with
// exit_status::UNCAUGHT_ERROR (254).
uint32_t boot_load(const uint8_t* image, size_t size, bool keep_base);

}  // namespace kel::kelbin
