// A caller that breaks a contract of the runtime ends the process as an
// internal fault (98 "assertion failed"), never as a dispatch miss (100,
// 101), which marks a corrupted record instead.
#include <unistd.h>

#include "runtime/core/exit-status.h"
#include "runtime/evaluator/actions.h"
#include "tests/datatypes/datatype-fixture.h"

namespace kel::test {
namespace {

struct InternalFault : ::testing::Test {
    static void SetUpTestSuite() { boot_simple_types(); }
};

// The sort orders are for the three-way comparison only: the truth-valued
// comparison never takes them.
TEST_F(InternalFault, ATruthComparisonWithASortOrder) {
    for (int32_t op : {COMP_SORT, COMP_CASE_SORT})
        EXPECT_EXIT(
            {
                dup2(STDERR_FILENO, STDOUT_FILENO);  // the report, where the pattern reads it
                actions::compare(true_value, true_value, op);
            },
            ::testing::ExitedWithCode(exit_status::ASSERTION_FAILED), "\\*\\*\\* Runtime Error 98: assertion failed\n")
            << "op " << op;
}

}  // namespace
}  // namespace kel::test
