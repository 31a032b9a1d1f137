// Root-marking callbacks: every registered one runs at every cycle, the slot
// of a removed one is taken again, and a full table ends the process instead
// of dropping a marker (whose values would then be freed while in use).
#include <gtest/gtest.h>
#include <unistd.h>

#include "runtime/core/exit-status.h"
#include "runtime/memory/collector.h"
#include "tests/support.h"

namespace kel::test {
namespace {

int runs = 0;
void counted() { ++runs; }
void idle() {}
void other_idle() {}

struct RootMarkers : ::testing::Test {
    void SetUp() override { boot(); }
};

TEST_F(RootMarkers, RemovedSlotsAreTakenAgainAndEveryMarkerRuns) {
    // Far more registrations over time than the table holds, never more at once.
    for (int i = 0; i < 3 * collector::MAX_ROOT_MARKERS; ++i) {
        collector::add_root_marker(idle);
        collector::remove_root_marker(idle);
    }
    int first = collector::add_root_marker(idle);
    int second = collector::add_root_marker(other_idle);
    EXPECT_EQ(second, first + 1);
    collector::remove_root_marker(idle);
    EXPECT_EQ(collector::add_root_marker(counted), first);  // the hole is filled
    runs = 0;
    collector::do_cycle();
    collector::do_cycle();
    EXPECT_EQ(runs, 2);
    collector::remove_root_marker(counted);
    collector::remove_root_marker(other_idle);
    collector::do_cycle();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(collector::add_root_marker(idle), first);  // trailing holes are given back too
    collector::remove_root_marker(idle);
}

TEST_F(RootMarkers, AFullTableIsAnInternalFault) {
    EXPECT_EXIT(
        {
            dup2(STDERR_FILENO, STDOUT_FILENO);  // the report, where the pattern reads it
            for (int i = 0; i <= collector::MAX_ROOT_MARKERS; ++i) collector::add_root_marker(idle);
        },
        ::testing::ExitedWithCode(exit_status::ASSERTION_FAILED), "Runtime Error 98: assertion failed");
}

}  // namespace
}  // namespace kel::test
