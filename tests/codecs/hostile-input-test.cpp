// The codecs on hostile input: deep nesting, huge unclosed strings and
// values, long runs of escapes and doubled quotes, long numbers and values
// that hold themselves each end with a value or an error, in bounded memory
// and without recursion. Sizes shrink under KEL_GC_STRESS=1.
#include <gtest/gtest.h>

#include <string>

#include "fuzz/codec-drive.h"
#include "tests/support.h"
#include "tests/test-paths.h"

namespace kel::test {
namespace {

struct Hostile : ::testing::Test {
    static void SetUpTestSuite() {
        boot();
        fuzz::start_codec_drive(SOURCE_DIR);
    }

    // Runs Kel code on `fuzz-input` (the text) and answers its value formed.
    static std::string run(const std::string& text, const std::string& code) {
        Cell* top = stack::state.top;
        Cell* arguments = stack::state.arguments;
        Cell* input = stack::push(make_none());
        string::ks_make_at(*input, int32_t(text.size()) + 1);
        string::append_c_string_part(*input, text.data(), int32_t(text.size()));
        set_global("fuzz-input", *input);
        Cell result = make_none();
        uint32_t thrown = fuzz::codec_eval("form " + code, &result);
        std::string answer;
        if (thrown) {
            handled();
            answer = "<thrown>";
        } else {
            SeriesBuffer* b = string::buffer(result);
            for (int32_t i = 0; i < int32_t(b->used() / b->unit()); ++i)
                answer.push_back(char(string::get_char(b->head_ptr() + int64_t(i) * b->unit(), b->unit())));
        }
        stack::state.top = top;
        stack::state.arguments = arguments;
        return answer;
    }
};

const std::string ERROR_OF = "either error? set/any 'e try [";
const std::string ERROR_END = "] [reduce [e/type e/id]] [:e]";

TEST_F(Hostile, DeepJsonNestingRaisesTheParseStackError) {
    size_t n = scaled(1000000, 20000);
    EXPECT_EQ(run(std::string(n, '['), ERROR_OF + "load-json fuzz-input" + ERROR_END), "script parse-stack");
    std::string closed = std::string(10000, '[') + std::string(10000, ']');
    EXPECT_EQ(run(closed, "length? to-json load-json fuzz-input"), "20000");
}

TEST_F(Hostile, UnclosedJsonStringIsAnErrorValue) {
    size_t n = scaled(10 << 20, 200000);
    std::string text = "[\"" + std::string(n, 'x');
    EXPECT_EQ(run(text, "copy/part get in load-json fuzz-input (quote arg1) 48"),
              "Invalid JSON string. Line: 1 Index: 1 Column: 0 ");
}

TEST_F(Hostile, ManyEscapesAreReadInPlace) {
    size_t n = scaled(1000000, 50000);
    std::string text = "\"";
    for (size_t i = 0; i < n; ++i) text += i % 2 ? "\\u00e9" : "\\n";
    text += "\"";
    EXPECT_EQ(run(text, "length? load-json fuzz-input"), std::to_string(n));
}

TEST_F(Hostile, AMillionDigitNumberGivesTheLexersAnswer) {
    size_t n = scaled(1000000, 50000);
    EXPECT_EQ(run(std::string(n, '7'), ERROR_OF + "load-json fuzz-input" + ERROR_END), "syntax invalid");
    EXPECT_EQ(run("0." + std::string(n, '3'), ERROR_OF + "load-json fuzz-input" + ERROR_END), "syntax invalid");
}

TEST_F(Hostile, UnclosedQuotedCsvValueIsReadAsText) {
    size_t n = scaled(10 << 20, 200000);
    std::string text = "a,\"" + std::string(n, 'x') + "\nb,c\n";
    EXPECT_EQ(run(text, "reduce [length? v: load-csv fuzz-input length? v/1/2]"), "2 " + std::to_string(n + 1));
    // Many lines that each open a quote no later text closes.
    std::string lines;
    for (size_t i = 0; i < scaled(200000, 5000); ++i) lines += "\"\"\"x\n";
    EXPECT_EQ(run(lines, ERROR_OF + "load-csv fuzz-input" + ERROR_END + " "), "user message");
}

TEST_F(Hostile, DoubledQuotesGrowTheValueOnce) {
    size_t n = scaled(1000000, 50000);
    std::string text = "\"";
    for (size_t i = 0; i < n; ++i) text += "\"\"";
    text += "\"";
    EXPECT_EQ(run(text, "length? first first load-csv fuzz-input"), std::to_string(n));
    EXPECT_EQ(run(text, "length? to-csv load-csv fuzz-input"), std::to_string(2 * n + 3));
}

TEST_F(Hostile, ValuesThatHoldThemselvesAreRefused) {
    EXPECT_EQ(run("", ERROR_OF + "b: copy [1] append/only b b to-json b" + ERROR_END), "internal too-deep");
    EXPECT_EQ(run("", ERROR_OF + "m: make map! [a 1] m/a: m to-json/pretty m {  }" + ERROR_END), "internal too-deep");
    EXPECT_EQ(run("", ERROR_OF + "o: context [a: none] o/a: o to-json o" + ERROR_END), "internal too-deep");
}

}  // namespace
}  // namespace kel::test
