// unescape: JSON string escapes rewritten in place, the string widened when
// an escape yields a character its unit cannot hold, and every malformed
// escape refused without reading past the data.
#include <string>

#include "environment/boot/routine-table.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/routines.h"
#include "runtime/evaluator/stack-state.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

// Test-only hook: the library keeps the routine in a field of the
// json-decoder context, which no global word holds; the test makes it a
// global word to call it.
struct Unescape : Evaluator {
    void SetUp() override {
        Evaluator::SetUp();
        routines::make_words(library::codec_routines().subspan(0, 1));
    }
};

// A new string of the UTF-8 text, from index `from`, as the global `s`.
void set_text(const std::string& text, int32_t from = 0) {
    Cell* saved = stack::state.top;
    Cell* s =
        string::import(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()), string::ENCODING_UTF8);
    s->data1 = uint32_t(from);
    set_global("s", *s);
    stack::state.top = saved;
}

// The whole string (from its first code point) as UTF-8.
std::string whole_text(const Cell& str) {
    std::string out;
    SeriesBuffer* b = string::buffer(str);
    for (int32_t i = 0; i < int32_t(b->used() / b->unit()); ++i) {
        uint32_t c = string::get_char_at(str, i);
        if (c < 0x80)
            out += char(c);
        else if (c < 0x800)
            out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
        else if (c < 0x10000)
            out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
        else
            out += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)), char(0x80 | (c >> 6 & 0x3F)),
                    char(0x80 | (c & 0x3F))};
    }
    return out;
}

TEST_F(Unescape, EscapesAreReplacedInPlace) {
    struct Case {
        std::string in;
        std::string out;
        uint32_t unit;  // the string's unit after the call
    };
    const Case cases[] = {
        {"plain text", "plain text", 1},
        {"", "", 1},
        {R"(a\nb\tc\rd\be\ff\/g\"h\\i)", "a\nb\tc\rd\be\ff/g\"h\\i", 1},
        {R"(\u00e9)", "\xC3\xA9", 1},
        {R"(\u00E9t\u00e9)", "\xC3\xA9t\xC3\xA9", 1},
        {R"(\ud83d\ude00)", "\xF0\x9F\x98\x80", 4},
        {R"(\n middle \t)", "\n middle \t", 1},
        {R"(x\u20acy\n)",
         "x\xE2\x82\xAC"
         "y\n",
         2},  // an escape right after the widening
        {R"(\u20ac\ud83d\ude00\\)", "\xE2\x82\xAC\xF0\x9F\x98\x80\\", 4},
        {R"(\udc00)", "\xED\xB0\x80", 2},  // a lone low surrogate stays a code point
        {R"(a\u0000b)", std::string("a\0b", 3), 1},
    };
    for (const Case& c : cases) {
        set_text(c.in);
        Cell r = run("unescape s");
        ASSERT_EQ(type_of(r), TYPE_STRING) << c.in;
        EXPECT_EQ(cell_node(r), cell_node(global_value("s"))) << c.in << ": the same string comes back";
        EXPECT_EQ(whole_text(r), c.out) << c.in;
        EXPECT_EQ(string::buffer(r)->unit(), c.unit) << c.in;
    }
}

// What stands before the string's index is left alone.
TEST_F(Unescape, StartsAtTheIndex) {
    set_text(R"(\n\t\n)", 2);
    EXPECT_EQ(whole_text(run("unescape s")), "\\n\t\n");
}

TEST_F(Unescape, MalformedEscapesRaiseInvalidData) {
    const char* cases[] = {
        R"(\)",
        R"(abc\)",
        R"(\x)",
        R"(\U00e9)",
        R"(\u00g9)",
        R"(\u00e)",
        R"(\ud83d)",
        R"(\ud83dx)",
        R"(\ud83d\n12345)",
        R"(\ud83d\u0041)",
        R"(\ud83d\ud83d)",
        R"(\ud83d\ude0)",
        R"(a\ud83d\ude0z)",
    };
    for (const char* c : cases) {
        set_text(c);
        EXPECT_EQ(fails("unescape s"), int(ErrorId::script_invalid_data)) << c;
    }
}

}  // namespace
}  // namespace kel::test
