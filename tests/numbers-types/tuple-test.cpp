// tuple!: byte-wise arithmetic clamped to 0..255 (float operations clamped
// in double, NaN giving 0), conversions, text, comparison, paths, pick,
// reverse; triple!'s text.
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/triple.h"
#include "tests/numbers-types/numbers-fixture.h"

namespace kel {
namespace {

using namespace test;

struct TupleTest : NumbersTest {};

Cell TU(std::initializer_list<uint8_t> bytes) { return tuple::make_cell(uint32_t(bytes.size()), bytes.begin()); }

TEST_F(TupleTest, ByteWiseArithmeticClamps) {
    const double NAN_ = NaN;
    struct Row {
        std::string got, want;
    } rows[] = {
        {add(TU({1, 2, 3}), TU({1, 2, 3, 4})), "tuple! 2.4.6.4"},
        {add(TU({200, 100, 50}), I(100)), "tuple! 255.200.150"},
        {subtract(TU({10, 20, 30}), I(20)), "tuple! 0.0.10"},
        {multiply(I(2), TU({1, 2, 3})), "tuple! 2.4.6"},
        {add(I(1), TU({1, 2, 3})), "tuple! 2.3.4"},
        {subtract(I(2), TU({1, 2, 3})), "script/not-related"},
        {divide(I(2), TU({1, 2, 3})), "script/not-related"},
        {multiply(TU({100, 100, 100}), F(1.5)), "tuple! 150.150.150"},
        {divide(TU({100, 100, 100}), I(3)), "tuple! 33.33.33"},
        {divide(TU({100, 100, 100}), F(3)), "tuple! 33.33.33"},
        {divide(TU({1, 2, 3}), I(0)), "math/zero-divide"},
        {divide(TU({1, 2, 3, 4}), TU({1, 2, 3})), "math/zero-divide"},  // the missing byte counts as 0
        {remainder(TU({7, 8, 9}), I(4)), "tuple! 3.0.1"},
        {multiply(TU({255, 255, 255}), I(2147483647)), "tuple! 255.255.255"},  // overflow above 0
        {multiply(TU({2, 0, 1}), I(-2147483647 - 1)), "tuple! 0.0.0"},  // overflow below 0
        // Float operations clamp in double before truncating; NaN gives 0.
        {multiply(TU({100, 100, 100}), F(NAN_)), "tuple! 0.0.0"},
        {add(TU({100, 0, 1}), F(NAN_)), "tuple! 0.0.0"},
        {multiply(TU({100, 0, 1}), F(INF)), "tuple! 255.0.255"},  // 0 x INF is NaN
        {multiply(TU({100, 100, 100}), F(-1.0)), "tuple! 0.0.0"},
        {multiply(TU({100, 100, 100}), F(1e300)), "tuple! 255.255.255"},
        {add(TU({100, 100, 100}), F(-1e300)), "tuple! 0.0.0"},
        {multiply(TU({1, 2, 3}), P(0.5)), "tuple! 0.1.1"},
        {multiply(F(2.0), TU({1, 2, 3})), "tuple! 2.4.6"},
        {add(P(0.5), TU({1, 2, 3})), "tuple! 1.2.3"},
        {subtract(F(1.5), TU({1, 2, 3})), "script/not-related"},
        {plain<ACTION_AND_T>(TU({12, 10, 0}), I(10)), "tuple! 8.10.0"},
        {plain<ACTION_OR_T>(TU({1, 2, 3}), TU({4, 4, 4, 4})), "tuple! 5.6.7.4"},
        {plain<ACTION_XOR_T>(TU({255, 0, 1}), I(255)), "tuple! 0.255.254"},
        {plain<ACTION_AND_T>(TU({1, 2, 3}), F(1)), "script/cannot-use"},
        {add(TU({1, 2, 3}), text_cell("1")), "script/invalid-type"},
        {add(TU({1, 2, 3}), C('a')), "script/invalid-type"},
        {complement(TU({0, 255, 1})), "tuple! 255.0.254"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(TupleTest, MakeAndTo) {
    std::initializer_list<Cell> thirteen = {I(1), I(2), I(3),  I(4),  I(5),  I(6), I(7),
                                            I(8), I(9), I(10), I(11), I(12), I(13)};
    struct Row {
        std::string got, want;
    } rows[] = {
        {to(TYPE_TUPLE, block_of({I(1), I(2)}), true), "tuple! 1.2.0"},
        {to(TYPE_TUPLE, block_of(thirteen), true), "script/bad-to-arg"},
        {to(TYPE_TUPLE, block_of({I(256), I(0), I(0)}), true), "script/bad-to-arg"},
        {to(TYPE_TUPLE, block_of({I(-1), I(0), I(0)}), true), "script/bad-to-arg"},
        {to(TYPE_TUPLE, block_of({F(1.9), C('A'), I(3)}), true), "tuple! 1.65.3"},
        {to(TYPE_TUPLE, block_of({F(-0.5), F(255.9)}), true), "tuple! 0.255.0"},
        {to(TYPE_TUPLE, block_of({F(256.0)}), true), "script/bad-to-arg"},
        {to(TYPE_TUPLE, block_of({F(NaN)}), true), "script/bad-to-arg"},
        {to(TYPE_TUPLE, block_of({F(4294967297.0)}), true), "script/bad-to-arg"},  // never wraps to 1
        {to(TYPE_TUPLE, block_of({text_cell("1")}), true), "script/bad-to-arg"},
        {to(TYPE_TUPLE, issue("FFF")), "tuple! 255.255.255"},
        {to(TYPE_TUPLE, issue("F80")), "tuple! 255.136.0"},
        {to(TYPE_TUPLE, issue("FF8000")), "tuple! 255.128.0"},
        {to(TYPE_TUPLE, issue("ff800080")), "tuple! 255.128.0.128"},
        {to(TYPE_TUPLE, issue("FF80")), "script/invalid-data"},
        {to(TYPE_TUPLE, issue("GGG")), "script/invalid-data"},
        // A character beyond ASCII is no digit, whatever its low bits spell.
        {to(TYPE_TUPLE, issue("F\u0130")), "script/invalid-data"},
        {to(TYPE_TUPLE, binary({1, 2})), "tuple! 1.2.0"},
        {to(TYPE_TUPLE, binary({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13})), "tuple! 1.2.3.4.5.6.7.8.9.10.11.12"},
        {to(TYPE_TUPLE, TU({1, 2, 3, 4})), "tuple! 1.2.3.4"},
        {to(TYPE_TUPLE, I(1)), "script/bad-to-arg"},
        {to_text(TYPE_TUPLE, "1.2.3"), "tuple! 1.2.3"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
    ScriptedLoader loader;
    ScriptedLoader::loaded = TU({1, 2, 3});
    EXPECT_EQ(to_text(TYPE_TUPLE, "1.2.3"), "tuple! 1.2.3");
    ScriptedLoader::loaded = F(1.2);
    EXPECT_EQ(to_text(TYPE_TUPLE, "1.2"), "script/bad-to-arg");
}

TEST_F(TupleTest, MakersForTheLexerAndCompiledCode) {
    int32_t ints[] = {1, 258, -1};
    Frame frame{};
    EXPECT_EQ(describe(*tuple::push_from_ints(3, ints)), "tuple! 1.2.255");
    EXPECT_EQ(describe(*tuple::push_from_ints(2, ints)), "tuple! 1.2.0");
    EXPECT_EQ(describe(*tuple::push(4, 0x04030201, 0, 0)), "tuple! 1.2.3.4");
    EXPECT_EQ(describe(tuple::make_rgba(1, 2, 3, -1)), "tuple! 1.2.3");
    EXPECT_EQ(describe(tuple::make_rgba(1, 2, 3, 4)), "tuple! 1.2.3.4");
    EXPECT_TRUE(tuple::all_zero(TU({0, 0, 0, 0})));
    EXPECT_FALSE(tuple::all_zero(TU({0, 0, 1})));
    EXPECT_EQ(TU({1, 2, 3}).data1, 0x030201u) << "the first component in the lowest byte of word 1";
}

TEST_F(TupleTest, TextComparisonAndLength) {
    EXPECT_EQ(form(TU({192, 168, 0, 1})), "192.168.0.1");
    EXPECT_TRUE(actions::compare(TU({1, 2, 3}), TU({1, 2, 3, 0}), COMP_EQUAL));
    EXPECT_TRUE(actions::compare(TU({1, 2, 3}), TU({1, 2, 4}), COMP_LESSER));
    EXPECT_TRUE(actions::compare(TU({1, 2, 3, 1}), TU({1, 2, 3}), COMP_GREATER));
    EXPECT_EQ(actions::compare_values(TU({1, 2, 3}), I(1), COMP_EQUAL), COMP_NOT_COMPARABLE);
    Cell t = TU({1, 2, 3, 4});
    EXPECT_EQ(actions::length(&t), 4);
}

TEST_F(TupleTest, BytesByPathAndPick) {
    struct Row {
        std::string got, want;
    } rows[] = {
        {pick(TU({1, 2, 3}), I(1)), "integer! 1"},
        {pick(TU({1, 2, 3}), I(4)), "script/out-of-range"},
        {pick(TU({1, 2, 3}), I(0)), "script/out-of-range"},
        {get_path(TU({1, 2, 3}), I(3)), "integer! 3"},
        {get_path(TU({1, 2, 3}), W("x")), "script/invalid-type"},
        {get_path(TU({1, 2, 3}), I(4)), "script/out-of-range"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
    struct Set {
        int32_t index;
        Cell value;
        const char* answer;
        const char* after;
    } sets[] = {
        {5, none_value, "none! none", "1.2.3.4"},
        {3, none_value, "none! none", "1.2.0"},  // never fewer than three bytes
        {2, I(300), "integer! 300", "1.255.3.4.5"},
        {2, I(-5), "integer! -5", "1.0.3.4.5"},
        {6, I(1), "script/out-of-range", "1.2.3.4.5"},
        {1, F(1.5), "script/invalid-type", "1.2.3.4.5"},
    };
    for (const Set& s : sets) {
        Cell t = TU({1, 2, 3, 4, 5});
        EXPECT_EQ(set_path(t, I(s.index), s.value), s.answer) << s.index;
        EXPECT_EQ(form(t), s.after) << s.index;
    }
    Cell t = TU({1, 2, 3, 4, 5});
    set_path(t, I(4), none_value);
    EXPECT_EQ(t.data2, 0u) << "the cut bytes are zero";
    EXPECT_TRUE(actions::compare(t, TU({1, 2, 3}), COMP_EQUAL));
}

TEST_F(TupleTest, ReverseWithPartAndSkip) {
    Cell t = TU({1, 2, 3, 4});
    struct Row {
        std::string got, want;
    } rows[] = {
        {reverse(t), "tuple! 4.3.2.1"},
        {reverse(t, none_value, I(2)), "tuple! 3.4.1.2"},
        {reverse(t, I(2)), "tuple! 2.1.3.4"},
        {reverse(t, I(9)), "tuple! 4.3.2.1"},
        {reverse(t, I(0)), "tuple! 1.2.3.4"},
        {reverse(t, none_value, I(4)), "tuple! 1.2.3.4"},
        {reverse(t, I(-1)), "script/out-of-range"},
        {reverse(t, text_cell("x")), "script/invalid-refine-arg"},
        {reverse(t, none_value, I(0)), "script/out-of-range"},
        {reverse(t, none_value, I(3)), "script/invalid-refine-arg"},
        {reverse(t, I(2), I(3)), "script/invalid-refine-arg"},
        {reverse(t, none_value, F(2)), "script/invalid-refine-arg"},
    };
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want);
}

TEST_F(TupleTest, RandomDrawsUpToEachByteAndSeedsWithTheWords) {
    ScriptedDraws draws{0};
    Cell v = TU({0, 10, 255}), out;
    actions::random(&out, &v, RandomOptions{});
    EXPECT_EQ(tuple::byte_at(out, 0), 0);
    EXPECT_LE(tuple::byte_at(out, 1), 10);
    EXPECT_EQ(tuple::count(out), 3u);
    actions::random(&out, &v, RandomOptions{.seed = true});
    EXPECT_EQ(type_of(out), TYPE_UNSET);
    EXPECT_EQ(uint32_t(ScriptedDraws::seeded), v.data1 ^ v.data2 ^ v.data3);
}

TEST_F(TupleTest, TripleHasTextOnly) {
    Cell t = triple::make_cell(1, -2, 300);
    EXPECT_EQ(form(t), "make triple! [1 -2 300]");
    EXPECT_EQ(describe(t), "triple! make triple! [1 -2 300]");
    EXPECT_EQ(to(TYPE_TRIPLE, block_of({I(1)}), true), "script/expect-arg");
    EXPECT_EQ(add(t, I(1)), "script/expect-arg");
}

}  // namespace
}  // namespace kel
