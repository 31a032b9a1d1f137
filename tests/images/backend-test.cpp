// The pixel backend over a started runtime: the fill rules, copies from
// memory with a stride, scaling, rectangles at the edges, flipping, what a
// released record still answers, and pixel memory under the collector.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/image.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/image/backend.h"
#include "tests/support.h"

namespace kel::test {
namespace {

class Backend : public ::testing::Test {
protected:
    void SetUp() override { boot(); }
    // A pixel as R, G, B, A.
    static std::array<int, 4> at(NodeId record, int64_t i) {
        uint32_t v = image::get_pixel(record, i);
        return {int(v >> 16 & 255), int(v >> 8 & 255), int(v & 255), int(v >> 24)};
    }
    // An image value over a record, kept reachable while it lives: a guard
    // on the bare record node would keep the record but not its pixels.
    struct Held {
        explicit Held(NodeId r)
            : cell{TYPE_IMAGE, 0, r, r ? image::make_size(image::width_of(r), image::height_of(r)) : 0}, keep(cell) {}
        operator NodeId() const { return cell.data2; }
        Cell cell;
        Rooted keep;
    };
    // A w x h image whose pixel i holds the integer i in its four bytes.
    static NodeId numbered(uint32_t w, uint32_t h) {
        std::vector<uint32_t> px(size_t(w) * h);
        for (uint32_t i = 0; i < px.size(); ++i) px[i] = i;
        return image::from_memory(w, h, 0, reinterpret_cast<const uint8_t*>(px.data()));
    }
};

TEST_F(Backend, FillRules) {
    using P = std::array<int, 4>;
    const P white = {255, 255, 255, 255};
    struct Row {
        const char* what;
        std::vector<uint8_t> rgb, alpha;
        bool has_rgb, has_alpha;
        std::vector<uint8_t> colour;  // tuple bytes, empty for none
        std::array<P, 4> want;
    };
    const Row rows[] = {
        {"neither binary: opaque white", {}, {}, false, false, {}, {white, white, white, white}},
        {"seven rgb bytes: two triplets",
         {1, 2, 3, 4, 5, 6, 7},
         {},
         true,
         false,
         {},
         {P{1, 2, 3, 255}, P{4, 5, 6, 255}, white, white}},
        {"one alpha byte", {}, {40}, false, true, {}, {P{255, 255, 255, 215}, white, white, white}},
        {"both", {9, 8, 7}, {0, 255}, true, true, {}, {P{9, 8, 7, 255}, P{255, 255, 255, 0}, white, white}},
        {"a 4-component colour",
         {},
         {},
         false,
         false,
         {10, 20, 30, 40},
         {P{10, 20, 30, 215}, P{10, 20, 30, 215}, P{10, 20, 30, 215}, P{10, 20, 30, 215}}},
        {"a 3-component colour",
         {},
         {},
         false,
         false,
         {10, 20, 30},
         {P{10, 20, 30, 255}, P{10, 20, 30, 255}, P{10, 20, 30, 255}, P{10, 20, 30, 255}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Cell rgb = make_none(), alpha = make_none(), colour = make_none();
        Rooted k1(rgb), k2(alpha);
        if (r.has_rgb) {
            binary::make_at(rgb, r.rgb.size());
            binary::append_bytes(rgb, r.rgb.data(), r.rgb.size());
        }
        if (r.has_alpha) {
            binary::make_at(alpha, r.alpha.size());
            binary::append_bytes(alpha, r.alpha.data(), r.alpha.size());
        }
        if (!r.colour.empty()) colour = tuple::make_cell(uint32_t(r.colour.size()), r.colour.data());
        Held record(image::create_bitmap(2, 2, r.has_rgb ? &rgb : nullptr, r.has_alpha ? &alpha : nullptr,
                                         r.colour.empty() ? nullptr : &colour));
        for (int i = 0; i < 4; ++i) EXPECT_EQ(at(record, i), r.want[size_t(i)]) << i;
    }
    EXPECT_EQ(image::create_bitmap(0, 5, nullptr, nullptr, nullptr), 0u);
}

TEST_F(Backend, FromMemoryWithAStride) {
    // Rows of 2 pixels, 12 bytes apart: the 4 bytes after each row are skipped.
    std::vector<uint32_t> src = {1, 2, 0xDEAD, 3, 4, 0xBEEF};
    Held record(image::from_memory(2, 2, 12, reinterpret_cast<const uint8_t*>(src.data())));
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(image::get_pixel(record, i), i + 1);
}

TEST_F(Backend, ScalingByNearestNeighbour) {
    Held small(numbered(2, 2));
    Held up(image::scale(small, 4, 4));
    const uint32_t want_up[] = {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 3, 3};
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(image::get_pixel(up, i), want_up[i]) << i;
    Held big(numbered(4, 4));
    Held down(image::scale(big, 2, 2));
    const uint32_t want_down[] = {0, 2, 8, 10};
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(image::get_pixel(down, i), want_down[i]) << i;
    Held odd(image::scale(big, 3, 1));
    const uint32_t want_odd[] = {0, 1, 2};
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(image::get_pixel(odd, i), want_odd[i]) << i;
}

TEST_F(Backend, RectanglesAtEachEdgeAndFlipping) {
    Held src(numbered(3, 3));
    struct Row {
        uint32_t x, y, w, h;
        std::vector<uint32_t> want;
    };
    const Row rows[] = {
        {0, 0, 2, 2, {0, 1, 3, 4}}, {1, 0, 2, 1, {1, 2}}, {0, 2, 3, 1, {6, 7, 8}},
        {2, 1, 1, 2, {5, 8}},       {2, 2, 1, 1, {8}},    {0, 0, 3, 3, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const Row& r : rows) {
        Held copy(image::copy_rect(src, r.x, r.y, r.w, r.h));
        ASSERT_EQ(image::width_of(copy), r.w);
        ASSERT_EQ(image::height_of(copy), r.h);
        for (uint32_t i = 0; i < r.want.size(); ++i) EXPECT_EQ(image::get_pixel(copy, i), r.want[i]);
    }
    Held flipped(image::flip_vertical(src));
    const uint32_t want[] = {6, 7, 8, 3, 4, 5, 0, 1, 2};
    for (uint32_t i = 0; i < 9; ++i) EXPECT_EQ(image::get_pixel(flipped, i), want[i]);
}

// A released record keeps its size and answers no pixels: pick gives none,
// the data are empty, mold ends with " #{}]" and encoding is refused.
TEST_F(Backend, AReleasedImage) {
    NodeId record = numbered(2, 1);
    Cell img = Cell{TYPE_IMAGE, 0, record, image::make_size(2, 1)};
    Rooted keep(img);
    uint64_t before = memory::external_bytes();
    image::release(img);
    EXPECT_EQ(memory::external_bytes(), before - 8);
    EXPECT_EQ(image::pixels_of(record), nullptr);
    EXPECT_EQ(image::width_of(record), 2u);
    Cell* t = image::pixel_tuple(img, 0);
    EXPECT_EQ(type_of(*t), TYPE_NONE);
    stack::pop(1);
    Cell* data = image::extract_data(img, image::DATA_ARGB);
    EXPECT_EQ(binary::ks_length(*data), 0);
    stack::pop(1);
    Cell out = make_none();
    EXPECT_EQ(error_of([&] { image::encode(&out, img, image::IMAGE_PNG); }), id(ErrorId::access_bad_media));
    image::release(img);  // twice is harmless
}

TEST_F(Backend, AnUnknownFormatGivesNothing) {
    Held record(numbered(1, 1));
    Cell out = make_none();
    EXPECT_FALSE(image::encode_bytes(record, 1, 1, 5, &out));
    EXPECT_EQ(type_of(out), TYPE_NONE);
}

// An image held only in a block keeps its pixels through collections; one
// that nothing holds is freed, and its bytes leave the count.
TEST_F(Backend, PixelsLiveAsLongAsTheirImage) {
    Cell block = make_none();
    Rooted keep(block);
    block::make_at(block, 2);
    block.header = TYPE_BLOCK;
    collector::do_cycle();
    uint64_t base = memory::external_bytes();
    {
        Held image(numbered(100, 100));
        block::append_cell(block, image.cell);
    }
    NodeId dropped = numbered(200, 200);
    (void)dropped;
    EXPECT_EQ(memory::external_bytes(), base + 40000 + 160000);
    collector::do_cycle();
    EXPECT_EQ(memory::external_bytes(), base + 40000);
    Cell held = memory::buffer_of(cell_node(block))->cells()[0];
    EXPECT_EQ(image::get_pixel(held.data2, 9999), 9999u);
}

// Making and dropping many large images keeps the pixels held bounded: the
// pixel bytes count toward the collection pacing.
TEST_F(Backend, DroppedImagesKeepMemoryBounded) {
    uint64_t base = memory::external_bytes();
    uint64_t most = 0;
    size_t n = scaled(1000, 40);
    for (size_t i = 0; i < n; ++i) {
        image::create_bitmap(1000, 1000, nullptr, nullptr, nullptr);
        most = std::max(most, memory::external_bytes() - base);
    }
    EXPECT_LT(most, uint64_t(64) << 20);
}

}  // namespace
}  // namespace kel::test
