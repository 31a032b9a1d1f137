// series! access: pick and poke by position and series type, clear, random
// (with a generator that replays a fixed sequence), reflect and modify.
#include <algorithm>
#include <cstring>

#include "runtime/numbers/random.h"
#include "tests/datatypes/series-fixture.h"

namespace kel::test {
namespace {

TEST_F(SeriesTest, PickByPositionAndType) {
    Cell* blk = ints({10, 20, 30});
    Cell* str = text({'a', 0x3042, 'c'}, 2);
    Cell* bin = bytes({7, 255, 9});
    struct Case {
        int32_t head, index;
        int32_t expected;  // unit index from the buffer start, -1 for none
    };
    const Case cases[] = {{0, 1, 0},   {0, 3, 2},  {0, 4, -1}, {0, 0, -1}, {1, -1, 0}, {1, 0, -1},
                          {1, -2, -1}, {2, 2, -1}, {2, 1, 2},  {3, -3, 0}, {7, -5, 2}};
    for (const Case& c : cases) {
        Cell b = *blk, s = *str, y = *bin;
        b.data1 = s.data1 = y.data1 = uint32_t(c.head);
        Cell pb, ps, py;
        series::pick(&pb, &b, c.index, nullptr);
        series::pick(&ps, &s, c.index, nullptr);
        series::pick(&py, &y, c.index, nullptr);
        if (c.expected < 0) {
            EXPECT_EQ(type_of(pb), TYPE_NONE) << c.head << "/" << c.index;
            EXPECT_EQ(type_of(ps), TYPE_NONE);
            EXPECT_EQ(type_of(py), TYPE_NONE);
            continue;
        }
        EXPECT_EQ(cell_integer(pb), 10 * (c.expected + 1)) << c.head << "/" << c.index;
        EXPECT_EQ(type_of(ps), TYPE_CHAR);
        EXPECT_EQ(ps.data2, string::get_char_at(*str, c.expected));
        EXPECT_EQ(type_of(py), TYPE_INTEGER) << "a byte picks as an integer!";
        EXPECT_EQ(cell_integer(py), int32_t(std::initializer_list<int>{7, 255, 9}.begin()[c.expected]));
    }
}

// The answer is a copy in the caller's cell: changing it leaves the block's
// cell alone, and the answer may replace the series argument itself (the
// frame's first cell).
TEST_F(SeriesTest, PickAnswersACopyOfTheCell) {
    Cell* blk = ints({1, 2});
    Cell out = make_none();
    series::pick(&out, blk, 2, nullptr);
    EXPECT_EQ(cell_integer(out), 2);
    out = integer(7);
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{1, 2}));
    Cell in_place = *blk;
    series::pick(&in_place, &in_place, 1, nullptr);
    EXPECT_EQ(in_place.header, TYPE_INTEGER);
    EXPECT_EQ(cell_integer(in_place), 1);
}

TEST_F(SeriesTest, PokeWritesByType) {
    Cell* blk = ints({1, 2, 3});
    Cell v = integer(99);
    Cell out = make_none();
    series::poke(&out, blk, 2, &v, nullptr);
    EXPECT_EQ(cell_integer(out), 99) << "poke answers the value";
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{1, 99, 3}));

    Cell* str = text({'a', 'b', 'c'});
    Cell e = char_of(0xE9);
    series::poke(&out, str, 1, &e, nullptr);
    EXPECT_EQ(string::buffer(*str)->unit(), 1u) << "poking a Latin-1 char keeps one byte";
    Cell omega = char_of(0x3A9);
    series::poke(&out, str, 3, &omega, nullptr);
    EXPECT_EQ(string::buffer(*str)->unit(), 2u);
    EXPECT_EQ(points_of(*str), (std::vector<uint32_t>{0xE9, 'b', 0x3A9}));

    Cell* bin = bytes({1, 2});
    Cell big = integer(0x1FF);
    Cell ch = char_of('A');
    series::poke(&out, bin, 1, &big, nullptr);
    series::poke(&out, bin, 2, &ch, nullptr);
    EXPECT_EQ(string::get_char_at(*bin, 0), 0xFFu) << "the low byte";
    EXPECT_EQ(string::get_char_at(*bin, 1), uint32_t('A'));
}

TEST_F(SeriesTest, PokeErrors) {
    Cell* blk = ints({1, 2, 3});
    Cell* str = text({'a', 'b'});
    Cell* bin = bytes({1});
    Cell v = integer(5);
    Cell word_like{TYPE_NONE, 0, 0, 0};
    struct Case {
        Cell* series;
        int32_t head, index;
        Cell* value;
        ErrorId expected;
    };
    const Case cases[] = {
        {blk, 0, 0, &v, ErrorId::script_out_of_range},        {blk, 0, 4, &v, ErrorId::script_out_of_range},
        {blk, 0, -1, &v, ErrorId::script_out_of_range},       {blk, 3, 1, &v, ErrorId::script_out_of_range},
        {str, 0, 3, &v, ErrorId::script_out_of_range},        {str, 0, 1, &v, ErrorId::script_invalid_arg},
        {bin, 0, 1, &word_like, ErrorId::script_invalid_arg},
    };
    for (const Case& c : cases) {
        Cell s = *c.series;
        s.data1 = uint32_t(c.head);
        EXPECT_EQ(error_of([&] { series::poke(&s, &s, c.index, c.value, nullptr); }), id(c.expected))
            << type_of(s) << " " << c.head << "/" << c.index;
        if (c.expected == ErrorId::script_out_of_range) {
            EXPECT_EQ(cell_integer(error_in_flight().args[0]), c.index);
        }
    }
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(points_of(*str), (std::vector<uint32_t>{'a', 'b'}));
}

TEST_F(SeriesTest, ClearCutsFromTheHead) {
    Cell* blk = ints({1, 2, 3, 4});
    Cell v = *blk;
    v.data1 = 2;
    series::clear(&v, &v);
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{1, 2}));
    series::clear(&v, &v);  // at the tail: nothing changes
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{1, 2}));
    v.data1 = 9;
    series::clear(&v, &v);
    EXPECT_EQ(block::buffer(v)->cell_count(), 2u) << "a head past the tail clears nothing";
    Cell* str = text({'a', 'b', 'c'}, 4);
    series::clear(str, str);
    EXPECT_EQ(string::ks_abs_length(*str), 0);
}

TEST_F(SeriesTest, ClearOfAHashDropsItsEntries) {
    Cell* h = ints({5, 6, 7, 8}, TYPE_HASH);
    h->data3 = hashtable::make_table(4, h, hashtable::KIND_HASH);
    Cell v = *h;
    v.data1 = 1;
    series::clear(&v, &v);
    EXPECT_EQ(hashtable::find(h->data3, integer(5), 0, 1, COMP_EQUAL, false, false), cells(*h));
    EXPECT_EQ(hashtable::find(h->data3, integer(7), 0, 1, COMP_EQUAL, false, false), nullptr);
}

// A generator that replays a linear congruential sequence from its seed.
struct ScriptedRandom {
    static inline uint32_t state = 1;
    static void seed(int32_t s) { state = uint32_t(s); }
    static int32_t next(bool) {
        state = state * 1103515245u + 12345u;
        return int32_t(state >> 1);
    }
};

struct RandomTest : SeriesTest {
    Restore<logic::RandomSource> source{logic::random_source()};
    void SetUp() override {
        SeriesTest::SetUp();
        logic::random_source().seed = ScriptedRandom::seed;
        logic::random_source().next = ScriptedRandom::next;
        ScriptedRandom::state = 1;
    }
};

TEST_F(RandomTest, ShuffleIsAPermutationFromTheHead) {
    Cell* blk = ints({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    Cell v = *blk;
    v.data1 = 2;
    series::random(&v, &v, {});
    EXPECT_EQ(type_of(v), TYPE_BLOCK) << "the answer is the series";
    std::vector<int32_t> after = ints_of(*blk);
    EXPECT_EQ(after[0], 0);
    EXPECT_EQ(after[1], 1);
    std::vector<int32_t> sorted(after.begin() + 2, after.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int32_t>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_NE(std::vector<int32_t>(after.begin() + 2, after.end()), sorted) << "ten values left in order by chance";

    Cell* str = text({'a', 0x3042, 'c', 0x1F600}, 4);
    series::random(str, str, {});
    std::vector<uint32_t> p = points_of(*str);
    std::sort(p.begin(), p.end());
    EXPECT_EQ(p, (std::vector<uint32_t>{'a', 'c', 0x3042, 0x1F600}));
}

TEST_F(RandomTest, SeedMakesTheFollowingDrawsRepeatable) {
    Cell* key = text({'k', 'e', 'y'});
    auto draw = [&] {
        Cell s = *key;
        series::random(&s, &s, {.seed = true});
        EXPECT_EQ(type_of(s), TYPE_UNSET);
        std::vector<int32_t> picks;
        for (int i = 0; i < 8; ++i) picks.push_back(random::uniform(1000, false));
        return picks;
    };
    std::vector<int32_t> first = draw();
    EXPECT_EQ(draw(), first);
    for (int32_t k : first) EXPECT_TRUE(k >= 1 && k <= 1000);
}

TEST_F(RandomTest, OnlyAnswersOneUnitOrNone) {
    Cell* blk = ints({4, 5, 6});
    Cell v = *blk;
    series::random(&v, &v, {.only = true});
    ASSERT_EQ(type_of(v), TYPE_INTEGER);
    EXPECT_TRUE(cell_integer(v) >= 4 && cell_integer(v) <= 6);
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{4, 5, 6})) << "/only leaves the series as it is";

    Cell* bin = bytes({200});
    Cell y = *bin;
    series::random(&y, &y, {.only = true});
    EXPECT_EQ(y.header, TYPE_INTEGER);
    EXPECT_EQ(cell_integer(y), 200);

    Cell* str = text({0x3042}, 2);
    Cell s = *str;
    series::random(&s, &s, {.only = true});
    EXPECT_EQ(s.header, TYPE_CHAR);
    EXPECT_EQ(s.data2, 0x3042u);

    Cell e = *blk;
    e.data1 = 3;
    series::random(&e, &e, {.only = true});
    EXPECT_EQ(type_of(e), TYPE_NONE);
}

TEST_F(RandomTest, AShuffledHashStillFindsItsValues) {
    std::initializer_list<int32_t> values = {11, 12, 13, 14, 15, 16, 17, 18};
    Cell* h = ints(values, TYPE_HASH);
    h->data3 = hashtable::make_table(8, h, hashtable::KIND_HASH);
    series::random(h, h, {});
    for (int32_t v : values) {
        Cell* found = hashtable::find(h->data3, integer(v), 0, 1, COMP_EQUAL, false, false);
        ASSERT_NE(found, nullptr) << v;
        EXPECT_EQ(cell_integer(*found), v);
    }
}

// A source that counts its draws and always answers 0, so every uniform
// integer is 1 after one draw and a shuffle leaves every unit where it is.
struct CountedDraws : SeriesTest {
    static inline int draws = 0;
    static int32_t next(bool) {
        ++draws;
        return 0;
    }
    random::Source saved = random::source();
    void SetUp() override {
        SeriesTest::SetUp();
        random::source() = random::Source{nullptr, next};
    }
    void TearDown() override {
        random::source() = saved;
        SeriesTest::TearDown();
    }
};

// One draw per position of a shuffle, the last one (a single unit left)
// included; one draw for /only, a single unit included.
TEST_F(CountedDraws, OneDrawPerPositionAndOneForOnly) {
    struct Case {
        std::initializer_list<int32_t> values;
        int shuffle_draws, only_draws;
    } cases[] = {{{}, 0, 0}, {{4}, 1, 1}, {{4, 5}, 2, 1}, {{4, 5, 6, 7, 8}, 5, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.values.size());
        Cell* blk = ints(c.values);
        Cell v = *blk;
        draws = 0;
        series::random(&v, &v, {});
        EXPECT_EQ(draws, c.shuffle_draws);
        EXPECT_EQ(ints_of(*blk), std::vector<int32_t>(c.values)) << "every draw answered 1";
        v = *blk;
        draws = 0;
        series::random(&v, &v, {.only = true});
        EXPECT_EQ(draws, c.only_draws);
    }
    // The same for the units of a string, counted from its head.
    Cell* str = text({'a', 'b', 'c'});
    Cell s = *str;
    s.data1 = 1;
    draws = 0;
    series::random(&s, &s, {});
    EXPECT_EQ(draws, 2);
}

TEST_F(SeriesTest, WithoutAGeneratorRandomIsNotDone) {
    Restore<logic::RandomSource> source(logic::random_source());
    logic::random_source() = logic::RandomSource{};
    Cell v = *ints({1, 2});
    EXPECT_EQ(error_of([&] { series::random(&v, &v, {}); }), id(ErrorId::internal_not_done));
}

TEST_F(SeriesTest, ReflectKnowsOnlyTheOwnedField) {
    Cell v = *ints({1});
    int32_t other = symbol::make("spec");
    EXPECT_EQ(error_of([&] { series::reflect(&v, &v, other); }), id(ErrorId::internal_not_done));
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

// The owner of an owned series hears of pokes and clears through the
// installed check; a clear at the tail changes nothing and tells no one.
TEST_F(SeriesTest, OwnedSeriesReportTheirChanges) {
    static std::vector<series::Change> heard;
    heard.clear();
    series::Services saved = series::services();
    series::services().check_owner = [](const Cell&, series::Change change, const Cell*, int32_t, int32_t) {
        heard.push_back(change);
        return 1;
    };
    Cell* blk = ints({1, 2, 3});
    block::buffer(*blk)->flags |= 0x20000;  // owned
    Cell v = integer(7);
    Cell out;
    series::poke(&out, blk, 2, &v, nullptr);
    Cell at_tail = *blk;
    at_tail.data1 = 3;
    series::clear(&at_tail, &at_tail);
    Cell from_two = *blk;
    from_two.data1 = 2;
    series::clear(&from_two, &from_two);
    Cell* unowned = ints({1});
    series::clear(unowned, unowned);
    series::services() = saved;
    using C = series::Change;
    EXPECT_EQ(heard, (std::vector<C>{C::poke, C::poked, C::clear, C::cleared}));
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{1, 7}));
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

// A poke replaces a cell of a hash!: the table forgets the old value at that
// position and knows the new one, and equal values elsewhere stay findable.
TEST_F(SeriesTest, PokeIntoAHashKeepsItsTableInStep) {
    Cell* h = ints({1, 2, 1, 3}, TYPE_HASH);
    h->data3 = hashtable::make_table(4, h, hashtable::KIND_HASH);
    Cell v = integer(5);
    Cell out;
    series::poke(&out, h, 1, &v, nullptr);  // 5 2 1 3
    auto found = [&](int32_t value) {
        return hashtable::find(h->data3, integer(value), 0, 1, COMP_EQUAL, false, false);
    };
    EXPECT_EQ(found(5), cells(*h));
    EXPECT_EQ(found(1), cells(*h) + 2) << "the other 1 is still found";
    EXPECT_EQ(found(2), cells(*h) + 1);
    v = integer(2);
    series::poke(&out, h, 3, &v, nullptr);  // 5 2 2 3
    EXPECT_EQ(found(1), nullptr) << "no 1 is left";
    EXPECT_EQ(found(2), cells(*h) + 1);
    EXPECT_EQ(hashtable::find(h->data3, integer(2), 2, 1, COMP_EQUAL, false, false), cells(*h) + 2);
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

// Services installed for one test and put back afterwards.
struct ServicesSwap {
    series::Services saved = series::services();
    ~ServicesSwap() { series::services() = saved; }
};

TEST_F(SeriesTest, ReflectAndModifyTheOwnedField) {
    ServicesSwap swap;
    static Cell owner_cells[2];
    static NodeId bound;
    static bool unbound;
    bound = 0;
    unbound = false;
    series::Services& sv = series::services();
    sv.owned_symbol = symbol::resolve(symbol::make("owned"));
    sv.get_owner = [](NodeId node) { return node == bound ? owner_cells : nullptr; };
    sv.set_owner = [](const Cell& value, const Cell* owner, const Cell* word) {
        if (!owner) {
            unbound = true;
            return;
        }
        bound = cell_node(value);
        owner_cells[0] = *owner;
        owner_cells[1] = *word;
    };

    Cell* blk = ints({1, 2});
    Cell v = *blk;
    series::reflect(&v, &v, symbol::make("OWNED"));  // canonical symbols compared
    EXPECT_EQ(type_of(v), TYPE_NONE) << "no owner yet";

    // modify owned [object word]: that field owns the series; the answer is the value.
    Cell spec = *ints({7, 8});
    Cell field{TYPE_WORD, 0, uint32_t(symbol::make("owned")), 0};
    v = *blk;
    series::modify(&v, &v, &field, &spec, false);
    EXPECT_EQ(cell_node(v), cell_node(spec));
    EXPECT_EQ(bound, cell_node(*blk));
    EXPECT_EQ(cell_integer(owner_cells[0]), 7);
    EXPECT_EQ(cell_integer(owner_cells[1]), 8);
    v = *blk;
    series::reflect(&v, &v, symbol::make("owned"));
    EXPECT_EQ(cell_integer(v), 7) << "the owner";

    // Another field changes nothing; none unbinds.
    Cell other{TYPE_WORD, 0, uint32_t(symbol::make("spec")), 0};
    Cell none_cell = none_value;
    v = *blk;
    series::modify(&v, &v, &other, &none_cell, false);
    EXPECT_FALSE(unbound);
    EXPECT_EQ(type_of(v), TYPE_NONE);
    v = *blk;
    series::modify(&v, &v, &field, &none_cell, false);
    EXPECT_TRUE(unbound);
}

// A vector! reaches its elements through the vector module: pick hands it the
// element's address, type and width; poke wants a value of the element type.
TEST_F(SeriesTest, VectorElementsGoThroughTheVectorModule) {
    ServicesSwap swap;
    series::Services& sv = series::services();
    sv.vector_push_value = [](const uint8_t* element, uint32_t type, uint32_t width) {
        int32_t v = 0;
        std::memcpy(&v, element, width);
        EXPECT_EQ(type, TYPE_INTEGER);
        return stack::push(integer(v));
    };
    sv.vector_set_value = [](const Cell&, const Cell& value, uint8_t* element) {
        int32_t v = cell_integer(value);
        std::memcpy(element, &v, 4);
    };
    // Four 32-bit integer elements 10 20 30 40, head at the second.
    Cell* vec = stack::push(make_unset());
    *vec = Cell{TYPE_VECTOR, 1, memory::alloc_series(4, 4, 0), TYPE_INTEGER};
    uint8_t* at = alloc_tail_bytes(string::buffer(*vec), 16);
    for (int32_t i = 0; i < 4; ++i) {
        int32_t v = 10 * (i + 1);
        std::memcpy(at + 4 * i, &v, 4);
    }
    auto picked = [&](int32_t index) {
        Cell out;
        series::pick(&out, vec, index, nullptr);
        return out;
    };
    Cell* top = stack::state.top;
    EXPECT_EQ(cell_integer(picked(2)), 30);
    EXPECT_EQ(stack::state.top, top) << "the element the vector module pushed is popped again";
    EXPECT_EQ(cell_integer(picked(-1)), 10);
    EXPECT_EQ(type_of(picked(4)), TYPE_NONE);
    Cell v = integer(99);
    Cell out;
    series::poke(&out, vec, 3, &v, nullptr);
    EXPECT_EQ(cell_integer(picked(3)), 99);
    Cell c = char_of('x');
    EXPECT_EQ(error_of([&] { series::poke(&out, vec, 1, &c, nullptr); }), id(ErrorId::script_invalid_arg))
        << "a char! is not an integer! element";
    EXPECT_EQ(cell_integer(picked(1)), 20);
}

}  // namespace
}  // namespace kel::test
