// foreach, forall and remove-each: stepping through every series kind,
// loop control from their bodies, bodies that change the series they
// walk, and their errors.
#include "runtime/evaluator/native-services.h"
#include "tests/natives/natives-fixture.h"

namespace kel::test {
namespace {

using Iteration = NativesTest;

TEST_F(Iteration, ForeachSteps) {
    expect_cases({
        {"foreach x [] [1]", "unset"},
        {"n: 0 foreach x [1 2 3] [n: n + x] n", "6"},
        {"foreach x [1 2 3] [x * 10]", "30"},
        {"r: copy [] foreach [a b] [1 2 3] [append r reduce [a b]] r", "[1 2 3 none]"},
        {"r: copy [] foreach c \"ab\" [append r c] r", "[#\"a\" #\"b\"]"},
        {"r: copy [] foreach [c d] \"abc\" [append r reduce [c d]] r", "[#\"a\" #\"b\" #\"c\" none]"},
        {"r: copy [] foreach b #{0102} [append r b] r", "[1 2]"},
        {"r: copy [] foreach x next [1 2 3] [append r x] r", "[2 3]"},
        // The word is only set: changing it does not move the iteration.
        {"n: 0 foreach x [1 2 3] [x: 10 n: n + 1] n", "3"},
        {"b: [1 2 3] foreach x b [] b", "[1 2 3]"},
        // Unset items are allowed in a step.
        {"foreach [a b] reduce [1 ()] [a]", "1"},
    });
}

TEST_F(Iteration, BodiesChangingTheirSeries) {
    expect_cases({
        // Cleared: the loop ends at the next step.
        {"b: [1 2 3 4] n: 0 foreach x b [n: n + 1 clear b] n", "1"},
        {"b: [1 2 3 4] n: 0 remove-each x b [n: n + 1 clear b] n", "1"},
        {"b: [1 2 3] n: 0 forall b [n: n + 1 clear b] n", "1"},
        {"s: \"abcd\" n: 0 foreach c s [n: n + 1 clear s] n", "1"},
        // Grown: the tail is read again at every step.
        {"b: [1 2] n: 0 foreach x b [n: n + 1 if n < 4 [append b 9]] n", "5"},
        // remove-each removes step by step: the body sees the series shrink.
        {"b: [1 2 3 4] r: copy [] remove-each x b [append r length? b true] r", "[4 3 2 1]"},
    });
}

TEST_F(Iteration, LoopControl) {
    expect_cases({
        {"foreach x [1 2 3] [if x = 2 [break]]", "unset"},
        {"foreach x [1 2 3] [if x = 2 [break/return 10] x]", "10"},
        {"n: 0 foreach x [1 2 3 4] [if even? x [continue] n: n + x] n", "4"},
        {"b: [1 2 3] forall b [if b/1 = 2 [break/return 20]]", "20"},
        {"n: 0 b: [1 2 3 4] forall b [if even? b/1 [continue] n: n + b/1] n", "4"},
        {"remove-each x [1 2 3 4] [if x = 3 [break] true]", "[3 4]"},
        {"remove-each x [1 2 3 4] [if x = 3 [break/return 0] true]", "[3 4]"},
        {"remove-each x [1 2 3] [if x = 2 [continue] true]", "[2]"},
        // A return leaves every loop of the function.
        {"f: func [] [foreach x [1 2 3] [b: [7] forall b [remove-each y [1 2] [return x * 10]]]] f", "10"},
        {"f: func [] [loop 2 [foreach x [4 5] [return x]]] f", "4"},
        // A break inside do ends the loop around it.
        {"n: 0 foreach x [1 2 3] [n: n + 1 do [break]] n", "1"},
        {"foreach x [1 2] [try/all [break]]", "error value throw/break"},
        {"foreach x [1] [continue]", "unset"},
    });
}

TEST_F(Iteration, ForallPositions) {
    expect_cases({
        {"b: [1 2 3] n: 0 forall b [n: n + b/1] n", "6"},
        {"b: [1 2 3] forall b [b/1 * 10]", "30"},
        // After a full run the word is back at the start; after a break it
        // stays where the loop broke.
        {"b: [1 2 3] forall b [] index? b", "1"},
        {"b: [1 2 3] forall b [if b/1 = 2 [break]] index? b", "2"},
        {"s: \"abc\" r: copy \"\" forall s [append r s] r", "\"abcbcc\""},
        {"b: [] forall b [1]", "unset"},
        // The body may move the word within the same series.
        {"b: [1 2 3 4 5] n: 0 forall b [n: n + 1 b: next b] n", "3"},
    });
}

TEST_F(Iteration, RemoveEach) {
    expect_cases({
        {"remove-each x [1 2 3 4] [even? x]", "[1 3]"},
        {"remove-each [a b] [1 2 3 4 5] [a = 3]", "[1 2 5]"},
        {"remove-each [a b] [1 2 3 4 5] [b = none]", "[1 2 3 4]"},
        // A body ending in unset removes its value.
        {"remove-each x [1 2 3] []", "[]"},
        {"remove-each x \"abcb\" [x = #\"b\"]", "\"ac\""},
        {"remove-each [] [1 2] [true]", "[1 2]"},
        {"b: next [1 2 3] remove-each x b [x = 2] head b", "[1 3]"},
    });
}

TEST_F(Iteration, Errors) {
    expect_cases({
        {"foreach [] [1 2] []", "error script/invalid-arg"},
        {"foreach [a 1] [1 2] []", "error script/invalid-arg"},
        {"forall never-set-forall []", "error script/no-value"},
        {"x: 5 forall x []", "error script/expect-arg"},
        {"b: [1 2 3] forall b [b: [4 5]]", "error script/bad-loop-series"},
        {"b: [1 2] forall b [b: 5]", "error script/bad-loop-series"},
        {"remove-each [a 2] [1 2] [true]", "error script/invalid-arg"},
    });
    // The message the error carries.
    EXPECT_EQ(fails("b: [1 2] forall b [b: 5]"), id(ErrorId::script_bad_loop_series));
    EXPECT_EQ(formed(error_in_flight().value).find("Loop series changed to invalid value: 5") != std::string::npos,
              true)
        << formed(error_in_flight().value);
}

TEST_F(Iteration, MapsStepByPairs) {
    expect_cases({
        {"s: 0 foreach [k v] #[a 1 b 2] [s: s + v] s", "3"},
        {"r: [] foreach [k v] #[a 1 \"x\" 2] [append r k] r", "[a \"x\"]"},
        {"m: #[a 1 b 2 c 3] remove/key m 'b r: [] foreach [k v] m [append r k] r", "[a c]"},
        {"n: 0 foreach [k v] #[] [n: n + 1] n", "0"},
        {"foreach [k] #[a 1] []", "error script/invalid-arg"},
        {"foreach k #[a 1] []", "error script/invalid-arg"},
        {"set [p q r] #[a 1 b 2] reduce [p q r]", "[a 1 b]"},
        {"m: #[a 1] extend m [b 2] m/b", "2"},
        {"m: #[a 1] extend m #[c 3] m/c", "3"},
    });
}

TEST_F(Iteration, VectorsStepByElements) {
    expect_cases({
        {"r: copy [] foreach x make vector! [1 2 3] [append r x] r", "[1 2 3]"},
        {"r: copy [] foreach [a b] make vector! [float! 64 [1.5 2.5 3.5]] [append r reduce [a b]] r",
         "[1.5 2.5 3.5 none]"},
        {"r: copy [] foreach c next make vector! [char! 8 [#\"a\" #\"b\"]] [append r c] r", "[#\"b\"]"},
        {"v: make vector! [1 2 3] n: 0 forall v [n: n + v/1] n", "6"},
        {"v: make vector! [1 2 3] forall v [if v/1 = 2 [break]] index? v", "2"},
        {"v: make vector! [integer! 8 [1 2 3 4]] remove-each x v [even? x] v", "make vector! [integer! 8 [1 3]]"},
        {"remove-each [a b] make vector! [float! 32 [1.0 2.0 3.0]] [a = 1.0]", "make vector! [float! 32 [3.0]]"},
        // A body that clears the vector ends the loop at the next step.
        {"v: make vector! [1 2 3] n: 0 foreach x v [n: n + 1 clear v] n", "1"},
    });
}

}  // namespace
}  // namespace kel::test
