// Map literals: #[...] in load mode becomes a map! (keys checked, repeated
// keys merged); scan mode checks the structure only.
#include "tests/maps/maps-fixture.h"

namespace kel::test {
namespace {

struct MapLiterals : Collections {
    static lexer::Result scan(std::string_view text, bool scan_mode) {
        lexer::Options o;
        o.scan = scan_mode;
        Cell* out = stack::push(make_none());
        return lexer::scan(scan_mode ? nullptr : out, reinterpret_cast<const uint8_t*>(text.data()),
                           int64_t(text.size()), o);
    }
};

TEST_F(MapLiterals, LoadAndScan) {
    const struct {
        const char* text;
        const char* molded;  // the loaded map, flat; "" for a syntax error
        const char* excerpt;  // the error's excerpt
        uint32_t scanned;  // the type scan mode answers
    } rows[] = {
        {"#[a 1 \"b\" 2]", "#[a: 1 \"b\" 2]", "", TYPE_MAP},
        {"#[a #[b 1]]", "#[a: #[b: 1]]", "", TYPE_MAP},
        {"#[]", "#[]", "", TYPE_MAP},
        {"#['a 1 :b 2 c: 3 /d 4 #e 5]", "#[a: 1 b: 2 c: 3 /d 4 #e 5]", "", TYPE_MAP},
        // The key checks belong to load mode.
        {"#[a]", "", "#[a]", TYPE_MAP},
        {"#[[1] 2]", "", "]", TYPE_MAP},
        {"#[x 1 (y) 2]", "", "]", TYPE_MAP},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        Cell loaded = make_none();
        int e = error_of([&] { loaded = *value_of(row.text); });
        Cell* map = stack::push(loaded);
        if (*row.molded) {
            ASSERT_EQ(e, -1);
            ASSERT_EQ(type_of(*map), TYPE_MAP);
            MoldOptions flat;
            flat.flat = true;
            EXPECT_EQ(mold_text(*map, flat), row.molded);
        } else {
            ASSERT_EQ(e, id(ErrorId::syntax_invalid));
            EXPECT_EQ(error_in_flight().args[1].data1, TYPE_MAP);
            EXPECT_EQ(text_of(error_in_flight().args[2]), row.excerpt);
        }
        EXPECT_EQ(uint32_t(scan(row.text, true).type), row.scanned);
    }
}

TEST_F(MapLiterals, RepeatedKeysUnderCollection) {
    // Each string key is copied as the map is made; the merge of a repeated
    // key moves the later cells down.
    std::string text = "#[";
    for (int i = 0; i < 50; ++i) text += "\"k" + std::to_string(i % 20) + "\" " + std::to_string(i) + " ";
    text += "]";
    Cell* m = value_of(text);
    ASSERT_EQ(type_of(*m), TYPE_MAP);
    EXPECT_EQ(map::key_count(*m), 20);
    for (int k = 0; k < 20; ++k) {
        std::string key = "K" + std::to_string(k);
        Cell* s = string::import(reinterpret_cast<const uint8_t*>(key.data()), int32_t(key.size()), 0);
        const Cell* v = map::lookup(*m, *s, COMP_EQUAL);
        ASSERT_NE(v, nullptr) << key;
        EXPECT_EQ(cell_integer(*v), 40 + k < 50 ? 40 + k : 20 + k);
    }
}

}  // namespace
}  // namespace kel::test
