// CRC-32 as gzip, zlib and PNG use it (ISO 3309 / ITU-T V.42): reflected,
// polynomial 0xEDB88320, initial value 0xFFFFFFFF, result complemented. The
// CRC of "123456789" is 0xCBF43926.
//
// `previous` continues a finished CRC: crc32(b, crc32(a)) is the CRC of a
// followed by b, so a stream can be checked piece by piece.
#pragma once
#include <cstdint>
#include <span>

namespace kel::checksum {

uint32_t crc32(std::span<const uint8_t> bytes, uint32_t previous = 0);

}  // namespace kel::checksum
