// Block helpers: clamping of a head past the tail, adding and inserting
// cells (hash! tables kept in step), look-ups, making and copying blocks.
#include "runtime/memory/collector.h"
#include "runtime/memory/cycle-guard.h"
#include "runtime/memory/roots.h"
#include "tests/datatypes/series-fixture.h"

namespace kel::test {
namespace {

using Ints = std::vector<int32_t>;

TEST_F(SeriesTest, HeadPastTheTailIsClampedByKsHeadOnly) {
    Cell v = *ints({1, 2, 3, 4});
    v.data1 = 3;
    block::truncate_at(v, 2);
    EXPECT_EQ(block::ks_length(v), -1) << "negative while the head lies past the tail";
    EXPECT_FALSE(block::ks_tail_q(v)) << "equality only";
    EXPECT_EQ(block::ks_head(v), block::ks_tail(v));
    EXPECT_EQ(v.data1, 2u);
    EXPECT_TRUE(block::ks_tail_q(v));
    EXPECT_EQ(block::ks_length(v), 0);
}

TEST_F(SeriesTest, TruncateAndClear) {
    Cell v = *ints({1, 2, 3, 4});
    block::truncate_at(v, 6);
    EXPECT_EQ(ints_of(v), (Ints{1, 2, 3, 4})) << "never lengthens";
    block::truncate_at(v, 3);
    EXPECT_EQ(ints_of(v), (Ints{1, 2, 3}));
    v.data1 = 1;
    block::ks_clear(v);
    EXPECT_EQ(ints_of(v), (Ints{1}));
    v.data1 = 5;
    block::ks_clear(v);
    EXPECT_EQ(ints_of(v), (Ints{1})) << "a head past the tail brings nothing back";
}

TEST_F(SeriesTest, KsNextAndAbsAt) {
    Cell v = *ints({7, 8});
    EXPECT_EQ(block::ks_abs_at(v, 1), cells(v) + 1);
    EXPECT_FALSE(block::ks_next(v));
    EXPECT_TRUE(block::ks_next(v));
    EXPECT_EQ(v.data1, 2u);
    EXPECT_TRUE(block::ks_next(v));
    EXPECT_EQ(v.data1, 2u);
}

TEST_F(SeriesTest, AppendingGrowsAndKeepsOrder) {
    Cell* blk = block::push_only(0);
    Ints expected;
    for (int32_t i = 0; i < 300; ++i) {
        block::append_cell(*blk, integer(i));
        expected.push_back(i);
    }
    EXPECT_EQ(ints_of(*blk), expected);
    // Appending a block to itself copies the cells as they were.
    Cell half = *blk;
    half.data1 = 150;
    block::append_block(*blk, half);
    expected.insert(expected.end(), expected.begin() + 150, expected.begin() + 300);
    EXPECT_EQ(ints_of(*blk), expected);
}

TEST_F(SeriesTest, AppendCellKeepsAValueThatLivesInTheGrowingBuffer) {
    Cell* blk = ints({42});
    for (int i = 0; i < 6; ++i) block::append_cell(*blk, cells(*blk)[0]);  // the buffer moves on growth
    EXPECT_EQ(ints_of(*blk), (Ints{42, 42, 42, 42, 42, 42, 42}));
}

TEST_F(SeriesTest, InsertCellPositionsAndGrowth) {
    Cell* blk = block::push_only(4);
    for (int32_t i = 1; i <= 4; ++i) block::append_cell(*blk, integer(i));
    ASSERT_EQ(block::buffer(*blk)->size, 64u);
    blk->data1 = 2;
    block::insert_cell(*blk, integer(9), false, false);
    EXPECT_EQ(block::buffer(*blk)->size, 160u) << "twice the five cells needed";
    EXPECT_EQ(ints_of(*blk), (Ints{1, 2, 9, 3, 4}));
    EXPECT_EQ(blk->data1, 2u);
    block::insert_cell(*blk, integer(8), true, true);
    EXPECT_EQ(ints_of(*blk), (Ints{8, 1, 2, 9, 3, 4}));
    EXPECT_EQ(blk->data1, 3u);
    blk->data1 = 6;
    block::insert_cell(*blk, integer(7), true, false);
    EXPECT_EQ(ints_of(*blk), (Ints{8, 1, 2, 9, 3, 4, 7}));
    EXPECT_EQ(blk->data1, 7u);
    blk->data1 = 20;  // past the tail: the cell goes to the tail
    block::insert_cell(*blk, integer(6), false, false);
    EXPECT_EQ(ints_of(*blk), (Ints{8, 1, 2, 9, 3, 4, 7, 6}));
}

TEST_F(SeriesTest, InsertBlockKeepsTheOrder) {
    Cell* target = ints({1, 2});
    Cell* source = ints({7, 8, 9});
    target->data1 = 1;
    source->data1 = 1;
    block::insert_block(*target, *source);
    EXPECT_EQ(ints_of(*target), (Ints{1, 8, 9, 2}));
    EXPECT_EQ(target->data1, 3u);
    // Inserting a block into itself reads the cells as they move.
    Cell* self = ints({1, 2});
    block::insert_block(*self, *self);
    EXPECT_EQ(ints_of(*self), (Ints{1, 2, 1, 2}));
}

TEST_F(SeriesTest, InsertsIntoAHashKeepItsTableInStep) {
    Cell* h = ints({10, 20, 30}, TYPE_HASH);
    h->data3 = hashtable::make_table(3, h, hashtable::KIND_HASH);
    h->data1 = 1;
    block::insert_cell(*h, integer(15), true, false);  // 10 15 20 30
    {
        Frame f{*h, integer(40)};
        block::append_to_last();  // 10 15 20 30 40
    }
    {
        Frame f{*h, integer(5)};
        stack::state.arguments += 1;  // the value in the result slot, the block below it
        block::insert_last();  // at the head (index 2): 10 15 5 20 30 40
        stack::state.arguments -= 1;
        EXPECT_EQ(f[0].data1, 3u) << "the block's head moves past the inserted cell";
        *h = f[0];
    }
    {
        Frame f{*h, integer(50)};
        stack::state.arguments += 1;
        block::append_last();  // 10 15 5 20 30 40 50
        stack::state.arguments -= 1;
    }
    Ints expected{10, 15, 5, 20, 30, 40, 50};
    EXPECT_EQ(ints_of(*h), expected);
    for (size_t i = 0; i < expected.size(); ++i) {
        Cell* found = hashtable::find(h->data3, integer(expected[i]), 0, 1, COMP_EQUAL, false, false);
        EXPECT_EQ(found, cells(*h) + i) << expected[i];
    }
}

// The helpers that drop or add cells keep a hash!'s table in step: after
// each, every value is found where a linear search of the block finds it
// (a stale table answered positions past the tail, then freed cells).
TEST_F(SeriesTest, HelpersThatAddOrDropCellsKeepAHashTableInStep) {
    struct Case {
        const char* name;
        void (*edit)(Cell& h);
        Ints after;
    };
    const Case cases[] = {
        {"remove_equal", [](Cell& h) { block::remove_equal(h, integer(1), false); }, {2, 3, 1, 2}},
        {"remove_equal from the head",
         [](Cell& h) {
             h.data1 = 3;
             block::remove_equal(h, integer(1), true);
         },
         {2, 3, 1, 2}},
        {"truncate_at", [](Cell& h) { block::truncate_at(h, 2); }, {1, 2}},
        {"ks_clear",
         [](Cell& h) {
             h.data1 = 1;
             block::ks_clear(h);
         },
         {1}},
        {"append_block",
         [](Cell& h) {
             Cell* more = ints({4, 1, 5});
             block::append_block(h, *more);
         },
         {1, 2, 3, 1, 2, 4, 1, 5}},
        {"append_block of itself",
         [](Cell& h) {
             h.data1 = 3;
             block::append_block(h, h);
         },
         {1, 2, 3, 1, 2, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Cell* h = ints({1, 2, 3, 1, 2}, TYPE_HASH);
        h->data3 = hashtable::make_table(5, h, hashtable::KIND_HASH);
        Cell edited = *h;
        c.edit(edited);
        ASSERT_EQ(ints_of(*h), c.after);
        for (int32_t v = 0; v <= 5; ++v) {
            for (int32_t from = 0; from <= int32_t(c.after.size()); ++from) {
                int32_t expected = -1;
                for (size_t i = size_t(from); i < c.after.size() && expected < 0; ++i)
                    if (c.after[i] == v) expected = int32_t(i);
                Cell* found = hashtable::find(h->data3, integer(v), from, 1, COMP_EQUAL, false, false);
                EXPECT_EQ(found ? int32_t(found - cells(*h)) : -1, expected) << "value " << v << " from " << from;
            }
        }
    }
}

// A map!'s block holds key/value pairs that only the map! actions may
// rearrange: the cell helpers refuse it as an internal fault.
TEST_F(SeriesTest, CellHelpersRefuseAMap) {
    EXPECT_EXIT(
        {
            Cell* m = ints({1, 10, 2, 20});
            m->data3 = hashtable::make_table(2, m, hashtable::KIND_MAP);
            set_type(*m, TYPE_MAP);
            block::remove_equal(*m, integer(1), false);
            std::exit(0);
        },
        ::testing::ExitedWithCode(98), "");
}

TEST_F(SeriesTest, ValueAfterKey) {
    Cell v = *ints({1, 2, 3, 2, 5});
    EXPECT_EQ(cell_integer(*block::value_after_key(v, integer(2))), 3);
    EXPECT_EQ(block::value_after_key(v, integer(5)), &none_value) << "a match in the last cell";
    EXPECT_EQ(block::value_after_key(v, integer(9)), &none_value);
    v.data1 = 2;
    EXPECT_EQ(cell_integer(*block::value_after_key(v, integer(2))), 5) << "the scan starts at the head";
    v.data1 = 9;
    EXPECT_EQ(block::value_after_key(v, integer(1)), &none_value);
}

TEST_F(SeriesTest, ValueAfterWordMatchesTheWordKindsByCanonicalSymbol) {
    int32_t size = symbol::make("size");
    int32_t size_upper = symbol::make("SIZE");
    int32_t other = symbol::make("other");
    Cell* blk = block::push_only(8);
    auto add = [&](Cell c) { block::append_cell(*blk, c); };
    add(Cell{TYPE_REFINEMENT, 0, uint32_t(size), 0});  // refinements do not count
    add(integer(1));
    add(Cell{TYPE_SET_WORD, 0, uint32_t(size_upper), 0});
    add(integer(2));
    add(Cell{TYPE_GET_WORD, 0, uint32_t(other), 0});
    Cell key{TYPE_WORD, 0, uint32_t(size), 0};
    EXPECT_EQ(cell_integer(*block::value_after_word(*blk, key, false)), 2);
    EXPECT_EQ(block::value_after_word(*blk, key, true), &none_value) << "SIZE is not size when case counts";
    Cell last{TYPE_LIT_WORD, 0, uint32_t(other), 0};
    EXPECT_EQ(block::value_after_word(*blk, last, false), &none_value) << "a match in the last cell";
}

TEST_F(SeriesTest, RemoveEqual) {
    struct Case {
        int32_t head;
        bool from_head;
        int32_t key;
        bool answer;
        Ints after;
    };
    const Case cases[] = {
        {0, false, 1, true, {2, 3, 2}},  {0, false, 2, false, {1, 3, 2}}, {1, false, 2, true, {1, 3, 2}},
        {2, false, 2, false, {1, 2, 3}}, {2, true, 1, true, {2, 3, 2}},   {0, false, 9, false, {1, 2, 3, 2}},
    };
    for (const Case& c : cases) {
        Cell v = *ints({1, 2, 3, 2});
        v.data1 = uint32_t(c.head);
        EXPECT_EQ(block::remove_equal(v, integer(c.key), c.from_head), c.answer) << c.head << " " << c.key;
        EXPECT_EQ(ints_of(v), c.after) << c.head << " " << c.key;
    }
}

TEST_F(SeriesTest, MakingBlocks) {
    Cell* a = block::push_only(0);
    EXPECT_EQ(a->header, TYPE_BLOCK);
    EXPECT_EQ(block::buffer(*a)->size, 16u) << "room for one cell";
    Cell c{TYPE_INTEGER | CELL_NEW_LINE, 5, 5, 5};
    Rooted keep(c);
    block::make_at(c, -5);
    EXPECT_EQ(c.header, TYPE_BLOCK | CELL_NEW_LINE) << "flags kept";
    EXPECT_EQ(block::buffer(c)->size, 16u);
    EXPECT_EQ(block::ks_length(c), 0);

    Cell f{TYPE_INTEGER | CELL_NEW_LINE, 5, 5, 5};
    block::make_fixed_at(f, 3, true);
    EXPECT_EQ(f.header, TYPE_BLOCK) << "header set whole";
    EXPECT_TRUE(block::buffer(f)->flags & series_flag::FIXED);
    Cell u{TYPE_NONE, 0, 0, 0};
    Rooted keep_u(u);
    block::make_fixed_at(u, 3, false);
    EXPECT_FALSE(block::buffer(u)->flags & series_flag::FIXED);
    EXPECT_EQ(block::buffer(u)->cells()[2].header, TYPE_UNSET);

    Cell* parent = ints({1});
    Cell* child = block::make_in(parent, 4);
    EXPECT_EQ(child, cells(*parent) + 1);
    EXPECT_EQ(child->header, TYPE_BLOCK);
    block::append_cell(*child, integer(3));
    Cell* fixed = block::make_fixed_in(parent, 2);
    EXPECT_EQ(fixed, cells(*parent) + 2);
    EXPECT_TRUE(block::buffer(*fixed)->flags & series_flag::FIXED);
    collector::do_cycle();
    EXPECT_EQ(ints_of(cells(*parent)[1]), (Ints{3})) << "the nested block survives a collection";
}

TEST_F(SeriesTest, PushCopyKeepsTypesAndNewLinesAsTheCopyRules) {
    // [1 [2 (3)] (4)] with new-line markers on the outer value and the nested block.
    Cell* inner = ints({2});
    Cell* paren = ints({3}, TYPE_PAREN);
    block::append_cell(*inner, *paren);
    Cell* outer = ints({1}, TYPE_PAREN);
    Cell nested = *inner;
    nested.header |= CELL_NEW_LINE;
    block::append_cell(*outer, nested);
    block::append_cell(*outer, *ints({4}, TYPE_PAREN));
    outer->header |= CELL_NEW_LINE;

    Cell* shallow = block::push_copy(*outer, false, false);
    EXPECT_EQ(shallow->header, TYPE_PAREN) << "the type byte alone";
    EXPECT_EQ(cell_node(cells(*shallow)[1]), cell_node(*inner)) << "a shallow copy shares nested blocks";

    Cell* deep = block::push_copy(*outer, true, false);
    Cell copied = cells(*deep)[1];
    EXPECT_NE(cell_node(copied), cell_node(*inner));
    EXPECT_EQ(copied.header, TYPE_BLOCK | CELL_NEW_LINE) << "a nested copy keeps its own header";
    EXPECT_EQ(cell_node(cells(copied)[1]), cell_node(*paren)) << "parens are shared without paths";
    EXPECT_EQ(cell_node(cells(*deep)[2]), cell_node(cells(*outer)[2]));

    Cell* with_paths = block::push_copy(*outer, true, true);
    EXPECT_NE(cell_node(cells(cells(*with_paths)[1])[1]), cell_node(*paren));
    EXPECT_NE(cell_node(cells(*with_paths)[2]), cell_node(cells(*outer)[2]));
    EXPECT_EQ(cell_integer(cells(cells(cells(*with_paths)[1])[1])[0]), 3);

    // The copy starts at the head; a head past the tail copies nothing.
    Cell from_one = *outer;
    from_one.data1 = 2;
    EXPECT_EQ(block::ks_length(*block::push_copy(from_one, false, false)), 1);
    from_one.data1 = 9;
    EXPECT_EQ(block::ks_length(*block::push_copy(from_one, false, false)), 0);
}

TEST_F(SeriesTest, DeepCopyOfABlockThatHoldsItselfIsRefused) {
    Cell* direct = ints({1});
    block::append_cell(*direct, *direct);
    EXPECT_EQ(error_of([&] { block::push_copy(*direct, true, false); }), id(ErrorId::internal_no_cycle));

    // [0 [1 [2 <the outer block>]]]: the cycle closes two levels down.
    Cell* outer = ints({0});
    Cell* middle = ints({1});
    Cell* inner = ints({2});
    block::append_cell(*inner, *outer);
    block::append_cell(*middle, *inner);
    block::append_cell(*outer, *middle);
    EXPECT_EQ(error_of([&] { block::push_copy(*outer, true, false); }), id(ErrorId::internal_no_cycle));
    EXPECT_EQ(cycle_guard::depth(), 0);

    // The same block twice side by side is no cycle: each place gets a copy.
    Cell* twice = ints({0});
    block::append_cell(*twice, *ints({5}));
    Cell* pair = ints({});
    block::append_cell(*pair, *twice);
    block::append_cell(*pair, *twice);
    Cell* copy = block::push_copy(*pair, true, false);
    EXPECT_NE(cell_node(cells(*copy)[0]), cell_node(cells(*copy)[1]));
    EXPECT_NE(cell_node(cells(*copy)[0]), cell_node(*twice));
}

// A deep copy follows nesting far past the cycle guard's 1,000 entries, up to
// its documented limit, and refuses deeper nesting with a catchable error.
TEST_F(SeriesTest, DeepCopyFollowsNestingUpToItsLimit) {
    struct Case {
        int32_t levels;
        int expected_error;
    } cases[] = {
        {1001, -1},
        {block::DEEP_COPY_LEVELS, -1},
        {block::DEEP_COPY_LEVELS + 1, id(ErrorId::internal_too_deep)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.levels);
        // With every allocation collecting, the chains at the limit take
        // seconds: the other runs check the limit, this one the copy's roots.
        if (gc_stress() && c.levels > 1001) continue;
        // [[[... [7] ...]]] with c.levels blocks around [7].
        Cell* chain = ints({7});
        for (int32_t i = 0; i < c.levels; ++i) {
            Cell* outer = ints({});
            block::append_cell(*outer, *chain);
            *chain = *outer;
            stack::pop(1);
        }
        Cell* copy = nullptr;
        EXPECT_EQ(error_of([&] { copy = block::push_copy(*chain, true, false); }), c.expected_error);
        if (c.expected_error >= 0) continue;
        // Every level is a new block; the innermost holds 7.
        Cell from = *chain, to = *copy;
        for (int32_t i = 0; i < c.levels; ++i) {
            ASSERT_NE(cell_node(to), cell_node(from)) << i;
            from = cells(from)[0];
            to = cells(to)[0];
        }
        ASSERT_EQ(type_of(to), TYPE_BLOCK);
        EXPECT_NE(cell_node(to), cell_node(from));
        EXPECT_EQ(cell_integer(cells(to)[0]), 7);
    }
}

TEST_F(SeriesTest, CopyNestedReplacesOnlyMatchingContainers) {
    static int copies;
    copies = 0;
    Installed<block::CopyAction> copy_action(block::set_copy_action, [](Cell* value, bool, const Cell&) {
        ++copies;
        *value = *block::push_copy(*value, false, false);
        stack::pop(1);
    });
    Cell* inner = ints({1});
    Cell* blk = ints({0});
    block::append_cell(*blk, *inner);
    block::append_cell(*blk, *text({'x'}));
    block::append_cell(*blk, *inner);
    Cell kind = datatype::make(TYPE_BLOCK);
    block::copy_nested(cell_node(*blk), 0, 4, 1, false, kind);
    EXPECT_EQ(copies, 2) << "the integer! and the string! are not copied";
    EXPECT_NE(cell_node(cells(*blk)[1]), cell_node(*inner));
    EXPECT_NE(cell_node(cells(*blk)[3]), cell_node(*inner));
    copies = 0;
    block::copy_nested(cell_node(*blk), 1, 4, 2, false, kind);  // cells 1 and 3
    EXPECT_EQ(copies, 2);
}

}  // namespace
}  // namespace kel::test
