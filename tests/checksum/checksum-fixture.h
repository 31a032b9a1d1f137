// Shared by the checksum tests: byte spans of text, repeated bytes and hex.
#pragma once
#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kel::test {

inline std::span<const uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

inline std::vector<uint8_t> repeated(uint8_t byte, size_t n) { return std::vector<uint8_t>(n, byte); }

inline std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<uint8_t> out(n);
    for (auto& b : out) b = uint8_t(gen());
    return out;
}

inline std::string hex(std::span<const uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

}  // namespace kel::test
