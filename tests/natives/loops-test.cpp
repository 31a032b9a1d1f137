// Loop control in every loop native, side by side: break, break/return and
// continue, a return through nested loops, and the counts that run nothing.
#include "tests/natives/natives-fixture.h"

namespace kel::test {
namespace {

using Loops = NativesTest;

TEST_F(Loops, BreakContinueAndBreakReturnInEveryLoop) {
    expect_cases({
        {"n: 0 while [n < 5] [n: n + 1 if n = 3 [break]] n", "3"},
        {"while [true] [break/return 5]", "unset"},
        {"n: 0 m: 0 while [n < 4] [n: n + 1 if n = 2 [continue] m: m + 1] m", "3"},
        {"n: 0 until [n: n + 1 if n = 3 [break] false] n", "3"},
        {"until [break/return 7]", "7"},
        {"n: 0 until [n: n + 1 if n < 3 [continue] n = 5] n", "5"},
        {"n: 0 loop 5 [n: n + 1 if n = 2 [break]] n", "2"},
        {"loop 3 [break/return 8]", "8"},
        {"loop 2 [continue]", "unset"},
        {"repeat i 5 [if i = 4 [break]] i", "4"},
        {"repeat i 5 [if i = 4 [break/return i * 2]]", "8"},
        {"n: 0 repeat i 4 [if i = 2 [continue] n: n + i] n", "8"},
        {"n: 0 forever [n: n + 1 if n = 4 [break]] n", "4"},
        {"forever [break/return 9]", "9"},
        {"n: 0 forever [n: n + 1 if n < 3 [continue] break] n", "3"},
        {"foreach x [1 2 3] [if x = 2 [break/return x]]", "2"},
        {"b: [1 2 3] forall b [if b/1 = 3 [break/return 30]]", "30"},
        {"remove-each x [1 2 3] [if x = 2 [break/return 0] true]", "[2 3]"},
        // break in while's condition, outside loops, and through try/all.
        {"while [break] [1]", "error throw/while-cond"},
        {"while [continue] [1]", "error throw/while-cond"},
        {"break", "error throw/break"},
        {"continue", "error throw/continue"},
        {"loop 1 [try/all [break]]", "error value throw/break"},
        {"loop 2 [try [break/return 4]]", "4"},
        // return from a function through nested loops of every kind.
        {"f: func [] [while [true] [until [loop 1 [repeat i 1 [forever [foreach x [1] [return 6]]]]]]] f", "6"},
    });
}

TEST_F(Loops, CountsThatRunNothing) {
    expect_cases({
        {"n: 0 loop 2.9 [n: n + 1] n", "2"},
        {"n: 0 loop 1e20 [n: n + 1] n", "0"},
        {"loop 1e20 [1]", "none"},
        {"n: 0 loop -1e20 [n: n + 1] n", "0"},
        {"n: 0 loop 1.#NaN [n: n + 1] n", "0"},
        {"loop 0 [1]", "none"},
        {"i: 42 repeat i 0 [] i", "42"},
        {"i: 42 repeat i 1.#NaN [] i", "42"},
        {"repeat i 0 [1]", "none"},
        {"repeat i 2.5 [] i", "2"},
    });
}

}  // namespace
}  // namespace kel::test
