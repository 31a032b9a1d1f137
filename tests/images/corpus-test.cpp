// The image fuzz targets' committed corpora, replayed in every test run:
// every input that ever troubled a decoder stays a test.
#include <gtest/gtest.h>

#include "fuzz/corpus.h"
#include "fuzz/image-drive.h"
#include "tests/support.h"
#include "tests/test-paths.h"

namespace kel::test {
namespace {

TEST(Corpus, BmpDecoderRunsClean) {
    int n = fuzz::for_each_corpus_input(SOURCE_DIR, "bmp", [](const std::string& path, const std::vector<uint8_t>& b) {
        EXPECT_TRUE(fuzz::drive_bmp(b.data(), b.size())) << path;
    });
    EXPECT_GT(n, 0);
}

TEST(Corpus, ImageDecodingRunsClean) {
    boot();
    int n =
        fuzz::for_each_corpus_input(SOURCE_DIR, "image", [](const std::string& path, const std::vector<uint8_t>& b) {
            EXPECT_TRUE(fuzz::drive_image(b.data(), b.size())) << path;
        });
    EXPECT_GT(n, 0);
}

}  // namespace
}  // namespace kel::test
