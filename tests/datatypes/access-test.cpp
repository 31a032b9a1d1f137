// series! access: pick and poke by position and series type, clear, random
// (with a generator that replays a fixed sequence), reflect and modify.
#include <algorithm>
#include <cstring>

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
    const Case cases[] = {{0, 1, 0}, {0, 3, 2}, {0, 4, -1}, {0, 0, -1}, {1, -1, 0}, {1, 0, -1},
                          {1, -2, -1}, {2, 2, -1}, {2, 1, 2}, {3, -3, 0}, {7, -5, 2}};
    for (const Case& c : cases) {
        Cell b = *blk, s = *str, y = *bin;
        b.data1 = s.data1 = y.data1 = uint32_t(c.head);
        Cell pb = *series::pick(&b, c.index, nullptr);
        Cell ps = *series::pick(&s, c.index, nullptr);
        Cell py = *series::pick(&y, c.index, nullptr);
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

TEST_F(SeriesTest, PickFromABlockAnswersTheCellItself) {
    Cell* blk = ints({1, 2});
    EXPECT_EQ(series::pick(blk, 2, nullptr), cells(*blk) + 1);
}

TEST_F(SeriesTest, PokeWritesByType) {
    Cell* blk = ints({1, 2, 3});
    Cell v = integer(99);
    EXPECT_EQ(cell_integer(*series::poke(blk, 2, &v, nullptr)), 99);
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{1, 99, 3}));

    Cell* str = text({'a', 'b', 'c'});
    Cell e = char_of(0xE9);
    series::poke(str, 1, &e, nullptr);
    EXPECT_EQ(string::buffer(*str)->unit(), 1u) << "poking a Latin-1 char keeps one byte";
    Cell omega = char_of(0x3A9);
    series::poke(str, 3, &omega, nullptr);
    EXPECT_EQ(string::buffer(*str)->unit(), 2u);
    EXPECT_EQ(points_of(*str), (std::vector<uint32_t>{0xE9, 'b', 0x3A9}));

    Cell* bin = bytes({1, 2});
    Cell big = integer(0x1FF);
    Cell ch = char_of('A');
    series::poke(bin, 1, &big, nullptr);
    series::poke(bin, 2, &ch, nullptr);
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
        {blk, 0, 0, &v, ErrorId::script_out_of_range},   {blk, 0, 4, &v, ErrorId::script_out_of_range},
        {blk, 0, -1, &v, ErrorId::script_out_of_range},  {blk, 3, 1, &v, ErrorId::script_out_of_range},
        {str, 0, 3, &v, ErrorId::script_out_of_range},   {str, 0, 1, &v, ErrorId::script_invalid_arg},
        {bin, 0, 1, &word_like, ErrorId::script_invalid_arg},
    };
    for (const Case& c : cases) {
        Cell s = *c.series;
        s.data1 = uint32_t(c.head);
        EXPECT_EQ(error_of([&] { series::poke(&s, c.index, c.value, nullptr); }), id(c.expected))
            << type_of(s) << " " << c.head << "/" << c.index;
        if (c.expected == ErrorId::script_out_of_range) {
            EXPECT_EQ(cell_integer(pending_error.args[0]), c.index);
        }
    }
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(points_of(*str), (std::vector<uint32_t>{'a', 'b'}));
}

TEST_F(SeriesTest, ClearCutsFromTheHead) {
    Cell* blk = ints({1, 2, 3, 4});
    Cell v = *blk;
    v.data1 = 2;
    series::clear(&v);
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{1, 2}));
    series::clear(&v);  // at the tail: nothing changes
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{1, 2}));
    v.data1 = 9;
    series::clear(&v);
    EXPECT_EQ(block::buffer(v)->cell_count(), 2u) << "a head past the tail clears nothing";
    Cell* str = text({'a', 'b', 'c'}, 4);
    series::clear(str);
    EXPECT_EQ(string::ks_abs_length(*str), 0);
}

TEST_F(SeriesTest, ClearOfAHashDropsItsEntries) {
    Cell* h = ints({5, 6, 7, 8}, TYPE_HASH);
    h->data3 = hashtable::make(4, h, hashtable::KIND_HASH, 0);
    Cell v = *h;
    v.data1 = 1;
    series::clear(&v);
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
    series::random(&v, false, false, false);
    EXPECT_EQ(type_of(v), TYPE_BLOCK) << "the answer is the series";
    std::vector<int32_t> after = ints_of(*blk);
    EXPECT_EQ(after[0], 0);
    EXPECT_EQ(after[1], 1);
    std::vector<int32_t> sorted(after.begin() + 2, after.end());
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int32_t>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_NE(std::vector<int32_t>(after.begin() + 2, after.end()), sorted) << "ten values left in order by chance";

    Cell* str = text({'a', 0x3042, 'c', 0x1F600}, 4);
    series::random(str, false, false, false);
    std::vector<uint32_t> p = points_of(*str);
    std::sort(p.begin(), p.end());
    EXPECT_EQ(p, (std::vector<uint32_t>{'a', 'c', 0x3042, 0x1F600}));
}

TEST_F(RandomTest, SeedMakesTheFollowingDrawsRepeatable) {
    Cell* key = text({'k', 'e', 'y'});
    auto draw = [&] {
        Cell s = *key;
        series::random(&s, true, false, false);
        EXPECT_EQ(type_of(s), TYPE_UNSET);
        std::vector<int32_t> picks;
        for (int i = 0; i < 8; ++i) picks.push_back(series::random_integer(1000, false));
        return picks;
    };
    std::vector<int32_t> first = draw();
    EXPECT_EQ(draw(), first);
    for (int32_t k : first) EXPECT_TRUE(k >= 1 && k <= 1000);
}

TEST_F(RandomTest, OnlyAnswersOneUnitOrNone) {
    Cell* blk = ints({4, 5, 6});
    Cell v = *blk;
    series::random(&v, false, false, true);
    ASSERT_EQ(type_of(v), TYPE_INTEGER);
    EXPECT_TRUE(cell_integer(v) >= 4 && cell_integer(v) <= 6);
    EXPECT_EQ(ints_of(*blk), (std::vector<int32_t>{4, 5, 6})) << "/only leaves the series as it is";

    Cell* bin = bytes({200});
    Cell y = *bin;
    series::random(&y, false, false, true);
    EXPECT_EQ(y.header, TYPE_INTEGER);
    EXPECT_EQ(cell_integer(y), 200);

    Cell* str = text({0x3042}, 2);
    Cell s = *str;
    series::random(&s, false, false, true);
    EXPECT_EQ(s.header, TYPE_CHAR);
    EXPECT_EQ(s.data2, 0x3042u);

    Cell e = *blk;
    e.data1 = 3;
    series::random(&e, false, false, true);
    EXPECT_EQ(type_of(e), TYPE_NONE);
}

TEST_F(RandomTest, AShuffledHashStillFindsItsValues) {
    std::initializer_list<int32_t> values = {11, 12, 13, 14, 15, 16, 17, 18};
    Cell* h = ints(values, TYPE_HASH);
    h->data3 = hashtable::make(8, h, hashtable::KIND_HASH, 0);
    series::random(h, false, false, false);
    for (int32_t v : values) {
        Cell* found = hashtable::find(h->data3, integer(v), 0, 1, COMP_EQUAL, false, false);
        ASSERT_NE(found, nullptr) << v;
        EXPECT_EQ(cell_integer(*found), v);
    }
}

// A generator that answers the listed draws in turn.
struct ListedDraws {
    static inline std::vector<int32_t> draws;
    static inline size_t taken = 0;
    static int32_t next(bool) {
        EXPECT_LT(taken, draws.size()) << "more draws than listed";
        return taken < draws.size() ? draws[taken++] : 0;
    }
};

// Each of 1 .. n is equally likely: a draw (0 .. 2^31 - 1) at or above the
// last whole multiple of n is drawn again, where folding it in by the
// remainder would make the low answers likelier than the others.
TEST_F(RandomTest, UniformIntegerRedrawsAboveTheLastWholeMultiple) {
    for (int32_t n : {1, 2, 3, 7, 1000, INT32_MAX}) {
        for (int i = 0; i < 200; ++i) {
            int32_t k = series::random_integer(n, false);
            ASSERT_TRUE(k >= 1 && k <= n) << n << " gave " << k;
        }
    }
    const int32_t max = INT32_MAX;
    const int32_t half = (1 << 30) + 1;  // only one whole multiple fits: almost half the draws are redrawn
    struct Case {
        int32_t n;
        std::vector<int32_t> draws;
        int32_t expected;
    } cases[] = {
        {3, {max - 1, max, 4}, 2},  // 2^31 - 2 is a multiple of 3: it and the one above are redrawn
        {3, {max - 2}, 3},
        {7, {6}, 7},
        {half, {half, max, 7}, 8},
        {half, {half - 1}, half},
        {max, {max, 0}, 1},
        {max, {max - 1}, max},
    };
    logic::random_source().next = ListedDraws::next;
    for (const Case& c : cases) {
        ListedDraws::draws = c.draws;
        ListedDraws::taken = 0;
        EXPECT_EQ(series::random_integer(c.n, false), c.expected) << c.n << " after " << c.draws.size() << " draws";
        EXPECT_EQ(ListedDraws::taken, c.draws.size()) << c.n;
    }
}

TEST_F(SeriesTest, WithoutAGeneratorRandomIsNotDone) {
    Restore<logic::RandomSource> source(logic::random_source());
    logic::random_source() = logic::RandomSource{};
    Cell v = *ints({1, 2});
    EXPECT_EQ(error_of([&] { series::random(&v, false, false, false); }), id(ErrorId::internal_not_done));
}

TEST_F(SeriesTest, ReflectKnowsOnlyTheOwnedField) {
    Cell v = *ints({1});
    int32_t other = symbol::make("spec");
    EXPECT_EQ(error_of([&] { series::reflect(&v, other); }), id(ErrorId::internal_not_done));
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
    series::poke(blk, 2, &v, nullptr);
    Cell at_tail = *blk;
    at_tail.data1 = 3;
    series::clear(&at_tail);
    Cell from_two = *blk;
    from_two.data1 = 2;
    series::clear(&from_two);
    Cell* unowned = ints({1});
    series::clear(unowned);
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
    h->data3 = hashtable::make(4, h, hashtable::KIND_HASH, 0);
    Cell v = integer(5);
    series::poke(h, 1, &v, nullptr);  // 5 2 1 3
    auto found = [&](int32_t value) {
        return hashtable::find(h->data3, integer(value), 0, 1, COMP_EQUAL, false, false);
    };
    EXPECT_EQ(found(5), cells(*h));
    EXPECT_EQ(found(1), cells(*h) + 2) << "the other 1 is still found";
    EXPECT_EQ(found(2), cells(*h) + 1);
    v = integer(2);
    series::poke(h, 3, &v, nullptr);  // 5 2 2 3
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
    series::reflect(&v, symbol::make("OWNED"));  // canonical symbols compared
    EXPECT_EQ(type_of(v), TYPE_NONE) << "no owner yet";

    // modify owned [object word]: that field owns the series; the answer is the value.
    Cell spec = *ints({7, 8});
    Cell field{TYPE_WORD, 0, uint32_t(symbol::make("owned")), 0};
    v = *blk;
    series::modify(&v, &field, &spec, false);
    EXPECT_EQ(cell_node(v), cell_node(spec));
    EXPECT_EQ(bound, cell_node(*blk));
    EXPECT_EQ(cell_integer(owner_cells[0]), 7);
    EXPECT_EQ(cell_integer(owner_cells[1]), 8);
    v = *blk;
    series::reflect(&v, symbol::make("owned"));
    EXPECT_EQ(cell_integer(v), 7) << "the owner";

    // Another field changes nothing; none unbinds.
    Cell other{TYPE_WORD, 0, uint32_t(symbol::make("spec")), 0};
    Cell none_cell = none_value;
    v = *blk;
    series::modify(&v, &other, &none_cell, false);
    EXPECT_FALSE(unbound);
    EXPECT_EQ(type_of(v), TYPE_NONE);
    v = *blk;
    series::modify(&v, &field, &none_cell, false);
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
    EXPECT_EQ(cell_integer(*series::pick(vec, 2, nullptr)), 30);
    EXPECT_EQ(cell_integer(*series::pick(vec, -1, nullptr)), 10);
    EXPECT_EQ(type_of(*series::pick(vec, 4, nullptr)), TYPE_NONE);
    Cell v = integer(99);
    series::poke(vec, 3, &v, nullptr);
    EXPECT_EQ(cell_integer(*series::pick(vec, 3, nullptr)), 99);
    Cell c = char_of('x');
    EXPECT_EQ(error_of([&] { series::poke(vec, 1, &c, nullptr); }), id(ErrorId::script_invalid_arg))
        << "a char! is not an integer! element";
    EXPECT_EQ(cell_integer(*series::pick(vec, 1, nullptr)), 20);
}

}  // namespace
}  // namespace kel::test
