// Image geometry: quad mapping onto the image's own rectangle reproduces
// it, degenerate quads give null without undefined behaviour, a transform
// with reversed points answers a negative width, rectangle copies at the
// edges, and YUY2 frames.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/image/backend.h"
#include "runtime/platform/image/geometry.h"
#include "tests/support.h"

namespace kel::test {
namespace {

using namespace image_geometry;

std::vector<uint32_t> numbered(int32_t w, int32_t h) {
    std::vector<uint32_t> px(size_t(w) * size_t(h));
    for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | uint32_t(i * 0x010203);
    return px;
}

struct Buffer {
    uint32_t* p;
    ~Buffer() { free_buffer(p); }
};

TEST(Geometry, VectorKit) {
    Vector v;
    vector_set(v, 3, 4);
    EXPECT_EQ(vector_length(v), 5);
    vector_normalize(v);
    EXPECT_DOUBLE_EQ(v.x, 0.6);
    vector_between(v, 1, 1, 4, 5);
    EXPECT_EQ(v.x, 3);
    EXPECT_EQ(v.y, 4);
    EXPECT_EQ(vector_cross(Vector{1, 0}, Vector{0, 1}), 1);
    EXPECT_EQ(vector_dot(Vector{1, 2}, Vector{3, 4}), 11);
    EXPECT_TRUE(left_of(0, 1, 0, 0, 1, 0));
    EXPECT_TRUE(right_of(0, -1, 0, 0, 1, 0));
    EXPECT_DOUBLE_EQ(line_distance(2, 3, 0, 0, 5, 0), 3);
    Vector r{1, 0};
    vector_rotate(r, 90);
    EXPECT_NEAR(r.x, 0, 1e-9);
    EXPECT_NEAR(r.y, 1, 1e-9);
    Quad q{{{0, 0}, {4, 0}, {4, 2}, {0, 2}}};
    EXPECT_TRUE(point_in_quad(q, 2, 1));
    EXPECT_TRUE(point_in_quad(q, 4, 2));  // on an edge
    EXPECT_FALSE(point_in_quad(q, 5, 1));
    mirror_x(q, 0);
    EXPECT_EQ(q.p[1].x, -4);
    mirror_y(q, 1);
    EXPECT_EQ(q.p[2].y, 0);
}

TEST(Geometry, MappingOntoItsOwnRectangleReproducesTheImage) {
    for (auto [w, h] : {std::pair{5, 3}, std::pair{1, 1}, std::pair{16, 9}}) {
        std::vector<uint32_t> src = numbered(w, h);
        Quad q{{{0, 0}, {float(w), 0}, {float(w), float(h)}, {0, float(h)}}};
        Box box;
        Buffer out{quad_map(src.data(), w, h, q, box)};
        ASSERT_NE(out.p, nullptr);
        EXPECT_EQ(box.w, w);
        EXPECT_EQ(box.h, h);
        EXPECT_EQ(std::vector<uint32_t>(out.p, out.p + src.size()), src);
        Buffer scaled{scale_bilinear(src.data(), w, h, w, h)};
        ASSERT_NE(scaled.p, nullptr);
        EXPECT_EQ(std::vector<uint32_t>(scaled.p, scaled.p + src.size()), src);
    }
}

// Coinciding points, NaN and infinite coordinates, huge boxes and self-
// crossing quads give null or pixels left 0, never a report of the
// sanitizers.
TEST(Geometry, DegenerateQuads) {
    std::vector<uint32_t> src = numbered(4, 4);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const Quad nulls[] = {
        {{{3, 3}, {3, 3}, {3, 3}, {3, 3}}},         {{{0, 0}, {nan, 0}, {4, 4}, {0, 4}}},
        {{{0, 0}, {inf, 0}, {4, 4}, {0, 4}}},       {{{-3e9f, 0}, {3e9f, 0}, {3e9f, 4}, {-3e9f, 4}}},
        {{{0, 0}, {70000, 0}, {70000, 4}, {0, 4}}},
    };
    for (const Quad& q : nulls) {
        Box box;
        EXPECT_EQ(quad_map(src.data(), 4, 4, q, box), nullptr);
    }
    // Two points coincide and the quad crosses itself: the sums of opposite
    // distances can be 0, which must leave those pixels 0.
    const Quad odd[] = {
        {{{0, 0}, {4, 0}, {0, 0}, {0, 4}}},
        {{{0, 0}, {4, 4}, {4, 0}, {0, 4}}},
        {{{2, 2}, {2, 2}, {4, 4}, {0, 4}}},
    };
    for (const Quad& q : odd) {
        Box box;
        Buffer out{quad_map(src.data(), 4, 4, q, box)};
        if (out.p) {
            EXPECT_GT(box.w * box.h, 0);
        }
    }
    Box box;
    EXPECT_EQ(quad_map(src.data(), 0, 4, nulls[0], box), nullptr);
    EXPECT_EQ(scale_bilinear(src.data(), 4, 4, 0, 3), nullptr);
}

TEST(Geometry, RectangleCopies) {
    std::vector<uint32_t> src = numbered(3, 2);
    std::vector<uint32_t> dst(6, 7);
    EXPECT_FALSE(copy_pixel_rect(src.data(), 3, 2, 3, 0, 1, 1, dst.data()));
    EXPECT_FALSE(copy_pixel_rect(src.data(), 3, 2, 0, 2, 1, 1, dst.data()));
    EXPECT_FALSE(copy_pixel_rect(src.data(), 3, 2, -1, 0, 1, 1, dst.data()));
    EXPECT_EQ(dst, std::vector<uint32_t>(6, 7));
    // Past the right and bottom edges: cut to what lies there.
    EXPECT_TRUE(copy_pixel_rect(src.data(), 3, 2, 2, 1, 5, 5, dst.data()));
    EXPECT_EQ(dst[0], src[5]);
    EXPECT_EQ(dst[1], 7u);
    EXPECT_TRUE(copy_pixel_rect(src.data(), 3, 2, 1, 0, 2, 2, dst.data()));
    EXPECT_EQ((std::vector<uint32_t>{dst[0], dst[1], dst[2], dst[3]}),
              (std::vector<uint32_t>{src[1], src[2], src[4], src[5]}));
}

// R in the lowest byte, alpha opaque, each channel clamped.
TEST(Geometry, Yuy2) {
    struct Row {
        uint8_t y0, u, y1, v;
        uint32_t first, second;
    };
    const Row rows[] = {
        {128, 128, 128, 128, 0xFF808080, 0xFF808080},
        {0, 128, 255, 128, 0xFF000000, 0xFFFFFFFF},
        {100, 128, 100, 255, 0xFF640AFF, 0xFF640AFF},  // V high: red clamped, green down
        {100, 255, 100, 128, 0xFFFF3A64, 0xFFFF3A64},  // U high: blue clamped, green down
    };
    for (const Row& r : rows) {
        uint8_t src[4] = {r.y0, r.u, r.y1, r.v};
        uint32_t dst[2] = {};
        yuy2_to_pixels(2, 1, src, dst);
        EXPECT_EQ(dst[0], r.first) << std::hex << dst[0];
        EXPECT_EQ(dst[1], r.second) << std::hex << dst[1];
    }
}

class Transform : public ::testing::Test {
protected:
    void SetUp() override { boot(); }
};

TEST_F(Transform, PointsCropsAndFlips) {
    std::vector<uint32_t> px = numbered(4, 2);
    Cell img = Cell{TYPE_IMAGE, 0, image::from_memory(4, 2, 0, reinterpret_cast<const uint8_t*>(px.data())),
                    image::make_size(4, 2)};
    Rooted keep(img);
    Cell out = make_none();
    Rooted keep_out(out);
    Box box;
    // No points: the image at 0x0, pixel for pixel.
    ASSERT_TRUE(transform(&out, img, nullptr, nullptr, nullptr, box));
    EXPECT_EQ((std::vector<int>{box.x, box.y, box.w, box.h}), (std::vector<int>{0, 0, 4, 2}));
    EXPECT_EQ(std::memcmp(image::pixels_of(out.data2), px.data(), 32), 0);
    // Two points in reversed horizontal order: a negative width, and the
    // pixels mapped into the mirrored box for the drawer to flip.
    Cell pts[] = {pair::make_cell(4, 0), pair::make_cell(0, 2)};
    ASSERT_TRUE(transform(&out, img, nullptr, pts, pts + 2, box));
    EXPECT_EQ(box.w, -4);
    EXPECT_EQ(box.h, 2);
    EXPECT_EQ(std::memcmp(image::pixels_of(out.data2), px.data(), 32), 0);
    // A crop: offset and size, cut to the image.
    Cell crop[] = {pair::make_cell(2, 1), pair::make_cell(9, 9)};
    ASSERT_TRUE(transform(&out, img, crop, nullptr, nullptr, box));
    EXPECT_EQ(box.w, 2);
    EXPECT_EQ(box.h, 1);
    EXPECT_EQ(image::get_pixel(out.data2, 0), px[6]);
    // An offset at or past an edge draws nothing; so do five points and
    // points that coincide.
    Cell past[] = {pair::make_cell(4, 0), pair::make_cell(1, 1)};
    EXPECT_FALSE(transform(&out, img, past, nullptr, nullptr, box));
    Cell five[] = {pair::make_cell(0, 0), pair::make_cell(1, 0), pair::make_cell(1, 1), pair::make_cell(0, 1),
                   pair::make_cell(0, 0)};
    EXPECT_FALSE(transform(&out, img, nullptr, five, five + 5, box));
    Cell same[] = {point::make2(1, 1), point::make2(1, 1), point::make2(1, 1)};
    EXPECT_FALSE(transform(&out, img, nullptr, same, same + 3, box));
    EXPECT_EQ(type_of(out), TYPE_NONE);
}

}  // namespace
}  // namespace kel::test
