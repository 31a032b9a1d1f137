// shift, to-hex, the trigonometric natives, logarithms, exp and square-root.
#include "tests/natives-math/natives-fixture.h"

namespace kel::test {
namespace {

using Math = Natives;

// Counts past 31 and negative counts follow the rules, never a C++ shift of
// 32 or more (which the sanitizer build would report).
TEST_F(Math, ShiftTable) {
    expect_rows({
        {"shift -8 1", "-4"},
        {"shift 8 3", "1"},
        {"shift/logical -8 28", "15"},
        {"shift 1 40", "0"},
        {"shift -1 40", "-1"},
        {"shift -5 32", "-1"},
        {"shift 2147483647 31", "0"},
        {"shift -2147483648 31", "-1"},
        {"shift/left 1 31", "-2147483648"},
        {"shift/left 1 32", "0"},
        {"shift/left -1 100", "0"},
        {"shift/logical -1 31", "1"},
        {"shift/logical -1 32", "0"},
        {"shift 8 -3", "8"},
        {"shift/left 8 -3", "8"},
        {"shift/logical -8 -1", "-8"},
        {"shift/left/logical 1 4", "16"},
    });
}

TEST_F(Math, ToHexTable) {
    expect_rows({
        {"to-hex 255", "#000000FF"},
        {"to-hex -1", "#FFFFFFFF"},
        {"to-hex -2147483648", "#80000000"},
        {"to-hex/size 255 2", "#FF"},
        {"to-hex/size 255 1", "#F"},
        {"to-hex/size -1 3", "#FFF"},
        {"to-hex/size 255 8", "#000000FF"},
        {"to-hex/size 255 12", "#000000FF"},
        {"to-hex/size 255 0", "error script/invalid-arg"},
        {"to-hex/size 255 -3", "error script/invalid-arg"},
    });
}

// The visible angles are exact on any C library: the reduction of the
// degrees and the flush of results below the double epsilon.
TEST_F(Math, Trigonometry) {
    expect_rows({
        {"sine 180", "0.0"},
        {"sine -180", "0.0"},
        {"sine 0", "0.0"},
        {"sine 90", "1.0"},
        {"sine 270", "-1.0"},
        {"cosine 90", "0.0"},
        {"cosine -90", "0.0"},
        {"cosine 270", "0.0"},
        {"cosine 0", "1.0"},
        {"cosine 180", "-1.0"},
        {"tangent 90", "1.#INF"},
        {"tangent -90", "-1.#INF"},
        {"tangent 270", "-1.#INF"},
        {"tangent 0", "0.0"},
        {"tangent 180", "0.0"},
        {"(sine 390) = sine 30", "true"},
        {"(sine 390) == sine 30", "true"},
        {"(cosine -300) == cosine 60", "true"},
        {"sine/radians 0", "0.0"},
        {"cosine/radians 0", "1.0"},
        {"arcsine 1", "90.0"},
        {"arcsine -1", "-90.0"},
        {"arcsine/radians 1", "1.5707963267948966"},
        {"arcsine 2", "1.#NaN"},
        {"arccosine -1", "180.0"},
        {"arccosine 1", "0.0"},
        {"arctangent 1", "45.0"},
        {"arctangent 1.#INF", "90.0"},
        {"arctangent2 0 1", "0.0"},
        {"arctangent2 1 1", "45.0"},
        {"arctangent2 1 0", "90.0"},
        {"arctangent2 1 -1", "135.0"},
        {"arctangent2 0 -1", "180.0"},
        {"arctangent2 -1 -1", "-135.0"},
        {"arctangent2 -1 0", "-90.0"},
        {"arctangent2 -1 1", "-45.0"},
        {"arctangent2/radians 1 0", "1.5707963267948966"},
        {"arctangent2 1.0 -1.0", "135.0"},
    });
}

TEST_F(Math, LogarithmsRootAndExponentGiveTheLibraryResultsWithoutErrors) {
    expect_rows({
        {"log-2 8", "3.0"},
        {"log-2 50%", "-1.0"},
        {"log-10 1000", "3.0"},
        {"log-e 1", "0.0"},
        {"log-e 0", "-1.#INF"},
        {"log-e -1", "1.#NaN"},
        {"exp 0", "1.0"},
        {"exp 1", "2.718281828459045"},
        {"square-root 16", "4.0"},
        {"square-root 2.25", "1.5"},
        {"square-root -1", "1.#NaN"},
        {"square-root 1.#INF", "1.#INF"},
        {"type? square-root 4%", "float!"},
    });
}

}  // namespace
}  // namespace kel::test
