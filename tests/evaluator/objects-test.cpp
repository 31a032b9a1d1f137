// The seams the evaluator fills for other modules: object construction
// evaluates its spec, change handlers run as Kel functions, and series
// sorts call Kel comparators through the callback runner.
#include "runtime/datatypes/runtime-words.h"
#include "runtime/evaluator/callbacks.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

using Seams = Evaluator;

TEST_F(Seams, ObjectSpecsAreEvaluated) {
    EXPECT_EQ(integer_of(run("o: make object! [a: 1 + 2 b: a * 2] o/b")), 6);
    EXPECT_EQ(integer_of(run("o: make object! [a: 1 f: func [x] [x + 10]] o/f 5")), 15);
}

TEST_F(Seams, ChangeHandlersRunWithOldAndNewValues) {
    EXPECT_EQ(integer_of(run("seen: 0 o: make object! [a: 1 on-change*: func [w old new] [seen: old * 100 + new]] "
                             "o/a: 5 seen")),
              105);
}

TEST_F(Seams, CallbacksRunKelComparators) {
    run("order: func [a b] [a < b]");
    Cell args[2] = {make_integer(1), make_integer(2)};
    Cell r = callbacks::call_function(global_value("order"), args, callbacks::Callback::compare);
    EXPECT_EQ(type_of(r), TYPE_LOGIC);
    EXPECT_EQ(r.data1, 1u);
}

// sort/compare with a Kel function goes through the callback seam.
TEST_F(Seams, SortWithAKelComparator) {
    EXPECT_EQ(integer_of(run("b: [3 1 2] sort/compare b func [a b] [a > b] pick b 1")), 3);
    EXPECT_EQ(integer_of(run("pick b 3")), 1);
    EXPECT_EQ(integer_of(run("b: [3 1 2] sort b pick b 1")), 1);
}

}  // namespace
}  // namespace kel::test
