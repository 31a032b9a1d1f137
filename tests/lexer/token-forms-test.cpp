// Token forms in tables: paths and structure, separators and new-line
// markers, escapes, constructions, binaries, files, raw strings, chars,
// refinement forms and the malformed text every string-like type refuses.
#include "tests/lexer/lexer-fixture.h"

#include "runtime/datatypes/value-from-text.h"
#include "runtime/evaluator/actions.h"

namespace kel::test {
namespace {

struct Loads {
    const char* text;
    const char* loaded;
};

void expect_loads(std::initializer_list<Loads> cases, lexer::Options o = {}) {
    for (const Loads& c : cases) EXPECT_EQ(outcome(c.text, o), c.loaded) << "loading `" << c.text << "`";
}

TEST_F(Lexer, PathsAndSeriesStructure) {
    expect_loads({
        {"a/b/c", "path:a/b/c"},
        {"a/b:", "set-path:a/b"},
        {":a/b", "get-path:a/b"},
        {"'a/b", "lit-path:a/b"},
        {"a/b:/c", "invalid path!"},
        {"a/(b)/c", "path:a/(b)/c"},
        {"a/b: 1", "set-path:a/b 1"},
        {"[a/b] (c/d)", "[path:a/b] (path:c/d)"},
        {"a/", "bad-char"},
        {"a/b/", "invalid path!"},
        {"#[a 1)", "missing ]"},
        {"(1 2]", "missing )"},
        {"#[a 1]", "#[a: 1]"},
        {"#[a]", "invalid map!"},
        {"#[a 1 \"b\" 2 a 3]", "#[a: 3 \"b\" 2]"},
        {"#[a #[b 1]]", "#[a: #[b: 1]]"},
        {"#[[1] 2]", "invalid map!"},
        {"#[a [1]]", "#[a: [1]]"},
        {"[[a] [b [c]]]", "[[a] [b [c]]]"},
        {"(b ,c)", "missing )"},
        {"(a, b)", "invalid float!"},
    });
}

TEST_F(Lexer, UnicodeBlanksSeparateWordsAndNewLinesMarkValues) {
    expect_loads({
        {"\xC2\xA0", ""},
        {"\xC2\xA0\xC2\xA0", ""},
        {"a\xC2\xA0"
         "b",
         "a b"},
        {"a\xE3\x80\x80"
         "b",
         "a b"},
        {"\xE3\x80\x80"
         "a",
         "a"},
        {"a\n\n b", "a \\nb"},
        {"[a\nb]", "[a \\nb]"},
        {"a {x\ny}", "a \\n\"x\ny\""},
        {"a\n{x}", "a \\n\"x\""},
        {"a {x}", "a \"x\""},
        {"a %{x\ny}%", "a \\n\"x\ny\""},
        {"a %%{x\ny}% z}%%", "a \\n\"x\ny}% z\""},
        {"a\0b", "a"},
        {"; comment\na", "\\na"},
    });
}

TEST_F(Lexer, OneStopsAfterTheFirstCompleteValue) {
    lexer::Options one;
    one.one = true;
    expect_loads({{"[1 2] 3", "[1 2]"}, {"1 2", "1"}, {"a/b c", "path:a/b"}, {"{a} b", "\"a\""}}, one);
    lexer::Options wrap = one;
    wrap.wrap = true;
    expect_loads({{"1 2", "1"}}, wrap);
    Cell out = make_none();
    lexer::Result r = lexer::scan(&out, bytes_of("1 2"), 3, one);
    EXPECT_EQ(show(out), "1");
    EXPECT_EQ(r.consumed, 1);
}

// Code points of the single string a text loads, with its unit.
std::string string_units(std::string_view text) {
    std::string r;
    int e = error_of([&] {
        Cell blk = load_text(text);
        Cell s = memory::buffer_of(cell_node(blk))->cells()[0];
        SeriesBuffer* b = string::buffer(s);
        r = "unit " + std::to_string(b->unit()) + ":";
        for (uint64_t i = b->offset; i < b->tail; i += b->unit())
            r += " " + std::to_string(string::get_char(b->data() + i, b->unit()));
    });
    return e < 0 ? r : outcome(text);
}

TEST_F(Lexer, EscapesChooseTheUnitAndRefuseWhatNoCharacterIs) {
    struct Case {
        const char* text;
        const char* units;
    } cases[] = {
        {"\"^(tab)\"", "unit 1: 9"},
        {"\"^(TAB)\"", "unit 1: 9"},
        {"\"^(tabx)\"", "invalid string!"},
        {"\"^()\"", "unit 1: 0"},
        {"\"^(e9)\"", "unit 1: 233"},
        {"\"^(1F600)\"", "unit 4: 128512"},
        {"\"^(110000)\"", "invalid string!"},
        {"\"^(10FFFF)\"", "unit 4: 1114111"},
        {"\"^(0041)\"", "unit 2: 65"},
        {"\"^(1234567)\"", "invalid string!"},
        {"\"^(12\"", "invalid string!"},
        {"\"^-^/^^^~^@^a^Z^[\"", "unit 1: 9 10 94 127 0 1 26 27"},
        {"\"^\"\"", "unit 1: 34"},
        {"{^{^}}", "unit 1: 123 125"},
        {"\"\xC3\xA9\"", "unit 2: 233"},
        {"\"\xF0\x9F\x98\x80\"", "unit 4: 128512"},
        {"\"a^(line)b\"", "unit 1: 97 10 98"},
        // A byte of 0x80 or more outside a well-formed sequence.
        {"\"a\x80\"", "invalid string!"},
        {"\"\xBF\"", "invalid string!"},
        {"\"\xC3\"", "invalid string!"},
        {"\"\xE3\x80\"", "invalid string!"},
        {"\"\xED\xA0\x80\"", "invalid string!"},
        {"\"\xF4\x90\x80\x80\"", "invalid string!"},
        {"{a\x80}", "invalid string!"},
        {"\"^\x80\"", "invalid string!"},
        {"%{\x80}%", "invalid string!"},
    };
    for (const Case& c : cases) EXPECT_EQ(string_units(c.text), c.units) << "loading `" << c.text << "`";
}

TEST_F(Lexer, StringLikeTypesRefuseMalformedText) {
    expect_loads({
        {"%\"^(110000)\"", "invalid file!"},
        {"%a\x80", "invalid file!"},
        {"http://a\x80", "invalid url!"},
        {"<a\x80>", "invalid tag!"},
        {"a@b\x80", "invalid email!"},
        {"@a\x80", "invalid ref!"},
        {"#\"^(110000)\"", "invalid char!"},
        {"#\"\x80\"", "invalid char!"},
        {"a\x80", "invalid word!"},
        {"#a\x80", "invalid issue!"},
    });
}

TEST_F(Lexer, Constructions) {
    expect_loads({
        {"#(none)", "none"},
        {"#(TRUE)", "true"},
        {"#(false)", "false"},
        {"#(unset)", "unset"},
        {"#(integer!)", "integer!"},
        {"#(int)", "integer!"},
        {"#(INTEGER)", "integer!"},
        {"#(foo)", "malconstruct"},
        {"#()", "malconstruct"},
        {"#(truex)", "malconstruct"},
        {"#(tru)", "malconstruct"},
        {"#(nonex)", "malconstruct"},
    });
    // A text is never matched against the names over its own length only.
    EXPECT_NE(outcome("#(t)"), "true");
    EXPECT_NE(outcome("#(f)"), "false");
    // Nothing past the token is read: "#(t" at the end of the input.
    expect_loads({{"#(t", "bad-char"}, {"#(tru) e)", "malconstruct"}});
}

TEST_F(Lexer, Binaries) {
    expect_loads({
        {"#{0A0b}", "#{0A0B}"},
        {"16#{0A0b}", "#{0A0B}"},
        {"2#{00001010}", "#{0A}"},
        {"64#{Cgs=}", "#{0A0B}"},
        {"64#{Cg==}", "#{0A}"},
        {"64#{Cgs}", "invalid binary!"},
        {"64#{C===}", "invalid binary!"},
        {"#{0A0}", "invalid binary!"},
        {"2#{0000101}", "invalid binary!"},
        {"2#{00001012}", "invalid binary!"},
        {"#{0A ; comment\n 0B\t}", "\\n#{0A0B}"},
        {"64#{Cg s=}", "#{0A0B}"},
        {"3#{}", "invalid binary!"},
        {"#{}", "#{}"},
        {"#{0A\xC3\xA9}", "invalid binary!"},
    });
}

TEST_F(Lexer, FilesRawStringsCharsAndRefinementForms) {
    expect_loads({
        {"%a%20b", "file:a b"},
        {"%\"a b\"", "file:a b"},
        {"%a^b", "file:a^b"},
        {"%\"a^(tab)\"", "file:a\t"},
        {"%a%2", "file:a%2"},
        {"%{a}b}%", "\"a}b\""},
        {"%%{a}% b}%%", "\"a}% b\""},
        {"%%{a}", "invalid string!"},
        {"#\"^\"", "invalid char!"},
        {"#\"ab\"", "invalid char!"},
        {"#\"^(1F600)\"", "char:128512"},
        {"#\"\xF0\x9F\x98\x80\"", "char:128512"},
        {"#\"^/\"", "char:10"},
        {"/", "/"},
        {"'/", "'/"},
        {":/", ":/"},
        {"/:", "/:"},
        {"'a:", "invalid lit-word!"},
        {"a::", "url:a::"},
        {"http://a.b/c%20d", "url:http://a.b/c d"},
    });
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

Cell converted(uint32_t type, const char* text) {
    Cell str{};
    string::import_at(bytes_of(text), int32_t(std::strlen(text)), &str, string::ENCODING_UTF8);
    Rooted keep(str);
    Cell proto = datatype::make(type);
    Cell out = make_none();
    Rooted keep_out(out);
    actions::to(&out, &proto, &str);
    return out;
}

TEST_F(Lexer, ConversionsLoadThroughTheLexer) {
    EXPECT_EQ(show(converted(TYPE_BLOCK, "a [b] 1")), "[a [b] 1]");
    EXPECT_EQ(show(converted(TYPE_WORD, "abc")), "abc");
    EXPECT_EQ(error_of([] { converted(TYPE_WORD, "a b"); }), id(ErrorId::script_invalid_chars));
    EXPECT_EQ(show(converted(TYPE_PERCENT, "50%")), "0.5%");
    EXPECT_EQ(error_of([] { converted(TYPE_BLOCK, "a [b"); }), id(ErrorId::syntax_missing));
    // A text that holds no single value converts to none, and the syntax
    // error met on the way leaves nothing on the argument stack.
    Cell* top = stack::top();
    for (const char* text : {"1a", "a b", "[a", ""}) {
        Cell str{};
        string::import_at(bytes_of(text), int32_t(std::strlen(text)), &str, string::ENCODING_UTF8);
        Rooted keep(str);
        Cell out = make_integer(0);
        value_from_text::load(&out, str);
        EXPECT_EQ(type_of(out), TYPE_NONE) << text;
    }
    EXPECT_EQ(stack::top(), top);
}

}  // namespace
}  // namespace kel::test
