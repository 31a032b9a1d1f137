// Encoders: what they write decodes back to the same pixels (BMP, PNG,
// TIFF with alpha; GIF up to 256 colours with alpha 0 or 255; JPEG within
// a tolerance), the same pixels always give the same bytes, and the BMP
// file carries the version-5 header with bit fields.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/images/fixture-pixels.h"

namespace kel::test {
namespace {

// Odd sizes; every byte of every pixel differs a little.
std::vector<uint8_t> pattern(uint32_t w, uint32_t h, bool binary_alpha) {
    std::vector<uint8_t> p(size_t(w) * h * 4);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* q = &p[(size_t(y) * w + x) * 4];
            q[0] = uint8_t(x * 7 + y * 3);
            q[1] = uint8_t(x * 11 + 5);
            q[2] = uint8_t(y * 13 + 9);
            q[3] = binary_alpha ? ((x + y) % 3 ? 255 : 0) : uint8_t(x * 17 + y * 29);
        }
    return p;
}

std::vector<uint8_t> round_trip(int format, const std::vector<uint8_t>& px, uint32_t w, uint32_t h) {
    std::vector<uint8_t> file;
    EXPECT_TRUE(image_codecs::encode(format, px.data(), w, h, file));
    Image d;
    EXPECT_TRUE(image_codecs::decode(file.data(), file.size(), d));
    EXPECT_EQ(d.width, w);
    EXPECT_EQ(d.height, h);
    if (!d.pixels || d.width != w || d.height != h) return {};
    return std::vector<uint8_t>(d.pixels, d.pixels + px.size());
}

TEST(Encoding, LosslessFormatsKeepEveryPixelWithAlpha) {
    for (int format : {image_codecs::IMAGE_BMP, image_codecs::IMAGE_PNG, image_codecs::IMAGE_TIFF}) {
        SCOPED_TRACE(format);
        for (auto [w, h] : {std::pair{1u, 1u}, std::pair{7u, 5u}, std::pair{33u, 2u}}) {
            std::vector<uint8_t> px = pattern(w, h, false);
            EXPECT_EQ(round_trip(format, px, w, h), px);
        }
    }
}

// Fewer than 256 colours with alpha 0 or 255: exact, the transparent ones
// as black with A = 0.
TEST(Encoding, GifKeepsFewColoursExactly) {
    uint32_t w = 9, h = 7;
    std::vector<uint8_t> px = pattern(w, h, true);
    std::vector<uint8_t> want = px;
    for (size_t i = 0; i < want.size(); i += 4)
        if (want[i + 3] == 0) want[i] = want[i + 1] = want[i + 2] = 0;
    EXPECT_EQ(round_trip(image_codecs::IMAGE_GIF, px, w, h), want);
}

// More colours than a palette holds: quantised, close to the source, the
// transparent index kept.
TEST(Encoding, GifQuantisesManyColours) {
    uint32_t w = 64, h = 64;
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (uint32_t i = 0; i < w * h; ++i) {
        px[i * 4 + 0] = uint8_t(i * 37);
        px[i * 4 + 1] = uint8_t(i / 16);
        px[i * 4 + 2] = uint8_t(i * 5 + i / 64);
        px[i * 4 + 3] = i % 97 == 0 ? 0 : 255;
    }
    std::vector<uint8_t> got = round_trip(image_codecs::IMAGE_GIF, px, w, h);
    ASSERT_EQ(got.size(), px.size());
    long error = 0;
    for (size_t i = 0; i < px.size(); i += 4) {
        EXPECT_EQ(got[i + 3], px[i + 3]);
        if (px[i + 3])
            for (int c = 0; c < 3; ++c) error += std::abs(int(got[i + c]) - int(px[i + c]));
    }
    EXPECT_LT(error / long(w * h * 3), 24);
}

TEST(Encoding, JpegWithinATolerance) {
    uint32_t w = 16, h = 16;
    std::vector<uint8_t> px(size_t(w) * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
        px[i] = 40;
        px[i + 1] = 120;
        px[i + 2] = 200;
        px[i + 3] = 7;  // alpha is dropped: the result is opaque
    }
    std::vector<uint8_t> got = round_trip(image_codecs::IMAGE_JPEG, px, w, h);
    ASSERT_EQ(got.size(), px.size());
    for (size_t i = 0; i < px.size(); i += 4) {
        for (int c = 0; c < 3; ++c) EXPECT_LE(std::abs(int(got[i + c]) - int(px[i + c])), 4);
        EXPECT_EQ(got[i + 3], 255);
    }
}

TEST(Encoding, SamePixelsGiveTheSameBytes) {
    std::vector<uint8_t> px = pattern(300, 41, false);
    for (int format = 0; format < image_codecs::FORMAT_COUNT; ++format) {
        SCOPED_TRACE(format);
        std::vector<uint8_t> a, b;
        ASSERT_TRUE(image_codecs::encode(format, px.data(), 300, 41, a));
        ASSERT_TRUE(image_codecs::encode(format, px.data(), 300, 41, b));
        EXPECT_EQ(a, b);
    }
    std::vector<uint8_t> none;
    EXPECT_FALSE(image_codecs::encode(5, px.data(), 300, 41, none));
    EXPECT_FALSE(image_codecs::encode(-1, px.data(), 300, 41, none));
}

TEST(Encoding, BmpHeader) {
    std::vector<uint8_t> px = pattern(3, 2, false), file;
    ASSERT_TRUE(image_codecs::encode_bmp(px.data(), 3, 2, file));
    auto u32 = [&](size_t at) {
        uint32_t v;
        std::memcpy(&v, &file[at], 4);
        return v;
    };
    EXPECT_EQ(file.size(), 14u + 124u + 24u);
    EXPECT_EQ(u32(2), file.size());
    EXPECT_EQ(u32(10), 138u);
    EXPECT_EQ(u32(14), 124u);
    EXPECT_EQ(int32_t(u32(22)), 2);  // positive: bottom-up
    EXPECT_EQ(u32(30), 3u);  // bit fields
    EXPECT_EQ(u32(54), 0x00FF0000u);
    EXPECT_EQ(u32(66), 0xFF000000u);
    EXPECT_EQ(u32(70), 0x57696E20u);
    EXPECT_EQ(u32(122), 4u);
    // The first row stored is the bottom one.
    EXPECT_EQ(std::memcmp(&file[138], &px[3 * 4], 12), 0);
}

}  // namespace
}  // namespace kel::test
