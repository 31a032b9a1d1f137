// Start-up from the boot image: the environment it gives (natives and
// actions by table index, every datatype word bound), the same environment
// as the source path gives, no lexing of the library, and the failures of a
// bad image (boot-probe, tests/probes).
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "environment/boot/boot.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "tests/boot/run-kel.h"
#include "tests/kel-eval.h"
#include "tests/support.h"

namespace kel::test {
namespace {

struct BootImage : ::testing::Test {
    static void SetUpTestSuite() {
        boot();
        boot::build();
    }
};

ProcessResult probe(const std::vector<std::string>& args) {
    Command c;
    c.argv = {program_path("boot-probe")};
    c.argv.insert(c.argv.end(), args.begin(), args.end());
    c.merge_output = true;
    return run_process(c);
}

// A file of the bytes in a directory of its own, removed with the value.
struct ImageFile {
    ScriptFile file;
    explicit ImageFile(const std::string& bytes) : file(bytes, "image.kelbin") {}
    const std::string& path() const { return file.path; }
};

std::string embedded_bytes() {
    boot::Image image = boot::embedded_image();
    return std::string(reinterpret_cast<const char*>(image.data), image.size);
}

TEST_F(BootImage, NativesActionsAndTypesAreBound) {
    ASSERT_GT(boot::embedded_image().size, 0u) << "the build embeds no image";
    EXPECT_EQ(evaluate("reduce [native? :if body-of :if action? :make body-of :make]").text, "[true 1 true 1]");
    for (uint32_t t = 2; t <= datatype::highest(); ++t) {
        const char* name = datatype::name(t);
        if (!name || t == TYPE_SERIES) continue;  // series! is the library's typeset
        const Cell* v = context::get(word::make(symbol::make(name)));
        ASSERT_TRUE(v) << name;
        EXPECT_EQ(type_of(*v), TYPE_DATATYPE) << name;
        EXPECT_EQ(datatype::type_of_value(*v), t) << name;
    }
}

TEST_F(BootImage, SourcePathAndImageGiveTheSameEnvironment) {
    ProcessResult image = probe({"dump", "image"});
    ProcessResult source = probe({"dump", "source"});
    ASSERT_EQ(image.status, 0) << image.out;
    ASSERT_EQ(source.status, 0) << source.out;
    EXPECT_GT(image.out.size(), 10000u);
    EXPECT_NE(image.out.find("\nreplace function\n"), std::string::npos);
    EXPECT_NE(image.out.find("\nsystem class "), std::string::npos);
    EXPECT_TRUE(image.out == source.out) << "the global words, their types, class ids or a library function differ";
}

// The library's blocks and every routine's spec come from the image: the
// one scan left is the library's own `load system/version` while it is
// evaluated, where the source path runs hundreds.
TEST_F(BootImage, StartUpLexesNoLibraryText) {
    ProcessResult r = probe({"lexer-runs"});
    ASSERT_EQ(r.out.rfind("image embedded, lexer runs ", 0), 0u) << r.out;
    EXPECT_LE(std::stoi(r.out.substr(27)), 1) << r.out;
}

TEST_F(BootImage, BadImagesEndStartUpWithTheirMessage) {
    std::string good = embedded_bytes();
    // Compact, no symbol table; root count 1, 2 bytes of records: type id 0.
    std::string bad_record = good.substr(0, 7) + std::string("\x01\x01\x02\x00\x00", 5);
    const struct {
        const char* what;
        std::string bytes;
        const char* message;
    } rows[] = {
        {"a bad magic", "KELBOX" + good.substr(6), "Error: Not a Kelbin file!\n"},
        {"a short file", "KEL", "Error: Not a Kelbin file!\n"},
        {"a corrupt compressed image", std::string("KELBIN\x02\x07\x04\x00\x00\x00\x28\xB5\x2F\xFD", 14),
         "Error: Kelbin compressed data corrupted!\n"},
        {"a malformed record", bad_record, "Error: KELBIN - invalid record at index 12\n"},
        {"a truncated image", good.substr(0, good.size() / 2), nullptr},
    };
    for (const auto& row : rows) {
        ImageFile file(row.bytes);
        ProcessResult r = probe({"file", file.path()});
        EXPECT_EQ(r.status, 254) << row.what << ": " << r.out;
        if (row.message)
            EXPECT_EQ(r.out, row.message) << row.what;
        else
            EXPECT_EQ(r.out.rfind("Error: KELBIN - invalid record at index ", 0), 0u) << row.what << ": " << r.out;
    }
    ImageFile whole(good);
    EXPECT_EQ(probe({"file", whole.path()}).out, "booted\n");
}

TEST_F(BootImage, LoadingAgainWithKeepBaseKeepsTheLiterals) {
    ImageFile file(embedded_bytes());
    ProcessResult r = probe({"keep-base", file.path()});
    EXPECT_EQ(r.out,
              "collector on: base kept, literal 0 unchanged, collector restored\n"
              "collector off: base kept, literal 0 unchanged, collector restored\n");
}

}  // namespace
}  // namespace kel::test
