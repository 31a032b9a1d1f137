// map!: keys, lookups, removal, making, extending, reflection, copies,
// comparison, form and mold, through the action slots and Kel code.
#include "tests/maps/maps-fixture.h"

namespace kel::test {
namespace {

struct MapTest : Collections {};

// Each row runs its code and compares the mold of the result.
TEST_F(MapTest, EdgeCases) {
    const struct {
        const char* code;
        const char* molded;
    } rows[] = {
        {"make map! [a 1 a 2]", "#[\n    a: 2\n]"},
        {"length? make map! [a 1 a 2]", "1"},
        {"m: make map! ['a 1] find m 'a", "a"},
        {"m: make map! ['a 1] select m 'a", "1"},
        {"m: make map! ['a 1] reflect m 'body", "[\n    a: 1\n]"},
        {"m: make map! [a 1 b 2] remove/key m 'a length? m", "1"},
        {"m: make map! [a 1 b 2] remove/key m 'a select m 'a", "none"},
        {"m: make map! [a 1 b 2] remove/key m 'a m/a: 3 m", "#[\n    a: 3\n    b: 2\n]"},
        {"m: make map! [a 1 b 2] remove/key m 'A length? m", "2"},
        {"m: make map! [a 1 b 2] remove/key m 'A m/a", "1"},
        {"m: make map! [\"ab\" 1] remove/key m \"AB\" length? m", "1"},
        {"m: make map! [\"ab\" 1] select m \"AB\"", "1"},
        {"m: make map! [\"ab\" 1] select/case m \"AB\"", "none"},
        {"m: make map! [\"ab\" 1] m/(\"AB\")", "1"},
        {"s: copy \"key\" m: make map! [] put m s 1 append s \"x\" select m \"key\"", "1"},
        {"s: copy \"key\" m: make map! [] put m s 1 append s \"x\" select m s", "none"},
        {"make map! []", "#[]"},
        {"mold/flat make map! [a 1 b [c d]]", "\"#[a: 1 b: [c d]]\""},
        {"mold/only make map! [a 1 b 2]", "\"a: 1^/b: 2\""},
        {"(make map! [a 1 b 2]) = make map! [b 2 a 1]", "true"},
        {"(make map! [a 1 b 2]) = make map! [b 2 a 3]", "false"},
        {"(make map! [a 1]) = make map! [a 1 b 2]", "false"},
        {"(make map! [\"A\" 1]) = make map! [\"a\" 1]", "true"},
        {"(make map! [\"A\" 1]) == make map! [\"a\" 1]", "false"},
        {"m: make map! [a 1] m = m", "true"},
        {"m: make map! [a 1] m/b: 2 m/b", "2"},
        {"m: make map! [a 1] m/c", "none"},
        {"m: make map! [1 \"one\" 2.5 \"x\"] m/1", "\"one\""},
        {"m: make map! [1 \"one\" 2.5 \"x\"] select m 2.5", "\"x\""},
        {"m: make map! [a 1] put m 'b 5 m", "#[\n    a: 1\n    b: 5\n]"},
        {"m: make map! [\"a\" 1] put/case m \"A\" 2 length? m", "2"},
        {"m: make map! [\"a\" 1] put m \"A\" 2 m", "#[\n    \"a\" 2\n]"},
        {"m: make map! [a 1 b 2] clear m length? m", "0"},
        {"m: make map! [a 1 b 2] clear m m/c: 1 m", "#[\n    c: 1\n]"},
        {"make map! 0", "#[]"},
        {"make map! 10.7", "#[]"},
        {"make map! make map! [x 1]", "#[\n    x: 1\n]"},
        {"make map! make hash! [x 1]", "#[\n    x: 1\n]"},
        {"find make map! [a: 1] 'b", "none"},
        {"m: make map! [a 1] remove/key m 'a find m 'a", "none"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(eval_mold(row.code), row.molded);
    }
}

TEST_F(MapTest, Failures) {
    const struct {
        const char* code;
        ErrorId id;
    } rows[] = {
        {"m: make map! [] m/([1]): 2", ErrorId::script_invalid_path},
        {"put make map! [] [1] 2", ErrorId::script_invalid_path},
        {"make map! [a 1 b]", ErrorId::script_invalid_arg},
        {"make map! [[1] 2]", ErrorId::script_invalid_path},
        {"make map! -1", ErrorId::script_out_of_range},
        {"to map! 3", ErrorId::script_bad_to_arg},
        {"make map! \"a\"", ErrorId::script_bad_to_arg},
        {"remove make map! [a 1]", ErrorId::script_missing_arg},
        {"(make map! [a 1]) < make map! [a 1]", ErrorId::script_invalid_compare},
        {"reflect make map! [a 1] 'spec", ErrorId::internal_not_done},
        {"append make map! [] [a 1]", ErrorId::script_expect_arg},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(fails_kel(row.code), id(row.id));
    }
    Cell arg = make_none();
    ASSERT_EQ(fails_kel("m: make map! [] m/([1]): 2", &arg), id(ErrorId::script_invalid_path));
    EXPECT_EQ(type_of(arg), TYPE_SET_PATH);
    EXPECT_EQ(type_of(error_in_flight().args[1]), TYPE_DATATYPE);
    EXPECT_EQ(error_in_flight().args[1].data1, TYPE_BLOCK);
}

TEST_F(MapTest, Reflection) {
    EXPECT_EQ(eval_mold("reflect make map! [a 1 \"b\" 2 c 3] 'words"), "[a \"b\" c]");
    EXPECT_EQ(eval_mold("m: make map! [a 1 b 2 c 3] remove/key m 'b reflect m 'values"), "[1 3]");
    // Body keys carry the new-line marker, so the block molds a pair a line.
    EXPECT_EQ(eval_mold("m: make map! [a 1 b 2 c 3] remove/key m 'a reflect m 'body"), "[\n    b: 2\n    c: 3\n]");
    EXPECT_EQ(eval_mold("m: make map! [a 1 b 2] remove/key m 'b to block! m"), "[\n    a: 1\n]");
    EXPECT_EQ(eval_mold("make block! make map! [a 1]"), "[\n    a: 1\n]");
}

TEST_F(MapTest, Extend) {
    Cell* m = stack::push(eval_kel("make map! [a 1 \"s\" 2 b 3]"));
    context::set(*stack::push(global_word("m")), *m);
    eval_kel("remove/key m 'b");
    map::extend(*m, *value_of("[b 4 c 5 A 6 \"S\" 7]"), false);
    EXPECT_EQ(mold_text(*m, MoldOptions{.flat = true}), "#[a: 6 \"s\" 7 b: 4 c: 5]");
    EXPECT_EQ(map::key_count(*m), 4);
    map::extend(*m, *value_of("[\"S\" 8 D 9]"), true);
    EXPECT_EQ(mold_text(*m, MoldOptions{.flat = true}), "#[a: 6 \"s\" 7 b: 4 c: 5 \"S\" 8 D: 9]");
    EXPECT_EQ(error_of([&] { map::extend(*m, *value_of("[x 1 y]"), false); }), id(ErrorId::script_invalid_arg));
    EXPECT_EQ(map::key_count(*m), 6);
    EXPECT_EQ(error_of([&] { map::extend(*m, *value_of("[x 1 [y] 2]"), false); }), id(ErrorId::script_invalid_path));
}

TEST_F(MapTest, CopiesAreIndependent) {
    EXPECT_EQ(eval_mold("m: make map! [a [1] b \"x\"] c: copy/deep m append m/a 2 append m/b \"y\" put c 'z 0 "
                        "mold/flat m"),
              "{#[a: [1 2] b: \"xy\"]}");
    EXPECT_EQ(mold_text(eval_kel("c"), MoldOptions{.flat = true}), "#[a: [1] b: \"x\" z: 0]");
    EXPECT_EQ(eval_mold("m: make map! [a [1]] c: copy m append m/a 2 c/a"), "[1 2]");
    EXPECT_EQ(eval_mold("m: make map! [a 1] remove/key m 'a c: copy m c/a: 5 length? m"), "0");
    EXPECT_EQ(eval_mold("length? c"), "1");
    // /part has no meaning for a map.
    EXPECT_EQ(eval_mold("length? copy/part make map! [a 1 b 2] 1"), "2");
    EXPECT_EQ(fails_kel("m: make map! [] m/self: m copy/deep/types m map!"), id(ErrorId::internal_no_cycle));
    EXPECT_EQ(eval_mold("m: make map! [a [1]] c: copy/deep/types m block! append m/a 2 c/a"), "[1]");
    EXPECT_EQ(eval_mold("b: copy [] m: make map! [] m/a: b o: make map! [] o/m: m c: copy/deep/types o map! "
                        "m/x: 1 length? c/m"),
              "1");
}

TEST_F(MapTest, FormAndNestedMold) {
    EXPECT_EQ(eval_kel("form make map! [a 1 b \"x\"]").header & CELL_TYPE_MASK, TYPE_STRING);
    EXPECT_EQ(text_of(eval_kel("form make map! [a 1 b \"x\"]")), "a: 1\nb: \"x\"");
    EXPECT_EQ(eval_mold("i: make map! [d 1] n: make map! [] n/c: i m: make map! [a 1] m/b: append copy [] n m"),
              "#[\n    a: 1\n    b: [#[\n        c: #[\n            d: 1\n        ]\n    ]]\n]");
    EXPECT_EQ(eval_mold("m: make map! [a 1] m/self: m m"), "#[\n    a: 1\n    self: #[...]\n]");
    MoldOptions part;
    part.part = true;
    part.limit = 10;
    Cell* m = stack::push(eval_kel("make map! [alpha 1 beta 2 gamma 3]"));
    Cell* t = stack::push(Cell{TYPE_STRING, 0, memory::alloc_codepoints(0, 1), 0});
    int64_t left = actions::mold(*m, *t, part);
    EXPECT_LE(left, 0);
    EXPECT_EQ(text_of(*t).substr(0, 10), "#[\n    alp");
}

// load mold m gives a map equal to m, for every kind of key.
TEST_F(MapTest, MoldLoadsBack) {
    // (money! and date! keys wait for their loaders in the lexer; file!,
    // url!, tag! and email! for their datatypes.)
    const char* keys[] = {
        "\"str\"",  "#{0102}", "#\"c\"", "42", "-1.5", "3x4", "1.2.3", "10:20",
        "(1.5, 2)", "#iss",    "/ref",   "a",  "b:",   ":c",  "'d",    "12%",
    };
    for (const char* key : keys) {
        SCOPED_TRACE(key);
        std::string code = std::string("make map! [") + key + " 1 k2 [2 #[z 3]]]";
        if (fails_kel(code) >= 0) {
            ADD_FAILURE() << "key not loaded";
            continue;
        }
        Cell* m = stack::push(eval_kel(code));
        std::string text = mold_text(*m);
        // error_of gives the stack back: the loaded map is pushed again
        // before anything allocates.
        Cell loaded = make_none();
        ASSERT_EQ(error_of([&] { loaded = *value_of(text); }), -1) << text;
        Cell* back = stack::push(loaded);
        ASSERT_EQ(type_of(*back), TYPE_MAP) << text;
        EXPECT_TRUE(actions::compare(*m, *back, COMP_EQUAL)) << text;
        EXPECT_EQ(mold_text(*back), text);
    }
}

// Walk through a map with removed pairs at its start, middle and end.
TEST_F(MapTest, LoopWordsSkipRemovedPairs) {
    Cell* m =
        stack::push(eval_kel("m: make map! [a 1 b 2 c 3 d 4 e 5] remove/key m 'a remove/key m 'c "
                             "remove/key m 'e m"));
    Cell* words = value_of("[k v]");
    Cell cursor = *m;
    std::string seen;
    while (map::set_loop_words(*words, cursor, 2)) {
        Cell k = global_value("k"), v = global_value("v");
        EXPECT_EQ(type_of(k), TYPE_WORD);
        seen += mold_text(k) + "=" + mold_text(v) + " ";
    }
    EXPECT_EQ(seen, "b=2 d=4 ");
    Cell* one = value_of("[k]");
    Cell* three = value_of("[k v w]");
    cursor = *m;
    cursor.data1 = 0;
    EXPECT_EQ(error_of([&] { map::set_loop_words(*one, cursor, 1); }), id(ErrorId::script_invalid_arg));
    EXPECT_EQ(error_of([&] { map::set_loop_words(*three, cursor, 3); }), id(ErrorId::script_invalid_arg));
    Cell* bad = value_of("[k 1]");
    EXPECT_EQ(error_of([&] { map::set_loop_words(*bad, cursor, 2); }), id(ErrorId::script_invalid_arg));
}

TEST_F(MapTest, StringKeysUnderCollection) {
    // Every key is a string that is copied as it enters: each copy may move
    // the key/value block.
    Cell* m = map::push_new(nullptr, 1);
    for (int i = 0; i < int(scaled(400, 60)); ++i) {
        std::string key = "key" + std::to_string(i);
        Cell* k = string::import(reinterpret_cast<const uint8_t*>(key.data()), int32_t(key.size()), 0);
        map::set(*m, *k, make_integer(i), false, nullptr);
        stack::pop(1);
    }
    // A copy takes the table (and its stored hashes) with it.
    Cell* copy = stack::push(make_none());
    actions::copy(copy, m, CopyOptions{});
    map::set(*m, *stack::push(make_integer(-1)), make_integer(0), false, nullptr);
    EXPECT_EQ(map::key_count(*copy) + 1, map::key_count(*m));
    for (int i = 0; i < int(scaled(400, 60)); ++i) {
        std::string key = "KEY" + std::to_string(i);
        Cell* k = string::import(reinterpret_cast<const uint8_t*>(key.data()), int32_t(key.size()), 0);
        const Cell* v = map::lookup(*m, *k, COMP_EQUAL);
        ASSERT_NE(v, nullptr) << key;
        EXPECT_EQ(cell_integer(*v), i);
        EXPECT_EQ(map::lookup(*m, *k, COMP_STRICT_EQUAL), nullptr);
        const Cell* c = map::lookup(*copy, *k, COMP_EQUAL);
        ASSERT_NE(c, nullptr) << key;
        EXPECT_EQ(cell_integer(*c), i);
        stack::pop(1);
    }
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

// What list-env builds: a block of names and values made into a map in
// place. Names differing only in case stay two keys; later repeats of one
// exact name replace the value.
TEST_F(MapTest, MadeOverABlockOfNamesKeepsCaseVariants) {
    Cell* pairs = load_kel("\"PATH\" \"/bin\" \"path\" \"lower\" \"KEY\" \"a=b\" \"PATH\" \"/usr/bin\"");
    Cell* m = map::push_new(pairs, 0);
    EXPECT_EQ(map::key_count(*m), 3);
    MoldOptions flat;
    flat.flat = true;
    EXPECT_EQ(mold_text(*m, flat), "#[\"PATH\" \"/usr/bin\" \"path\" \"lower\" \"KEY\" \"a=b\"]");
    Cell* key = value_of("\"path\"");
    EXPECT_EQ(text_of(*map::lookup(*m, *key, COMP_STRICT_EQUAL)), "lower");
    EXPECT_EQ(error_of([&] { map::push_new(value_of("[\"odd\"]"), 0); }), id(ErrorId::script_invalid_arg));
}

}  // namespace
}  // namespace kel::test
