// Every fixture decodes to its exact pixels (JPEG within a tolerance on its
// flat blocks); truncated and corrupted variants are refused quietly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "tests/images/fixture-pixels.h"

namespace kel::test {
namespace {

using Expect = std::function<Rgba(int x, int y)>;

struct Case {
    const char* file;
    uint32_t width, height;
    Expect pixel;
};

Rgba palette4(int x, int y, const int (&alphas)[4]) {
    Rgba c = PALETTE[(x + y) % 4];
    c.a = alphas[(x + y) % 4];
    return c;
}

int unpremultiplied(int premultiplied, int a) {
    int v = a ? (premultiplied * 255 + a / 2) / a : 0;
    return v > 255 ? 255 : v;
}

const Case CASES[] = {
    {"png-rgba.png", FW, FH, [](int x, int y) { return colour(x, y, alpha(x, y)); }},
    {"png-palette.png", FW, FH,
     [](int x, int y) {
         return palette4(x, y, {255, 128, 0, 64});
     }},
    {"png-grey.png", FW, FH,
     [](int x, int y) {
         int g = 20 * x + 50 * y;
         return Rgba{g, g, g, 255};
     }},
    {"png-16bit.png", FW, FH, [](int x, int y) { return colour(x, y); }},
    {"png-interlaced.png", FW, FH, [](int x, int y) { return colour(x, y); }},
    {"png-gama.png", FW, FH, [](int x, int y) { return colour(x, y); }},
    {"gif-transparent.gif", FW, FH, [](int x, int y) { return (x + y) % 4 == 3 ? CLEAR : PALETTE[(x + y) % 4]; }},
    {"gif-interlaced.gif", FW, 9, [](int x, int y) { return PALETTE[(x + y) % 10]; }},
    {"gif-small-frame.gif", 7, 5,
     [](int x, int y) {
         if (x < 2 || x > 4 || y < 1 || y > 2) return CLEAR;
         return PALETTE[((x - 2) + 2 * (y - 1)) % 10];
     }},
    {"gif-two-frames.gif", FW, FH, [](int x, int y) { return PALETTE[(x + y) % 4]; }},
    {"bmp-1bit.bmp", FW, FH, [](int x, int y) { return PALETTE[(x + y) % 2]; }},
    {"bmp-4bit.bmp", FW, FH, [](int x, int y) { return PALETTE[(x + 2 * y) % 10]; }},
    {"bmp-8bit.bmp", FW, FH,
     [](int x, int y) {
         return x == 4 && y == 2 ? Rgba{0, 0, 0, 255} : PALETTE[(x + y * 5) % 10];
     }},
    {"bmp-16bit-565.bmp", FW, FH,
     [](int x, int y) {
         Rgba c = colour(x, y);
         auto scale = [](int v, int bits) {
             int m = (1 << bits) - 1;
             return ((v >> (8 - bits)) * 255 + m / 2) / m;
         };
         return Rgba{scale(c.r, 5), scale(c.g, 6), scale(c.b, 5), 255};
     }},
    {"bmp-24bit.bmp", FW, FH, [](int x, int y) { return colour(x, y); }},
    {"bmp-top-down.bmp", FW, FH, [](int x, int y) { return colour(x, y); }},
    {"bmp-32bit-alpha.bmp", FW, FH, [](int x, int y) { return colour(x, y, alpha(x, y)); }},
    {"bmp-rle8.bmp", FW, FH,
     [](int x, int y) {
         if (y == 2) return x < 3 ? PALETTE[1] : PALETTE[x - 1];
         if (y == 1 && x < 2) return PALETTE[5];
         return CLEAR;
     }},
    {"bmp-rle4.bmp", FW, FH,
     [](int x, int y) {
         if (y == 2) return PALETTE[x % 2 ? 2 : 1];
         if (y == 1 && x < 3) return PALETTE[3 + x];
         return CLEAR;
     }},
    {"tiff-unassociated.tif", FW, FH, [](int x, int y) { return colour(x, y, alpha(x, y)); }},
    {"tiff-associated.tif", FW, FH,
     [](int x, int y) {
         Rgba c = colour(x, y);
         int a = alpha(x, y);
         auto pre = [&](int v) { return unpremultiplied((v * a + 127) / 255, a); };
         return Rgba{pre(c.r), pre(c.g), pre(c.b), a};
     }},
    {"tiff-palette.tif", FW, FH, [](int x, int y) { return PALETTE[(x + y * 5) % 10]; }},
    {"tiff-lzw.tif", FW, FH, [](int x, int y) { return colour(x, y); }},
    {"tiff-two-pages.tif", FW, FH, [](int x, int y) { return colour(x, y); }},
};

TEST(Decoding, EveryLosslessFixtureToItsPixels) {
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> bytes = read_fixture(c.file);
        ASSERT_FALSE(bytes.empty());
        Image d;
        ASSERT_TRUE(image_codecs::decode(bytes.data(), bytes.size(), d));
        ASSERT_EQ(d.width, c.width);
        ASSERT_EQ(d.height, c.height);
        for (uint32_t y = 0; y < d.height; ++y)
            for (uint32_t x = 0; x < d.width; ++x) {
                Rgba got = pixel_at(d, x, y), want = c.pixel(int(x), int(y));
                EXPECT_EQ(got, want) << "at " << x << "," << y << ": " << got.r << "." << got.g << "." << got.b << "."
                                     << got.a;
            }
    }
}

TEST(Decoding, JpegFlatBlocksWithinATolerance) {
    const Rgba left = {200, 40, 40, 255}, right = {30, 90, 220, 255};
    const Rgba grey_left = {60, 60, 60, 255}, grey_right = {190, 190, 190, 255};
    struct Row {
        const char* file;
        Rgba left, right;
    };
    const Row rows[] = {{"jpeg-baseline.jpg", left, right},
                        {"jpeg-progressive.jpg", left, right},
                        {"jpeg-grey.jpg", grey_left, grey_right},
                        {"jpeg-cmyk.jpg", left, right}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.file);
        std::vector<uint8_t> bytes = read_fixture(r.file);
        Image d;
        ASSERT_TRUE(image_codecs::decode(bytes.data(), bytes.size(), d));
        ASSERT_EQ(d.width, 13u);
        ASSERT_EQ(d.height, 8u);
        for (auto [x, want] : {std::pair{3u, r.left}, std::pair{11u, r.right}}) {
            Rgba got = pixel_at(d, x, 4);
            EXPECT_LE(std::abs(got.r - want.r), 8);
            EXPECT_LE(std::abs(got.g - want.g), 8);
            EXPECT_LE(std::abs(got.b - want.b), 8);
            EXPECT_EQ(got.a, 255);
        }
    }
}

// Cut at every length and with bytes flipped past the signature, each
// fixture is refused or decoded, never read past its end (the sanitizers
// watch), and never printed about.
TEST(Decoding, TruncatedAndCorruptedVariants) {
    const char* files[] = {"png-rgba.png",     "png-interlaced.png", "gif-transparent.gif",  "gif-interlaced.gif",
                           "bmp-8bit.bmp",     "bmp-rle8.bmp",       "bmp-32bit-alpha.bmp",  "tiff-lzw.tif",
                           "tiff-palette.tif", "jpeg-baseline.jpg",  "jpeg-progressive.jpg", "jpeg-cmyk.jpg"};
    for (const char* file : files) {
        SCOPED_TRACE(file);
        std::vector<uint8_t> bytes = read_fixture(file);
        // A header cut short is refused.
        for (size_t n : {size_t(0), size_t(2), size_t(8), size_t(20)}) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(std::min(n, bytes.size())));
            Image d;
            EXPECT_FALSE(image_codecs::decode(cut.data(), cut.size(), d)) << n;
        }
        for (size_t n = 0; n < bytes.size(); n += 1 + bytes.size() / 64) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
            Image d;
            image_codecs::decode(cut.data(), cut.size(), d);
        }
        for (size_t at = 6; at < bytes.size(); at += 1 + bytes.size() / 32) {
            std::vector<uint8_t> bad = bytes;
            bad[at] ^= 0xA5;
            Image d;
            image_codecs::decode(bad.data(), bad.size(), d);
        }
    }
    // Fixtures cut inside their pixel data are refused.
    for (const char* file : {"png-rgba.png", "bmp-24bit.bmp", "tiff-unassociated.tif", "gif-transparent.gif"}) {
        SCOPED_TRACE(file);
        std::vector<uint8_t> bytes = read_fixture(file);
        std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 24);
        Image d;
        EXPECT_FALSE(image_codecs::decode(cut.data(), cut.size(), d));
    }
}

// Signatures: a binary shorter than a signature never matches it.
TEST(Decoding, Signatures) {
    struct Row {
        std::vector<uint8_t> bytes;
        int format;
    };
    const Row rows[] = {
        {{0x89, 'P', 'N', 'G'}, image_codecs::IMAGE_PNG},
        {{0xFF, 0xD8, 0xFF}, image_codecs::IMAGE_JPEG},
        {{'B', 'M'}, image_codecs::IMAGE_BMP},
        {{'G', 'I', 'F', '8', '9', 'a'}, image_codecs::IMAGE_GIF},
        {{'G', 'I', 'F', '8', '7', 'a'}, image_codecs::IMAGE_GIF},
        {{'G', 'I', 'F', '8', '9'}, -1},
        {{'I', 'I', 42, 0}, image_codecs::IMAGE_TIFF},
        {{'M', 'M', 0, 42}, image_codecs::IMAGE_TIFF},
        {{'B'}, -1},
        {{}, -1},
        {{0x89, 'P', 'N'}, -1},
    };
    for (const Row& r : rows) EXPECT_EQ(image_codecs::sniff(r.bytes.data(), r.bytes.size()), r.format);
}

// Headers that claim a size beyond the limits are refused before pixel
// memory is taken.
TEST(Decoding, SizesBeyondTheLimits) {
    auto bmp = [](int32_t w, int32_t h) {
        std::vector<uint8_t> b(54 + 16, 0);
        auto put32 = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
        };
        b[0] = 'B';
        b[1] = 'M';
        put32(10, 54);
        put32(14, 40);
        put32(18, uint32_t(w));
        put32(22, uint32_t(h));
        b[26] = 1;
        b[28] = 24;
        return b;
    };
    for (auto [w, h] :
         {std::pair{65536, 1}, std::pair{1, 65536}, std::pair{65535, 65535}, std::pair{0, 1}, std::pair{-3, 1}}) {
        std::vector<uint8_t> b = bmp(w, h);
        Image d;
        EXPECT_FALSE(image_codecs::decode(b.data(), b.size(), d)) << w << "x" << h;
    }
    EXPECT_TRUE(image_codecs::size_allowed(65535, 32768));
    EXPECT_FALSE(image_codecs::size_allowed(65535, 32769));
    EXPECT_FALSE(image_codecs::size_allowed(0, 5));
    EXPECT_TRUE(image_codecs::size_allowed(0, 5, true));
}

}  // namespace
}  // namespace kel::test
