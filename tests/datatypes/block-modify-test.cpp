// block! append, insert, change, swap, trim, take/deep and copy/deep.
#include "runtime/memory/cycle-guard.h"
#include "tests/datatypes/block-fixture.h"

namespace kel::test {
namespace {

AppendOptions counts(int32_t part = -1, int32_t dup = 1, bool only = false) {
    AppendOptions o;
    o.part = part;
    o.dup = dup;
    o.only = only;
    return o;
}

TEST_F(BlockTest, AppendAndInsertTable) {
    struct Case {
        const char* what;
        bool append;
        int32_t head;
        Ints source;  // spliced
        AppendOptions options;
        Ints after;
        uint32_t answer;
    };
    const Case cases[] = {
        {"append", true, 0, {3, 4}, counts(), {1, 2, 3, 4}, 0},
        {"append answers the series at its head", true, 1, {3}, counts(), {1, 2, 3}, 1},
        {"append /part", true, 0, {3, 4}, counts(1), {1, 2, 3}, 0},
        {"append /part beyond the source", true, 0, {3, 4}, counts(7), {1, 2, 3, 4}, 0},
        {"append /dup", true, 0, {3, 4}, counts(-1, 3), {1, 2, 3, 4, 3, 4, 3, 4}, 0},
        {"append /part /dup", true, 0, {3, 4}, counts(1, 6), {1, 2, 3, 3, 3, 3, 3, 3}, 0},
        {"append an empty block", true, 1, {}, counts(), {1, 2}, 1},
        {"insert at the head", false, 0, {9}, counts(), {9, 1, 2}, 1},
        {"insert in the middle", false, 1, {8, 9}, counts(), {1, 8, 9, 2}, 3},
        {"insert at the tail", false, 2, {9}, counts(), {1, 2, 9}, 3},
        {"insert /dup answers past every copy", false, 0, {9}, counts(-1, 2), {9, 9, 1, 2}, 2},
        {"insert an empty block", false, 1, {}, counts(), {1, 2}, 1},
    };
    for (const Case& c : cases) {
        Cell* b = ints({1, 2});
        Cell* source = ints({});
        for (int32_t v : c.source) block::append_cell(*source, integer(v));
        Cell s = at(*b, c.head), out;
        if (c.append)
            actions::append(&out, &s, source, c.options);
        else
            actions::insert(&out, &s, source, c.options);
        EXPECT_EQ(ints_of(*b), c.after) << c.what;
        EXPECT_EQ(out.data1, c.answer) << c.what;
    }
}

// Appending one value at a time: into the room a block has, past it (the
// buffer grows), into a hash! (its table finds every value) and with /part
// and /dup, which leave the one-cell way.
TEST_F(BlockTest, AppendingSingleValuesOneByOne) {
    Cell* b = ints({});
    Cell* h = hashed({});
    Ints expected;
    for (int32_t v = 1; v <= 40; ++v) {
        Cell value = integer(v), out;
        Cell s = at(*b, 0);
        actions::append(&out, &s, &value, counts());
        EXPECT_EQ(out.data1, 0u);
        Cell hs = at(*h, 0);
        actions::append(&out, &hs, &value, counts());
        expected.push_back(v);
    }
    EXPECT_EQ(ints_of(*b), expected);
    EXPECT_EQ(ints_of(*h), expected);
    expect_table_in_step(*h);

    Cell value = integer(7), out;
    actions::append(&out, b, &value, counts(-1, 3));
    actions::append(&out, b, &value, counts(5));
    for (int i = 0; i < 4; ++i) expected.push_back(7);
    EXPECT_EQ(ints_of(*b), expected);
}

TEST_F(BlockTest, AppendOnlyAddsTheBlockAsOneValue) {
    Cell* b = ints({1});
    Cell* source = ints({2, 3});
    Cell out;
    actions::append(&out, b, source, counts(-1, 2, true));
    ASSERT_EQ(block::ks_length(*b), 3);
    for (int i : {1, 2}) {
        const Cell& nested = block::buffer(*b)->cells()[i];
        EXPECT_EQ(type_of(nested), TYPE_BLOCK);
        EXPECT_EQ(cell_node(nested), cell_node(*source));
    }
}

// The expected block after inserting (or appending) part cells of the
// source, dup times, at index, computed from the values as they were.
Ints inserted(Ints target, Ints source, int64_t index, int64_t part, int64_t dup) {
    Ints piece;
    for (int64_t d = 0; d < dup; ++d) piece.insert(piece.end(), source.begin(), source.begin() + part);
    target.insert(target.begin() + index, piece.begin(), piece.end());
    return target;
}

TEST_F(BlockTest, InsertAndAppendOfTheBlockIntoItselfUseItsValuesAsTheyWere) {
    // insert b skip b 2 on [1 2 3 4] gives [3 4 1 2 3 4].
    Cell* b = ints({1, 2, 3, 4});
    Cell source = at(*b, 2), out;
    actions::insert(&out, b, &source, counts());
    EXPECT_EQ(ints_of(*b), (Ints{3, 4, 1, 2, 3, 4}));
    EXPECT_EQ(out.data1, 2u);

    const Ints start{1, 2, 3, 4, 5};
    for (int32_t head = 0; head <= 5; ++head)
        for (int32_t from = 0; from <= 5; ++from)
            for (int32_t dup : {1, 2}) {
                Cell* blk = ints({1, 2, 3, 4, 5});
                Cell target = at(*blk, head), src = at(*blk, from);
                Ints source(start.begin() + from, start.end());
                actions::insert(&out, &target, &src, counts(-1, dup));
                EXPECT_EQ(ints_of(*blk), inserted(start, source, head, int64_t(source.size()), dup))
                    << "insert at " << head << " from " << from << " /dup " << dup;
                Cell* again = ints({1, 2, 3, 4, 5});
                Cell whole = at(*again, head), part_from = at(*again, from);
                actions::append(&out, &whole, &part_from, counts(2, dup));
                EXPECT_EQ(ints_of(*again),
                          inserted(start, source, 5, std::min<int64_t>(2, int64_t(source.size())), dup))
                    << "append from " << from << " /dup " << dup;
            }
}

// The expected block after changing at index with the source's values:
// written cells replace `removed` ones.
Ints changed(Ints target, const Ints& source, int64_t index, int64_t part, int64_t dup) {
    Ints piece;
    for (int64_t d = 0; d < dup; ++d) piece.insert(piece.end(), source.begin(), source.end());
    int64_t avail = int64_t(target.size()) - index;
    int64_t written = int64_t(piece.size());
    int64_t removed = std::min(avail, part >= 0 ? part : written);
    target.erase(target.begin() + index, target.begin() + index + removed);
    target.insert(target.begin() + index, piece.begin(), piece.end());
    return target;
}

TEST_F(BlockTest, ChangeTable) {
    struct Case {
        const char* what;
        int32_t head;
        Ints source;
        AppendOptions options;
        Ints after;
        uint32_t answer;
    };
    const Case cases[] = {
        {"one value", 0, {9}, counts(), {9, 2, 3}, 1},
        {"two values overwrite two", 0, {8, 9}, counts(), {8, 9, 3}, 2},
        {"/part 2 with one value", 0, {9}, counts(2), {9, 3}, 1},
        {"/part 0 inserts", 1, {9}, counts(0), {1, 9, 2, 3}, 2},
        {"past the tail grows", 2, {8, 9}, counts(), {1, 2, 8, 9}, 4},
        {"/dup", 1, {9}, counts(-1, 3), {1, 9, 9, 9}, 4},
        {"an empty source", 1, {}, counts(), {1, 2, 3}, 1},
        {"an empty source with /part removes", 1, {}, counts(1), {1, 3}, 1},
    };
    for (const Case& c : cases) {
        Cell* b = ints({1, 2, 3});
        Cell* source = ints({});
        for (int32_t v : c.source) block::append_cell(*source, integer(v));
        Cell s = at(*b, c.head), out;
        actions::change(&out, &s, source, c.options);
        EXPECT_EQ(ints_of(*b), c.after) << c.what;
        EXPECT_EQ(out.data1, c.answer) << c.what;
    }
    Cell* b = ints({1, 2, 3});
    Cell value = true_value, out;
    actions::change(&out, b, &value, counts());
    EXPECT_EQ(type_of(block::buffer(*b)->cells()[0]), TYPE_LOGIC) << "any other value is one cell";
}

TEST_F(BlockTest, ChangeWithTheBlockItselfWritesItsValuesAsTheyWere) {
    // [1 2 3 4 5] at its head, changed /part 2 with itself from its second
    // value: [2 3 4 5 3 4 5].
    Cell* b = ints({1, 2, 3, 4, 5});
    Cell source = at(*b, 1), out;
    actions::change(&out, b, &source, counts(2));
    EXPECT_EQ(ints_of(*b), (Ints{2, 3, 4, 5, 3, 4, 5}));

    // Sources before, inside and after the changed range, with more, as many
    // and fewer values written than removed.
    const Ints start{1, 2, 3, 4, 5};
    for (int32_t head = 0; head <= 5; ++head)
        for (int32_t from = 0; from <= 5; ++from)
            for (int32_t part : {-1, 0, 1, 2, 4}) {
                Cell* blk = ints({1, 2, 3, 4, 5});
                Cell target = at(*blk, head), src = at(*blk, from);
                actions::change(&out, &target, &src, counts(part));
                Ints source(start.begin() + from, start.end());
                EXPECT_EQ(ints_of(*blk), changed(start, source, head, part, 1))
                    << "change at " << head << " from " << from << " /part " << part;
            }
}

TEST_F(BlockTest, InsertAndChangeKeepAHashInStep) {
    Cell* h = hashed({1, 2, 3, 2});
    Cell out;
    Cell mid = at(*h, 2);
    Cell* more = ints({4, 2});
    block::append(&out, &mid, more, counts(-1, 2), false);
    EXPECT_EQ(ints_of(*h), (Ints{1, 2, 4, 2, 4, 2, 3, 2}));
    expect_table_in_step(*h);
    Cell self = at(*h, 5);
    block::change(&out, h, &self, counts(1));
    EXPECT_EQ(ints_of(*h), (Ints{2, 3, 2, 2, 4, 2, 4, 2, 3, 2}));
    expect_table_in_step(*h);
}

TEST_F(BlockTest, SwapAndTrim) {
    Cell* a = ints({1, 2});
    Cell* b = ints({3, 4});
    Cell out;
    Cell second = at(*b, 1);
    actions::swap(&out, a, &second);
    EXPECT_EQ(ints_of(*a), (Ints{4, 2}));
    EXPECT_EQ(ints_of(*b), (Ints{3, 1}));
    Cell* empty = ints({});
    actions::swap(&out, a, empty);
    EXPECT_EQ(ints_of(*a), (Ints{4, 2})) << "swapping with an empty block does nothing";
    Cell number = integer(1);
    EXPECT_EQ(error_of([&] { actions::swap(&out, a, &number); }), id(ErrorId::script_invalid_arg));

    Cell* h = hashed({1, 2, 3});
    Cell* h2 = hashed({7, 8});
    block::swap(&out, h, h2);
    expect_table_in_step(*h);
    expect_table_in_step(*h2);

    Cell* t = list({integer(1), none_value, integer(2), none_value, none_value});
    Cell from = at(*t, 1);
    actions::trim(&out, &from, TrimOptions{});
    EXPECT_EQ(ints_of(*t), (Ints{1, 2}));
}

TEST_F(BlockTest, TakeDeepAndCopyDeepCopyNestedSeries) {
    Cell* inner = ints({1, 2});
    Cell* b = list({*inner, integer(3)});
    Cell out;
    TakeOptions deep;
    deep.deep = true;
    actions::take(&out, b, deep);
    EXPECT_EQ(type_of(out), TYPE_BLOCK);
    EXPECT_NE(cell_node(out), cell_node(*inner)) << "/deep takes a copy";
    EXPECT_EQ(ints_of(out), (Ints{1, 2}));

    Cell* outer = list({*inner, *list({*inner})});
    CopyOptions copy_deep;
    copy_deep.deep = true;
    actions::copy(&out, outer, copy_deep);
    Rooted keep(out);
    const Cell& first = block::buffer(out)->cells()[0];
    const Cell& nested = block::buffer(block::buffer(out)->cells()[1])->cells()[0];
    EXPECT_NE(cell_node(first), cell_node(*inner));
    EXPECT_NE(cell_node(nested), cell_node(*inner));
    EXPECT_EQ(ints_of(nested), (Ints{1, 2}));
}

TEST_F(BlockTest, CopyDeepOfABlockThatContainsItselfIsRefused) {
    Cell* b = ints({1});
    Cell* holder = list({*b});
    block::append_cell(*b, *holder);  // b holds holder, which holds b
    Cell out;
    CopyOptions deep;
    deep.deep = true;
    EXPECT_EQ(error_of([&] { actions::copy(&out, b, deep); }), id(ErrorId::internal_no_cycle));
    EXPECT_EQ(cycle_guard::depth(), 0);
}

TEST_F(BlockTest, CopyDeepTypesCopiesTheValuesOfThoseTypesOnly) {
    // string! registers with the strings and inherits series!'s copy; the
    // slot is lent to it here for the test.
    datatype::Action& string_copy = datatype::action_table[TYPE_STRING][ACTION_COPY];
    Restore<datatype::Action> keep_slot(string_copy);
    string_copy = datatype::slot(TYPE_SERIES, ACTION_COPY);
    Cell* s = text({'a'});
    Cell* inner = ints({1});
    Cell* b = list({*s, *inner, *list({*s})});
    Cell types = datatype::make(TYPE_STRING), out;
    CopyOptions options;
    options.deep = true;
    options.types = &types;
    actions::copy(&out, b, options);
    Rooted keep(out);
    Cell* cells = block::buffer(out)->cells();
    EXPECT_NE(cell_node(cells[0]), cell_node(*s)) << "a string is copied";
    EXPECT_EQ(cell_node(cells[1]), cell_node(*inner)) << "a block is not: it is no string!";
    EXPECT_EQ(cell_node(block::buffer(cells[2])->cells()[0]), cell_node(*s)) << "and nothing below it";
}

}  // namespace
}  // namespace kel::test
