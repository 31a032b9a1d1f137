// Syntax errors with their arguments, and the tables' own invariants.
#include "tests/lexer/lexer-fixture.h"

#include "runtime/io/lexer-tables.h"

namespace kel::test {
namespace {

TEST_F(Lexer, SyntaxErrorsNameTheLineTheTypeAndAnExcerpt) {
    struct Case {
        const char* text;
        ErrorId id;
        const char* line;
        const char* what;  // datatype or missing char ("" for none)
        const char* excerpt;
    } cases[] = {
        {"a [b", ErrorId::syntax_missing, "(line 1)", "]", "[b"},
        {"a]", ErrorId::syntax_missing, "(line 1)", "[", "]"},
        {"a (b", ErrorId::syntax_missing, "(line 1)", ")", "(b"},
        {"a)", ErrorId::syntax_missing, "(line 1)", "(", ")"},
        {"1\n2\n3a 4", ErrorId::syntax_invalid, "(line 3)", "integer!", "3a 4"},
        {"1.2.3.4.5.6.7.8.9.10.11.12.13", ErrorId::syntax_invalid, "(line 1)", "tuple!",
         "1.2.3.4.5.6.7.8.9.10.11.12.13"},
        {"#(foo)", ErrorId::syntax_malconstruct, "(line 1)", "", "#(foo)"},
        {"x }", ErrorId::syntax_bad_char, "(line 1)", "", "}"},
        {"x \"abc", ErrorId::syntax_invalid, "(line 1)", "string!", "\"abc"},
        {"x {a\nb", ErrorId::syntax_invalid, "(line 2)", "string!", "{a"},
        // At least 30 bytes in whole characters, never past a line feed.
        {"1a 3456789012345678901234567890123456789", ErrorId::syntax_invalid, "(line 1)", "integer!",
         "1a 345678901234567890123456789"},
        {"1a \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3"
         "\xA9\xC3\xA9\xC3\xA9",
         ErrorId::syntax_invalid, "(line 1)", "integer!",
         "1a \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3"
         "\xA9"},
        {"1a b\nc", ErrorId::syntax_invalid, "(line 1)", "integer!", "1a b"},
    };
    for (const Case& c : cases) {
        int e = error_of([&] { load_text(c.text); });
        ASSERT_EQ(e, int(c.id)) << "`" << c.text << "`";
        int n = error_in_flight().argc;
        std::string line = arg_text(error_in_flight().args[0]);
        std::string what = n == 3 ? arg_text(error_in_flight().args[1]) : "";
        std::string excerpt = arg_text(error_in_flight().args[n - 1]);
        EXPECT_EQ(line, c.line) << "`" << c.text << "`";
        EXPECT_EQ(what, c.what) << "`" << c.text << "`";
        // The fixture shows non-ASCII as <U+...>: compare in that form.
        Cell expected{};
        string::import_at(bytes_of(c.excerpt), int32_t(std::strlen(c.excerpt)), &expected, string::ENCODING_UTF8);
        EXPECT_EQ(excerpt, utf8_of(expected)) << "`" << c.text << "`";
    }
}

TEST_F(Lexer, ScanModeMarksTheErrorWithoutRaising) {
    lexer::Options scan;
    scan.scan = true;
    for (const char* text : {"12a", "a [b", "a]", "1.2.3.4.5.6.7.8.9.10.11.12.13", "#(foo)", "\"a\x80\""}) {
        int32_t t = 0;
        EXPECT_EQ(error_of([&] { t = lexer::scan(nullptr, bytes_of(text), int64_t(std::strlen(text)), scan).type; }),
                  -1)
            << text;
        EXPECT_EQ(t, int32_t(TYPE_ERROR)) << text;
    }
    lexer::Options prescan;
    prescan.prescan = true;
    EXPECT_EQ(lexer::scan(nullptr, bytes_of("]"), 1, prescan).type, int32_t(TYPE_ERROR));
    EXPECT_EQ(lexer::scan(nullptr, bytes_of("[a (b c)]"), 9, prescan).type, int32_t(TYPE_BLOCK));
}

TEST_F(Lexer, TablesKeepTheirShape) {
    using namespace lexer;
    static_assert(type_table.size() == 104);
    static_assert(transitions.size() == 65 && transitions[0].size() == 40);
    static_assert(VALUE_STACK_CELLS == 1000 && SCRATCH_BYTES == 100000);
    int blanks = 0;
    for (uint32_t cp = 0; cp < 0x10000; cp++) blanks += is_unicode_blank(cp);
    EXPECT_EQ(blanks, 21);
    for (int s = 0; s < STATE_COUNT; s++) {
        for (int c = 0; c < CLASS_COUNT; c++) {
            int next = transitions[s][c];
            EXPECT_NE(next, 65) << s << "," << c;
            // States 4, 35 and 59 are entered only as a scan's entry state
            // (and 4 again from its escape state 5).
            if (next != s && (next == 35 || next == 59 || (next == 4 && s != 5)))
                ADD_FAILURE() << "state " << s << " class " << c << " enters " << next;
        }
        // The end class always ends a token.
        EXPECT_GE(transitions[s][C_END], FIRST_TERMINAL) << "state " << s;
    }
    // Each byte's class and flags.
    EXPECT_EQ(class_table[uint8_t('%')], uint32_t(C_PERCENT) | flag::PERCENT);
    EXPECT_EQ(class_table[0xC2], uint32_t(C_WORD) | flag::UTF8_2_3);
    EXPECT_EQ(class_table[0xF0], uint32_t(C_WORD) | flag::UTF8_4);
    EXPECT_EQ(class_table[0xF8], uint32_t(C_ILLEGAL));
    EXPECT_EQ(class_table[0x7F], uint32_t(C_CONTINUATION));
    EXPECT_EQ(class_table[0], uint32_t(C_END) | flag::NUL);
    EXPECT_EQ(unit_of_flags(0), 1u);
    EXPECT_EQ(unit_of_flags(flag::UTF8_2_3), 2u);
    EXPECT_EQ(unit_of_flags(flag::UTF8_4 | flag::UTF8_2_3), 4u);
}

}  // namespace
}  // namespace kel::test
