// block! form and mold: spacing, new-line markers and indentation, /only,
// /flat, /part budgets, and blocks that contain themselves.
#include "runtime/memory/cycle-guard.h"
#include "tests/datatypes/block-fixture.h"

namespace kel::test {
namespace {

const Cell yes = true_value;
const Cell no = false_value;
const Cell nothing = none_value;

TEST_F(BlockTest, MoldLayouts) {
    Cell nl_yes = with_new_line(yes), nl_no = with_new_line(no);
    struct Case {
        const char* what;
        Cell value;
        MoldOptions options;
        const char* text;
    };
    MoldOptions only, flat;
    only.only = true;
    flat.flat = true;
    Cell inner = *list({nl_yes, nl_no});
    Cell nested_twice = *list({nl_yes, with_new_line(*list({nl_no, with_new_line(inner)}))});
    const Case cases[] = {
        {"plain", *list({yes, no}), {}, "[true false]"},
        {"numbers", *list({integer(-1), integer(20)}), {}, "[-1 20]"},
        {"empty", *list({}), {}, "[]"},
        {"marker on a later value", *list({yes, nl_no}), {}, "[true\nfalse]"},
        {"marker on the first value", *list({nl_yes, no}), {}, "[\n    true false\n]"},
        {"every value marked",
         *list({nl_yes, nl_no, with_new_line(nothing)}),
         {},
         "[\n    true\n    false\n    none\n]"},
        {"nested", *list({yes, with_new_line(inner)}), {}, "[true\n[\n    true\n    false\n]]"},
        {"nested two levels",
         nested_twice,
         {},
         "[\n    true\n    [\n        false\n        [\n            true\n            false\n        ]\n    ]\n]"},
        {"flat", nested_twice, flat, "[true [false [true false]]]"},
        {"only", *list({yes, *list({no})}), only, "true [false]"},
        {"only with a marker on the first value", *list({nl_yes, nl_no}), only, "true\nfalse"},
        {"a head past the tail", at(*list({yes}), 3), {}, "[]"},
        {"from the head", at(*list({yes, no, nothing}), 1), {}, "[false none]"},
    };
    for (const Case& c : cases) EXPECT_EQ(molded(c.value, c.options), c.text) << c.what;
}

TEST_F(BlockTest, MoldAndFormStopAtThePartBudget) {
    Cell blk = *list({yes, no, nothing, yes});
    struct Case {
        int64_t limit;
        const char* text;
        int64_t left;
    };
    // The budget is looked at before each value; the caller cuts the text.
    const Case cases[] = {{1, "[]", -1}, {6, "[true false]", -6}, {40, "[true false none true]", 18}};
    for (const Case& c : cases) {
        MoldOptions options;
        options.part = true;
        options.limit = c.limit;
        Cell* t = target();
        EXPECT_EQ(actions::mold(blk, *t, options), c.left) << c.limit;
        EXPECT_EQ(string_text(*t), c.text) << c.limit;
    }
    Cell* t = target();
    EXPECT_EQ(actions::form(blk, *t, true, 6), -5);
    EXPECT_EQ(string_text(*t), "true false ");
    Cell* u = target();
    EXPECT_EQ(actions::form(blk, *u, false, 6), 6 - 20) << "without /part every value is formed";
    EXPECT_EQ(string_text(*u), "true false none true");
}

TEST_F(BlockTest, FormSpacing) {
    EXPECT_EQ(formed(*list({yes, *list({no, nothing}), *list({}), yes})), "true false none  true")
        << "nested blocks lose their brackets; an empty one writes nothing between its spaces";
    EXPECT_EQ(formed(*list({with_new_line(yes), no})), "true false") << "form ignores new-line markers";
    // No space follows a line feed, carriage return or tab already at the end
    // of the text.
    for (char end : {'\n', '\r', '\t'}) {
        Cell* t = target();
        string::append_char(string::buffer(*t), uint32_t(end));
        actions::form(*list({*list({}), yes}), *t, false, INT32_MAX);
        EXPECT_EQ(string_text(*t), std::string(1, end) + "true") << int(end);
    }
}

TEST_F(BlockTest, ABlockThatContainsItselfWritesTheCycleMarker) {
    Cell* b = list({yes});
    block::append_cell(*b, *b);
    EXPECT_EQ(molded(*b), "[true [...]]");
    EXPECT_EQ(formed(*b), "true ...");
    MoldOptions options;
    options.part = true;
    options.limit = 100;
    Cell* t = target();
    EXPECT_EQ(actions::mold(*b, *t, options), 100 - 12) << "the marker counts against the budget";
    EXPECT_EQ(cycle_guard::depth(), 0);
}

TEST_F(BlockTest, MoldLeavesTheCycleGuardEmptyWhenAValueFails) {
    // A value whose type cannot be molded (a spare type id, with no mold
    // registered for it) raises an error in the middle of the walk.
    Cell* b = list({yes, *list({Cell{TYPE_TOTAL - 2, 0, 0, 0}})});
    EXPECT_EQ(error_of([&] { molded(*b); }), id(ErrorId::script_expect_arg));
    EXPECT_EQ(cycle_guard::depth(), 0);
}

TEST_F(BlockTest, MakeAndTo) {
    Cell proto = datatype::make(TYPE_BLOCK), out = none_value;
    Rooted keep(out);
    for (int32_t n : {0, -3, 5}) {
        Cell spec = integer(n);
        actions::make(&out, &proto, &spec);
        EXPECT_EQ(out.header, TYPE_BLOCK);
        EXPECT_EQ(block::ks_length(out), 0);
        EXPECT_EQ(block::buffer(out)->size, uint64_t(n < 1 ? 1 : n) * sizeof(Cell)) << n;
    }
    Cell big{TYPE_FLOAT, 0, 0, 0};
    set_cell_double(big, 3e9);
    EXPECT_EQ(error_of([&] { actions::make(&out, &proto, &big); }), id(ErrorId::script_out_of_range));

    // make and to of another block type: a copy from the head, the header set
    // to the target type.
    Cell* source = list({with_new_line(yes), no, nothing});
    source->header |= CELL_NEW_LINE;
    Cell from = at(*source, 1);
    block::make(&out, &proto, &from, TYPE_PAREN);
    EXPECT_EQ(out.header, TYPE_PAREN);
    EXPECT_NE(cell_node(out), cell_node(*source));
    set_type(out, TYPE_BLOCK);
    EXPECT_EQ(molded(out), "[false none]");
    block::to(&out, &proto, source, TYPE_PAREN);
    EXPECT_EQ(out.header, TYPE_PAREN);

    Cell words = *text({'a', ' ', 'b'});
    EXPECT_EQ(error_of([&] { actions::make(&out, &proto, &words); }), id(ErrorId::script_bad_make_arg));
    // to block! of a string loads it as source.
    actions::to(&out, &proto, &words);
    EXPECT_EQ(molded(out), "[a b]");

    // to of any other value: a block holding it.
    Cell x = char_of('x');
    actions::to(&out, &proto, &x);
    ASSERT_EQ(block::ks_length(out), 1);
    EXPECT_EQ(block::buffer(out)->cells()[0].data2, uint32_t('x'));
    EXPECT_EQ(type_of(block::buffer(out)->cells()[0]), TYPE_CHAR);
}

}  // namespace
}  // namespace kel::test
