// The decompress fuzz target's committed corpus, replayed in every test run
// (release, sanitizers, collection at every allocation): every input that
// ever broke a decompressor stays a test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/decompress-drive.h"

namespace kel::test {
namespace {

TEST(DecompressCorpus, RunsClean) {
    std::filesystem::path dir = std::filesystem::path(KEL_SOURCE_DIR) / "fuzz" / "corpus" / "decompress";
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(fuzz::drive_decompress(bytes.data(), bytes.size())) << entry.path();
        inputs++;
    }
    EXPECT_GT(inputs, 0);
}

}  // namespace
}  // namespace kel::test
