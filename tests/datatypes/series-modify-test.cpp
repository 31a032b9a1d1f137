// series! move, remove, reverse, take and copy on blocks (and strings where
// the unit matters), with hash! tables kept in step.
#include "runtime/platform/heap.h"
#include "tests/datatypes/block-fixture.h"

namespace kel::test {
namespace {

TEST_F(BlockTest, MoveInsideOneSeries) {
    struct Case {
        int32_t from, to, part;
        Ints after;
    };
    const Case cases[] = {
        {0, 3, 1, {2, 3, 4, 1, 5}},  // forward: the value lands at the target's position
        {3, 1, 1, {1, 4, 2, 3, 5}},  // backward
        {0, 1, 1, {2, 1, 3, 4, 5}},  // just past itself
        {0, 5, 2, {3, 4, 5, 1, 2}},  // to the tail: they become the last values
        {1, 2, 2, {1, 2, 3, 4, 5}},  // into the moved range: nothing moves
        {0, 4, 3, {1, 2, 3, 4, 5}},  // too few values after the target: nothing moves
        {3, 0, 9, {4, 5, 1, 2, 3}},  // /part beyond the tail takes what is there
    };
    for (const Case& c : cases) {
        Cell* b = ints({1, 2, 3, 4, 5});
        Cell origin = at(*b, c.from), target = at(*b, c.to), part = integer(c.part), out;
        actions::move(&out, &origin, &target, &part);
        EXPECT_EQ(ints_of(*b), c.after) << c.from << " -> " << c.to << " /part " << c.part;
        EXPECT_EQ(out.data1, uint32_t(c.to)) << "the answer is the target";
    }
}

TEST_F(BlockTest, MoveBetweenSeries) {
    Cell* a = ints({1, 2, 3, 4});
    Cell* b = ints({7, 8});
    Cell origin = at(*a, 1), target = at(*b, 1), part = integer(2), out;
    actions::move(&out, &origin, &target, &part);
    EXPECT_EQ(ints_of(*a), (Ints{1, 4}));
    EXPECT_EQ(ints_of(*b), (Ints{7, 2, 3, 8}));
    actions::move(&out, a, b, nullptr);  // one value, to the target's head
    EXPECT_EQ(ints_of(*a), (Ints{4}));
    EXPECT_EQ(ints_of(*b), (Ints{1, 7, 2, 3, 8}));
    Cell tail = at(*a, 1);
    actions::move(&out, &tail, b, nullptr);  // from the tail: nothing
    EXPECT_EQ(ints_of(*b), (Ints{1, 7, 2, 3, 8}));
}

TEST_F(BlockTest, MoveRefusesIncompatibleTargets) {
    Cell* b = ints({1, 2});
    Cell* s = text({'a', 'b'});
    Cell out;
    EXPECT_EQ(error_of([&] { actions::move(&out, b, s, nullptr); }), id(ErrorId::script_move_bad));
    // string! registers with the strings: its move is the one series! holds.
    EXPECT_EQ(error_of([&] { series::move(&out, s, b, nullptr); }), id(ErrorId::script_move_bad));
    Cell number = integer(3);
    EXPECT_EQ(error_of([&] { actions::move(&out, b, &number, nullptr); }), id(ErrorId::script_expect_arg));
    EXPECT_EQ(ints_of(*b), (Ints{1, 2}));
}

TEST_F(BlockTest, MoveCodePointsBetweenStringsOfDifferentWidths) {
    Cell* narrow = text({'a', 'b', 'c'});
    Cell* wide = text({0x4E2D, 'x'}, 2);
    Cell part = integer(2), out;
    Cell target = at(*wide, 1);
    series::move(&out, narrow, &target, &part);
    EXPECT_EQ(points_of(*narrow), (std::vector<uint32_t>{'c'}));
    EXPECT_EQ(points_of(*wide), (std::vector<uint32_t>{0x4E2D, 'a', 'b', 'x'}));
    // Back into the one-byte string: it widens for the wide code point.
    series::move(&out, wide, narrow, nullptr);
    EXPECT_EQ(points_of(*narrow), (std::vector<uint32_t>{0x4E2D, 'c'}));
}

TEST_F(BlockTest, Remove) {
    struct Case {
        int32_t head;
        int32_t part;  // 0: no /part
        Ints after;
    };
    const Case cases[] = {
        {0, 0, {2, 3, 4}}, {0, 2, {3, 4}}, {1, 9, {1}}, {4, 0, {1, 2, 3, 4}}, {0, -1, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        Cell* b = ints({1, 2, 3, 4});
        Cell s = at(*b, c.head), part = integer(c.part), out;
        actions::remove(&out, &s, c.part ? &part : nullptr, nullptr);
        EXPECT_EQ(ints_of(*b), c.after) << c.head << " /part " << c.part;
        EXPECT_EQ(out.data1, uint32_t(c.head));
    }
    // /part as a position two further in the same block.
    Cell* b = ints({1, 2, 3, 4});
    Cell part = at(*b, 2), out;
    actions::remove(&out, b, &part, nullptr);
    EXPECT_EQ(ints_of(*b), (Ints{3, 4}));
    Cell* other = ints({1});
    Cell named;
    EXPECT_EQ(error_of([&] { actions::remove(&out, b, other, nullptr); }, &named),
              id(ErrorId::script_invalid_refine_arg));
    EXPECT_EQ(type_of(named), TYPE_REFINEMENT) << "the error names /part";
    EXPECT_EQ(named.data2, words::refinement(words::Ref::part).data2);
}

TEST_F(BlockTest, RemoveKey) {
    Cell* b = ints({1, 2, 3, 4});
    Cell key = integer(2), out;
    actions::remove(&out, b, nullptr, &key);
    EXPECT_EQ(ints_of(*b), (Ints{1, 4})) << "the key and the value after it";
    EXPECT_EQ(out.data1, 1u) << "the answer is the key's position";
    Cell* c = ints({1, 2, 3, 4, 5});
    Cell part = integer(2);
    actions::remove(&out, c, &part, &key);
    EXPECT_EQ(ints_of(*c), (Ints{1, 5})) << "/part counts the values after the key";
    Cell absent = integer(9);
    actions::remove(&out, c, nullptr, &absent);
    EXPECT_EQ(type_of(out), TYPE_NONE);
    EXPECT_EQ(ints_of(*c), (Ints{1, 5}));
}

TEST_F(BlockTest, Reverse) {
    struct Case {
        int32_t head, part, skip;  // 0: not given
        Ints after;
    };
    const Case cases[] = {
        {0, 0, 0, {6, 5, 4, 3, 2, 1}}, {0, 0, 2, {5, 6, 3, 4, 1, 2}},
        {0, 0, 3, {4, 5, 6, 1, 2, 3}}, {0, 0, 6, {1, 2, 3, 4, 5, 6}},  // one record: unchanged
        {1, 3, 0, {1, 4, 3, 2, 5, 6}}, {2, 9, 2, {1, 2, 5, 6, 3, 4}},  // /part beyond the tail
        {6, 0, 0, {1, 2, 3, 4, 5, 6}},  // at the tail
    };
    for (const Case& c : cases) {
        Cell* b = ints({1, 2, 3, 4, 5, 6});
        Cell s = at(*b, c.head), part = integer(c.part), skip = integer(c.skip), out;
        actions::reverse(&out, &s, c.part ? &part : nullptr, c.skip ? &skip : nullptr);
        EXPECT_EQ(ints_of(*b), c.after) << c.head << " /part " << c.part << " /skip " << c.skip;
    }
    Cell* b = ints({1, 2, 3, 4});
    Cell out, three = integer(3), zero = integer(0);
    EXPECT_EQ(error_of([&] { actions::reverse(&out, b, nullptr, &three); }), id(ErrorId::script_invalid_refine_arg));
    EXPECT_EQ(error_of([&] { actions::reverse(&out, b, nullptr, &zero); }), id(ErrorId::script_out_of_range));
}

TEST_F(BlockTest, ReverseOfAStringOfWideUnits) {
    Cell* s = text({'a', 0x10000, 'c', 'd'}, 4);
    Cell out, skip = integer(2);
    series::reverse(&out, s, nullptr, &skip);
    EXPECT_EQ(points_of(*s), (std::vector<uint32_t>{'c', 'd', 'a', 0x10000}));
}

TEST_F(BlockTest, Take) {
    struct Case {
        const char* what;
        int32_t head;
        bool part_given;
        int32_t part;
        bool last;
        Ints taken;  // empty with none_answer: none
        bool none_answer;
        Ints left;
    };
    const Case cases[] = {
        {"one value", 0, false, 0, false, {1}, false, {2, 3, 4}},
        {"the last value", 0, false, 0, true, {4}, false, {1, 2, 3}},
        {"/part 2 /last", 0, true, 2, true, {3, 4}, false, {1, 2}},
        {"/part -1 from a middle index", 2, true, -1, false, {2}, false, {1, 3, 4}},
        {"/part -3 from index 2: only what lies before", 2, true, -3, false, {1, 2}, false, {3, 4}},
        {"/part -1 /last: nothing", 2, true, -1, true, {}, false, {1, 2, 3, 4}},
        {"/part 0: nothing", 1, true, 0, false, {}, false, {1, 2, 3, 4}},
        {"/part beyond the tail", 1, true, 9, false, {2, 3, 4}, false, {1}},
        {"at the tail: none", 4, false, 0, false, {}, true, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        Cell* b = ints({1, 2, 3, 4});
        Cell s = at(*b, c.head), part = integer(c.part), out;
        TakeOptions options;
        options.part = c.part_given ? &part : nullptr;
        options.last = c.last;
        actions::take(&out, &s, options);
        EXPECT_EQ(ints_of(*b), c.left) << c.what;
        if (c.none_answer) {
            EXPECT_EQ(type_of(out), TYPE_NONE) << c.what;
        } else if (!c.part_given) {
            EXPECT_EQ(type_of(out), TYPE_INTEGER) << c.what << ": the value itself";
            EXPECT_EQ(cell_integer(out), c.taken[0]) << c.what;
        } else {
            EXPECT_EQ(type_of(out), TYPE_BLOCK) << c.what;
            EXPECT_EQ(ints_of(out), c.taken) << c.what;
        }
    }
    Cell* empty = ints({});
    Cell out;
    actions::take(&out, empty, TakeOptions{});
    EXPECT_EQ(type_of(out), TYPE_NONE) << "from an empty block";
}

TEST_F(BlockTest, TakeWithoutPartAnswersAFreshSeries) {
    // Two takes in a row: the first answer stays what it was.
    Cell* b = ints({1, 2, 3});
    Cell first, second;
    series::take(&first, b, TakeOptions{});
    Rooted keep(first);
    series::take(&second, b, TakeOptions{});
    EXPECT_NE(cell_node(first), cell_node(second));
    EXPECT_EQ(ints_of(first), (Ints{1}));
    EXPECT_EQ(ints_of(second), (Ints{2}));
}

TEST_F(BlockTest, TakeFromAHashKeepsBothTablesInStep) {
    Cell* h = hashed({1, 2, 3, 4, 5, 2});
    Cell part = integer(2), out;
    Cell s = at(*h, 1);
    TakeOptions options;
    options.part = &part;
    block::take(&out, &s, options);  // hash! registers with the extended datatypes
    Rooted keep(out);
    EXPECT_EQ(type_of(out), TYPE_HASH);
    EXPECT_EQ(ints_of(out), (Ints{2, 3}));
    EXPECT_EQ(ints_of(*h), (Ints{1, 4, 5, 2}));
    expect_table_in_step(*h);
    expect_table_in_step(out);
}

TEST_F(BlockTest, CopyPart) {
    struct Case {
        const char* what;
        int32_t head;
        Cell part;
        Ints copied;
    };
    const Case cases[] = {
        {"a count", 1, integer(2), {2, 3}},
        {"a count beyond the tail", 3, integer(5), {4, 5}},
        {"a negative count", 3, integer(-2), {2, 3}},
        {"a negative count past the start", 1, integer(-5), {1}},
        {"a pair", 0, Cell{TYPE_PAIR, 0, 2, 4}, {2, 3}},
        {"a pair from the head", 1, Cell{TYPE_PAIR, 0, 1, 3}, {2, 3}},
        {"a pair backwards", 0, Cell{TYPE_PAIR, 0, 4, 2}, {}},
    };
    for (const Case& c : cases) {
        Cell* b = ints({1, 2, 3, 4, 5});
        Cell s = at(*b, c.head), out;
        CopyOptions options;
        options.part = &c.part;
        actions::copy(&out, &s, options);
        EXPECT_EQ(ints_of(out), c.copied) << c.what;
        EXPECT_EQ(out.data1, 0u) << c.what;
    }
}

TEST_F(BlockTest, CopyKeepsTheTypeAndTheNewLineMarker) {
    Cell* p = ints({1, 2}, TYPE_PAREN);
    p->header |= CELL_NEW_LINE;
    Cell out;
    block::copy(&out, p, CopyOptions{});  // paren! registers with the paths
    EXPECT_EQ(out.header, TYPE_PAREN | CELL_NEW_LINE);
    EXPECT_NE(cell_node(out), cell_node(*p));
}

}  // namespace
}  // namespace kel::test
