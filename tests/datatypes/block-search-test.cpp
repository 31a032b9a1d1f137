// block! compare, find, select, put and path access.
#include "runtime/memory/cycle-guard.h"
#include "tests/datatypes/block-fixture.h"

namespace kel::test {
namespace {

Cell word(const char* name, uint32_t type = TYPE_WORD) {
    return Cell{type, 0, uint32_t(symbol::make(name)), uint32_t(-1)};
}

// A typeset! holding the types.
Cell typeset_of(std::initializer_list<uint32_t> types) {
    Cell ts{TYPE_TYPESET, 0, 0, 0};
    auto* bytes = reinterpret_cast<uint8_t*>(&ts);
    for (uint32_t t : types) bytes[4 + (t >> 3)] |= uint8_t(0x80u >> (t & 7));
    return ts;
}

// The position find answers (-1 for none).
int64_t found_at(const Cell& series, const Cell& value, const FindOptions& options) {
    Cell out;
    actions::find(&out, const_cast<Cell*>(&series), const_cast<Cell*>(&value), options);
    return type_of(out) == TYPE_NONE ? -1 : int32_t(out.data1);
}

TEST_F(BlockTest, FindTable) {
    Cell b = *ints({1, 2, 3, 2, 3, 4});
    Cell middle = at(b, 3);
    Cell seq = *ints({2, 3});
    Cell two = integer(2), three = integer(3), four = integer(4), one = integer(1), nine = integer(9);
    Cell skip2 = integer(2), part2 = integer(2), part3 = integer(3), part0 = integer(0);
    Cell part_series = at(b, 3);
    struct Case {
        const char* what;
        const Cell& series;
        const Cell& value;
        FindOptions options;
        int64_t at;
    };
    const Case cases[] = {
        {"a value", b, three, {}, 2},
        {"an absent value", b, nine, {}, -1},
        {"from the head", middle, two, {}, 3},
        {"a sequence", b, seq, {}, 1},
        {"a sequence from the head", middle, seq, {}, 3},
        {"a sequence that runs past the tail", at(b, 4), seq, {}, -1},
        {"a sequence /tail", b, seq, with<FindOptions>([](FindOptions& o) { o.tail = true; }), 3},
        {"a sequence /only looks for the block itself", b, seq,
         with<FindOptions>([](FindOptions& o) { o.only = true; }), -1},
        {"a value /tail", b, three, with<FindOptions>([](FindOptions& o) { o.tail = true; }), 3},
        {"/skip 2 sees the odd positions only", b, two, with<FindOptions>([&](FindOptions& o) { o.skip = &skip2; }),
         -1},
        {"/skip 2", b, three, with<FindOptions>([&](FindOptions& o) { o.skip = &skip2; }), 2},
        {"/skip 2 /tail moves a record on", b, three, with<FindOptions>([&](FindOptions& o) {
             o.skip = &skip2;
             o.tail = true;
         }),
         4},
        {"/part 2", b, three, with<FindOptions>([&](FindOptions& o) { o.part = &part2; }), -1},
        {"/part 3", b, three, with<FindOptions>([&](FindOptions& o) { o.part = &part3; }), 2},
        {"/part 0", b, one, with<FindOptions>([&](FindOptions& o) { o.part = &part0; }), -1},
        {"/part up to a position", b, four, with<FindOptions>([&](FindOptions& o) { o.part = &part_series; }), -1},
        {"/part a sequence that would cross it", b, seq, with<FindOptions>([&](FindOptions& o) { o.part = &part2; }),
         -1},
        {"/last from a middle index scans the whole block", middle, one,
         with<FindOptions>([](FindOptions& o) { o.last = true; }), 0},
        {"/last", middle, two, with<FindOptions>([](FindOptions& o) { o.last = true; }), 3},
        {"/last of a sequence", b, seq, with<FindOptions>([](FindOptions& o) { o.last = true; }), 3},
        {"/reverse from a middle index", middle, two, with<FindOptions>([](FindOptions& o) { o.reverse = true; }), 1},
        {"/reverse does not see the head", middle, four, with<FindOptions>([](FindOptions& o) { o.reverse = true; }),
         -1},
        {"/reverse /tail", middle, two, with<FindOptions>([](FindOptions& o) {
             o.reverse = true;
             o.tail = true;
         }),
         2},
        {"/match at the head", at(b, 1), seq, with<FindOptions>([](FindOptions& o) { o.match = true; }), 1},
        {"/match tries the head only", b, three, with<FindOptions>([](FindOptions& o) { o.match = true; }), -1},
    };
    for (const Case& c : cases) EXPECT_EQ(found_at(c.series, c.value, c.options), c.at) << c.what;

    Cell out, zero = integer(0), other = *ints({1});
    FindOptions bad_skip, zero_skip, other_part;
    bad_skip.skip = &seq;
    zero_skip.skip = &zero;
    other_part.part = &other;
    EXPECT_EQ(error_of([&] { actions::find(&out, &b, &two, zero_skip); }), id(ErrorId::script_out_of_range));
    EXPECT_EQ(error_of([&] { actions::find(&out, &b, &two, bad_skip); }), id(ErrorId::script_invalid_refine_arg));
    EXPECT_EQ(error_of([&] { actions::find(&out, &b, &two, other_part); }), id(ErrorId::script_invalid_refine_arg));
}

TEST_F(BlockTest, FindByTypeAndTypeset) {
    Cell b = *list({word("x"), integer(1), datatype::make(TYPE_INTEGER), word("y")});
    Cell integer_type = datatype::make(TYPE_INTEGER);
    FindOptions plain, only;
    only.only = true;
    EXPECT_EQ(found_at(b, integer_type, plain), 1) << "a datatype finds a value of the type";
    EXPECT_EQ(found_at(b, integer_type, only), 2) << "/only finds the datatype value itself";
    Cell words = typeset_of({TYPE_WORD, TYPE_SET_WORD});
    EXPECT_EQ(found_at(at(b, 1), words, plain), 3);
    Cell none_type = typeset_of({TYPE_NONE});
    EXPECT_EQ(found_at(b, none_type, plain), -1);
}

TEST_F(BlockTest, FindWithCase) {
    Cell b = *list({word("a"), word("B"), word("b")});
    Cell lower = word("b");
    FindOptions plain, exact;
    exact.case_sensitive = true;
    EXPECT_EQ(found_at(b, lower, plain), 1) << "B is b without /case";
    EXPECT_EQ(found_at(b, lower, exact), 2);
}

TEST_F(BlockTest, FindInAHashUsesItsTableAndAnswersAsAScanWould) {
    Ints values{5, 1, 5, 2, 5, 3, 1, 5};
    Cell* h = hashed({5, 1, 5, 2, 5, 3, 1, 5});
    Cell* plain = ints({5, 1, 5, 2, 5, 3, 1, 5});
    Cell skip2 = integer(2), skip3 = integer(3), part4 = integer(4);
    for (int32_t head : {0, 1, 3, 8}) {
        for (int32_t v : {5, 1, 3, 9}) {
            for (int mode = 0; mode < 6; ++mode) {
                FindOptions o;
                if (mode == 1) o.last = true;
                if (mode == 2) o.reverse = true;
                if (mode == 3) o.skip = &skip2;
                if (mode == 4) {
                    o.skip = &skip3;
                    o.reverse = true;
                }
                if (mode == 5) o.part = &part4;
                Cell value = integer(v);
                Cell hs = at(*h, head), ps = at(*plain, head), out;
                block::find(&out, &hs, &value, o);  // hash! registers with the extended datatypes
                int64_t through_table = type_of(out) == TYPE_NONE ? -1 : int32_t(out.data1);
                EXPECT_EQ(through_table, found_at(ps, value, o))
                    << "head " << head << " value " << v << " mode " << mode;
            }
        }
    }
}

TEST_F(BlockTest, Select) {
    Cell b = *ints({1, 2, 3, 4});
    Cell out, two = integer(2), four = integer(4), seq = *ints({2, 3});
    actions::select(&out, &b, &two, FindOptions{});
    EXPECT_EQ(cell_integer(out), 3);
    actions::select(&out, &b, &four, FindOptions{});
    EXPECT_EQ(type_of(out), TYPE_NONE) << "a key in the last cell has no value";
    actions::select(&out, &b, &seq, FindOptions{});
    EXPECT_EQ(cell_integer(out), 4) << "the value after the whole sequence";
}

TEST_F(BlockTest, Compare) {
    Cell a12 = *ints({1, 2}), a123 = *ints({1, 2, 3}), empty = *ints({}), empty2 = *ints({}), a1 = *ints({1});
    Cell other12 = *ints({1, 2});
    Cell with_word = *list({integer(1), word("x")});
    struct Case {
        const char* what;
        const Cell& a;
        const Cell& b;
        int32_t op;
        int32_t sign;
    };
    const Case cases[] = {
        {"equal blocks", a12, other12, COMP_EQUAL, 0},
        {"lengths differ: unequal at once", a12, a123, COMP_EQUAL, 1},
        {"a prefix orders first", a12, a123, COMP_LESSER, -1},
        {"an empty block orders first", empty, a1, COMP_SORT, -1},
        {"two empty blocks", empty, empty2, COMP_EQUAL, 0},
        {"types differ: by type id", with_word, a12, COMP_SORT, 1},
        {"identity of equal blocks", a12, other12, COMP_SAME, -1},
        {"identity", a12, at(a12, 0), COMP_SAME, 0},
        {"the same block at other heads", a12, at(a12, 1), COMP_EQUAL, 1},
    };
    for (const Case& c : cases) {
        int32_t r = block::compare(c.a, c.b, c.op);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.what;
    }
    // Numbers of different types are compared by value.
    Cell one_float{TYPE_FLOAT, 0, 0, 0};
    set_cell_double(one_float, 1.0);
    Cell floats = *list({one_float}), ones = *ints({1});
    EXPECT_TRUE(actions::compare(floats, ones, COMP_EQUAL)) << "[1.0] = [1]";
    EXPECT_FALSE(actions::compare(floats, ones, COMP_STRICT_EQUAL)) << "but not strictly";

    Cell paren = *ints({1, 2}, TYPE_PAREN);
    EXPECT_EQ(block::compare(a12, paren, COMP_EQUAL), COMP_NOT_COMPARABLE);
    EXPECT_TRUE(actions::compare(with_word, a12, COMP_GREATER));

    // Two blocks that contain themselves compare equal without looping.
    Cell* x = ints({1});
    block::append_cell(*x, *x);
    Cell* y = ints({1});
    block::append_cell(*y, *y);
    EXPECT_EQ(block::compare(*x, *y, COMP_EQUAL), 0);
    EXPECT_EQ(cycle_guard::depth(), 0);
}

TEST_F(BlockTest, Put) {
    struct Case {
        const char* what;
        int32_t key;
        Ints after;
    };
    const Case cases[] = {
        {"a missing key appends key and value", 7, {1, 2, 3, 4, 7, 9}},
        {"a present key has its value replaced", 1, {1, 9, 3, 4}},
        {"a key in the last cell gets a value after it", 4, {1, 2, 3, 4, 9}},
    };
    for (const Case& c : cases) {
        Cell* b = ints({1, 2, 3, 4});
        Cell key = integer(c.key), value = integer(9), out;
        actions::put(&out, b, &key, &value, false);
        EXPECT_EQ(ints_of(*b), c.after) << c.what;
        EXPECT_EQ(cell_integer(out), 9);
    }
    Cell* h = hashed({1, 2, 3, 4});
    for (int32_t k : {3, 8, 2}) {
        Cell key = integer(k), value = integer(k * 10), out;
        block::put(&out, h, &key, &value, false);
    }
    EXPECT_EQ(ints_of(*h), (Ints{1, 2, 20, 30, 8, 80}));
    expect_table_in_step(*h);
}

TEST_F(BlockTest, PathAccess) {
    Cell* b = list({true_value, integer(6), none_value, integer(8)});
    Cell two = integer(2), key = none_value, value = integer(0), out;
    PathStep get, set;
    get.get = true;
    actions::eval_path(&out, b, &two, nullptr, get);
    EXPECT_EQ(cell_integer(out), 6) << "an integer picks";
    actions::eval_path(&out, b, &key, nullptr, get);
    EXPECT_EQ(cell_integer(out), 8) << "any other key selects the value after it";
    actions::eval_path(&out, b, &key, &value, set);
    EXPECT_EQ(cell_integer(block::buffer(*b)->cells()[3]), 0) << "a set replaces the value after the key";
    EXPECT_EQ(cell_integer(out), 0);
    Cell one = integer(7);
    actions::eval_path(&out, b, &two, &one, set);
    EXPECT_EQ(cell_integer(block::buffer(*b)->cells()[1]), 7) << "an integer pokes";
    Cell absent = false_value;
    EXPECT_EQ(error_of([&] { actions::eval_path(&out, b, &absent, &value, set); }), id(ErrorId::script_bad_path_set));

    // A word key matches the word in any of its forms, case ignored.
    Cell* fields = list({word("Size", TYPE_SET_WORD), integer(1), word("b", TYPE_SET_WORD), integer(2)});
    Cell size = word("size");
    actions::eval_path(&out, fields, &size, nullptr, get);
    EXPECT_EQ(cell_integer(out), 1);
    PathStep exact = get;
    exact.case_sensitive = true;
    actions::eval_path(&out, fields, &size, nullptr, exact);
    EXPECT_EQ(type_of(out), TYPE_NONE);
}

}  // namespace
}  // namespace kel::test
