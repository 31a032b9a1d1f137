// block! sort: records, comparators, /part, /stable, the refinement errors,
// and Kel comparators run through the callback seam (tests install C++
// functions in the evaluator's place).
#include <algorithm>
#include <cmath>
#include <functional>

#include "runtime/evaluator/callbacks.h"
#include "runtime/memory/collector.h"
#include "runtime/platform/heap.h"
#include "tests/datatypes/block-fixture.h"

namespace kel::test {
namespace {

using Comparator = std::function<Cell(const Cell& first, const Cell& second)>;

// Runs the comparator the test gives, in place of a Kel function, and counts
// the calls.
struct CallbackTest : BlockTest {
    static inline Comparator comparator;
    static inline int calls = 0;
    callbacks::Runner previous = nullptr;
    Cell fn{TYPE_FUNCTION, 0, 0, 0};

    static Cell run(const Cell&, std::span<const Cell> args, callbacks::Callback kind) {
        EXPECT_EQ(kind, callbacks::Callback::compare);
        EXPECT_EQ(args.size(), 2u);
        ++calls;
        return comparator(args[0], args[1]);
    }
    void SetUp() override {
        BlockTest::SetUp();
        previous = callbacks::install(run);
        calls = 0;
    }
    void TearDown() override {
        callbacks::install(previous);
        comparator = nullptr;
        BlockTest::TearDown();
    }
    SortOptions by_function(bool stable = true) {
        SortOptions o;
        o.compare = &fn;
        o.stable = stable;
        return o;
    }
};

Cell as_float(double d) {
    Cell c{TYPE_FLOAT, 0, 0, 0};
    set_cell_double(c, d);
    return c;
}

TEST_F(BlockTest, SortTable) {
    Cell skip2 = integer(2), skip3 = integer(3), compare2 = integer(2), part2 = integer(2), minus2 = integer(-2);
    struct Case {
        const char* what;
        Ints values;
        int32_t head;
        SortOptions options;
        Ints after;
        uint32_t answer;
    };
    const Case cases[] = {
        {"ascending", {3, 1, 2}, 0, {}, {1, 2, 3}, 0},
        {"/reverse", {3, 1, 2}, 0, with<SortOptions>([](SortOptions& o) { o.reverse = true; }), {3, 2, 1}, 0},
        {"from the head", {3, 1, 2}, 1, {}, {3, 1, 2}, 1},
        {"records by their first value",
         {2, 9, 1, 8},
         0,
         with<SortOptions>([&](SortOptions& o) { o.skip = &skip2; }),
         {1, 8, 2, 9},
         0},
        {"/compare 2 orders by the second value",
         {1, 9, 2, 8},
         0,
         with<SortOptions>([&](SortOptions& o) {
             o.skip = &skip2;
             o.compare = &compare2;
         }),
         {2, 8, 1, 9},
         0},
        {"/all compares whole records",
         {1, 9, 1, 8},
         0,
         with<SortOptions>([&](SortOptions& o) {
             o.skip = &skip2;
             o.all = true;
         }),
         {1, 8, 1, 9},
         0},
        {"/stable keeps equal records in order",
         {1, 9, 0, 5, 1, 8, 0, 4},
         0,
         with<SortOptions>([&](SortOptions& o) {
             o.skip = &skip2;
             o.stable = true;
         }),
         {0, 5, 0, 4, 1, 9, 1, 8},
         0},
        {"/stable /reverse",
         {1, 3, 2},
         0,
         with<SortOptions>([](SortOptions& o) {
             o.stable = true;
             o.reverse = true;
         }),
         {3, 2, 1},
         0},
        {"/part 2", {4, 3, 2, 1}, 1, with<SortOptions>([&](SortOptions& o) { o.part = &part2; }), {4, 2, 3, 1}, 1},
        {"/part -2 from index 3 sorts the two before it",
         {3, 2, 9, 1},
         2,
         with<SortOptions>([&](SortOptions& o) { o.part = &minus2; }),
         {2, 3, 9, 1},
         0},
        {"/part -2 from index 2 cannot go back two",
         {3, 2, 9, 1},
         1,
         with<SortOptions>([&](SortOptions& o) { o.part = &minus2; }),
         {3, 2, 9, 1},
         0},
        {"/skip 3 over six values",
         {5, 0, 0, 4, 1, 1},
         0,
         with<SortOptions>([&](SortOptions& o) { o.skip = &skip3; }),
         {4, 1, 1, 5, 0, 0},
         0},
        {"an empty block", {}, 0, {}, {}, 0},
        {"at the tail", {2, 1}, 2, {}, {2, 1}, 2},
    };
    for (const Case& c : cases) {
        Cell* b = ints({});
        for (int32_t v : c.values) block::append_cell(*b, integer(v));
        Cell s = at(*b, c.head), out;
        actions::sort(&out, &s, c.options);
        EXPECT_EQ(ints_of(*b), c.after) << c.what;
        EXPECT_EQ(out.data1, c.answer) << c.what;
    }
}

TEST_F(BlockTest, SortOrdersNumbersOfDifferentTypesByValue) {
    Cell half{TYPE_FLOAT, 0, 0, 0};
    set_cell_double(half, 1.5);
    Cell* b = list({integer(2), half, integer(1)});
    Cell out;
    actions::sort(&out, b, SortOptions{});
    EXPECT_EQ(molded(*b), "[1 1.5 2]");
}

TEST_F(BlockTest, SortOrdersTypesThatCannotBeComparedByTypeId) {
    Cell* b = list({true_value, integer(2), none_value, integer(1), false_value});
    Cell out;
    actions::sort(&out, b, SortOptions{});
    const Cell* c = block::buffer(*b)->cells();
    EXPECT_EQ(type_of(c[0]), TYPE_NONE);
    EXPECT_EQ(c[1].data1, 0u) << "false before true";
    EXPECT_EQ(c[2].data1, 1u);
    EXPECT_EQ(cell_integer(c[3]), 1);
    EXPECT_EQ(cell_integer(c[4]), 2);
}

TEST_F(BlockTest, SortRefinementErrors) {
    Cell zero = integer(0), two = integer(2), three = integer(3), one = integer(1);
    Cell* other = ints({1});
    Cell* nested = ints({1});
    struct Case {
        const char* what;
        SortOptions options;
        ErrorId error;
    };
    const Case cases[] = {
        {"/skip 3 on four values", with<SortOptions>([&](SortOptions& o) { o.skip = &three; }),
         ErrorId::script_invalid_refine_arg},
        {"/skip 0", with<SortOptions>([&](SortOptions& o) { o.skip = &zero; }), ErrorId::script_invalid_refine_arg},
        {"/all without /skip", with<SortOptions>([](SortOptions& o) { o.all = true; }), ErrorId::script_bad_refines},
        {"/compare 3 with /skip 2", with<SortOptions>([&](SortOptions& o) {
             o.skip = &two;
             o.compare = &three;
         }),
         ErrorId::script_out_of_range},
        {"/compare 0 with /skip 2", with<SortOptions>([&](SortOptions& o) {
             o.skip = &two;
             o.compare = &zero;
         }),
         ErrorId::script_out_of_range},
        {"an integer /compare without /skip", with<SortOptions>([&](SortOptions& o) { o.compare = &one; }),
         ErrorId::script_bad_refines},
        {"an integer /compare with /all", with<SortOptions>([&](SortOptions& o) {
             o.skip = &two;
             o.all = true;
             o.compare = &one;
         }),
         ErrorId::script_bad_refines},
        {"/compare with a block", with<SortOptions>([&](SortOptions& o) { o.compare = nested; }),
         ErrorId::script_invalid_refine_arg},
        {"/part of another block", with<SortOptions>([&](SortOptions& o) { o.part = other; }),
         ErrorId::script_invalid_refine_arg},
    };
    for (const Case& c : cases) {
        Cell* b = ints({4, 3, 2, 1});
        Cell out;
        EXPECT_EQ(error_of([&] { actions::sort(&out, b, c.options); }), id(c.error)) << c.what;
        EXPECT_EQ(ints_of(*b), (Ints{4, 3, 2, 1})) << c.what;
    }
}

TEST_F(BlockTest, SortOfAHashKeepsItsTableInStep) {
    Cell* h = hashed({4, 1, 3, 1, 2});
    Cell out;
    block::sort(&out, h, SortOptions{});
    EXPECT_EQ(ints_of(*h), (Ints{1, 1, 2, 3, 4}));
    expect_table_in_step(*h);
}

TEST_F(CallbackTest, AKelComparatorNeedsTheEvaluator) {
    callbacks::install(nullptr);
    Cell* b = ints({2, 1});
    Cell out;
    EXPECT_EQ(error_of([&] { actions::sort(&out, b, by_function()); }), id(ErrorId::internal_not_done));
}

TEST_F(CallbackTest, EveryResultTypeMapsToOneOrder) {
    // The comparator is asked about (second, first) of each pair: answers
    // meaning "the first argument comes first" sort ascending for every type.
    struct Case {
        const char* what;
        Comparator comparator;
        bool reverse;
        Ints after;
    };
    const Case cases[] = {
        {"logic: first < second",
         [](const Cell& a, const Cell& b) { return logic::make_cell(cell_integer(a) < cell_integer(b)); },
         false,
         {1, 2, 3, 4}},
        {"logic under /reverse",
         [](const Cell& a, const Cell& b) { return logic::make_cell(cell_integer(a) < cell_integer(b)); },
         true,
         {4, 3, 2, 1}},
        {"integer: first minus second",
         [](const Cell& a, const Cell& b) { return integer(cell_integer(a) - cell_integer(b)); },
         false,
         {1, 2, 3, 4}},
        {"integer under /reverse",
         [](const Cell& a, const Cell& b) { return integer(cell_integer(a) - cell_integer(b)); },
         true,
         {4, 3, 2, 1}},
        {"float: first minus second",
         [](const Cell& a, const Cell& b) { return as_float(cell_integer(a) - cell_integer(b)); },
         false,
         {1, 2, 3, 4}},
        {"float NaN: all equal", [](const Cell&, const Cell&) { return as_float(std::nan("")); }, false, {3, 1, 4, 2}},
        {"none: every value stays before the next",
         [](const Cell&, const Cell&) { return none_value; },
         false,
         {3, 1, 4, 2}},
        {"any other value: every value goes after the next",
         [](const Cell&, const Cell&) { return datatype::make(TYPE_BLOCK); },
         false,
         {2, 4, 1, 3}},
    };
    for (const Case& c : cases) {
        comparator = c.comparator;
        Cell* b = ints({3, 1, 4, 2});
        SortOptions o = by_function();
        o.reverse = c.reverse;
        Cell out;
        actions::sort(&out, b, o);
        EXPECT_EQ(ints_of(*b), c.after) << c.what;
    }
    // The quicksort runs the same mapping.
    comparator = [](const Cell& a, const Cell& b) { return integer(cell_integer(a) - cell_integer(b)); };
    Cell* b = ints({5, 3, 9, 1, 7, 2, 8});
    Cell out;
    actions::sort(&out, b, by_function(false));
    EXPECT_EQ(ints_of(*b), (Ints{1, 2, 3, 5, 7, 8, 9}));
}

TEST_F(CallbackTest, WithAllTheComparatorGetsWholeRecords) {
    comparator = [](const Cell& a, const Cell& b) {
        EXPECT_EQ(type_of(a), TYPE_BLOCK);
        EXPECT_EQ(block::ks_length(a), 2);
        const Cell* x = block::buffer(a)->cells();
        const Cell* y = block::buffer(b)->cells();
        // By the second value of each record.
        return logic::make_cell(cell_integer(x[1]) < cell_integer(y[1]));
    };
    Cell* b = ints({1, 9, 2, 8, 3, 7});
    Cell skip = integer(2), out;
    SortOptions o = by_function();
    o.skip = &skip;
    o.all = true;
    actions::sort(&out, b, o);
    EXPECT_EQ(ints_of(*b), (Ints{3, 7, 2, 8, 1, 9}));
    // Without /all it gets the first value of each record.
    comparator = [](const Cell& a, const Cell& b) { return logic::make_cell(cell_integer(a) > cell_integer(b)); };
    o.all = false;
    actions::sort(&out, b, o);
    EXPECT_EQ(ints_of(*b), (Ints{3, 7, 2, 8, 1, 9}));
}

TEST_F(CallbackTest, AComparatorThatEmptiesTheBlockAndCollects) {
    // The block is emptied at the first call, so only the sort's scratch holds
    // the nested blocks; every call allocates and collects. The comparator
    // reads its arguments' contents each time.
    const int n = 40;
    Cell* b = ints({});
    for (int32_t i = 0; i < n; ++i) {
        Cell* nested = ints({(i * 17) % n, i});
        block::append_cell(*b, *nested);
        stack::pop(1);
    }
    Cell held = *b;
    comparator = [held](const Cell& a, const Cell& c) {
        block::truncate_at(held, 0);
        Cell* garbage = block::push_only(64);
        stack::pop(1);
        (void)garbage;
        collector::do_cycle();
        const Cell* x = block::buffer(a)->cells();
        const Cell* y = block::buffer(c)->cells();
        EXPECT_EQ(block::ks_length(a), 2);
        EXPECT_EQ((cell_integer(x[1]) * 17) % n, cell_integer(x[0])) << "an argument's contents survived";
        return logic::make_cell(cell_integer(x[0]) < cell_integer(y[0]));
    };
    for (bool stable : {true, false}) {
        Cell out;
        actions::sort(&out, b, by_function(stable));
        EXPECT_EQ(block::ks_length(*b), 0) << "nothing goes back past the tail as it is now";
    }
}

TEST_F(CallbackTest, AComparatorThatAppendsToTheBlock) {
    Cell* b = ints({5, 2, 4, 1, 3});
    Cell held = *b;
    comparator = [held](const Cell& a, const Cell& c) {
        block::append_cell(held, integer(100));  // the buffer grows and moves
        return logic::make_cell(cell_integer(a) < cell_integer(c));
    };
    for (bool stable : {true, false}) {
        block::truncate_at(*b, 5);
        calls = 0;
        Cell out;
        actions::sort(&out, b, by_function(stable));
        Ints all = ints_of(*b);
        EXPECT_EQ(Ints(all.begin(), all.begin() + 5), (Ints{1, 2, 3, 4, 5})) << stable;
        EXPECT_EQ(all.size(), size_t(5 + calls)) << "the appended values stay after the sorted ones";
        // The values are 5, 2, 4, 1, 3 the second time round too.
        block::truncate_at(*b, 0);
        for (int32_t v : {5, 2, 4, 1, 3}) block::append_cell(*b, integer(v));
    }
}

TEST_F(CallbackTest, AComparatorThatThrowsLeavesAPermutationAndNoScratch) {
    for (int k : {1, 5, 20}) {
        for (bool stable : {true, false}) {
            Cell* b = ints({});
            Ints values;
            for (int32_t i = 0; i < 50; ++i) {
                values.push_back((i * 37) % 50);
                block::append_cell(*b, integer(values.back()));
            }
            Cell skip = integer(2);
            comparator = [k](const Cell& a, const Cell& c) {
                if (calls == k) fire(ErrorId::script_invalid_arg, {a});
                return logic::make_cell(cell_integer(a) < cell_integer(c));
            };
            calls = 0;
            size_t blocks = heap::live_blocks();
            SortOptions o = by_function(stable);
            if (k == 5) o.skip = &skip;
            Cell out;
            EXPECT_EQ(error_of([&] { actions::sort(&out, b, o); }), id(ErrorId::script_invalid_arg));
            EXPECT_EQ(heap::live_blocks(), blocks) << "the scratch is released";
            Ints after = ints_of(*b);
            if (k == 5) {
                // Records of two stay together.
                for (size_t i = 0; i + 1 < after.size(); i += 2) {
                    bool found = false;
                    for (size_t j = 0; j + 1 < values.size(); j += 2)
                        found = found || (values[j] == after[i] && values[j + 1] == after[i + 1]);
                    EXPECT_TRUE(found) << "record " << after[i] << " " << after[i + 1];
                }
            }
            std::sort(after.begin(), after.end());
            Ints expected = values;
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(after, expected) << "a permutation, k " << k << " stable " << stable;
        }
    }
}

TEST_F(CallbackTest, AHashSortedByAComparatorThatThrowsKeepsItsTableInStep) {
    Cell* h = hashed({9, 3, 7, 1, 5, 3, 8, 2});
    comparator = [](const Cell& a, const Cell& c) {
        if (calls == 6) fire(ErrorId::script_invalid_arg, {a});
        return logic::make_cell(cell_integer(a) < cell_integer(c));
    };
    Cell out;
    EXPECT_EQ(error_of([&] { block::sort(&out, h, by_function()); }), id(ErrorId::script_invalid_arg));
    expect_table_in_step(*h);
}

}  // namespace
}  // namespace kel::test
