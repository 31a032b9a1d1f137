// block! set operations on blocks and hash! values, with /skip records.
#include "tests/datatypes/block-fixture.h"

namespace kel::test {
namespace {

TEST_F(BlockTest, SetOperationsTable) {
    struct Case {
        const char* what;
        int32_t op;
        Ints a, b;
        int32_t skip;  // 0: no /skip
        Ints result;
    };
    const Case cases[] = {
        {"unique", block::SET_UNIQUE, {1, 2, 1, 3, 2}, {}, 0, {1, 2, 3}},
        {"union", block::SET_UNION, {1, 2}, {2, 3}, 0, {1, 2, 3}},
        {"intersect", block::SET_INTERSECT, {1, 2, 2}, {2, 3}, 0, {2}},
        {"exclude", block::SET_EXCLUDE, {1, 2, 1}, {2, 3}, 0, {1}},
        {"difference", block::SET_DIFFERENCE, {1, 2}, {2, 3}, 0, {1, 3}},
        {"unique /skip 2: records by their key", block::SET_UNIQUE, {1, 10, 1, 20, 2, 30}, {}, 2, {1, 10, 2, 30}},
        {"unique /skip 2: a value equal to a later key", block::SET_UNIQUE, {1, 2, 2, 3}, {}, 2, {1, 2, 2, 3}},
        {"union /skip 2", block::SET_UNION, {1, 2}, {2, 1, 1, 5}, 2, {1, 2, 2, 1}},
        {"intersect /skip 2 tests keys only", block::SET_INTERSECT, {1, 2, 3, 4}, {2, 1, 5, 3}, 2, {}},
        {"exclude /skip 2 tests keys only", block::SET_EXCLUDE, {1, 2, 3, 4}, {2, 1, 3, 0}, 2, {1, 2}},
        {"a short last record", block::SET_UNIQUE, {1, 2, 3}, {}, 2, {1, 2, 3}},
    };
    for (bool as_hash : {false, true}) {
        for (const Case& c : cases) {
            Cell* a = as_hash ? hashed({}) : ints({});
            for (int32_t v : c.a) block::append_cell(*a, integer(v));
            if (as_hash) hashtable::rebuild(a->data3, uint32_t(c.a.size()));
            Cell* b = ints({});
            for (int32_t v : c.b) block::append_cell(*b, integer(v));
            Cell skip = integer(c.skip), out;
            block::set_operation(&out, a, c.op == block::SET_UNIQUE ? nullptr : b, c.op, false,
                                 c.skip ? &skip : nullptr);
            Rooted keep(out);
            EXPECT_EQ(ints_of(out), c.result) << c.what << (as_hash ? " (hash!)" : "");
            EXPECT_EQ(type_of(out), as_hash ? TYPE_HASH : TYPE_BLOCK) << c.what;
            if (as_hash) {
                EXPECT_NE(out.data3, a->data3) << "a table of its own";
                expect_table_in_step(out);
            } else {
                EXPECT_EQ(out.data3, 0u);
            }
        }
    }
}

TEST_F(BlockTest, SetOperationsWithAHashSecondSet) {
    // The hash!'s own table holds every cell: its non-key cells must not
    // count as members.
    Cell* a = ints({1, 2, 3, 4});
    Cell* h = hashed({2, 1, 4, 3});
    Cell skip = integer(2), out;
    block::set_operation(&out, a, h, block::SET_INTERSECT, false, &skip);
    EXPECT_EQ(type_of(out), TYPE_HASH) << "a hash! on either side gives a hash!";
    EXPECT_EQ(ints_of(out), Ints{});
    block::set_operation(&out, a, h, block::SET_DIFFERENCE, false, &skip);
    EXPECT_EQ(ints_of(out), (Ints{1, 2, 3, 4, 2, 1, 4, 3}));
    block::set_operation(&out, a, h, block::SET_INTERSECT, false, nullptr);
    EXPECT_EQ(ints_of(out), (Ints{1, 2, 3, 4}));
    // unique/skip of the hash! [1 2 2 3] with 2 keeps the record (2 3).
    Cell* u = hashed({1, 2, 2, 3});
    block::set_operation(&out, u, nullptr, block::SET_UNIQUE, false, &skip);
    EXPECT_EQ(ints_of(out), (Ints{1, 2, 2, 3}));
    Cell zero = integer(0);
    EXPECT_EQ(error_of([&] { block::set_operation(&out, u, nullptr, block::SET_UNIQUE, false, &zero); }),
              id(ErrorId::script_invalid_refine_arg));
}

Cell word(const char* name) { return Cell{TYPE_WORD, 0, uint32_t(symbol::make(name)), uint32_t(-1)}; }

// The spellings of a block of words.
std::vector<std::string> spellings(const Cell& blk) {
    std::vector<std::string> v;
    SeriesBuffer* b = block::buffer(blk);
    for (uint64_t i = 0; i < b->cell_count(); ++i) {
        uint32_t n;
        const uint8_t* s = symbol::spelling(int32_t(b->cells()[i].data2), &n);
        v.emplace_back(reinterpret_cast<const char*>(s), n);
    }
    return v;
}

TEST_F(BlockTest, SetOperationsWithCase) {
    using Texts = std::vector<std::string>;
    Cell* a = list({word("a"), word("B"), word("b"), word("c")});
    Cell* b = list({word("A"), word("c")});
    struct Case {
        const char* what;
        int32_t op;
        bool case_sensitive;
        Texts result;
    };
    const Case cases[] = {
        {"unique", block::SET_UNIQUE, false, {"a", "B", "c"}},
        {"unique /case", block::SET_UNIQUE, true, {"a", "B", "b", "c"}},
        {"intersect", block::SET_INTERSECT, false, {"a", "c"}},
        {"intersect /case", block::SET_INTERSECT, true, {"c"}},
        {"difference /case", block::SET_DIFFERENCE, true, {"a", "B", "b", "A"}},
    };
    for (const Case& c : cases) {
        Cell out;
        block::set_operation(&out, a, c.op == block::SET_UNIQUE ? nullptr : b, c.op, c.case_sensitive, nullptr);
        EXPECT_EQ(spellings(out), c.result) << c.what;
    }
}

TEST_F(BlockTest, ANestedBlockIsOneKey) {
    Cell out;
    Cell one = *ints({1});
    Cell* x = list({one, integer(2)});
    Cell* y = list({*ints({1}), integer(3)});
    block::set_operation(&out, x, y, block::SET_UNION, false, nullptr);
    ASSERT_EQ(block::ks_length(out), 3) << "a nested block is one key";
    EXPECT_EQ(cell_node(block::buffer(out)->cells()[0]), cell_node(one));
}

}  // namespace
}  // namespace kel::test
