// Percent-decoding and percent-encoding (what dehex, enhex, the lexer's
// file! and url! literals and url! mold use).
#include "runtime/datatypes/url.h"
#include "tests/files/kel-code.h"

namespace kel::test {
namespace {

using Coding = KelFiles;

std::string decoded(const Cell& source) {
    Cell& out = Files::slot();
    string::ks_make_at(out, 4);
    url::decode(source, out);
    return Files::utf8(out);
}

std::string encoded(const Cell& source, url::Mode mode) {
    Cell& out = Files::slot();
    string::ks_make_at(out, 4);
    url::encode(source, out, mode);
    return Files::utf8(out);
}

TEST_F(Coding, DecodeTable) {
    struct Row {
        std::string in;
        std::string out;
        bool bad = false;  // access/invalid-utf8
    };
    const Row rows[] = {
        {"%41%C3%A9%zz", "A\xC3\xA9%zz"},
        {"%A9", "\xC2\xA9"},  // a lone continuation byte is its code point
        {"%E9", "%E9"},  // a lead byte without its escapes stays
        {"%E9%80", "%E9\xC2\x80"},  // the "%" copied, then the next escape
        {"%C3", "%C3"},
        {"%4", "%4"},
        {"a%", "a%"},
        {"%", "%"},
        {"", ""},
        {"%e9%80%81x", "\xE9\x80\x81x"},  // either case of digit
        {"%F0%9F%98%80", "\xF0\x9F\x98\x80"},
        {"%00", std::string("\0", 1)},
        {"%C3%41", "", true},
        {"%ED%A0%80", "", true},  // a surrogate
        {"%F8%80%80%80", "", true},
        {"%C0%80", "", true},  // overlong
    };
    for (const Row& r : rows) {
        Cell& source = text(r.in);
        if (!r.bad)
            EXPECT_EQ(decoded(source), r.out) << r.in;
        else
            EXPECT_EQ(error_of([&] { decoded(source); }), id(ErrorId::access_invalid_utf8)) << r.in;
    }
}

// "%41" cut to "%4" by its tail: the digit beyond the tail is never read.
TEST_F(Coding, DecodingStopsAtTheTail) {
    Cell& source = text("x%41");
    memory::buffer_of(cell_node(source))->tail -= 1;
    EXPECT_EQ(decoded(source), "x%4");
    Cell& from_index = text("%41%42");
    from_index.data1 = 3;
    EXPECT_EQ(decoded(from_index), "B");
}

TEST_F(Coding, EncodeInStrictAndUrlModes) {
    struct Row {
        const char* in;
        const char* strict;
        const char* url;
    };
    const Row rows[] = {
        {"a b/c", "a%20b%2Fc", "a%20b/c"},
        {"\xC3\xA9", "%C3%A9", "%C3%A9"},
        {"!#$&'()*+,/:=?@", "%21%23%24%26%27%28%29%2A%2B%2C%2F%3A%3D%3F%40", "!#$&'()*+,/:=?@"},
        {"-._~Az09", "-._~Az09", "-._~Az09"},
        {"\"%;<>[\\]^`{|}", "%22%25%3B%3C%3E%5B%5C%5D%5E%60%7B%7C%7D", "%22%25%3B%3C%3E%5B%5C%5D%5E%60%7B%7C%7D"},
        {"\t\n\x7F", "%09%0A%7F", "%09%0A%7F"},
        {"", "", ""},
    };
    for (const Row& r : rows) {
        Cell& source = text(r.in);
        EXPECT_EQ(encoded(source, url::Mode::strict), r.strict) << r.in;
        EXPECT_EQ(encoded(source, url::Mode::url), r.url) << r.in;
        // Encoding then decoding gives the text back.
        EXPECT_EQ(decoded(text(encoded(source, url::Mode::strict))), r.in);
    }
}

// A limit stops the encoding after that many characters, inside an escape
// too.
TEST_F(Coding, EncodeStopsAtTheLimit) {
    Cell& source = text("a\xC3\xA9");
    Cell& out = slot();
    string::ks_make_at(out, 4);
    EXPECT_EQ(url::encode(source, out, url::Mode::url, 3), 3);
    EXPECT_EQ(utf8(out), "a%C");
}

// dehex and enhex answer a string! for every string type; enhex encodes a
// string! in strict mode and the other types in URL mode.
TEST_F(Coding, DehexAndEnhexAnswerStrings) {
    struct Row {
        uint32_t type;
        const char* in;
        const char* dehexed;
        const char* enhexed;
    };
    const Row rows[] = {
        {TYPE_STRING, "a b/c", "a b/c", "a%20b%2Fc"},
        {TYPE_FILE, "a%20b/c", "a b/c", "a%2520b/c"},
        {TYPE_URL, "http://h/a b", "http://h/a b", "http://h/a%20b"},
        {TYPE_EMAIL, "a%40b", "a@b", "a%2540b"},
        {TYPE_STRING, "", "", ""},
    };
    for (const Row& r : rows) {
        Cell& v = typed(r.type, r.in);
        Cell& d = slot();
        url::dehex(&d, v);
        EXPECT_EQ(type_of(d), TYPE_STRING);
        EXPECT_EQ(utf8(d), r.dehexed) << r.in;
        Cell& e = slot();
        url::enhex(&e, v);
        EXPECT_EQ(type_of(e), TYPE_STRING);
        EXPECT_EQ(utf8(e), r.enhexed) << r.in;
    }
}

// File and URL literals are decoded once when loaded; a quoted file is not.
TEST_F(Coding, LiteralsAreDecodedWhenLoaded) {
    struct Row {
        const char* literal;
        uint32_t type;
        const char* text;
    };
    const Row rows[] = {
        {"%a%20b", TYPE_FILE, "a b"},
        {"%\"a%20b\"", TYPE_FILE, "a%20b"},
        {"%%25", TYPE_FILE, "%"},
        {"%caf%C3%A9", TYPE_FILE, "caf\xC3\xA9"},
        {"%%E9", TYPE_FILE, "%E9"},
        {"http://h/a%20b", TYPE_URL, "http://h/a b"},
        {"http://h/%A9", TYPE_URL, "http://h/\xC2\xA9"},
    };
    for (const Row& r : rows) {
        Cell& v = value(r.literal);
        EXPECT_EQ(type_of(v), r.type) << r.literal;
        EXPECT_EQ(utf8(v), r.text) << r.literal;
    }
    EXPECT_EQ(error_of([] { value("%a%C3%41"); }), id(ErrorId::access_invalid_utf8));
    EXPECT_EQ(error_of([] { value("http://h/%C3%41"); }), id(ErrorId::access_invalid_utf8));
}

}  // namespace
}  // namespace kel::test
