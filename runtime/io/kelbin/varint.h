// The compact form's number encodings: unsigned LEB128 varints of 32-bit
// values (at most 5 bytes, the fifth carrying only 4 bits) and zigzag-coded
// signed numbers.
#pragma once
#include <cstdint>
#include <vector>

namespace kel::kelbin {

inline void put_varint(std::vector<uint8_t>& out, uint32_t v) {
    while (v >= 0x80) {
        out.push_back(uint8_t(v | 0x80));
        v >>= 7;
    }
    out.push_back(uint8_t(v));
}

inline uint32_t zigzag(int32_t n) { return (uint32_t(n) << 1) ^ uint32_t(n >> 31); }
inline int32_t unzigzag(uint32_t v) { return int32_t((v >> 1) ^ (0u - (v & 1))); }

inline void put_zigzag(std::vector<uint8_t>& out, int32_t n) { put_varint(out, zigzag(n)); }

inline void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace kel::kelbin
