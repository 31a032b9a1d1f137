// vector!: the make dialect, arithmetic, comparison, mold that loads back,
// append/insert/change, sort and find, and the inherited series actions
// keeping the element type.
#include <cmath>

#include "runtime/datatypes/float.h"
#include "runtime/datatypes/vector.h"
#include "tests/maps/maps-fixture.h"

namespace kel::test {
namespace {

struct VectorTest : Collections {};

struct Row {
    const char* code;
    const char* molded;
};

void expect_rows(std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(eval_mold(row.code), row.molded);
    }
}

struct Failure {
    const char* code;
    ErrorId id;
};

void expect_failures(std::initializer_list<Failure> rows) {
    for (const Failure& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(fails_kel(row.code), id(row.id));
    }
}

TEST_F(VectorTest, MakeDialect) {
    expect_rows({
        {"make vector! 3", "make vector! [0 0 0]"},
        {"make vector! 0", "make vector! [integer! 32 []]"},
        {"make vector! -2", "make vector! [integer! 32 []]"},
        {"make vector! 2.9", "make vector! [0 0]"},
        {"make vector! []", "make vector! [integer! 32 []]"},
        {"make vector! [1 2 3]", "make vector! [1 2 3]"},
        {"make vector! [1.5 2.5]", "make vector! [1.5 2.5]"},
        {"make vector! [#\"a\" #\"b\"]", "make vector! [#\"a\" #\"b\"]"},
        {"make vector! [50%]", "make vector! [50%]"},
        {"make vector! [integer! 16 5 [1 2]]", "make vector! [integer! 16 [1 2 0 0 0]]"},
        {"make vector! [integer! 8 2 [1 2 3]]", "make vector! [integer! 8 [1 2 3]]"},
        {"make vector! [integer! 8 [300 -1]]", "make vector! [integer! 8 [44 -1]]"},
        {"make vector! [char! 8 [#\"^(0100)\"]]", "make vector! [char! 8 [#\"^@\"]]"},
        {"make vector! [float! 32 [1.5 2.5]]", "make vector! [float! 32 [1.5 2.5]]"},
        {"make vector! [float! 64 2]", "make vector! [0.0 0.0]"},
        {"make vector! [percent! [10%]]", "make vector! [10%]"},
        {"make vector! [percent! 32 [10%]]", "make vector! [10%]"},
        {"make vector! [INTEGER! 32 [7]]", "make vector! [7]"},
        {"make vector! [integer! 32]", "make vector! [integer! 32 []]"},
    });
    expect_failures({
        {"make vector! [integer!]", ErrorId::script_bad_make_arg},
        {"make vector! [string! 8 [1]]", ErrorId::script_bad_make_arg},
        {"make vector! [integer! 64 [1]]", ErrorId::script_bad_make_arg},
        {"make vector! [float! 16 [1.0]]", ErrorId::script_bad_make_arg},
        {"make vector! [char! 64]", ErrorId::script_bad_make_arg},
        {"make vector! [integer! [1 2]]", ErrorId::script_invalid_spec_field},
        {"make vector! [integer! 8 \"x\"]", ErrorId::script_invalid_spec_field},
        {"make vector! [\"a\" \"b\"]", ErrorId::script_invalid_type},
        {"make vector! [1 2.5]", ErrorId::script_invalid_arg},
        {"make vector! [integer! 8 [1 #\"a\"]]", ErrorId::script_invalid_arg},
        {"make vector! \"abc\"", ErrorId::internal_not_done},
        {"to vector! [1 2]", ErrorId::script_expect_arg},
    });
}

TEST_F(VectorTest, Arithmetic) {
    expect_rows({
        {"(make vector! [integer! 8 [127]]) + 1", "make vector! [integer! 8 [-128]]"},
        {"(make vector! [char! 8 [#\"^(FF)\"]]) + 1", "make vector! [char! 8 [#\"^@\"]]"},
        {"v: make vector! [1 2 3] v + 1 v", "make vector! [2 3 4]"},
        {"v: make vector! [1 2 3] (next v) * 10 v", "make vector! [1 20 30]"},
        {"v: make vector! [1 2 3] v - 0 v", "make vector! [1 2 3]"},
        {"(make vector! [7 -7]) / 2", "make vector! [3 -3]"},
        {"(make vector! [7 -7]) % 3", "make vector! [1 -1]"},
        {"(make vector! [5 6]) and 3", "make vector! [1 2]"},
        {"(make vector! [5 6]) xor 1", "make vector! [4 7]"},
        {"(make vector! [2147483647]) + 1", "make vector! [-2147483648]"},
        {"(make vector! [65536]) * 65536", "make vector! [0]"},
        {"(make vector! [10]) * 2.9", "make vector! [20]"},
        {"(make vector! [1.5 2.5]) * 2", "make vector! [3.0 5.0]"},
        {"(make vector! [float! 32 [1.5]]) + 0.25", "make vector! [float! 32 [1.75]]"},
        {"a: make vector! [1 2 3] b: make vector! [integer! 16 [10 20 30 40 50]] a + b", "make vector! [11 22 33]"},
        {"a: make vector! [integer! 8 [1 2 3]] b: make vector! [integer! 16 [10 20 30 40 50]] a + b",
         "make vector! [integer! 16 [11 22 33]]"},
        {"a: make vector! [1 2 3] b: make vector! [4 5 6] a + b a", "make vector! [1 2 3]"},
        {"a: make vector! [1 2 3] b: make vector! [4 5 6] a + b b", "make vector! [4 5 6]"},
        {"1 + make vector! [1 2]", "make vector! [2 3]"},
        {"2.0 * make vector! [1.5]", "make vector! [3.0]"},
        {"#\"^A\" + make vector! [char! 8 [#\"a\"]]", "make vector! [char! 8 [#\"b\"]]"},
    });
    expect_failures({
        {"(make vector! [1]) + make vector! [1.0]", ErrorId::script_not_same_type},
        {"(make vector! [1]) / 0", ErrorId::math_zero_divide},
        {"(make vector! [1]) // 0", ErrorId::math_zero_divide},
        {"(make vector! [1]) / make vector! [0]", ErrorId::math_zero_divide},
        {"(make vector! [-2147483648]) / -1", ErrorId::math_overflow},
        {"(make vector! [-2147483648]) % -1", ErrorId::math_overflow},
        {"(make vector! [1.5]) and 1", ErrorId::script_cannot_use},
        {"(make vector! [1]) + \"a\"", ErrorId::script_invalid_type},
        {"1:00 + make vector! [1.0]", ErrorId::script_invalid_type},
        {"(make vector! [1.0]) * #\"a\"", ErrorId::script_invalid_type},
        {"(make vector! [1]) + 1e20", ErrorId::math_overflow},
    });
    // Refused operations change nothing.
    EXPECT_EQ(eval_mold("v: make vector! [4 -2147483648] try [v / -1] v"), "make vector! [4 -2147483648]");
    Cell* v = stack::push(eval_kel("make vector! [1 2]"));
    Cell nan = float_::make_cell(std::nan(""));
    EXPECT_EQ(error_of([&] { vector::do_math_scalar(MATH_ADD, *v, nan); }), id(ErrorId::math_overflow));
    EXPECT_EQ(mold_text(*v), "make vector! [1 2]");
}

TEST_F(VectorTest, Compare) {
    expect_rows({
        {"(make vector! [1 2]) = make vector! [1 2 3]", "false"},
        {"(make vector! [1 2]) < make vector! [1 2 3]", "true"},
        {"(make vector! [1 3]) > make vector! [1 2 3]", "true"},
        {"(make vector! [1 2]) = make vector! [integer! 8 [1 2]]", "true"},
        {"(make vector! [-1]) < make vector! [1]", "true"},
        {"(make vector! [char! 8 [#\"^(FF)\"]]) > make vector! [char! 8 [#\"a\"]]", "true"},
        {"(make vector! []) = make vector! []", "true"},
    });
    expect_failures({{"(make vector! [1]) = make vector! [1.0]", ErrorId::script_not_same_type}});
}

// mold loads back (through make) as an equal vector of the same element type
// and width, at the head, in the middle and at the tail, with and without
// /only. Float and percent elements are written exactly (the text of the
// vector made back is the same), at both widths, the values that need 17
// digits, the tiniest and the signed zero included.
TEST_F(VectorTest, MoldLoadsBack) {
    const char* specs[] = {
        "[integer! 8 [1 -2 3]]",
        "[integer! 16 [1 -2 3]]",
        "[integer! 32 [1 -2 3]]",
        "[char! 8 [#\"a\" #\"^/\" #\"c\"]]",
        "[char! 16 [#\"a\" #\"^(0100)\" #\"c\"]]",
        "[char! 32 [#\"a\" #\"b\" #\"c\"]]",
        "[float! 32 [1.5 -2.25 3.0]]",
        "[float! 64 [1.5 -2.25 0.1]]",
        "[percent! [10% 20% 30%]]",
        "[float! 64 [1e-20 0.30000000000000004 -0.0 4.9e-324 1.7976931348623157e308]]",
        "[float! 32 [0.1 16777216.0 -0.0 1.0e-45 3.4028235e38 0.30000001]]",
        "[percent! 64 [0.000001% 0.30000000000000004% -0.0% 1E300% 33.333333333333336%]]",
        "[percent! 32 [0.1% 33.3% 0.000001% -0.0%]]",
    };
    for (const char* spec : specs) {
        for (int at : {0, 1, 3}) {
            for (bool only : {false, true}) {
                std::string code = std::string("skip make vector! ") + spec + " " + std::to_string(at);
                SCOPED_TRACE(code + (only ? " /only" : ""));
                Cell* v = stack::push(eval_kel(code));
                MoldOptions o;
                o.only = only;
                std::string text = mold_text(*v, o);
                if (only) text = "make vector! [" + text + "]";
                Cell* back = stack::push(eval_kel(text));
                ASSERT_EQ(type_of(*back), TYPE_VECTOR) << text;
                EXPECT_EQ(back->data3, v->data3) << text;
                EXPECT_EQ(vector::width(*back), vector::width(*v)) << text;
                EXPECT_TRUE(actions::compare(*back, *v, COMP_EQUAL)) << text;
                if (!only) {
                    EXPECT_EQ(mold_text(*back), text);
                }
            }
        }
    }
    // A float vector at its tail keeps its type in the text.
    EXPECT_EQ(eval_mold("tail make vector! [1.5]"), "make vector! [float! 64 []]");
    EXPECT_EQ(eval_mold("mold/only make vector! [integer! 16 [1 2]]"), "\"integer! 16 [1 2]\"");
    EXPECT_EQ(eval_mold("mold/only make vector! [1 2]"), "\"1 2\"");
    EXPECT_EQ(eval_mold("form make vector! [char! 8 [#\"a\" #\"^/\"]]"), "\"a ^^/\"");
    // mold is exact where form is friendly.
    EXPECT_EQ(eval_mold("make vector! [1e-20 0.30000000000000004 -0.0]"),
              "make vector! [1.0e-20 0.30000000000000004 -0.0]");
    EXPECT_EQ(eval_mold("form make vector! [1e-20 0.30000000000000004 -0.0]"), "\"0.0 0.3 0.0\"");
    EXPECT_EQ(eval_mold("make vector! [float! 32 [0.1 16777217.0]]"), "make vector! [float! 32 [0.1 16777216.0]]");
    EXPECT_EQ(eval_mold("form make vector! [float! 32 [0.1 16777217.0]]"), "\"0.1 1.677722e7\"");
}

TEST_F(VectorTest, AppendInsertChange) {
    expect_rows({
        {"v: make vector! [1 2] append v 3 v", "make vector! [1 2 3]"},
        {"v: make vector! [1 2] append v [3 4]", "make vector! [1 2 3 4]"},
        {"v: make vector! [1 2] append v []", "make vector! [1 2]"},
        {"v: make vector! [1 2] append/part v [3 4 5] 2", "make vector! [1 2 3 4]"},
        {"v: make vector! [1 2] append/dup v 0 3", "make vector! [1 2 0 0 0]"},
        {"v: make vector! [1 2] append/dup v [7 8] 2", "make vector! [1 2 7 8 7 8]"},
        {"v: make vector! [integer! 8 [1]] append v 300 v", "make vector! [integer! 8 [1 44]]"},
        {"v: make vector! [1 2] index? insert v 0", "2"},
        {"v: make vector! [1 2] insert next v [8 9] v", "make vector! [1 8 9 2]"},
        {"v: make vector! [1 2] index? insert tail v 3", "4"},
        {"v: make vector! [1 2] insert tail v 3 v", "make vector! [1 2 3]"},
        {"v: make vector! [1 2 3] change v 9 v", "make vector! [9 2 3]"},
        {"v: make vector! [1 2 3] index? change v [8 9]", "3"},
        {"v: make vector! [1 2 3] change/part v 9 2 v", "make vector! [9 3]"},
        {"v: make vector! [1 2 3] change/part next v [7 8 9] 1 v", "make vector! [1 7 8 9 3]"},
        {"v: make vector! [1 2 3] change/dup next v 0 4 v", "make vector! [1 0 0 0 0]"},
        {"v: make vector! [1 2 3] change tail v [4 5] v", "make vector! [1 2 3 4 5]"},
        {"v: make vector! [1 2 3] change next v make vector! [integer! 8 [-5 6]] v", "make vector! [1 -5 6]"},
        {"v: make vector! [integer! 8 [1 2 3]] change v make vector! [300 -1] v",
         "make vector! [integer! 8 [44 -1 3]]"},
        {"v: make vector! [1 2 3 4] change next v v v", "make vector! [1 1 2 3 4]"},
        {"v: make vector! [1 2 3 4] change v next v v", "make vector! [2 3 4 4]"},
        {"v: make vector! [float! 32 [1.0 2.0]] change v make vector! [0.5] v", "make vector! [float! 32 [0.5 2.0]]"},
    });
    expect_failures({
        {"append make vector! [1] 1.5", ErrorId::script_invalid_arg},
        {"append make vector! [1] [2 3.0]", ErrorId::script_invalid_arg},
        {"insert make vector! [1] #\"a\"", ErrorId::script_invalid_arg},
        {"change make vector! [1] 2.0", ErrorId::script_invalid_arg},
        {"change make vector! [1 2] make vector! [1.0]", ErrorId::script_invalid_arg},
    });
    // A refused value leaves the vector as it was.
    EXPECT_EQ(eval_mold("v: make vector! [1 2] try [append v [3 4.0]] try [change v [5 \"x\"]] "
                        "try [change v make vector! [char! 8 [#\"a\"]]] v"),
              "make vector! [1 2]");
}

TEST_F(VectorTest, SortAndFind) {
    expect_rows({
        {"sort make vector! [integer! 8 [3 -1 2 -128 127]]", "make vector! [integer! 8 [-128 -1 2 3 127]]"},
        {"sort make vector! [integer! 16 [300 -300 0]]", "make vector! [integer! 16 [-300 0 300]]"},
        {"sort make vector! [5 -2147483648 -1 2147483647 0]", "make vector! [-2147483648 -1 0 5 2147483647]"},
        {"sort/reverse make vector! [5 -7 1]", "make vector! [5 1 -7]"},
        {"sort/skip make vector! [3 30 -1 10 2 20] 2", "make vector! [-1 10 2 20 3 30]"},
        {"sort make vector! [float! 32 [2.5 -1.5 0.0]]", "make vector! [float! 32 [-1.5 0.0 2.5]]"},
        {"sort make vector! [2.5 -1.5 0.0]", "make vector! [-1.5 0.0 2.5]"},
        {"sort make vector! [char! 8 [#\"^(90)\" #\"a\"]]", "make vector! [char! 8 [#\"a\" #\"^(90)\"]]"},
        {"sort make vector! [char! 32 [#\"b\" #\"a\"]]", "make vector! [#\"a\" #\"b\"]"},
        {"index? find make vector! [1 -5 3] -5", "2"},
        {"index? find make vector! [integer! 8 [1 -5 3]] -5.0", "2"},
        {"find make vector! [1 2] 2.5", "none"},
        {"index? find make vector! [1.5 2.5] 2.5", "2"},
        {"find make vector! [float! 32 [0.1]] 0.1", "none"},
        {"index? find make vector! [float! 32 [0.5]] 0.5", "1"},
        {"index? find/last make vector! [1 2 1] 1", "3"},
        {"select make vector! [1 2 3] 2", "3"},
    });
}

// A Kel comparator gets each element as a value of the element type (a
// vector of the same type with /all /skip); 64-bit elements included.
TEST_F(VectorTest, SortWithAFunction) {
    expect_rows({
        {"sort/compare make vector! [3 -1 2] func [a b] [a > b]", "make vector! [3 2 -1]"},
        {"sort/compare make vector! [integer! 8 [3 -1 2]] func [a b] [a < b]", "make vector! [integer! 8 [-1 2 3]]"},
        {"sort/compare make vector! [float! 64 [0.5 -2.5 1.5]] func [a b] [a > b]", "make vector! [1.5 0.5 -2.5]"},
        {"sort/compare make vector! [float! 32 [-2.5 0.5]] func [a b] [a > b]", "make vector! [float! 32 [0.5 -2.5]]"},
        {"sort/compare make vector! [char! 8 [#\"a\" #\"c\" #\"b\"]] func [a b] [a > b]",
         "make vector! [char! 8 [#\"c\" #\"b\" #\"a\"]]"},
        {"sort/compare/reverse next make vector! [9 1 3 2] func [a b] [a < b]", "make vector! [3 2 1]"},
        {"head sort/skip/all/compare make vector! [1 5 2 9 3 7] 2 func [a b] [a/2 > b/2]",
         "make vector! [2 9 3 7 1 5]"},
    });
}

TEST_F(VectorTest, InheritedActionsKeepTheElementType) {
    expect_rows({
        {"pick make vector! [integer! 8 [-3 4]] 1", "-3"},
        {"pick make vector! [50%] 1", "50%"},
        {"v: make vector! [integer! 16 [1 2]] poke v 2 70000 v", "make vector! [integer! 16 [1 4464]]"},
        {"v: make vector! [1 2] v/2: 9 v", "make vector! [1 9]"},
        {"v: make vector! [1 2] v/2", "2"},
        {"copy make vector! [integer! 8 [1 2]]", "make vector! [integer! 8 [1 2]]"},
        {"copy/part make vector! [float! 32 [1.5 2.5]] 1", "make vector! [float! 32 [1.5]]"},
        {"take make vector! [integer! 8 [1 2]]", "1"},
        {"take/part make vector! [integer! 8 [1 2 3]] 2", "make vector! [integer! 8 [1 2]]"},
        {"v: make vector! [char! 16 [#\"a\" #\"b\"]] take/last v v", "make vector! [char! 16 [#\"a\"]]"},
        {"reverse make vector! [float! 64 [1.0 2.0]]", "make vector! [2.0 1.0]"},
        {"length? make vector! [float! 64 [1.0 2.0]]", "2"},
        {"random/only make vector! [integer! 8 [-5]]", "-5"},
        {"v: random make vector! [float! 32 [1.5 1.5]] v", "make vector! [float! 32 [1.5 1.5]]"},
        {"remove next make vector! [percent! [1% 2% 3%]]", "make vector! [3%]"},
        {"to block! make vector! [integer! 8 [1 2]]", "[1 2]"},
        {"make block! next make vector! [1.5 2.5]", "[2.5]"},
    });
    expect_failures({{"poke make vector! [1 2] 1 1.5", ErrorId::script_invalid_arg}});
}

}  // namespace
}  // namespace kel::test
