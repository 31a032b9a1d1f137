#include "runtime/text/case-folding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

using namespace kel;

namespace {

using CaseFolding = ::testing::Test;

uint32_t lower_char(uint32_t cp) { return unicode::change_char_case(cp, false); }

struct PairList {
    const char* name;
    const uint32_t* pairs;
    int32_t count;
};

std::vector<PairList> pair_lists() {
    return {{"upper BMP", unicode::UPPER_PAIRS_BMP, unicode::UPPER_PAIRS_BMP_COUNT},
            {"lower BMP", unicode::LOWER_PAIRS_BMP, unicode::LOWER_PAIRS_BMP_COUNT},
            {"upper supplementary", unicode::UPPER_PAIRS_SUPPLEMENTARY, unicode::UPPER_PAIRS_SUPPLEMENTARY_COUNT},
            {"lower supplementary", unicode::LOWER_PAIRS_SUPPLEMENTARY, unicode::LOWER_PAIRS_SUPPLEMENTARY_COUNT}};
}

TEST_F(CaseFolding, PairListsHaveTheirSizesAndKeyRanges) {
    // A change detector: the counts and end keys pin the generated lists, so
    // a regeneration from other Unicode data shows here and is looked at on
    // purpose. Update the figures when the data changes by intent.
    EXPECT_EQ(unicode::UPPER_PAIRS_BMP_COUNT, 1250);
    EXPECT_EQ(unicode::LOWER_PAIRS_BMP_COUNT, 1158);
    EXPECT_EQ(unicode::UPPER_PAIRS_SUPPLEMENTARY_COUNT, 225);
    EXPECT_EQ(unicode::LOWER_PAIRS_SUPPLEMENTARY_COUNT, 225);

    EXPECT_EQ(unicode::UPPER_PAIRS_BMP[0], 0x0061u);
    EXPECT_EQ(unicode::UPPER_PAIRS_BMP[2 * (unicode::UPPER_PAIRS_BMP_COUNT - 1)], 0xFF5Au);
    EXPECT_EQ(unicode::LOWER_PAIRS_BMP[0], 0x0041u);
    EXPECT_EQ(unicode::LOWER_PAIRS_BMP[2 * (unicode::LOWER_PAIRS_BMP_COUNT - 1)], 0xFF3Au);

    // Keys strictly ascending (the supplementary search relies on it), BMP
    // keys below U+10000 and supplementary keys above, no pair maps to itself.
    for (const PairList& list : pair_lists()) {
        bool bmp = list.pairs == unicode::UPPER_PAIRS_BMP || list.pairs == unicode::LOWER_PAIRS_BMP;
        for (int32_t i = 0; i < list.count; i++) {
            uint32_t key = list.pairs[2 * i];
            uint32_t value = list.pairs[2 * i + 1];
            EXPECT_EQ(key <= 0xFFFF, bmp) << list.name << " key " << std::hex << key;
            EXPECT_NE(key, value) << list.name << " key " << std::hex << key;
            if (i > 0) {
                EXPECT_LT(list.pairs[2 * (i - 1)], key) << list.name << " at " << i;
            }
        }
    }
}

TEST_F(CaseFolding, SupplementaryKeysAreTheSixBicameralScripts) {
    using Ranges = std::vector<std::pair<uint32_t, uint32_t>>;
    auto keys_of = [](const uint32_t* pairs, int32_t count) {
        std::vector<uint32_t> keys;
        for (int32_t i = 0; i < count; i++) keys.push_back(pairs[2 * i]);
        return keys;
    };
    auto expand = [](const Ranges& ranges) {
        std::vector<uint32_t> cps;
        for (auto [first, last] : ranges)
            for (uint32_t c = first; c <= last; c++) cps.push_back(c);
        return cps;
    };
    Ranges upper_keys = {{0x10428, 0x1044F}, {0x104D8, 0x104FB}, {0x10CC0, 0x10CF2},
                         {0x118C0, 0x118DF}, {0x16E60, 0x16E7F}, {0x1E922, 0x1E943}};
    Ranges lower_keys = {{0x10400, 0x10427}, {0x104B0, 0x104D3}, {0x10C80, 0x10CB2},
                         {0x118A0, 0x118BF}, {0x16E40, 0x16E5F}, {0x1E900, 0x1E921}};
    EXPECT_EQ(keys_of(unicode::UPPER_PAIRS_SUPPLEMENTARY, unicode::UPPER_PAIRS_SUPPLEMENTARY_COUNT),
              expand(upper_keys));
    EXPECT_EQ(keys_of(unicode::LOWER_PAIRS_SUPPLEMENTARY, unicode::LOWER_PAIRS_SUPPLEMENTARY_COUNT),
              expand(lower_keys));
}

TEST_F(CaseFolding, NamedMappings) {
    struct Case {
        uint32_t cp, upper, lower;
    };
    const Case cases[] = {
        {'a', 'A', 'a'},
        {'A', 'A', 'a'},
        {'1', '1', '1'},
        {0x00B5, 0x039C, 0x00B5},  // micro sign
        {0x00FF, 0x0178, 0x00FF},  // y diaeresis leaves Latin-1 when upper-cased
        {0x0178, 0x0178, 0x00FF},
        {0x00DF, 0x0053, 0x00DF},  // sharp s: one character, S
        {0x0131, 0x0049, 0x0131},  // dotless i
        {0x0130, 0x0130, 0x0069},  // capital I with dot
        {0x017F, 0x0053, 0x017F},  // long s
        {0x01C5, 0x01C4, 0x01C6},  // titlecase Dz with caron goes both ways
        {0x212A, 0x212A, 0x006B},  // Kelvin sign
        {0x2126, 0x2126, 0x03C9},  // Ohm sign
        {0x212B, 0x212B, 0x00E5},  // Angstrom sign
        {0x13A0, 0x13A0, 0xAB70},  // Cherokee: the capital lower-cases to the small letter
        {0xAB70, 0x13A0, 0xAB70},
        {0x10D0, 0x1C90, 0x10D0},  // Georgian Mkhedruli and Mtavruli
        {0x1C90, 0x1C90, 0x10D0},
        {0xFB00, 0x0046, 0xFB00},  // ff ligature keeps one character
        {0x1E922, 0x1E900, 0x1E922},  // Adlam small letter
        {0x1E900, 0x1E900, 0x1E922},
        {0x1E944, 0x1E944, 0x1E944},  // Adlam mark, past the last key
        {0x10400, 0x10400, 0x10428},  // Deseret, first lower-casing key
        {0x10450, 0x10450, 0x10450},  // Shavian, inside the key span but no key
        {0x10000, 0x10000, 0x10000},  // below the first supplementary key
        {0xA7C2, 0xA7C2, 0xA7C2},  // letters newer than the tables stay as they are
        {0x10570, 0x10570, 0x10570},
        {0xFFFF, 0xFFFF, 0xFFFF},
        {0x10FFFF, 0x10FFFF, 0x10FFFF},
        {0x110000, 0x110000, 0x110000},  // not code points: left alone
        {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(unicode::upper_char(c.cp), c.upper) << std::hex << c.cp;
        EXPECT_EQ(unicode::change_char_case(c.cp, true), c.upper) << std::hex << c.cp;
        EXPECT_EQ(lower_char(c.cp), c.lower) << std::hex << c.cp;
    }
}

TEST_F(CaseFolding, UpperCasingKeepsTheLength) {
    const uint32_t strasse[] = {'s', 't', 'r', 'a', 0x00DF, 'e'};
    const uint32_t expected[] = {'S', 'T', 'R', 'A', 'S', 'E'};
    for (size_t i = 0; i < 6; i++) EXPECT_EQ(unicode::upper_char(strasse[i]), expected[i]) << i;
}

TEST_F(CaseFolding, ToggleTakesUpperFirstThenLower) {
    EXPECT_EQ(unicode::toggle_char_case('a'), uint32_t('A'));
    EXPECT_EQ(unicode::toggle_char_case('A'), uint32_t('a'));
    EXPECT_EQ(unicode::toggle_char_case('?'), uint32_t('?'));
    EXPECT_EQ(unicode::toggle_char_case(0x00DF), 0x0053u);
    EXPECT_EQ(unicode::toggle_char_case(0x01C5), 0x01C4u);
    EXPECT_EQ(unicode::toggle_char_case(0x0130), 0x0069u);
    EXPECT_EQ(unicode::toggle_char_case(0x1E900), 0x1E922u);
    EXPECT_EQ(unicode::toggle_char_case(0x1E922), 0x1E900u);
}

// Every pair of the lists is what the mapping gives, and everything else maps
// to itself: catches a table filled from the wrong list, a lost or stray
// entry, and a supplementary search that misses an end of its list.
TEST_F(CaseFolding, MappingIsExactlyThePairLists) {
    std::vector<uint32_t> upper(0x110000), lower(0x110000);
    for (uint32_t c = 0; c < 0x110000; c++) upper[c] = lower[c] = c;
    for (const PairList& list : pair_lists()) {
        std::vector<uint32_t>& target =
            (list.pairs == unicode::UPPER_PAIRS_BMP || list.pairs == unicode::UPPER_PAIRS_SUPPLEMENTARY) ? upper
                                                                                                         : lower;
        for (int32_t i = 0; i < list.count; i++) target[list.pairs[2 * i]] = list.pairs[2 * i + 1];
    }
    int failures = 0;
    for (uint32_t c = 0; c < 0x110000 && failures < 10; c++) {
        if (unicode::upper_char(c) != upper[c] || unicode::change_char_case(c, true) != upper[c] ||
            unicode::change_char_case(c, false) != lower[c]) {
            ADD_FAILURE() << "U+" << std::hex << c;
            failures++;
        }
    }
}

}  // namespace
