// Tables of map! values: repeated keys, word keys stored as set-words and
// found through any word type, case variants of text keys, removal, and a
// randomized run of puts and removals against std::map.
#include <map>
#include <random>

#include "tests/hashing/hashing-fixture.h"

namespace kel::test {
namespace {

using hashtable::record;

struct MapKeys : HashingTest {
    Cell* blk = nullptr;
    NodeId table = 0;

    void make_map(std::initializer_list<Cell> values) {
        blk = new_block(TYPE_MAP);
        for (const Cell& v : values) *alloc_block_tail(*blk) = v;
        table = hashtable::make_table(0, blk, hashtable::KIND_MAP);
        blk->data3 = table;
    }
    // The value cell of a key, or null: looked up as the map! actions do,
    // with 0 for the position, the skip and the flags.
    Cell* select(const Cell& key, int op = COMP_STRICT_EQUAL) {
        Cell* k = hashtable::find(table, key, 0, 0, op, false, false);
        return k ? k + 1 : nullptr;
    }
    void put_pair(const Cell& key, const Cell& value) {
        uint32_t at = uint32_t(length(*blk));
        *alloc_block_tail(*blk) = key;
        *alloc_block_tail(*blk) = value;
        hashtable::put_all(table, at, 2);
    }
};

TEST_F(MapKeys, RepeatedKeyKeepsOnePairWithTheLastValue) {
    make_map({word("a"), make_integer(1), word("b"), make_integer(2), word("a"), make_integer(3)});
    EXPECT_EQ(length(*blk), 4);
    EXPECT_EQ(record(table)->count, 2u);
    ASSERT_NE(select(word("a")), nullptr);
    EXPECT_EQ(cell_integer(*select(word("a"))), 3);
    EXPECT_EQ(cell_integer(*select(word("b"))), 2);
    // Word keys are stored as set-words.
    EXPECT_EQ(type_of(cells(*blk)[0]), TYPE_SET_WORD);
    EXPECT_EQ(type_of(cells(*blk)[2]), TYPE_SET_WORD);
}

// The skip belongs to hash! searches: a map! lookup finds its key whatever
// the position, skip and flags say.
TEST_F(MapKeys, LookupIgnoresPositionSkipAndFlags) {
    make_map({make_integer(1), make_integer(10), make_integer(2), make_integer(20)});
    for (int32_t skip : {0, -1, 1, 3})
        for (bool flag : {false, true}) {
            Cell* k = hashtable::find(table, make_integer(2), 3, skip, COMP_STRICT_EQUAL, flag, flag);
            ASSERT_NE(k, nullptr) << skip;
            EXPECT_EQ(cell_integer(k[1]), 20);
        }
}

TEST_F(MapKeys, AnyWordTypeFindsItsSetWord) {
    make_map({word("a", TYPE_SET_WORD), make_integer(1), make_integer(7), make_integer(2)});
    for (uint32_t type : {TYPE_WORD, TYPE_LIT_WORD, TYPE_GET_WORD, TYPE_SET_WORD}) {
        Cell* v = select(word("a", type));
        ASSERT_NE(v, nullptr) << type;
        EXPECT_EQ(cell_integer(*v), 1);
    }
    // An integer key is not a word key.
    EXPECT_EQ(cell_integer(*select(make_integer(7))), 2);
    EXPECT_EQ(select(make_integer(1)), nullptr);
}

TEST_F(MapKeys, TextKeysDifferingInCaseAreTwoKeys) {
    make_map({text("abc"), make_integer(1), text("ABC"), make_integer(2)});
    EXPECT_EQ(record(table)->count, 2u);
    EXPECT_EQ(hashtable::hash_value(cells(*blk)[0], false), hashtable::hash_value(cells(*blk)[2], false));
    EXPECT_EQ(cell_integer(*select(text("abc"))), 1);
    EXPECT_EQ(cell_integer(*select(text("ABC"))), 2);
    EXPECT_EQ(cell_integer(*select(text("Abc"), COMP_EQUAL)), 1);  // the first met, ignoring case
    EXPECT_EQ(select(text("Abc")), nullptr);
}

TEST_F(MapKeys, RemovedPairKeepsItsKeyUntilPutAgain) {
    make_map({word("a"), make_integer(1), word("b"), make_integer(2)});
    hashtable::delete_at(table, cells(*blk) + 0);
    EXPECT_EQ(record(table)->count, 1u);
    EXPECT_EQ(cells(*blk)[1].header, 0u);
    hashtable::delete_at(table, cells(*blk) + 0);  // already removed: the count stays
    EXPECT_EQ(record(table)->count, 1u);
    put_pair(word("a"), make_integer(10));
    EXPECT_EQ(record(table)->count, 2u);
    EXPECT_EQ(length(*blk), 4);
    EXPECT_EQ(cell_integer(*select(word("a"))), 10);
}

TEST_F(MapKeys, RandomizedPutsAndRemovalsAgainstStdMap) {
    make_map({});
    std::map<int32_t, int32_t> model;
    std::mt19937 rng(11);
    size_t steps = scaled(6000, 1200);
    for (size_t step = 0; step < steps; ++step) {
        int32_t key = int32_t(rng() % 700);
        if (rng() % 4) {
            int32_t value = int32_t(rng() % 100000);
            put_pair(make_integer(key), make_integer(value));
            model[key] = value;
        } else {
            Cell* k = hashtable::find(table, make_integer(key), 0, 1, COMP_STRICT_EQUAL, false, false);
            if (k) hashtable::delete_at(table, k);
            model.erase(key);
        }
        ASSERT_EQ(record(table)->count, model.size());
        ASSERT_LE(record(table)->occupied, record(table)->upper);
    }
    for (int32_t key = 0; key < 700; ++key) {
        Cell* v = select(make_integer(key));
        auto it = model.find(key);
        if (it == model.end()) {
            EXPECT_TRUE(v == nullptr || v->header == 0) << key;
        } else {
            ASSERT_NE(v, nullptr) << key;
            EXPECT_EQ(cell_integer(*v), it->second);
        }
    }
    // A map keeps one pair per key ever put.
    EXPECT_EQ(length(*blk) % 2, 0);
    EXPECT_LE(length(*blk), 2 * 700);
}

}  // namespace
}  // namespace kel::test
