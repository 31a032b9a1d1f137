// hash!: making, converting, copying and molding, and finds that go through
// the table after the block actions changed the block.
#include <random>

#include "runtime/datatypes/block.h"
#include "tests/maps/maps-fixture.h"

namespace kel::test {
namespace {

struct HashTest : Collections {
    // A find through the table answers what a scan of the block answers, for
    // every value in it and one absent value.
    static void expect_finds_like_a_scan(const Cell& h) {
        ASSERT_EQ(type_of(h), TYPE_HASH);
        ASSERT_NE(h.data3, 0u);
        SeriesBuffer* b = block::buffer(h);
        for (uint64_t i = 0; i <= b->cell_count(); ++i) {
            Cell wanted = i < block::buffer(h)->cell_count() ? block::buffer(h)->cells()[i] : make_integer(-999);
            int64_t first = -1;
            for (uint64_t k = 0; k < block::buffer(h)->cell_count(); ++k)
                if (actions::compare(block::buffer(h)->cells()[k], wanted, COMP_EQUAL)) {
                    first = int64_t(k);
                    break;
                }
            Cell* found = hashtable::find(h.data3, wanted, 0, 1, COMP_EQUAL, false, false);
            int64_t got = found ? found - block::buffer(h)->cells() : -1;
            EXPECT_EQ(got, first) << "position " << i;
            EXPECT_LT(got, int64_t(block::buffer(h)->cell_count()));
        }
    }
};

TEST_F(HashTest, ActionsTable) {
    const struct {
        const char* code;
        const char* molded;
    } rows[] = {
        {"make hash! [a b]", "make hash! [a b]"},
        {"mold/only make hash! [a b]", "\"a b\""},
        {"h: make hash! 0 append h 1 append h 2 h", "make hash! [1 2]"},
        {"h: make hash! 0 append h 1 append h 2 find h 2", "make hash! [2]"},
        {"to hash! \"a 1 [b]\"", "make hash! [a 1 [b]]"},
        {"h: to hash! \"a 1\" select h 'a", "1"},
        {"make hash! make hash! [x y]", "make hash! [x y]"},
        {"h: make hash! [1 2 3] c: copy h append c 4 find h 4", "none"},
        {"h: make hash! [1 2 3] c: copy h remove c find c 1", "none"},
        {"h: make hash! [1 2 3] c: copy h remove c index? find h 1", "1"},
        {"h: make hash! [1 2 3] c: copy next h index? find c 3", "2"},
        {"h: make hash! [1 [2] 3] c: copy/deep h append c/2 5 h", "make hash! [1 [2] 3]"},
        {"h: make hash! [3 1 2] sort h index? find h 3", "3"},
        {"h: make hash! [3 1 2] sort/reverse h index? find h 1", "3"},
        {"h: make hash! [] append h 1 append h none append h 2 trim h index? find h 2", "2"},
        {"h: make hash! [] append h none append h 5 append h none trim h find h none", "none"},
        {"h: make hash! [1 2 3 4] insert at h 3 9 index? find h 4", "5"},
        {"h: make hash! [1 2 3 4] insert at h 3 9 index? find h 9", "3"},
        {"h: make hash! [1 2 3 4] remove at h 2 index? find h 3", "2"},
        {"h: make hash! [1 2 3 4] remove at h 2 find h 2", "none"},
        {"h: make hash! [a 1 b 2] h/b: 5 select h 'b", "5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(eval_mold(row.code), row.molded);
    }
}

TEST_F(HashTest, FindsAfterSortAndTrim) {
    Cell* h = stack::push(eval_kel("h: make hash! [] loop 20 [append h none append h 7 append h 3] h"));
    eval_kel("trim h");
    expect_finds_like_a_scan(*h);
    EXPECT_EQ(block::ks_length(*h), 40);
    eval_kel("sort h");
    expect_finds_like_a_scan(*h);
    eval_kel("trim next next h");
    expect_finds_like_a_scan(*h);
}

TEST_F(HashTest, SetOperationsOnHashValues) {
    const struct {
        int32_t op;
        const char* a;
        const char* b;
        int32_t skip;
        const char* molded;
    } rows[] = {
        {block::SET_UNIQUE, "[1 2 1 3]", nullptr, 0, "make hash! [1 2 3]"},
        {block::SET_UNION, "[1 2]", "[2 3]", 0, "make hash! [1 2 3]"},
        {block::SET_INTERSECT, "[1 2 2]", "[2 3]", 0, "make hash! [2]"},
        {block::SET_EXCLUDE, "[1 2 1]", "[2 3]", 0, "make hash! [1]"},
        {block::SET_DIFFERENCE, "[1 2]", "[2 3]", 0, "make hash! [1 3]"},
        {block::SET_UNIQUE, "[1 10 1 20 2 30]", nullptr, 2, "make hash! [1 10 2 30]"},
        {block::SET_UNION, "[1 2]", "[2 1 1 5]", 2, "make hash! [1 2 2 1]"},
        {block::SET_INTERSECT, "[1 2 3 4]", "[2 1 5 3]", 2, "make hash! []"},
        {block::SET_EXCLUDE, "[1 2 3 4]", "[2 1 3 0]", 2, "make hash! [1 2]"},
        {block::SET_DIFFERENCE, "[1 2 3 4]", "[1 9 5 6]", 2, "make hash! [3 4 5 6]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.a);
        Cell* a = stack::push(eval_kel(std::string("make hash! ") + row.a));
        Cell* b = row.b ? stack::push(eval_kel(std::string("make hash! ") + row.b)) : nullptr;
        Cell skip = make_integer(row.skip);
        Cell* out = stack::push(make_none());
        block::set_operation(out, a, b, row.op, false, row.skip ? &skip : nullptr);
        EXPECT_EQ(mold_text(*out), row.molded);
        expect_finds_like_a_scan(*out);
    }
}

// Random block actions on a hash!; after each, finds through the table agree
// with a scan.
TEST_F(HashTest, RandomBlockActionsKeepTheTableInStep) {
    std::mt19937 rng(4242);
    auto pick = [&](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
    const char* actions_code[] = {
        "insert at h 3 v", "append h v",         "change at h 2 v",
        "remove at h 2",   "take/part at h 3 2", "trim h",
        "sort h",          "reverse h",          "move/part at h 2 tail h 2",
        "clear at h 5",    "append h none",      "insert h [none 1]",
        "sort/reverse h",  "take/last h",
    };
    eval_kel("h: make hash! [1 2 3 4 5 6]");
    Cell* top = stack::state.top;
    int steps = int(scaled(600, 60));
    for (int step = 0; step < steps; ++step) {
        std::string code = "v: " + std::to_string(pick(8)) + " " + actions_code[pick(14)];
        SCOPED_TRACE(code);
        eval_kel(code);
        Cell h = global_value("h");
        expect_finds_like_a_scan(h);
        if (block::ks_length(h) > 40) eval_kel("clear at h 20");
        if (block::ks_length(h) < 4) eval_kel("append h [1 2 3 4]");
        stack::state.top = top;
        if (HasFailure()) break;
    }
}

}  // namespace
}  // namespace kel::test
