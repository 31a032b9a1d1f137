// Form and mold of file!, url!, tag!, email!, ref! and handle!; a molded
// file! loads back as the same file!.
#include "runtime/datatypes/handle.h"
#include "tests/files/kel-code.h"

namespace kel::test {
namespace {

using Molds = KelFiles;

// The code points of a string-family value from its head.
std::vector<uint32_t> code_points(const Cell& s) {
    SeriesBuffer* b = memory::buffer_of(cell_node(s));
    std::vector<uint32_t> out;
    for (uint64_t i = cell_head(s); i < b->used() / b->unit(); ++i)
        out.push_back(unicode::get_unit(b->head_ptr(), b->unit(), i));
    return out;
}

TEST_F(Molds, AMoldedFileLoadsBackAsTheSameFile) {
    struct Row {
        std::vector<uint32_t> name;
        const char* mold;
    };
    const Row rows[] = {
        {{'a', '.', 't', 'x', 't'}, "%a.txt"},
        {{'a', ' ', 'b'}, "%\"a b\""},
        {{'a', ':', 'b'}, "%\"a:b\""},
        {{'a', '@', 'b'}, "%\"a@b\""},
        {{'a', '(', 'b'}, "%\"a(b\""},
        {{'(', 'x', ')'}, "%\"(x)\""},
        {{')', '"'}, "%%29%22"},
        {{'c', 'a', 'f', 0xDCE9}, "%\"caf^(DCE9)\""},
        {{'a', '"', 'b', ' ', 'c'}, "%a%22b%20c"},
        {{'"'}, "%%22"},
        {{'a', '^', 'b', ' ', 'c'}, "%\"a^^b c\""},
        {{'a', '%', '4', '1'}, "%\"a%41\""},
        {{'a', '\n', 'b'}, "%\"a^/b\""},
        {{'a', 0, 'b'}, "%\"a^@b\""},
        {{'{', '"', '}'}, "%%7B%22%7D"},
        {{'a', '"', '%', '\n'}, "%a%22%25%0A"},
        {{0xE9}, "%\xC3\xA9"},
        {{'d', 'i', 'r', '/', 'f', '\\', 'g'}, "%\"dir/f\\g\""},
        {{}, "%\"\""},
    };
    for (const Row& r : rows) {
        Cell& f = typed(TYPE_FILE, r.name);
        std::string text = molded(f);
        EXPECT_EQ(text, r.mold);
        Cell& back = value(text);
        EXPECT_EQ(type_of(back), TYPE_FILE) << text;
        if (type_of(back) == TYPE_FILE) {
            EXPECT_EQ(code_points(back), r.name) << text;
        }
    }
}

// A name with a byte that is no UTF-8 lists as U+DC80-U+DCFF: it reaches the
// file through the layer, and its mold escapes it inside quotes, so it loads
// back as the same name.
TEST_F(Molds, AnEscapedByteMoldsAsItsCodePoint) {
    Cell& f = file("caf\xE9");
    EXPECT_EQ(code_points(f).back(), 0xDCE9u);
    EXPECT_EQ(molded(f), "%\"caf^(DCE9)\"");
}

TEST_F(Molds, FileMoldCountsTheCharactersTakenUnderPart) {
    Cell& f = typed(TYPE_FILE, "a b c");
    Cell& text = slot();
    string::ks_make_at(text, 8);
    MoldOptions o;
    o.part = true;
    o.limit = 3;
    EXPECT_EQ(actions::mold(f, text, o), 3 - 1 - 3);
    EXPECT_EQ(utf8(text), "%\"a b\"");
}

TEST_F(Molds, UrlMoldEncodesAndFormDoesNot) {
    Cell& u = typed(TYPE_URL, "http://h/caf\xC3\xA9 x");
    EXPECT_EQ(molded(u), "http://h/caf%C3%A9%20x");
    EXPECT_EQ(formed(u), "http://h/caf\xC3\xA9 x");
    Cell& loaded = value("http://h/caf%C3%A9");
    EXPECT_EQ(type_of(loaded), TYPE_URL);
    EXPECT_EQ(utf8(loaded), "http://h/caf\xC3\xA9");
    // Under /part the mold may stop inside an escape.
    Cell& text = slot();
    string::ks_make_at(text, 8);
    MoldOptions o;
    o.part = true;
    o.limit = 14;
    EXPECT_EQ(actions::mold(u, text, o), 0);
    EXPECT_EQ(utf8(text), "http://h/caf%C");
}

TEST_F(Molds, TagEmailAndRefText) {
    struct Row {
        const char* literal;
        uint32_t type;
        const char* form;
        const char* mold;
    };
    const Row rows[] = {
        {"<a href=x>", TYPE_TAG, "<a href=x>", "<a href=x>"},
        {"user@host.org", TYPE_EMAIL, "user@host.org", "user@host.org"},
        {"@name", TYPE_REF, "name", "@name"},
    };
    for (const Row& r : rows) {
        Cell& v = value(r.literal);
        EXPECT_EQ(type_of(v), r.type) << r.literal;
        EXPECT_EQ(formed(v), r.form);
        EXPECT_EQ(molded(v), r.mold);
        // What mold writes loads back.
        Cell& back = value(molded(v));
        EXPECT_EQ(type_of(back), r.type);
        EXPECT_EQ(utf8(back), utf8(v));
    }
}

TEST_F(Molds, HandleFormAndMold) {
    MoldOptions all;
    all.all = true;
    struct Row {
        int32_t value;
        uint32_t klass;
        const char* form;
        const char* mold_all;
    };
    const Row rows[] = {
        {255, handle::CLASS_WINDOW, "000000FFh", "#[handle! 000000FFh window]"},
        {-2, handle::CLASS_FD, "FFFFFFFEh", "#[handle! FFFFFFFEh fd]"},
        {0, handle::CLASS_NULL, "00000000h", "#[handle! 00000000h]"},
        {16, 99, "00000010h", "#[handle! 00000010h]"},
    };
    for (const Row& r : rows) {
        Cell& h = slot();
        handle::make_at(h, r.value, r.klass);
        EXPECT_EQ(formed(h), r.form);
        EXPECT_EQ(molded(h), "handle!");
        EXPECT_EQ(molded(h, all), r.mold_all);
    }
    // Handles compare by value only.
    EXPECT_TRUE(
        actions::compare(handle::make_cell(7, handle::CLASS_FD), handle::make_cell(7, handle::CLASS_FONT), COMP_EQUAL));
    EXPECT_FALSE(
        actions::compare(handle::make_cell(7, handle::CLASS_FD), handle::make_cell(8, handle::CLASS_FD), COMP_EQUAL));
}

}  // namespace
}  // namespace kel::test
