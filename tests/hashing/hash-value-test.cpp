// Tables of hash! values: duplicate chains, find with from, skip, last and
// reverse, removal, position shifts and moves, copies and resets, and a
// randomized run of block edits against a plain linear search.
#include <algorithm>
#include <random>
#include <vector>

#include "runtime/evaluator/stack.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/raw-array.h"
#include "tests/hashing/hashing-fixture.h"

namespace kel::test {
namespace {

using hashtable::record;

struct HashValues : HashingTest {
    Cell* blk = nullptr;
    NodeId table = 0;

    // A hash! on the argument stack holding the values, indexed by a table
    // made from its block.
    void make_hash(const std::vector<Cell>& values, uint32_t size = 0) {
        blk = new_block(TYPE_HASH);
        for (const Cell& v : values) *alloc_block_tail(*blk) = v;
        table = hashtable::make_table(size, blk, hashtable::KIND_HASH);
        blk->data3 = table;
    }
    int32_t find(const Cell& v, int32_t from, int32_t skip = 1, bool last = false, bool reverse = false) {
        return position(*blk, hashtable::find(table, v, from, skip, COMP_EQUAL, last, reverse));
    }
    void append(const Cell& v) {
        Cell* c = alloc_block_tail(*blk);
        *c = v;
        hashtable::put(table, c);
    }
    void insert_at(int32_t pos, const Cell& v) {
        int32_t len = length(*blk);
        alloc_block_tail(*blk);
        Cell* cs = cells(*blk);
        std::memmove(cs + pos + 1, cs + pos, size_t(len - pos) * sizeof(Cell));
        cs[pos] = v;
        if (hashtable::shift_positions(table, 1, pos, len - pos, true)) {
            hashtable::rebuild(table, uint32_t(len + 1));
            return;
        }
        hashtable::put(table, cells(*blk) + pos);
    }
    void remove_at(int32_t pos) {
        int32_t len = length(*blk);
        Cell* cs = cells(*blk);
        hashtable::delete_at(table, cs + pos);
        std::memmove(cs + pos, cs + pos + 1, size_t(len - pos - 1) * sizeof(Cell));
        memory::buffer_of(cell_node(*blk))->tail -= sizeof(Cell);
        if (hashtable::shift_positions(table, -1, pos + 1, len - pos - 1, true))
            hashtable::rebuild(table, uint32_t(len - 1));
    }
    // Moves count cells from c to d as the move action does inside one
    // block: forward, they end at d; backward, they start at d.
    void move_cells(int32_t c, int32_t count, int32_t d) {
        Cell* cs = cells(*blk);
        std::vector<Cell> saved(cs + c, cs + c + count);
        if (d > c + count) {
            std::memmove(cs + c, cs + c + count, size_t(d - c - count) * sizeof(Cell));
            std::copy(saved.begin(), saved.end(), cs + d - count);
        } else {
            std::memmove(cs + d + count, cs + d, size_t(c - d) * sizeof(Cell));
            std::copy(saved.begin(), saved.end(), cs + d);
        }
        hashtable::move_positions(table, d, c, count);
    }
};

TEST_F(HashValues, EqualValuesShareABucketThroughAChain) {
    Cell a = word("a"), b = word("b"), c = word("c");
    make_hash({a, b, a, c, a});
    EXPECT_EQ(record(table)->count, 3u);  // a chain counts once
    int chained = 0;
    for (uint32_t i = 0; i < record(table)->buckets; ++i)
        if (reinterpret_cast<int32_t*>(memory::buffer_of(record(table)->keys)->data())[i] < 0) ++chained;
    EXPECT_EQ(chained, 1);

    // a stands at 0, 2 and 4. With a skip, a match at l counts when l - from
    // (forward) or from - l - 1 (last, reverse) is a multiple of the skip.
    struct Case {
        int32_t from, skip;
        bool last, reverse;
        int32_t expected;
    } cases[] = {
        {0, 1, false, false, 0},  {1, 1, false, false, 2},  {3, 1, false, false, 4},
        {5, 1, false, false, -1}, {0, 1, true, false, 4},   {3, 1, true, false, 4},
        {4, 1, false, true, 2},   {0, 1, false, true, -1},  {5, 1, false, true, 4},
        {0, 2, false, false, 0},  {1, 2, false, false, -1}, {1, 3, false, false, 4},
        {5, 2, false, true, 4},   {4, 2, false, true, -1},  {1, 1, true, false, 4},
        {0, 2, true, false, -1},  // from - l - 1 is -1, -3, -5: all odd
        {1, 2, true, false, 4},  // 1 - l - 1 is -2 for 2 and -4 for 4; the last is 4
        {3, 3, true, false, -1},  // 3 - 4 - 1 = -2: no multiple of 3
    };
    for (const Case& k : cases)
        EXPECT_EQ(find(a, k.from, k.skip, k.last, k.reverse), k.expected)
            << "from " << k.from << " skip " << k.skip << " last " << k.last << " reverse " << k.reverse;
    EXPECT_EQ(find(b, 0), 1);
    EXPECT_EQ(find(word("A"), 1), 2);  // words compare by canonical symbol
    EXPECT_EQ(find(word("d"), 0), -1);

    // find_next walks the probe sequence: a's group, then nothing more.
    int32_t bucket = -1, end = 0, step = 0;
    EXPECT_EQ(position(*blk, hashtable::find_next(table, a, &bucket, &end, &step)), 0);
    EXPECT_EQ(hashtable::find_next(table, a, &bucket, &end, &step), nullptr);
}

TEST_F(HashValues, RemovingChainMembersKeepsTheOthersFindable) {
    Cell a = word("a"), b = word("b"), c = word("c");
    make_hash({a, b, a, c, a});
    hashtable::delete_at(table, cells(*blk) + 2);
    EXPECT_EQ(find(a, 1), 4);
    EXPECT_EQ(find(a, 0), 0);
    EXPECT_EQ(record(table)->count, 3u);
    hashtable::delete_at(table, cells(*blk) + 0);
    hashtable::delete_at(table, cells(*blk) + 0);  // again: nothing more happens
    EXPECT_EQ(record(table)->count, 3u);
    hashtable::delete_at(table, cells(*blk) + 4);
    EXPECT_EQ(record(table)->count, 2u);  // the bucket is freed
    EXPECT_EQ(find(a, 0), -1);
    EXPECT_EQ(find(c, 0), 3);
    // A new a starts a fresh group.
    append(a);
    EXPECT_EQ(find(a, 0), 5);
    EXPECT_EQ(record(table)->count, 3u);
}

// find/last/skip 2 of 7, worked by hand: from the head (0) a 7 at l counts
// when 0 - l - 1 is even, that is when l is odd. A block! scan from the last
// cell back by twos (5, 3, 1) sees the same positions.
TEST_F(HashValues, LastWithSkipCountsBackFromTheCellBeforeTheStart) {
    struct Case {
        std::vector<int32_t> values;
        int32_t expected;
    } cases[] = {
        {{7, 1, 7, 2, 7, 3}, -1},  // the 7s stand at 0, 2, 4: none is odd
        {{1, 7, 2, 7, 3, 7}, 5},  // the 7s stand at 1, 3, 5: the last is 5
        {{7, 7, 1, 1}, 1},  // 0 is even, 1 is odd
    };
    for (const Case& c : cases) {
        std::vector<Cell> cells;
        for (int32_t v : c.values) cells.push_back(make_integer(v));
        make_hash(cells);
        EXPECT_EQ(find(make_integer(7), 0, 2, true), c.expected) << ::testing::PrintToString(c.values);
    }
}

// A chain that empties gives its number to the last chain of the list, so
// repeated edits never leave the list growing with dead slots.
TEST_F(HashValues, EmptiedChainsLeaveNoHolesInTheChainList) {
    auto chains = [&] { return array::length(record(table)->chains); };
    make_hash({make_integer(1), make_integer(1), make_integer(2), make_integer(2), make_integer(3), make_integer(3)});
    EXPECT_EQ(chains(), 3);
    remove_at(0);
    remove_at(0);  // the chain of 1 empties: the chain of 3 takes its number
    EXPECT_EQ(chains(), 2);
    EXPECT_EQ(find(make_integer(1), 0), -1);
    EXPECT_EQ(find(make_integer(3), 0), 2);
    EXPECT_EQ(find(make_integer(3), 0, 1, true), 3);
    append(make_integer(3));  // joins the moved chain
    EXPECT_EQ(find(make_integer(3), 3, 1, true), 4);
    remove_at(0);
    remove_at(0);  // the chain of 2, now the last one, empties
    EXPECT_EQ(chains(), 1);
    EXPECT_EQ(find(make_integer(3), 0), 0);
    EXPECT_EQ(record(table)->count, 1u);

    // Poking values in and out of one group, over and over.
    for (int i = 0; i < 500; ++i) {
        append(make_integer(9));
        append(make_integer(9));
        remove_at(length(*blk) - 1);
        remove_at(length(*blk) - 1);
    }
    EXPECT_EQ(chains(), 1);
    EXPECT_EQ(find(make_integer(9), 0), -1);
    EXPECT_EQ(find(make_integer(3), 1), 1);
}

TEST_F(HashValues, SkipBelowOneIsRefused) {
    make_hash({make_integer(1), make_integer(2)});
    for (int32_t skip : {0, -1, INT32_MIN}) {
        int id = error_of([&] { hashtable::find(table, make_integer(1), 0, skip, COMP_EQUAL, false, false); });
        EXPECT_EQ(id, int(ErrorId::script_out_of_range)) << skip;
    }
}

TEST_F(HashValues, DeleteRangeClearsEverythingOrEachPosition) {
    make_hash({make_integer(1), make_integer(2), make_integer(1), make_integer(3)});
    hashtable::delete_range(table, 1, 2);
    EXPECT_EQ(find(make_integer(2), 0), -1);
    EXPECT_EQ(find(make_integer(1), 0), 0);
    EXPECT_EQ(find(make_integer(1), 1), -1);
    EXPECT_EQ(find(make_integer(3), 0), 3);
    hashtable::delete_range(table, 0, 100);  // clamped: covers every value
    EXPECT_EQ(record(table)->count, 0u);
    EXPECT_EQ(record(table)->occupied, 0u);
    EXPECT_EQ(find(make_integer(3), 0), -1);
    // The block is the caller's: refill it and index it again.
    hashtable::rebuild(table, uint32_t(length(*blk)));
    EXPECT_EQ(find(make_integer(1), 1), 2);
}

TEST_F(HashValues, ShiftGivesUpAbove30000Positions) {
    for (int32_t n : {30000, 30001}) {
        SCOPED_TRACE(n);
        std::vector<Cell> values;
        for (int32_t i = 0; i < n; ++i) values.push_back(make_integer(i));
        make_hash(values);
        insert_at(0, make_integer(-1));  // rebuilds when the shift gives up
        for (int32_t i : {-1, 0, 1, n / 2, n - 1}) ASSERT_EQ(find(make_integer(i), 0), i + 1) << i;
    }
    // A shift that gives up changes nothing.
    make_hash({make_integer(5), make_integer(6)});
    EXPECT_EQ(hashtable::shift_positions(table, 1, 0, 30001, true), 1);
    EXPECT_EQ(find(make_integer(6), 0), 1);
    EXPECT_EQ(hashtable::shift_positions(table, 1, 0, 30000, true), 0);
}

TEST_F(HashValues, CopyIsIndependent) {
    Cell a = word("a"), b = word("b");
    make_hash({a, b, a, a});
    Cell* original = blk;
    NodeId t1 = table;
    Cell* dup = block::push_copy(*original, false, false);
    set_type(*dup, TYPE_HASH);
    NodeId t2 = hashtable::copy(t1, cell_node(*dup));
    dup->data3 = t2;
    hashtable::delete_at(t2, cells(*dup) + 0);
    hashtable::delete_at(t2, cells(*dup) + 2);
    EXPECT_EQ(position(*dup, hashtable::find(t2, a, 0, 1, COMP_EQUAL, false, false)), 3);
    EXPECT_EQ(position(*original, hashtable::find(t1, a, 0, 1, COMP_EQUAL, false, false)), 0);
    EXPECT_EQ(position(*original, hashtable::find(t1, a, 1, 1, COMP_EQUAL, false, false)), 2);
    for (auto node :
         {&hashtable::Record::flags, &hashtable::Record::keys, &hashtable::Record::indexes, &hashtable::Record::chains})
        EXPECT_NE(record(t1)->*node, record(t2)->*node);
}

TEST_F(HashValues, ResetEmptiesTableAndBlock) {
    make_hash({make_integer(1), make_integer(1), make_integer(2)});
    hashtable::reset(table);
    EXPECT_EQ(length(*blk), 0);
    EXPECT_EQ(record(table)->count, 0u);
    EXPECT_EQ(find(make_integer(1), 0), -1);
    append(make_integer(2));
    append(make_integer(2));
    EXPECT_EQ(find(make_integer(2), 1), 1);
    EXPECT_EQ(record(table)->count, 1u);
}

// Block edits (append, insert, remove, move) with their table updates,
// checked after every step against a linear search of the same block.
TEST_F(HashValues, RandomizedEditsAgainstLinearSearch) {
    for (uint32_t value_range : {3u, 40u, 5000u}) {
        SCOPED_TRACE(value_range);
        std::mt19937 rng(value_range);
        make_hash({});
        std::vector<int32_t> model;
        auto check_find = [&](int32_t v, int32_t from, int32_t skip, bool last, bool reverse) {
            int64_t best = -1;
            for (int64_t l = 0; l < int64_t(model.size()); ++l) {
                if (model[size_t(l)] != v) continue;
                int64_t d = reverse || last ? from - l - 1 : l - from;
                if (((d % skip) + skip) % skip != 0) continue;
                if (reverse ? l < from : l >= from) {
                    if (best < 0 || last || reverse ? l > best : l < best) best = l;
                }
            }
            ASSERT_EQ(find(make_integer(v), from, skip, last, reverse), best)
                << "value " << v << " from " << from << " skip " << skip << " last " << last << " reverse " << reverse;
        };
        size_t steps = scaled(3000, 600);
        for (size_t step = 0; step < steps; ++step) {
            int32_t v = int32_t(rng() % value_range);
            int32_t len = int32_t(model.size());
            switch (rng() % 6) {
            case 0:
            case 1:
                append(make_integer(v));
                model.push_back(v);
                break;
            case 2: {
                int32_t pos = len ? int32_t(rng() % uint32_t(len + 1)) : 0;
                insert_at(pos, make_integer(v));
                model.insert(model.begin() + pos, v);
                break;
            }
            case 3:
                if (len) {
                    int32_t pos = int32_t(rng() % uint32_t(len));
                    remove_at(pos);
                    model.erase(model.begin() + pos);
                }
                break;
            case 4:
                if (len > 2) {
                    int32_t c = int32_t(rng() % uint32_t(len - 1));
                    int32_t count = 1 + int32_t(rng() % uint32_t(std::min(4, len - c)));
                    int32_t d = int32_t(rng() % uint32_t(len + 1));
                    if (d >= c && d <= c + count) break;
                    move_cells(c, count, d);
                    std::vector<int32_t> moved(model.begin() + c, model.begin() + c + count);
                    model.erase(model.begin() + c, model.begin() + c + count);
                    int32_t at = d > c + count ? d - count : d;
                    model.insert(model.begin() + at, moved.begin(), moved.end());
                }
                break;
            default: {
                int32_t from = int32_t(rng() % uint32_t(len + 2));
                int32_t skip = 1 + int32_t(rng() % 3);
                check_find(v, from, skip, rng() % 2, false);
                check_find(v, from, skip, false, true);
            }
            }
            ASSERT_EQ(length(*blk), int32_t(model.size()));
            for (int32_t probe : {0, 1, int32_t(rng() % value_range)}) check_find(probe, 0, 1, false, false);
            std::vector<int32_t> distinct = model;
            std::sort(distinct.begin(), distinct.end());
            distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
            ASSERT_EQ(record(table)->count, distinct.size());
        }
        for (size_t i = 0; i < model.size(); ++i) check_find(model[i], int32_t(i), 1, false, false);
    }
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

// Compaction moves the block, the table's own series and the strings it
// indexes; every value is still found at its position afterwards.
TEST_F(HashValues, FindsEveryValueAfterCompaction) {
    std::vector<Cell> values;
    for (int i = 0; i < 200; ++i) {
        memory::alloc_bytes(48);  // garbage between the live series
        values.push_back(i % 2 ? word(("w" + std::to_string(i)).c_str()) : text("s" + std::to_string(i)));
        stack::push(values.back());  // keep the strings until the block holds them
    }
    make_hash(values);
    SeriesBuffer* before = memory::buffer_of(cell_node(*blk));
    collector::do_cycle();
    if (!gc_stress()) {
        EXPECT_NE(memory::buffer_of(cell_node(*blk)), before);
    }
    for (int i = 0; i < 200; ++i) EXPECT_EQ(find(values[size_t(i)], 0), i) << i;
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

// The chains of duplicates and the index array are series of their own:
// they survive collections and compaction, and finds, removals and shifts
// that go through them still work afterwards.
TEST_F(HashValues, ChainsAndIndexSurviveCompaction) {
    std::vector<Cell> values;
    for (int i = 0; i < 120; ++i) values.push_back(make_integer(i % 7));
    // Start from a compacted heap, so that what earlier tests left behind
    // cannot decide where the arrays land.
    collector::do_cycle();
    make_hash({});
    for (const Cell& v : values) {
        memory::alloc_bytes(48);  // garbage between the chain arrays as they grow
        append(v);
    }
    NodeId chains = record(table)->chains;
    SeriesBuffer* before = memory::buffer_of(chains);
    collector::do_cycle();
    collector::do_cycle();
    if (!gc_stress()) {
        EXPECT_NE(memory::buffer_of(chains), before);
    }
    EXPECT_EQ(record(table)->count, 7u);
    for (int i = 0; i < 120; ++i) ASSERT_EQ(find(values[size_t(i)], i), i) << i;
    EXPECT_EQ(find(make_integer(3), 0, 1, true), 115);
    remove_at(3);  // through the index array, then every later position shifts
    EXPECT_EQ(find(make_integer(3), 0), 9);
    EXPECT_EQ(find(make_integer(4), 3), 3);
    EXPECT_EQ(find(make_integer(3), 0, 1, true), 114);
}

}  // namespace
}  // namespace kel::test
