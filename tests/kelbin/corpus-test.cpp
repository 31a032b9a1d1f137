// The kelbin fuzz target's committed corpus and the boot image, replayed
// in every test run (release, sanitizers, collection at every allocation).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/corpus.h"
#include "fuzz/kelbin-drive.h"
#include "tests/kelbin/kelbin-fixture.h"
#include "tests/test-paths.h"

namespace kel::test {
namespace {

TEST_F(Kelbin, CorpusRunsClean) {
    auto replay = [](const std::string& path, const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(fuzz::drive_kelbin(bytes.data(), bytes.size())) << path;
    };
    EXPECT_GT(fuzz::for_each_corpus_input(SOURCE_DIR, "kelbin", replay), 0);
    // The boot image is a seed too (the fuzz build copies it into the
    // target's corpus): the codec refuses its set records, cleanly.
    boot::Image image = boot::embedded_image();
    ASSERT_GT(image.size, 0u) << "the build embeds no image";
    EXPECT_TRUE(fuzz::drive_kelbin(image.data, image.size));
}

}  // namespace
}  // namespace kel::test
