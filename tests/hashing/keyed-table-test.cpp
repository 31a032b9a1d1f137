// Tables keyed by integers (kind 3) and nodes (kind 4), the sizing rules,
// and the heap integer maps: randomized runs against std::unordered_map, the
// growth and same-size rehash rules, sweeping and marking.
#include <algorithm>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/hashing/intmap.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/roots.h"
#include "tests/hashing/hashing-fixture.h"
#include "tests/platform/capture.h"

namespace kel::test {
namespace {

using hashtable::record;

struct KeyedTables : HashingTest {};

TEST_F(KeyedTables, SizesOfNewTables) {
    struct Case {
        uint32_t size;
        hashtable::Kind kind;
        uint32_t buckets, upper;
    } cases[] = {
        {0, hashtable::KIND_INTEGER, 8, 6},  // 4 / 0.77 = 5.19
        {4, hashtable::KIND_NODE, 8, 6},
        {6, hashtable::KIND_INTEGER, 8, 6},  // 6 / 0.77 = 7.79
        {7, hashtable::KIND_INTEGER, 16, 12},  // 9.09
        {1000, hashtable::KIND_NODE, 2048, 1576},
        {3999, hashtable::KIND_SYMBOL, 8192, 6307},
        {4000, hashtable::KIND_SYMBOL, 16384, 12615},  // kind 2 doubles from 4000 on
        {4000, hashtable::KIND_INTEGER, 8192, 6307},
    };
    for (const Case& c : cases) {
        NodeId t = c.kind == hashtable::KIND_SYMBOL ? hashtable::make_table(c.size, nullptr, c.kind)
                                                    : hashtable::make_keyed_table(c.size, c.kind, 1);
        EXPECT_EQ(record(t)->buckets, c.buckets) << "size " << c.size << " kind " << c.kind;
        EXPECT_EQ(record(t)->upper, c.upper) << "size " << c.size << " kind " << c.kind;
        EXPECT_EQ(record(t)->count, 0u);
        EXPECT_EQ(record(t)->kind, c.kind);
    }
}

TEST_F(KeyedTables, FullTableDoublesAtTheNextPut) {
    NodeId t = hashtable::make_keyed_table(0, hashtable::KIND_INTEGER, 1);
    Cell keep = hashtable::as_cell(t);
    Rooted guard(keep);
    for (uint32_t k = 1; k <= 6; ++k) *hashtable::put_key(t, k) = make_integer(int32_t(k * 10));
    EXPECT_EQ(record(t)->buckets, 8u);
    EXPECT_EQ(record(t)->occupied, 6u);
    *hashtable::put_key(t, 7) = make_integer(70);
    EXPECT_EQ(record(t)->buckets, 16u);
    EXPECT_EQ(record(t)->count, 7u);
    for (uint32_t k = 1; k <= 7; ++k) {
        Cell* v = hashtable::get_key(t, k);
        ASSERT_NE(v, nullptr) << k;
        EXPECT_EQ(cell_integer(*v), int32_t(k * 10));
    }
}

TEST_F(KeyedTables, DeletedBucketsAreDroppedBySameSizeRehash) {
    NodeId t = hashtable::make_keyed_table(0, hashtable::KIND_INTEGER, 1);
    Cell keep = hashtable::as_cell(t);
    Rooted guard(keep);
    for (uint32_t k = 1; k <= 6; ++k) hashtable::put_key(t, k);
    for (uint32_t k = 1; k <= 5; ++k) ASSERT_NE(hashtable::delete_key(t, k), nullptr);
    EXPECT_EQ(record(t)->count, 1u);
    EXPECT_EQ(record(t)->occupied, 6u);
    *hashtable::put_key(t, 99) = make_integer(99);
    EXPECT_EQ(record(t)->buckets, 8u);  // fewer than half live: rehashed at the same size
    EXPECT_EQ(record(t)->count, 2u);
    EXPECT_EQ(record(t)->occupied, 2u);
    for (uint32_t k = 1; k <= 5; ++k) EXPECT_EQ(hashtable::get_key(t, k), nullptr);
    EXPECT_NE(hashtable::get_key(t, 6), nullptr);
    EXPECT_EQ(cell_integer(*hashtable::get_key(t, 99)), 99);
    // The rebuilt entry block holds only the live entries.
    EXPECT_EQ(memory::buffer_of(record(t)->block)->cell_count(), 4u);
}

TEST_F(KeyedTables, PutResetsAnEntryAndDeleteAnswersTheOldPayload) {
    NodeId t = hashtable::make_keyed_table(8, hashtable::KIND_INTEGER, 2);
    Cell keep = hashtable::as_cell(t);
    Rooted guard(keep);
    Cell* p = hashtable::put_key(t, 5);
    p[0] = make_integer(1);
    p[1] = make_integer(2);
    p = hashtable::put_key(t, 5);  // existing key: payload back to unset
    EXPECT_EQ(type_of(p[0]), TYPE_UNSET);
    EXPECT_EQ(type_of(p[1]), TYPE_UNSET);
    EXPECT_EQ(record(t)->count, 1u);
    p[1] = make_integer(22);
    Cell* old = hashtable::delete_key(t, 5);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(cell_integer(old[1]), 22);
    EXPECT_EQ(old[-1].header, 0u);  // the entry is dead
    EXPECT_EQ(hashtable::delete_key(t, 5), nullptr);
    EXPECT_EQ(hashtable::get_key(t, 5), nullptr);
    // A key put again reuses the dead entry.
    uint64_t cells_before = memory::buffer_of(record(t)->block)->cell_count();
    hashtable::put_key(t, 5);
    EXPECT_EQ(memory::buffer_of(record(t)->block)->cell_count(), cells_before);
    EXPECT_EQ(record(t)->count, 1u);
}

// Random puts, gets and deletes against std::unordered_map, with key ranges
// that force collisions, deleted-bucket reuse, doubling and same-size
// rehashes.
TEST_F(KeyedTables, RandomizedAgainstUnorderedMap) {
    for (uint32_t key_range : {16u, 300u, 100000u}) {
        NodeId t = hashtable::make_keyed_table(0, hashtable::KIND_INTEGER, 1);
        Cell keep = hashtable::as_cell(t);
        Rooted guard(keep);
        std::unordered_map<uint32_t, int32_t> model;
        std::mt19937 rng(key_range);
        size_t steps = scaled(20000, 3000);
        for (size_t step = 0; step < steps; ++step) {
            uint32_t key = rng() % key_range;
            if (key_range > 1000) key = key * 2654435761u;  // spread over the whole 32 bits
            int32_t value = int32_t(rng());
            switch (rng() % 5) {
            case 0:
            case 1:
                *hashtable::put_key(t, key) = make_integer(value);
                model[key] = value;
                break;
            case 2: {
                Cell* old = hashtable::delete_key(t, key);
                auto it = model.find(key);
                ASSERT_EQ(old != nullptr, it != model.end()) << "delete " << key;
                if (old) {
                    EXPECT_EQ(cell_integer(*old), it->second);
                }
                if (it != model.end()) model.erase(it);
                break;
            }
            default: {
                Cell* v = hashtable::get_key(t, key);
                auto it = model.find(key);
                ASSERT_EQ(v != nullptr, it != model.end()) << "get " << key;
                if (v) {
                    EXPECT_EQ(cell_integer(*v), it->second);
                }
            }
            }
            ASSERT_EQ(record(t)->count, model.size());
            ASSERT_LE(record(t)->occupied, record(t)->upper);
        }
        for (auto& [key, value] : model) {
            Cell* v = hashtable::get_key(t, key);
            ASSERT_NE(v, nullptr);
            EXPECT_EQ(cell_integer(*v), value);
        }
    }
}

// The same run with node keys: the keys are real series (the table marks
// them), held by a block on the argument stack.
TEST_F(KeyedTables, NodeKeysRandomizedAgainstUnorderedMap) {
    Cell* pool = block::push_only(300);
    std::vector<NodeId> nodes;
    for (int i = 0; i < 300; ++i) {
        NodeId n = memory::alloc_bytes(16);
        *alloc_block_tail(*pool) = Cell{TYPE_BINARY, 0, n, 0};
        nodes.push_back(n);
    }
    NodeId t = hashtable::make_keyed_table(0, hashtable::KIND_NODE, 2);
    Cell keep = hashtable::as_cell(t);
    Rooted guard(keep);
    std::unordered_map<NodeId, int32_t> model;
    std::mt19937 rng(3);
    size_t steps = scaled(20000, 3000);
    for (size_t step = 0; step < steps; ++step) {
        NodeId key = nodes[rng() % nodes.size()];
        int32_t value = int32_t(rng());
        switch (rng() % 4) {
        case 0:
        case 1: {
            Cell* p = hashtable::put_key(t, key);
            p[1] = make_integer(value);
            model[key] = value;
            break;
        }
        case 2: {
            Cell* old = hashtable::delete_key(t, key);
            ASSERT_EQ(old != nullptr, model.erase(key) == 1);
            break;
        }
        default: {
            Cell* v = hashtable::get_key(t, key);
            auto it = model.find(key);
            ASSERT_EQ(v != nullptr, it != model.end());
            if (v) {
                EXPECT_EQ(type_of(v[0]), TYPE_UNSET);
                EXPECT_EQ(cell_integer(v[1]), it->second);
            }
        }
        }
        ASSERT_EQ(record(t)->count, model.size());
    }
}

// A series held only as a node key stays alive; its buffer moves with the
// collection but the key still finds its entry, and the payload survives.
TEST_F(KeyedTables, NodeKeysSurviveAndStayFindableAcrossCollections) {
    NodeId t = hashtable::make_keyed_table(0, hashtable::KIND_NODE, 1);
    Cell keep = hashtable::as_cell(t);
    Rooted guard(keep);
    std::vector<NodeId> nodes;
    for (int i = 0; i < 50; ++i) {
        NodeId garbage = memory::alloc_bytes(64);  // dies: its space lets the others move
        (void)garbage;
        NodeId n = memory::alloc_bytes(16);
        Rooted keep_n(n);  // until the table holds it
        memory::buffer_of(n)->data()[0] = uint8_t(i);
        nodes.push_back(n);
        hashtable::put_key(t, n);
        Cell s = text(std::string(5, char('a' + i % 26)));
        *hashtable::get_key(t, n) = s;
    }
    collector::do_cycle();
    collector::do_cycle();
    for (int i = 0; i < 50; ++i) {
        NodeId n = nodes[size_t(i)];
        SeriesBuffer* b = memory::buffer_of(n);
        ASSERT_EQ(b->node, n);
        EXPECT_EQ(b->data()[0], uint8_t(i));
        Cell* v = hashtable::get_key(t, n);
        ASSERT_NE(v, nullptr);
        ASSERT_EQ(type_of(*v), TYPE_STRING);
        EXPECT_EQ(unicode::get_unit(memory::buffer_of(cell_node(*v))->head_ptr(), 1, 0), uint32_t('a' + i % 26));
    }
}

TEST_F(KeyedTables, SweepDropsEntriesWhoseKeyOrOwnerWasNotMarked) {
    NodeId t = hashtable::make_keyed_table(0, hashtable::KIND_NODE, 3);
    Cell keep = hashtable::as_cell(t);
    Rooted guard(keep);
    NodeId kept = memory::alloc_bytes(16);
    Rooted k1(kept);
    NodeId unmarked = memory::alloc_bytes(16);
    Rooted k2(unmarked);
    NodeId orphan = memory::alloc_bytes(16);
    Rooted k3(orphan);
    NodeId live_context = memory::alloc_cells(2);
    Rooted k4(live_context);
    NodeId dead_context = memory::alloc_cells(2);
    Rooted k5(dead_context);

    Cell* p = hashtable::put_key(t, kept);
    p[1] = Cell{TYPE_OBJECT, live_context, 0, 0};
    hashtable::put_key(t, unmarked);
    p = hashtable::put_key(t, orphan);
    p[1] = Cell{TYPE_OBJECT, dead_context, 0, 0};

    for (NodeId n : {kept, orphan, live_context}) collector::mark_node(n);
    hashtable::sweep_keys(t);
    for (NodeId n : {kept, orphan, live_context}) collector::unmark(n);

    EXPECT_NE(hashtable::get_key(t, kept), nullptr);
    EXPECT_EQ(hashtable::get_key(t, unmarked), nullptr);
    EXPECT_EQ(hashtable::get_key(t, orphan), nullptr);
    EXPECT_EQ(record(t)->count, 1u);
}

// The debugging dump lists the deleted buckets, then the live ones.
TEST_F(KeyedTables, DumpListsDeletedThenLiveBuckets) {
    NodeId t = hashtable::make_keyed_table(0, hashtable::KIND_INTEGER, 1);
    Cell keep = hashtable::as_cell(t);
    Rooted guard(keep);
    for (uint32_t k : {0x11u, 0x22u, 0x33u}) hashtable::put_key(t, k);
    hashtable::delete_key(t, 0x22);
    std::string out;
    {
        test::ChunkCapture capture;
        hashtable::dump(t);
        out = test::ChunkCapture::text();
    }
    size_t live = out.find("== Alive keys ==\n");
    ASSERT_EQ(out.rfind("\n== Deleted keys ==\n", 0), 0u) << out;
    ASSERT_NE(live, std::string::npos) << out;
    std::string deleted = out.substr(0, live), alive = out.substr(live);
    EXPECT_NE(deleted.find(" key 00000022 "), std::string::npos) << out;
    EXPECT_EQ(std::count(deleted.begin(), deleted.end(), '\n'), 3) << out;
    for (const char* key : {" key 00000011 ", " key 00000033 "}) EXPECT_NE(alive.find(key), std::string::npos) << out;
    EXPECT_EQ(std::count(alive.begin(), alive.end(), '\n'), 3) << out;
}

TEST_F(KeyedTables, IntegerMapRandomizedAgainstUnorderedMap) {
    intmap::Map* m = intmap::make(0);
    EXPECT_EQ(m->buckets, 8u);
    EXPECT_EQ(m->upper, 6u);
    std::unordered_map<int32_t, int32_t> model;
    std::mt19937 rng(7);
    for (int step = 0; step < 20000; ++step) {
        int32_t key = int32_t(rng() % 500) - 250;
        switch (rng() % 4) {
        case 0:
        case 1: {
            int32_t v = int32_t(rng());
            intmap::put(m, key, v);
            model[key] = v;
            break;
        }
        case 2:
            intmap::remove(m, key);
            model.erase(key);
            break;
        default: {
            int32_t* v = intmap::get(m, key);
            auto it = model.find(key);
            ASSERT_EQ(v != nullptr, it != model.end());
            if (v) {
                EXPECT_EQ(*v, it->second);
            }
        }
        }
        ASSERT_EQ(intmap::count(m), model.size());
    }
    // Walking the pairs visits each live key once.
    size_t walked = 0;
    for (int32_t* pair = intmap::next(m, nullptr); pair; pair = intmap::next(m, pair)) {
        auto it = model.find(pair[0]);
        ASSERT_NE(it, model.end());
        EXPECT_EQ(pair[1], it->second);
        ++walked;
    }
    EXPECT_EQ(walked, model.size());
    intmap::clear(m);
    EXPECT_EQ(intmap::count(m), 0u);
    EXPECT_EQ(intmap::next(m, nullptr), nullptr);
    intmap::free(m);
    intmap::free(nullptr);
}

}  // namespace
}  // namespace kel::test
