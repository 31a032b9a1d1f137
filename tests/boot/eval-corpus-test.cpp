// The eval fuzz target's committed corpus, replayed in every test run
// (release, sanitizers, collection at every allocation) in the environment a
// script finds: every program that ever broke a native or an action stays a
// test.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/corpus.h"
#include "fuzz/eval-drive.h"
#include "tests/boot/silenced.h"
#include "tests/support.h"
#include "tests/test-paths.h"

namespace kel::test {
namespace {

TEST(EvalCorpus, RunsClean) {
    boot();
    auto replay = [](const std::string& path, const std::vector<uint8_t>& bytes) {
        bool clean;
        {
            Silenced quiet;
            // Reproducers are program text; the other inputs are bytes
            // that spell a program.
            if (path.ends_with(".kel"))
                clean = fuzz::drive_eval_text(std::string(bytes.begin(), bytes.end()));
            else
                clean = fuzz::drive_eval(bytes.data(), bytes.size());
        }
        EXPECT_TRUE(clean) << path;
    };
    EXPECT_GT(fuzz::for_each_corpus_input(SOURCE_DIR, "eval", replay), 0);
}

// recycle is callable; an input that turns the collector off must not leave
// it off for the inputs after it.
TEST(EvalCorpus, AnInputLeavesTheCollectorAsItFoundIt) {
    boot();
    bool was = memory::collector_enabled();
    memory::set_collector_enabled(true);
    {
        Silenced quiet;
        EXPECT_TRUE(fuzz::drive_eval_text("v0: try [recycle/off]\nv1: try [recycle]\n"));
    }
    EXPECT_TRUE(memory::collector_enabled());
    memory::set_collector_enabled(was);
}

}  // namespace
}  // namespace kel::test
