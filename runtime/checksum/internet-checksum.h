// The internet checksum (RFC 1071), the method `tcp`: the ones' complement of
// the ones' complement sum of the bytes read as big-endian 16-bit words, an
// odd last byte standing as the high byte of a word whose low byte is 0. The
// checksum of no bytes is 0xFFFF, of the single byte 01 0xFEFF.
#pragma once
#include <cstdint>
#include <span>

namespace kel::checksum {

uint16_t internet_checksum(std::span<const uint8_t> bytes);

}  // namespace kel::checksum
