// The fuzz target's committed corpus, replayed in every test run (release,
// sanitizers, collection at every allocation): every input that ever
// crashed the lexer stays a test.
#include "tests/lexer/lexer-fixture.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/lexer-drive.h"
#include "tests/test-paths.h"

namespace kel::test {
namespace {

TEST_F(Lexer, TheFuzzCorpusRunsClean) {
    std::filesystem::path dir = std::filesystem::path(SOURCE_DIR) / "fuzz" / "corpus" / "lexer";
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(fuzz::drive_input(bytes.data(), bytes.size())) << entry.path();
        inputs++;
    }
    EXPECT_GT(inputs, 0);
}

}  // namespace
}  // namespace kel::test
