// The json and csv fuzz targets' committed corpora, replayed in every test
// run (release, sanitizers, collection at every allocation): each input is
// read by the C++ codec and by its Kel reference, which must agree, and the
// values read are written and read back (fuzz/codec-drive.h). The seeds hold
// the cases of the script tables, so this is also the differential test of
// those tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fuzz/codec-drive.h"
#include "fuzz/corpus.h"
#include "tests/support.h"
#include "tests/test-paths.h"

namespace kel::test {
namespace {

TEST(CodecCorpus, JsonAgreesWithItsReference) {
    boot();
    auto replay = [](const std::string& path, const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(fuzz::drive_json(bytes.data(), bytes.size(), SOURCE_DIR)) << path;
    };
    EXPECT_GT(fuzz::for_each_corpus_input(SOURCE_DIR, "json", replay), 0);
}

TEST(CodecCorpus, CsvAgreesWithItsReference) {
    boot();
    auto replay = [](const std::string& path, const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(fuzz::drive_csv(bytes.data(), bytes.size(), SOURCE_DIR)) << path;
    };
    EXPECT_GT(fuzz::for_each_corpus_input(SOURCE_DIR, "csv", replay), 0);
}

// The drive itself notices a difference: a reference that answers otherwise
// fails the check.
TEST(CodecCorpus, AMismatchIsReported) {
    boot();
    fuzz::start_codec_drive(SOURCE_DIR);
    Cell result = make_none();
    Cell* top = stack::state.top;
    ASSERT_EQ(fuzz::codec_eval("saved: :ref-load-json ref-load-json: func [t] [0]", &result), 0u);
    stack::state.top = top;
    const char text[] = "[1]";
    bool agreed = fuzz::drive_json(reinterpret_cast<const uint8_t*>(text), 3, SOURCE_DIR);
    ASSERT_EQ(fuzz::codec_eval("ref-load-json: :saved", &result), 0u);
    stack::state.top = top;
    EXPECT_FALSE(agreed);
    EXPECT_TRUE(fuzz::drive_json(reinterpret_cast<const uint8_t*>(text), 3, SOURCE_DIR));
}

}  // namespace
}  // namespace kel::test
