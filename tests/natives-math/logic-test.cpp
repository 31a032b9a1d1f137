// same?, not, type?, max and min, and the sign and zero tests of numbers.
#include "runtime/evaluator/natives.h"
#include "tests/natives-math/natives-fixture.h"

namespace kel::test {
namespace {

using Logic = Natives;

TEST_F(Logic, SameComparesTheFieldsThatMakeAValue) {
    expect_rows({
        {"same? 0.0 -0.0", "false"},
        {"same? -0.0 -0.0", "true"},
        {"same? 1.0 1.0", "true"},
        {"same? 1.#NaN 1.#NaN", "true"},
        {"same? 1 1.0", "false"},
        {"same? 1 1", "true"},
        {"same? {a} {a}", "false"},
        {"s: {a} same? s s", "true"},
        {"s: {ab} same? s next s", "false"},
        {"b: [1] same? b b", "true"},
        {"same? [1] [1]", "false"},
        {"same? 1.2.3 1.2.3", "true"},
        {"same? 1.2.3 1.2.3.0", "false"},
        {"same? 1x2 1x2", "true"},
        {"same? none none", "true"},
        {"same? #\"a\" #\"a\"", "true"},
        {"same? 'a 'a", "true"},
        {"same? 'a 'b", "false"},
        {"same? as-point2D 0 1 as-point2D -0.0 1", "false"},
        {"same? integer! integer!", "true"},
    });
}

TEST_F(Logic, NotAndType) {
    expect_rows({
        {"not none", "true"},
        {"not false", "true"},
        {"not 0", "false"},
        {"not true", "false"},
        {"not ()", "false"},
        {"type? 1", "integer!"},
        {"type? {a}", "string!"},
        {"type?/word 1", "integer!"},
        {"type? type?/word 1", "word!"},
        {"type?/word [a]", "block!"},
    });
}

// The compound value is taken first whatever the written order; NaN wins
// against a plain number from either side; everything else is ordered and
// answered unconverted.
TEST_F(Logic, MaxAndMinAcrossScalarTypes) {
    expect_rows({
        {"max 1x5 3", "3x5"},
        {"min 1x5 3", "1x3"},
        {"max 3 1x5", "3x5"},
        {"min 3 1x5", "1x3"},
        {"max 1x5 2.9", "2x5"},
        {"max 1x2 3x1", "3x2"},
        {"min 1x2 3x1", "1x1"},
        {"max 1x2 1e10", "(1e10, 1e10)"},
        {"min 1x2 1.#NaN", "(1.#NaN, 1.#NaN)"},
        {"max 1x2 as-point2D 0.5 3", "(1, 3)"},
        {"max as-point2D 1 5 3", "(3, 5)"},
        {"min as-point2D 1 5 3x2", "(1, 2)"},
        {"min as-point3D 1 5 2 3", "(1, 3, 2)"},
        {"max as-point3D 1 5 2 as-point3D 4 0 2", "(4, 5, 2)"},
        {"max as-point2D 1 2 1.#NaN", "(1.#NaN, 1.#NaN)"},
        {"max 1.2.3 2", "2.2.3"},
        {"max 1.2.3 300", "255.255.255"},
        {"min 1.2.3 -5", "0.0.0"},
        {"max 3 1.2.3", "3.3.3"},
        {"max 1.2.3 4.0.6", "4.2.6"},
        {"min 1.2.3 4.0.6", "1.0.3"},
        {"max 1.2.3 1e20", "error script/type-limit"},
        {"max 1.2.3 1.#NaN", "error script/type-limit"},
        {"max 1 1.#NaN", "1.#NaN"},
        {"max 1.#NaN 1", "1.#NaN"},
        {"min 1 1.#NaN", "1.#NaN"},
        {"min 1.#NaN 1", "1.#NaN"},
        {"max 2.0 1.#NaN", "1.#NaN"},
        {"max 1 2.0", "2.0"},
        {"max 3 2.0", "3"},
        {"max 1 1.0", "1"},
        {"min 1 1.0", "1.0"},
        {"max {a} {b}", "\"b\""},
        {"min [1] [2]", "[1]"},
        {"max {a} 1", "error script/invalid-compare"},
    });
}

TEST_F(Logic, SignsOfNumbers) {
    expect_rows({
        {"negative? -1", "true"},
        {"negative? 0", "false"},
        {"negative? -0.0", "false"},
        {"negative? 1.#NaN", "false"},
        {"negative? -5%", "true"},
        {"negative? negate 0:00:01", "true"},
        {"positive? 1", "true"},
        {"positive? 0.0", "false"},
        {"positive? 1.#NaN", "false"},
        {"sign? -0.5", "-1"},
        {"sign? 0", "0"},
        {"sign? 7", "1"},
        {"sign? 1.#NaN", "0"},
        {"sign? 5%", "1"},
        {"sign? negate 0:00:01", "-1"},
        {"zero? 0x0", "true"},
        {"zero? 0x1", "false"},
        {"zero? 0.0.0", "true"},
        {"zero? 0.0.1", "false"},
        {"zero? #\"^@\"", "true"},
        {"zero? 0:00", "true"},
        {"zero? -0.0", "true"},
        {"zero? 0%", "true"},
        {"zero? as-point2D 0 0", "true"},
        {"zero? as-point3D 0 0 1", "false"},
        {"NaN? 1.#NaN", "true"},
        {"NaN? 1", "false"},
        {"NaN? 1.0", "false"},
    });
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

// Called without the interpreter's argument check (as compiled code with
// check off does), the natives still refuse the types they do not handle.
TEST_F(Logic, TypesTheNativesRefuseThemselves) {
    const int32_t none[2] = {-1, -1};
    for (int32_t index : {natives::NEGATIVE_Q, natives::POSITIVE_Q, natives::SIGN_Q}) {
        Frame f{make_none()};
        EXPECT_EQ(error_of([&] { (void)natives::call(index, false, none); }), id(ErrorId::script_expect_arg)) << index;
    }
    for (int32_t index : {natives::UNION, natives::UNIQUE, natives::DIFFERENCE}) {
        Frame f{make_integer(1), make_integer(2)};
        EXPECT_EQ(error_of([&] { (void)natives::call(index, false, none); }), id(ErrorId::script_expect_arg)) << index;
    }
    Frame f{make_integer(1)};
    EXPECT_EQ(error_of([&] { (void)natives::call(natives::COMPLEMENT_Q, false, none); }),
              id(ErrorId::script_expect_arg));
}

}  // namespace
}  // namespace kel::test
