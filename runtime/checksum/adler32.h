// Adler-32 (RFC 1950): A = 1 + the sum of the bytes, B = the sum of the
// successive values of A, both modulo 65,521; the result is B << 16 | A. The
// Adler-32 of no bytes is 1, of "abc" 0x024D0127.
//
// `previous` continues a finished value, as for CRC-32 (start from 1).
#pragma once
#include <cstdint>
#include <span>

namespace kel::checksum {

uint32_t adler32(std::span<const uint8_t> bytes, uint32_t previous = 1);

}  // namespace kel::checksum
