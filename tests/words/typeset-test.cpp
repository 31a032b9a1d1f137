// typeset!: text, making from words and typesets, set operations, find,
// complement and conversion to a block.
#include "tests/words/words-fixture.h"

#include "runtime/datatypes/typeset.h"

namespace kel::test {
namespace {

using Typesets = Words;

Cell typeset_of(std::initializer_list<Cell> values) {
    Cell* spec = block_of(values);
    Cell proto = datatype::make(TYPE_TYPESET);
    Cell out = make_none();
    actions::make(&out, &proto, spec);
    return out;
}

Cell dt(uint32_t type) { return datatype::make(type); }

Cell bitwise(int32_t op, const Cell& left, const Cell& right) {
    Cell* saved = stack::state.arguments;
    stack::state.arguments = stack::push(left);
    stack::push(right);
    typeset::do_bitwise(op);
    Cell answer = *stack::state.arguments;
    stack::state.arguments = saved;
    return answer;
}

TEST_F(Typesets, MoldFormAndMoldOnly) {
    Cell ts = typeset_of({dt(TYPE_LOGIC), dt(TYPE_NONE)});
    EXPECT_EQ(molded(ts), "make typeset! [none! logic!]");
    EXPECT_EQ(formed(ts), "make typeset! [none! logic!]");
    MoldOptions only;
    only.only = true;
    int64_t left = 0;
    only.limit = 100;
    EXPECT_EQ(molded(ts, only, &left), "none! logic!");
    EXPECT_EQ(left, 100 - 12);
    Cell empty = typeset_of({});
    EXPECT_EQ(molded(empty), "make typeset! []");
    EXPECT_EQ(molded(empty, only), "");
}

TEST_F(Typesets, AWordStandsForItsTypesetOrDatatype) {
    Cell scalar = global_word("ts-scalars!");
    context::set(scalar, typeset_of({dt(TYPE_LOGIC), dt(TYPE_NONE)}));
    Cell unset_word = global_word("ts-unset-type");
    context::set(unset_word, dt(TYPE_UNSET));
    Cell ts = typeset_of({scalar, unset_word, dt(TYPE_WORD)});
    EXPECT_EQ(typeset::count(ts), 4);
    EXPECT_TRUE(typeset::has(ts, TYPE_UNSET));
    EXPECT_EQ(raised([&] { typeset_of({make_integer(5)}); }), id(ErrorId::script_invalid_arg));
    EXPECT_EQ(cell_integer(error_in_flight().args[0]), 5);
    Cell proto = dt(TYPE_TYPESET);
    Cell spec = make_integer(1);
    Cell out;
    EXPECT_EQ(raised([&] { actions::make(&out, &proto, &spec); }), id(ErrorId::script_bad_to_arg));
}

TEST_F(Typesets, SetOperations) {
    Cell a = typeset_of({dt(TYPE_LOGIC), dt(TYPE_NONE)});
    Cell b = typeset_of({dt(TYPE_NONE), dt(TYPE_WORD)});
    struct Row {
        int32_t op;
        std::initializer_list<uint32_t> types;
    };
    const Row rows[] = {
        {9, {TYPE_NONE, TYPE_LOGIC, TYPE_WORD}},  // union
        {MATH_OR, {TYPE_NONE, TYPE_LOGIC, TYPE_WORD}},
        {10, {TYPE_NONE}},  // intersect
        {MATH_AND, {TYPE_NONE}},
        {11, {TYPE_LOGIC}},  // exclude
        {12, {TYPE_LOGIC, TYPE_WORD}},  // difference
        {MATH_XOR, {TYPE_LOGIC, TYPE_WORD}},
        {8, {TYPE_NONE, TYPE_LOGIC}},  // unique: the left one
    };
    for (const Row& r : rows) {
        Cell got = bitwise(r.op, a, b);
        Cell want = typeset::make_empty();
        for (uint32_t t : r.types) typeset::set_bit(want, t);
        EXPECT_EQ(actions::compare_values(got, want, COMP_EQUAL), 0) << "op " << r.op;
    }
    // A datatype on the right stands for the typeset of that type.
    Cell u = bitwise(9, typeset_of({dt(TYPE_LOGIC)}), dt(TYPE_WORD));
    EXPECT_EQ(molded(u), "make typeset! [logic! word!]");
    EXPECT_EQ(raised([&] { bitwise(9, a, make_integer(1)); }), id(ErrorId::script_invalid_arg));
}

TEST_F(Typesets, FindComplementCompareAndToBlock) {
    Cell ts = typeset_of({dt(TYPE_WORD), dt(TYPE_LOGIC)});
    Cell out;
    Cell what = dt(TYPE_WORD);
    actions::find(&out, &ts, &what, {});
    EXPECT_EQ(out.header, TYPE_LOGIC);
    EXPECT_EQ(out.data1, 1u);
    what = dt(TYPE_NONE);
    actions::find(&out, &ts, &what, {});
    EXPECT_EQ(out.data1, 0u);
    Cell five = make_integer(5);
    EXPECT_EQ(raised([&] { actions::find(&out, &ts, &five, {}); }), id(ErrorId::script_invalid_arg));

    Cell empty = typeset::make_empty();
    Cell all;
    actions::complement(&all, &empty);
    EXPECT_EQ(all.data1, 0xFFFFFFFFu);  // the bits naming no type too
    EXPECT_EQ(all.data3, 0xFFFFFFFFu);
    EXPECT_EQ(typeset::count(all), int32_t(datatype::highest()));

    EXPECT_EQ(actions::compare_values(typeset_of({dt(TYPE_WORD)}), ts, COMP_SORT), -1);
    EXPECT_EQ(actions::compare_values(ts, ts, COMP_SAME), 0);
    EXPECT_EQ(actions::compare_values(ts, ts, COMP_LESSER), COMP_NOT_COMPARABLE);
    EXPECT_EQ(actions::compare_values(ts, make_none(), COMP_EQUAL), COMP_NOT_COMPARABLE);

    Cell* blk = stack::push(make_none());
    typeset::to_block(typeset_of({dt(TYPE_WORD), dt(TYPE_LOGIC)}), *blk);
    ASSERT_EQ(block::ks_length(*blk), 2);
    EXPECT_EQ(formed(block::buffer(*blk)->cells()[0]), "logic!");  // id order
    EXPECT_EQ(formed(block::buffer(*blk)->cells()[1]), "word!");
}

TEST_F(Typesets, TheDefaultHoldsEverythingButUnset) {
    Cell d = typeset::make_default();
    EXPECT_FALSE(typeset::has(d, TYPE_UNSET));
    EXPECT_TRUE(typeset::has(d, TYPE_NONE));
    EXPECT_TRUE(typeset::has(d, TYPE_EVENT));
    Cell wordy = global_word("ts-some-word");
    context::set(wordy, global_word("other"));
    Cell* spec = block_of({dt(TYPE_LOGIC), wordy, *block_of({})});
    Cell ts = typeset::from_block(*spec);
    EXPECT_TRUE(typeset::has(ts, TYPE_LOGIC));
    EXPECT_TRUE(typeset::has(ts, TYPE_OBJECT));
    Cell* bad = block_of({make_integer(3)});
    EXPECT_EQ(raised([&] { typeset::from_block(*bad); }), id(ErrorId::script_invalid_type_spec));
}

}  // namespace
}  // namespace kel::test
