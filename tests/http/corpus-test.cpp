// The HTTP header fuzz target's committed corpus, replayed in every test run
// (release, sanitizers, collection at every allocation).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/corpus.h"
#include "fuzz/http-headers-drive.h"
#include "tests/support.h"
#include "tests/test-paths.h"

namespace kel::test {
namespace {

TEST(HttpHeadersCorpus, RunsClean) {
    boot();
    auto replay = [](const std::string& path, const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(fuzz::drive_headers(bytes.data(), bytes.size())) << path;
    };
    EXPECT_GT(fuzz::for_each_corpus_input(SOURCE_DIR, "http-headers", replay), 0);
}

}  // namespace
}  // namespace kel::test
