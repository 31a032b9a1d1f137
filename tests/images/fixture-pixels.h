// The pixels the fixtures of tests/images/fixtures hold, computed the way
// tools/make-image-fixtures.py writes them, and a reader of fixture files.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/platform/image/codecs.h"
#include "tests/test-paths.h"

namespace kel::test {

inline constexpr uint32_t FW = 5, FH = 3;

struct Rgba {
    int r, g, b, a;
    bool operator==(const Rgba&) const = default;
};

inline Rgba colour(int x, int y, int a = 255) { return {40 * x + 10, 60 * y + 15, 200 - 30 * x - 20 * y, a}; }
inline int alpha(int x, int y) { return (x * 50 + y * 70) % 256; }
inline const Rgba PALETTE[] = {{255, 0, 0, 255},    {0, 255, 0, 255},   {0, 0, 255, 255},     {255, 255, 0, 255},
                               {0, 255, 255, 255},  {255, 0, 255, 255}, {128, 128, 128, 255}, {10, 20, 30, 255},
                               {200, 100, 50, 255}, {1, 2, 3, 255}};
inline constexpr Rgba CLEAR = {0, 0, 0, 0};

inline std::vector<uint8_t> read_fixture(const std::string& name) {
    std::string path = std::string(SOURCE_DIR) + "/tests/images/fixtures/" + name;
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
        std::fclose(f);
    }
    return bytes;
}

inline Rgba pixel_at(const image_codecs::Decoded& d, uint32_t x, uint32_t y) {
    const uint8_t* p = d.pixels + (size_t(y) * d.width + x) * 4;
    return {p[2], p[1], p[0], p[3]};
}

// A decoded image that frees its block.
struct Image : image_codecs::Decoded {
    Image() = default;
    Image(const Image&) = delete;
    ~Image() { image_codecs::release(*this); }
};

}  // namespace kel::test
