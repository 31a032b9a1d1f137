// The parse fuzz target's committed corpus, replayed in every test run
// (release, sanitizers, collection at every allocation): every input that
// ever broke the engine stays a test.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/parse-drive.h"
#include "tests/parse/parse-fixture.h"

namespace kel::test {
namespace {

using Corpus = Parse;

TEST_F(Corpus, TheFuzzCorpusRunsClean) {
    std::filesystem::path dir = std::filesystem::path(KEL_SOURCE_DIR) / "fuzz" / "corpus" / "parse";
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(fuzz::drive_parse(bytes.data(), bytes.size())) << entry.path();
        inputs++;
    }
    EXPECT_GT(inputs, 0);
}

}  // namespace
}  // namespace kel::test
