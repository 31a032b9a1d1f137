// Raw arrays on series: growth, search, removal and insertion of bytes,
// 32-bit integers and 8-byte pointers.
#include "runtime/memory/raw-array.h"

#include "tests/text/text-fixture.h"

namespace kel::test {
namespace {

// The cases hold raw arrays in C++ locals only: no collection runs while
// they do, also when another case of the program started the collector.
struct RawArray : Text {
    StandInCollector no_collection{nullptr, false};
    static std::vector<int32_t> ints(NodeId a) {
        std::vector<int32_t> v;
        for (int32_t i = 1; i <= array::length(a); i++) v.push_back(array::pick_int(a, i));
        return v;
    }
};

TEST_F(RawArray, MakeAndLength) {
    NodeId a = array::make(4, 4);
    EXPECT_EQ(array::length(a), 0);
    EXPECT_EQ(array::get_flags(a) & series_flag::UNIT_MASK, 4u);
    EXPECT_GE(memory::buffer_of(a)->size, 16u);
    NodeId p = array::make(3, 8);
    array::append_ptr(p, &a);
    EXPECT_EQ(array::length(p), 1);
}

// A size whose byte count cannot be represented is refused, not wrapped
// around into a small buffer.
TEST_F(RawArray, MakeOfAnImpossibleSizeIsAnError) {
    EXPECT_EQ(error_of([] { array::make(uint64_t(1) << 62, 8); }), int(ErrorId::script_too_long));
    NodeId empty = array::make(0, 4);
    array::append_int(empty, 42);
    EXPECT_EQ(array::pick_int(empty, 1), 42);
}

TEST_F(RawArray, AppendManyKeepsOrderThroughMoves) {
    NodeId a = array::make(4, 4);
    for (int32_t i = 0; i < 1000; i++) array::append_int(a, i * 7 - 3);
    ASSERT_EQ(array::length(a), 1000);
    for (int32_t i = 0; i < 1000; i++) ASSERT_EQ(array::pick_int(a, i + 1), i * 7 - 3);

    NodeId b = array::make(1, 1);
    for (int i = 0; i < 300; i++) array::append_byte(b, uint8_t(i));
    uint8_t chunk[40];
    for (int i = 0; i < 40; i++) chunk[i] = uint8_t(200 + i);
    uint8_t* at = array::append_bytes(b, chunk, sizeof chunk);
    EXPECT_EQ(at, array::data(b) + 300);
    EXPECT_EQ(array::length(b), 340);
    EXPECT_EQ(array::pick_byte(b, 1), 0);
    EXPECT_EQ(array::pick_byte(b, 300), uint8_t(299));
    EXPECT_EQ(array::pick_byte(b, 340), 239);
}

TEST_F(RawArray, FindRemoveInsert) {
    NodeId a = array::make(4, 4);
    for (int32_t v : {5, 9, 11, 9, 2}) array::append_int(a, v);
    EXPECT_EQ(array::find_int(a, 5), 0);
    EXPECT_EQ(array::find_int(a, 11), 8);
    EXPECT_EQ(array::find_int(a, 9), 4);
    EXPECT_EQ(array::find_int(a, 42), -1);

    array::remove_int(a, 9);  // only the first of the two
    EXPECT_EQ(ints(a), (std::vector<int32_t>{5, 11, 9, 2}));
    array::remove_int(a, 42);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{5, 11, 9, 2}));

    array::insert_int(a, 7, 0);
    array::insert_int(a, 8, 2);
    array::insert_int(a, 1, 6);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{7, 5, 8, 11, 9, 2, 1}));
    array::poke_int(a, 3, -1);
    EXPECT_EQ(array::pick_int(a, 3), -1);

    array::remove_bytes(a, 4, 8);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{7, 11, 9, 2, 1}));
    array::remove_bytes(a, 12, 100);  // clamped to the tail
    EXPECT_EQ(ints(a), (std::vector<int32_t>{7, 11, 9}));

    // Insertion into a full buffer grows it.
    NodeId full = array::make(4, 4);
    for (int32_t i = 0; i < 4; i++) array::append_int(full, i);
    for (int32_t i = 0; i < 50; i++) array::insert_int(full, 100 + i, 1);
    EXPECT_EQ(array::length(full), 54);
    EXPECT_EQ(array::pick_int(full, 1), 0);
    EXPECT_EQ(array::pick_int(full, 2), 149);
    EXPECT_EQ(array::pick_int(full, 54), 3);
}

TEST_F(RawArray, ClearAtAndCopy) {
    NodeId a = array::make(4, 4);
    for (int32_t v : {1, 2, 3, 4}) array::append_int(a, v);
    NodeId c = array::copy(a);
    array::clear_at(a, 3);
    EXPECT_EQ(ints(a), (std::vector<int32_t>{1, 2}));
    array::clear_at(a, 10);  // beyond the length: nothing changes
    EXPECT_EQ(array::length(a), 2);
    array::clear_at(a, 1);
    EXPECT_EQ(array::length(a), 0);
    EXPECT_EQ(ints(c), (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(array::get_flags(c), array::get_flags(a));
    array::clear(c);
    EXPECT_EQ(array::length(c), 0);
}

TEST_F(RawArray, PointersAreEightBytes) {
    int targets[3];
    NodeId p = array::make(2, 8);
    for (int& t : targets) array::append_ptr(p, &t);
    EXPECT_EQ(array::length(p), 3);
    EXPECT_EQ(array::find_ptr(p, &targets[2]), 16);
    EXPECT_EQ(array::find_ptr(p, nullptr), -1);
    EXPECT_EQ(array::pick_ptr(p, 2), &targets[1]);
    array::remove_bytes(p, array::find_ptr(p, &targets[0]), 8);
    EXPECT_EQ(array::pick_ptr(p, 1), &targets[1]);
}

TEST_F(RawArray, PickOutsideTheElementsIsAnError) {
    NodeId a = array::make(4, 4);
    array::append_int(a, 1);
    for (int32_t n : {0, 2, -1}) {
        EXPECT_EQ(error_of([&] { array::pick_int(a, n); }), int(ErrorId::script_out_of_range)) << n;
        EXPECT_EQ(error_of([&] { array::poke_int(a, n, 5); }), int(ErrorId::script_out_of_range)) << n;
    }
    EXPECT_EQ(error_of([&] { array::pick_byte(a, 5); }), int(ErrorId::script_out_of_range));
}

}  // namespace
}  // namespace kel::test
