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
#include <vector>

#include "runtime/core/cell.h"

namespace kel::kelbin {

inline constexpr uint8_t FLAG_COMPACT = 0x01;
inline constexpr uint8_t FLAG_ZSTD = 0x02;
inline constexpr uint8_t FLAG_SYMBOLS = 0x04;
inline constexpr size_t LEAD_SIZE = 8;

// The whole compact file of one value.
std::vector<uint8_t> encode_compact(const Cell& value);

// The whole standard-form file of one value (version 2, flags 0x00 or
// 0x04): 32-bit words, doubles high word first and 8-byte aligned.
std::vector<uint8_t> encode_standard(const Cell& value);

// Reads the file's values and appends them to parent, a block that must
// stay reachable (on the argument stack or rooted). The bytes are copied
// first, so data may point into a series buffer.
void decode(const uint8_t* data, size_t size, const Cell& parent);

}  // namespace kel::kelbin
