#include "runtime/text/char-width.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

using namespace kel;

namespace {

struct Table {
    const char* name;
    const uint32_t* ranges;
    int32_t words;
};

const Table tables[] = {
    {"zero width", unicode::ZERO_WIDTH_RANGES, unicode::ZERO_WIDTH_WORDS},
    {"wide", unicode::WIDE_RANGES, unicode::WIDE_WORDS},
    {"ambiguous", unicode::AMBIGUOUS_RANGES, unicode::AMBIGUOUS_WORDS},
};

using Ranges = std::vector<std::pair<uint32_t, uint32_t>>;

Ranges first_ranges(const Table& t, size_t n) {
    Ranges r;
    for (size_t i = 0; i < n; i++) r.push_back({t.ranges[2 * i], t.ranges[2 * i + 1]});
    return r;
}

Ranges last_ranges(const Table& t, size_t n) {
    Ranges r;
    size_t count = size_t(t.words / 2);
    for (size_t i = count - n; i < count; i++) r.push_back({t.ranges[2 * i], t.ranges[2 * i + 1]});
    return r;
}

// The plain reading of a range table: every pair in order.
bool in_ranges_by_scan(uint32_t cp, const Table& t) {
    for (int32_t i = 0; i + 1 < t.words; i += 2)
        if (cp >= t.ranges[i] && cp <= t.ranges[i + 1]) return true;
    return false;
}

// A change detector: the sizes and end ranges pin the generated tables, so a
// regeneration from other Unicode data shows here and is looked at on
// purpose. Update the figures when the data changes by intent.
TEST(CharWidth, TablesHaveTheirSizesAndEnds) {
    EXPECT_EQ(unicode::ZERO_WIDTH_WORDS, 2 * 339);
    EXPECT_EQ(unicode::WIDE_WORDS, 2 * 122);
    EXPECT_EQ(unicode::AMBIGUOUS_WORDS, 2 * 156);

    EXPECT_EQ(first_ranges(tables[0], 5),
              (Ranges{{0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x05BF, 0x05BF}, {0x05C1, 0x05C2}}));
    EXPECT_EQ(last_ranges(tables[0], 4),
              (Ranges{{0x1E2EC, 0x1E2EF}, {0x1E8D0, 0x1E8D6}, {0x1E944, 0x1E94A}, {0xE0100, 0xE01EF}}));
    EXPECT_EQ(first_ranges(tables[1], 5),
              (Ranges{{0x1100, 0x115F}, {0x231A, 0x231B}, {0x2329, 0x232A}, {0x23E9, 0x23EC}, {0x23F0, 0x23F0}}));
    EXPECT_EQ(last_ranges(tables[1], 4),
              (Ranges{{0x1FAE0, 0x1FAE7}, {0x1FAF0, 0x1FAF6}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}}));
    EXPECT_EQ(first_ranges(tables[2], 5),
              (Ranges{{0x00A1, 0x00A1}, {0x00A4, 0x00A4}, {0x00A7, 0x00A8}, {0x00AA, 0x00AA}, {0x00AE, 0x00AE}}));
    EXPECT_EQ(last_ranges(tables[2], 5),
              (Ranges{{0x2776, 0x277F}, {0xE000, 0xF8FF}, {0xFFFD, 0xFFFD}, {0xF0000, 0xFFFFD}, {0x100000, 0x10FFFD}}));
}

// The search stops at the last range starting at or below the code point;
// that is only right for sorted ranges that do not overlap.
TEST(CharWidth, TablesAreSortedAndDisjoint) {
    for (const Table& t : tables) {
        for (int32_t i = 0; i < t.words; i += 2) {
            EXPECT_LE(t.ranges[i], t.ranges[i + 1]) << t.name << " range " << i / 2;
            EXPECT_LE(t.ranges[i + 1], 0x10FFFFu) << t.name << " range " << i / 2;
            if (i > 0) {
                EXPECT_GT(t.ranges[i], t.ranges[i - 1]) << t.name << " range " << i / 2;
            }
        }
    }
}

// Around every range boundary the search answers what a scan of all pairs
// answers.
TEST(CharWidth, InRangesAgreesWithAScanAtEveryBoundary) {
    for (const Table& t : tables) {
        for (int32_t i = 0; i < t.words; i += 2) {
            for (uint32_t cp : {t.ranges[i] - 1, t.ranges[i], t.ranges[i] + 1, t.ranges[i + 1] - 1, t.ranges[i + 1],
                                t.ranges[i + 1] + 1}) {
                EXPECT_EQ(unicode::in_ranges(cp, t.ranges, t.words), in_ranges_by_scan(cp, t))
                    << t.name << " U+" << std::hex << cp;
            }
        }
    }
}

TEST(CharWidth, InRangesOutsideTheTableBounds) {
    EXPECT_FALSE(unicode::in_ranges(0x02FF, unicode::ZERO_WIDTH_RANGES, unicode::ZERO_WIDTH_WORDS));
    EXPECT_TRUE(unicode::in_ranges(0xE01EF, unicode::ZERO_WIDTH_RANGES, unicode::ZERO_WIDTH_WORDS));
    EXPECT_FALSE(unicode::in_ranges(0xE01F0, unicode::ZERO_WIDTH_RANGES, unicode::ZERO_WIDTH_WORDS));
    EXPECT_FALSE(unicode::in_ranges(0xFFFFFFFF, unicode::WIDE_RANGES, unicode::WIDE_WORDS));
    // An empty table holds nothing, and a lone word is no range.
    EXPECT_FALSE(unicode::in_ranges(0x0300, unicode::ZERO_WIDTH_RANGES, 0));
    EXPECT_FALSE(unicode::in_ranges(0x0300, unicode::ZERO_WIDTH_RANGES, 1));
    const uint32_t one_range[] = {0x10, 0x20};
    EXPECT_TRUE(unicode::in_ranges(0x10, one_range, 2));
    EXPECT_TRUE(unicode::in_ranges(0x20, one_range, 2));
    EXPECT_FALSE(unicode::in_ranges(0x21, one_range, 2));
}

TEST(CharWidth, ColumnsOfCodePoints) {
    struct Case {
        uint32_t cp;
        int32_t width, cjk;
    };
    const Case cases[] = {
        {0x0000, 0, 0},  // NUL
        {0x0009, 1, 1},  // controls count one column
        {0x001F, 1, 1},     {0x007F, 1, 1},   {0x0085, 1, 1},   {0x009F, 1, 1},
        {0x0041, 1, 1},     {0x00A0, 1, 1},   {0x00A1, 1, 2},  // ambiguous
        {0x00AD, 1, 1},  // soft hyphen is drawn
        {0x0301, 0, 0},  // combining acute
        {0x0488, 0, 0},  // enclosing mark
        {0x0600, 1, 1},  // Arabic number sign carries a visible sign
        {0x200B, 0, 0},  // zero width space
        {0x200D, 0, 0},  // zero width joiner
        {0x2066, 0, 0},  // direction isolate
        {0xFEFF, 0, 0},  // byte-order mark
        {0xE0001, 1, 1},  // language tag
        {0xE0100, 0, 0},  // variation selector
        {0xE01F0, 1, 1},  // past the last zero-width range
        {0x1100, 2, 2},  // Hangul choseong
        {0x3000, 2, 2},  // ideographic space (fullwidth) ...
        {0x3001, 2, 2},  // ... next to a wide one
        {0x4E2D, 2, 2},     {0xFF01, 2, 2},  // fullwidth exclamation mark
        {0xFF61, 1, 1},  // halfwidth ideographic full stop
        {0x2614, 2, 2},  // umbrella with rain drops: wide, and ambiguous in the CJK table
        {0x2776, 1, 2},     {0xE000, 1, 2},  // private use
        {0xFFFD, 1, 2},     {0x1F600, 2, 2},  // emoji
        {0x1FAF6, 2, 2},    {0x1FAF7, 1, 1},  // newer than the tables
        {0x2A6E0, 2, 2},  // unassigned in plane 2 defaults to wide
        {0x2FFFD, 2, 2},    {0x2FFFE, 1, 1},  {0x3FFFD, 2, 2},  {0x100000, 1, 2},
        {0x10FFFD, 1, 2},   {0x10FFFF, 1, 1}, {0x110000, 1, 1},  // not code points
        {0xFFFFFFFF, 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(unicode::char_width(c.cp), c.width) << "U+" << std::hex << c.cp;
        EXPECT_EQ(unicode::char_width_cjk(c.cp), c.cjk) << "U+" << std::hex << c.cp;
    }
}

}  // namespace
