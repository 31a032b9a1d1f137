// The float syntax table, state by state.
#include <gtest/gtest.h>

#include <string>

#include "runtime/numbers/float-syntax.h"

namespace kel::test {
namespace {

using numbers::float_syntax;

TEST(FloatSyntax, Accepts) {
    for (const char* text : {
             "1",     "+1",   "-1",    "+-1",  // start: signs repeat
             "1.",    "1.5",  ".5",    ".",  // point after digits, leading point, point alone
             "1'000", "1'",   "1'0'0",  // ' in the integer part
             "1.5'5", "1.5'", ".5'5",  // ' after a fraction digit
             "1e5",   "1E+5", "1e-05", "1.5e3", ".5e3", "1'0e5",
         }) {
        EXPECT_TRUE(float_syntax(text)) << '"' << text << '"';
    }
}

TEST(FloatSyntax, Refuses) {
    for (const char* text : {
             "",
             "+",
             "-",
             "'",  // nothing read yet at the end
             "'1",
             ".'",
             "1''0",
             "1'.5",  // ' first, after '.', twice, before '.'
             "1.'5",
             "1.5''",
             "1'e5",
             "1e",
             "1e+",
             "e5",
             "1.e5",  // exponent without digits, or after '.' or '
             ".5'e3",
             "1e5'",
             "1e5.",
             "1e+-5",
             "1e5e5",
             "1.2.3",
             "1,5",
             "1x",
             " 1",
             "1 ",
             "1.#INF",
             "\x80"
             "1",
         }) {
        EXPECT_FALSE(float_syntax(text)) << '"' << text << '"';
    }
}

TEST(FloatSyntax, LengthLimit) {
    EXPECT_TRUE(float_syntax(std::string(312, '1')));
    EXPECT_FALSE(float_syntax(std::string(313, '1')));
}

}  // namespace
}  // namespace kel::test
