// The evaluator's shortcuts against its general path: each script runs plain
// and again under a tracer that does nothing (fuzz/eval-oracle.h, the
// oracle the eval fuzz target applies to every program), in the environment
// a script finds. Both runs print the same text, evaluate as many top-level
// expressions and end alike. (The values of the expressions are not compared:
// the scripts print what they check, and some expressions answer what
// differs from one run to the next, such as recycle's memory in use or the
// currency list a run extends.) The scripts are the golden scripts
// whose code calls, assigns, branches and loops the most; repeated-code.kel
// runs code again after its callees, operators, cells and bindings changed.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "fuzz/eval-drive.h"
#include "fuzz/eval-oracle.h"
#include "runtime/io/lexer.h"
#include "runtime/platform/process.h"
#include "tests/platform/capture.h"
#include "tests/support.h"
#include "tests/test-paths.h"

namespace kel::test {
namespace {

struct ScriptRun {
    fuzz::Outcome outcome;
    std::string output;
};

// Loads the script afresh (a run may change its code's literals) and runs
// its code after the header, plain or traced; the globals are put back
// afterwards.
ScriptRun run_script(const std::string& text, bool traced) {
    ScriptRun run;
    Cell* top = stack::state.top;
    Cell* code = stack::push(make_none());
    lexer::scan(code, reinterpret_cast<const uint8_t*>(text.data()), int64_t(text.size()), lexer::Options{});
    // The header: the word Kel and its block.
    int32_t from = int32_t(code->data1) + 2;
    {
        StdoutCapture captured;
        run.outcome = fuzz::run_block(*code, from, traced);
        run.output = captured.finish();
    }
    fuzz::restore_globals();
    stack::state.top = top;
    return run;
}

// The scripts are read from their folder, where the files they do are.
TEST(ShortcutsOracle, ScriptsRunAlikePlainAndTraced) {
    in_child_process([] {
        boot();
        fuzz::start_eval_drive();
        std::string folder = std::string(SOURCE_DIR) + "/tests/scripts";
        ASSERT_EQ(fuzz::eval_text("change-dir to file! \"" + folder + "/\""), 0u);
        for (const char* name : {"repeated-code.kel", "error-places.kel", "paths.kel", "path-writes.kel",
                                 "conversions.kel", "money.kel", "url-parser.kel", "preprocessor.kel"}) {
            std::ifstream in(folder + "/" + name, std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            struct Job {
                std::string text;
                ScriptRun runs[2];
            } job{text.str(), {}};
            platform::run_on_stack(
                [](void* p) {
                    auto* j = static_cast<Job*>(p);
                    for (bool traced : {false, true}) j->runs[traced] = run_script(j->text, traced);
                },
                &job, platform::KEL_STACK_SIZE);
            const ScriptRun& plain = job.runs[0];
            const ScriptRun& traced = job.runs[1];
            EXPECT_EQ(plain.outcome.code, 0u) << name << " ended early, error " << plain.outcome.error;
            EXPECT_FALSE(plain.outcome.notes.empty()) << name;
            EXPECT_EQ(fuzz::divergence(plain.outcome, traced.outcome, false), "") << name;
            EXPECT_EQ(plain.output, traced.output) << name;
        }
    });
}

}  // namespace
}  // namespace kel::test
