// Copying strings onto other strings across unit sizes, making strings and
// importing external text into them.
#include <unistd.h>

#include <string>

#include "runtime/core/exit-status.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/hashing/hashtable.h"
#include "runtime/hashing/symbol-table.h"
#include "tests/datatypes/string-fixture.h"

namespace kel::test {
namespace {

struct CopyCase {
    const char* name;
    uint32_t target_unit, source_unit;
    bool convert;
    int32_t part;
    uint32_t expected_target_unit, expected_source_unit;
    Points expected;
};

class CopyInto : public Strings, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CopyInto, AppendsFromTheSourceHeadWithTheRightUnits) {
    const CopyCase& c = GetParam();
    Cell target = make_text(ascii("ab"), c.target_unit);
    Rooted keep_target(target);
    Cell source = make_text(ascii("wxyz"), c.source_unit);
    Rooted keep_source(source);
    source.data1 = 1;
    string::copy_into(target, source, c.part, c.convert);
    EXPECT_EQ(unit_of(target), c.expected_target_unit);
    EXPECT_EQ(unit_of(source), c.expected_source_unit);
    EXPECT_EQ(all_points(target), c.expected);
    EXPECT_EQ(all_points(source), ascii("wxyz")) << "the source's text is unchanged";
}

INSTANTIATE_TEST_SUITE_P(
    Strings, CopyInto,
    ::testing::Values(CopyCase{"SameUnits", 1, 1, false, -1, 1, 1, ascii("abxyz")},
                      CopyCase{"NarrowTargetIsWidened", 1, 4, false, -1, 4, 4, ascii("abxyz")},
                      CopyCase{"NarrowSourceIsWidenedWithoutConvert", 2, 1, false, -1, 2, 2, ascii("abxyz")},
                      CopyCase{"NarrowSourceIsKeptWithConvert", 4, 1, true, -1, 4, 1, ascii("abxyz")},
                      CopyCase{"PartLimitsTheUnits", 2, 2, false, 2, 2, 2, ascii("abxy")},
                      CopyCase{"PartZeroCopiesNothing", 1, 1, true, 0, 1, 1, ascii("ab")},
                      CopyCase{"PartBeyondTheLengthCopiesAll", 1, 2, true, 10, 2, 2, ascii("abxyz")}),
    [](const ::testing::TestParamInfo<CopyCase>& info) { return info.param.name; });

TEST_F(Strings, CopyIntoItselfAppendsTheOldText) {
    Cell s = make_text({'a', 0x3042, 'c'}, 2);
    Rooted keep(s);
    for (int i = 0; i < 6; ++i) string::copy_into(s, s, -1, false);  // grows the buffer 64 times
    Points p = all_points(s);
    ASSERT_EQ(p.size(), 3u * 64);
    for (size_t i = 0; i < p.size(); i += 3) EXPECT_EQ(p[i + 1], 0x3042u);
}

// The symbol! cell of a spelling, the symbol table started first.
Cell symbol_cell(const char* spelling) {
    hashtable::init();
    symbol::init();
    symbol_table::init();
    return *symbol::get(symbol::make(spelling));
}

TEST_F(Strings, CopyIntoReadsASymbolBySpelling) {
    Cell symbol = symbol_cell("caf\xC3\xA9");
    Rooted keep_symbol(symbol);
    Cell target = make_text(ascii(">"), 1);
    Rooted keep(target);
    string::copy_into(target, symbol, -1, true);
    EXPECT_EQ(all_points(target), (Points{'>', 'c', 'a', 'f', 0xE9}));
}

// A symbol's spelling is shared by every word of the symbol: appending to it
// would rename them all. It is never a target.
TEST_F(Strings, CopyIntoASymbolIsAnInternalFault) {
    Cell symbol = symbol_cell("hello");
    Rooted keep_symbol(symbol);
    Cell source = make_text(ascii("XYZ"), 1);
    Rooted keep(source);
    EXPECT_EXIT(string::copy_into(symbol, source, -1, true), ::testing::ExitedWithCode(98), "");
}

TEST_F(Strings, MakeAt) {
    Cell s{TYPE_FILE | 0x1000, 7, 7, 7};
    string::ks_make_at(s, 0);
    Rooted keep(s);
    EXPECT_EQ(s.header, TYPE_STRING) << "the header is replaced whole";
    EXPECT_EQ(s.data1, 0u);
    EXPECT_EQ(unit_of(s), 1u);
    EXPECT_GE(string::buffer(s)->size, 1u);
    Cell w{TYPE_NONE | 0x1000, 7, 7, 7};
    string::make_at(w, 10, 4);
    Rooted keep_w(w);
    EXPECT_EQ(w.header, TYPE_STRING | 0x1000) << "the flags are kept";
    EXPECT_EQ(unit_of(w), 4u);
    EXPECT_GE(string::buffer(w)->size, 40u);
    EXPECT_EQ(w.data3, 0u);
}

TEST_F(Strings, ImportUtf8AndUtf16) {
    const char utf8[] =
        "\xEF\xBB\xBF"
        "caf\xC3\xA9";
    Cell* s = string::import(reinterpret_cast<const uint8_t*>(utf8), int32_t(sizeof utf8 - 1), string::ENCODING_UTF8);
    EXPECT_EQ(type_of(*s), TYPE_STRING);
    EXPECT_EQ(all_points(*s), (Points{'c', 'a', 'f', 0xE9}));
    EXPECT_EQ(unit_of(*s), 1u);
    const uint8_t utf16[] = {'h', 0, '\r', 0, 0x3D, 0xD8, 0x00, 0xDE};
    Cell* t = string::import(utf16, 4, string::ENCODING_UTF16LE);
    EXPECT_EQ(all_points(*t), (Points{'h', '\r', 0x1F600})) << "carriage returns are kept";
    stack::pop(2);
}

TEST_F(Strings, ImportInAppendsToTheBlock) {
    Cell* blk = block::push_only(1);
    const char* words[] = {"one", "two", "\xE2\x82\xAC"};
    for (const char* w : words)
        string::import_in(reinterpret_cast<const uint8_t*>(w), int32_t(std::strlen(w)), *blk, 0);
    SeriesBuffer* b = block::buffer(*blk);
    ASSERT_EQ(b->cell_count(), 3u);
    EXPECT_EQ(all_points(b->cells()[0]), ascii("one"));
    EXPECT_EQ(all_points(b->cells()[1]), ascii("two"));
    EXPECT_EQ(all_points(b->cells()[2]), (Points{0x20AC}));
    stack::pop(1);
}

TEST_F(Strings, ImportAtFillsTheGivenCell) {
    Cell cell = make_integer(5);
    Rooted keep(cell);
    EXPECT_EQ(string::import_at(reinterpret_cast<const uint8_t*>("xy"), 2, &cell, 0), &cell);
    EXPECT_EQ(all_points(cell), ascii("xy"));
    Cell* root = string::import_root(reinterpret_cast<const uint8_t*>("root"), 4, 0);
    EXPECT_EQ(all_points(*root), ascii("root"));
}

// A failure never reads as success: the message, then the runtime error
// report of an internal fault. Standard output is sent to the death test's
// standard error, which the pattern reads.
TEST_F(Strings, AnUnsupportedEncodingEndsAsAnInternalFault) {
    EXPECT_EXIT(
        {
            dup2(STDERR_FILENO, STDOUT_FILENO);
            string::import(reinterpret_cast<const uint8_t*>("x"), 1, 5);
        },
        ::testing::ExitedWithCode(exit_status::ASSERTION_FAILED),
        "^\\*\\*\\* Loading Error: input encoding unsupported\n"
        "\\*\\*\\* Runtime Error 98: assertion failed\n");
}

}  // namespace
}  // namespace kel::test
