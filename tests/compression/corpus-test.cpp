// The decompress fuzz target's committed corpus, replayed in every test run
// (release, sanitizers, collection at every allocation): every input that
// ever broke a decompressor stays a test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/corpus.h"
#include "fuzz/decompress-drive.h"
#include "tests/test-paths.h"

namespace kel::test {
namespace {

TEST(DecompressCorpus, RunsClean) {
    auto replay = [](const std::string& path, const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(fuzz::drive_decompress(bytes.data(), bytes.size())) << path;
    };
    EXPECT_GT(fuzz::for_each_corpus_input(SOURCE_DIR, "decompress", replay), 0);
}

}  // namespace
}  // namespace kel::test
