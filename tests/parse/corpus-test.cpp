// The parse fuzz target's committed corpus, replayed in every test run
// (release, sanitizers, collection at every allocation): every input that
// ever broke the engine stays a test.
#include <string>
#include <vector>

#include "fuzz/corpus.h"
#include "fuzz/parse-drive.h"
#include "tests/parse/parse-fixture.h"
#include "tests/test-paths.h"

namespace kel::test {
namespace {

using Corpus = Parse;

TEST_F(Corpus, TheFuzzCorpusRunsClean) {
    auto replay = [](const std::string& path, const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(fuzz::drive_parse(bytes.data(), bytes.size())) << path;
    };
    EXPECT_GT(fuzz::for_each_corpus_input(SOURCE_DIR, "parse", replay), 0);
}

}  // namespace
}  // namespace kel::test
