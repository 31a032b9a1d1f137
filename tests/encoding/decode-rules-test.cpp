// What each decoder accepts, skips and refuses: comments, blanks, the
// apostrophe, "=" in Base64, leading "1"s in Base58, partial bytes and code
// points above 127. Every case runs in each unit that holds its text.
#include "tests/encoding/encoding-fixture.h"

namespace kel::test {
namespace {

using namespace std::string_literals;

struct DecodeCase {
    const char* name;
    Base base;
    std::u32string text;
    std::optional<Bytes> expected;  // nullopt: the text is invalid
};

const std::optional<Bytes> invalid = std::nullopt;

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << name_of(c.base) << " " << c.name; }

class DecodeRules : public Encodings, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(DecodeRules, InEveryUnit) {
    const DecodeCase& c = GetParam();
    for (uint32_t unit : all_units) {
        if (!fits(c.text, unit)) continue;
        EXPECT_EQ(debased(c.base, c.text, unit), c.expected) << "unit " << unit;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Base16, DecodeRules,
    ::testing::Values(DecodeCase{"CommentRunsToLineFeed", Base::base16, U"41;comment\n42", Bytes{0x41, 0x42}},
                      DecodeCase{"TextEndingInCommentEndsThere", Base::base16, U"41;42", Bytes{0x41}},
                      DecodeCase{"OddDigitDropped", Base::base16, U"414", Bytes{0x41}},
                      DecodeCase{"LowerCase", Base::base16, U"ff0a", Bytes{0xFF, 0x0A}},
                      DecodeCase{"NotADigit", Base::base16, U"4G", invalid},
                      DecodeCase{"BlanksAndControlsSkipped", Base::base16,
                                 U"\t4\r\n1 \x01\x1F"
                                 "42"s,
                                 Bytes{0x41, 0x42}},
                      DecodeCase{"NulSkipped", Base::base16,
                                 U"4\0"
                                 "1"s,
                                 Bytes{0x41}},
                      DecodeCase{"Apostrophe", Base::base16, U"41'42", invalid},
                      // Code points above 127 are never reduced to their low 7 bits.
                      DecodeCase{"AAcuteIsNoDigit", Base::base16, U"4\u00C1", invalid},
                      DecodeCase{"LoneAAcute", Base::base16, U"\u00C1\u00C1", invalid},
                      DecodeCase{"LWithStrokeIsNoDigit", Base::base16, U"4\u0141", invalid},
                      DecodeCase{"HighSpaceIsNoBlank", Base::base16, U"41\u00A042", invalid},
                      DecodeCase{"HighSemicolonIsNoComment", Base::base16, U"41\u00BB42", invalid},
                      DecodeCase{"HighLineFeedDoesNotEndComment", Base::base16,
                                 U"41;x\u010A"
                                 "42\n43",
                                 Bytes{0x41, 0x43}},
                      DecodeCase{"CommentMayHoldAnything", Base::base16, U"41;caf\u00E9 \U0001F600\n42",
                                 Bytes{0x41, 0x42}},
                      DecodeCase{"Empty", Base::base16, U"", Bytes{}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Base2, DecodeRules,
    ::testing::Values(DecodeCase{"BlanksBetweenBits", Base::base2, U"0100 0001", Bytes{0x41}},
                      DecodeCase{"PartialByte", Base::base2, U"0100", invalid},
                      DecodeCase{"PartialSecondByte", Base::base2, U"01000001 0", invalid},
                      DecodeCase{"CommentBetweenBits", Base::base2, U"0100;1111\n0001", Bytes{0x41}},
                      DecodeCase{"EndInCommentLeavesPartialByte", Base::base2, U"0100;0001", invalid},
                      DecodeCase{"Apostrophe", Base::base2, U"0100'0001", invalid},
                      DecodeCase{"DigitTwo", Base::base2, U"01000002", invalid},
                      DecodeCase{"PlusMinusIsNoOne", Base::base2, U"0100000\u00B1", invalid},
                      DecodeCase{"Empty", Base::base2, U"", Bytes{}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Base58, DecodeRules,
    ::testing::Values(
        DecodeCase{"LeadingOnesAreZeroBytes", Base::base58, U"1112", Bytes{0, 0, 0, 1}},
        DecodeCase{"OnlyOnes", Base::base58, U"111", Bytes{0, 0, 0}},
        DecodeCase{"HelloWorld", Base::base58, U"2NEpo7TZRRrLZSi2U", bytes_of("Hello World!")},
        DecodeCase{"SkipClassWithApostrophe", Base::base58, U"1 1'1\t2\r\n", Bytes{0, 0, 0, 1}},
        DecodeCase{"Comment", Base::base58, U"2g;\u00E9 not 0OIl\n", Bytes{0x61}},
        DecodeCase{"Zero", Base::base58, U"20", invalid}, DecodeCase{"CapitalO", Base::base58, U"2O", invalid},
        DecodeCase{"CapitalI", Base::base58, U"2I", invalid}, DecodeCase{"SmallL", Base::base58, U"2l", invalid},
        DecodeCase{"VerticalTabIsNoBlank", Base::base58, U"2\v2", invalid},
        // A code point above 127 does not end the text.
        DecodeCase{"EAcuteInside", Base::base58, U"2\u00E92", invalid},
        DecodeCase{"EAcuteAtEnd", Base::base58, U"2g\u00E9", invalid}, DecodeCase{"Empty", Base::base58, U"", Bytes{}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Base64, DecodeRules,
    ::testing::Values(
        // "=" at every position of one group: it ends the text, and stores
        // what 3 or 2 pending digits hold.
        DecodeCase{"EqualsBeforeGroup", Base::base64, U"=QUJD", invalid},
        DecodeCase{"EqualsAfterOneDigit", Base::base64, U"Q=UJD", invalid},
        DecodeCase{"EqualsAfterTwoDigits", Base::base64, U"QU=JD", Bytes{0x41}},
        DecodeCase{"EqualsAfterThreeDigits", Base::base64, U"QUJ=D", Bytes{0x41, 0x42}},
        DecodeCase{"EqualsAfterWholeGroup", Base::base64, U"QUJD=", invalid},
        DecodeCase{"Padded", Base::base64, U"QUJDRA==", bytes_of("ABCD")},
        DecodeCase{"GroupsAfterPaddingNotRead", Base::base64, U"QUI=QUJD", bytes_of("AB")},
        DecodeCase{"TextAfterPaddingNotRead", Base::base64, U"QUI=\u00E9!", bytes_of("AB")},
        DecodeCase{"ThreeDigitsWithoutPaddingDropped", Base::base64, U"QUJ", Bytes{}},
        DecodeCase{"PendingDigitsDropped", Base::base64, U"QUJDRA", bytes_of("ABC")},
        DecodeCase{"SkipClassWithApostrophe", Base::base64, U"Q\bU'J\fD\r\n R A = =", bytes_of("ABCD")},
        DecodeCase{"EqualsInCommentIsSkipped", Base::base64, U"QUJD;=\nRA==", bytes_of("ABCD")},
        DecodeCase{"CommentMayHoldAnything", Base::base64, U"QUJD;\U0001F600\nRA==", bytes_of("ABCD")},
        DecodeCase{"VerticalTabIsNoBlank", Base::base64, U"QU\vJD", invalid},
        DecodeCase{"Nul", Base::base64, U"QU\0JD"s, invalid}, DecodeCase{"UrlAlphabet", Base::base64, U"QU-_", invalid},
        // Code points above 127 are invalid, wherever they stand before "=".
        DecodeCase{"EAcuteAtEnd", Base::base64, U"QUJD\u00E9", invalid},
        DecodeCase{"AAcuteFirst", Base::base64, U"\u00C1QUJD", invalid},
        DecodeCase{"AstralInside", Base::base64, U"QUJ\U0001F600D", invalid},
        DecodeCase{"Empty", Base::base64, U"", Bytes{}}),
    [](const auto& info) { return std::string(info.param.name); });

// Valid text of each base with one code point above 127 put in at its start,
// middle or end (before Base64's padding, after which nothing is read): the
// result is invalid in every base and every unit.
TEST_F(Encodings, CodePointAbove127IsInvalidInEveryBase) {
    const Bytes bytes = bytes_of("Kel!");
    const char32_t high[] = {0x80,  0xC1,  0xE9,   0xFF,   0x100,   0x10A,   0x120,
                             0x13B, 0x141, 0x3000, 0xFFFF, 0x1F600, 0x10FFFF};
    for (Base base : all_bases) {
        std::u32string text = widened(enbased(base, bytes));
        ASSERT_EQ(debased(base, text, 1), bytes) << name_of(base);
        size_t end = text.find_last_not_of(U'=') + 1;
        for (char32_t cp : high)
            for (size_t at : {size_t(0), text.size() / 2, end}) {
                std::u32string bad = text;
                bad.insert(at, 1, cp);
                for (uint32_t unit : all_units) {
                    if (!fits(bad, unit)) continue;
                    EXPECT_EQ(debased(base, bad, unit), std::nullopt)
                        << name_of(base) << " U+" << std::hex << uint32_t(cp) << " at " << std::dec << at << " unit "
                        << unit;
                }
            }
    }
}

// The decoders read whole groups of one-byte units at once while they hold
// only digits: one character that is not a digit, put in at any position of
// a long text, must still make it invalid, and a blank or comment must still
// be passed over.
TEST_F(Encodings, OneCharacterAtEveryPositionOfALongText) {
    struct Case {
        Base base;
        std::u32string refused, passed_over;
    } cases[] = {
        {Base::base2, U"2G@'/\u0080\u00B0\u00B1\u00FF", U" \n\t\x01"},
        {Base::base16, U"Gg@`/:['\u0080\u00B0\u00C1\u00E1\u00FF", U" \n\t\x01"},
        {Base::base58, U"0OIl+/=\v\u0080\u00B1\u00FF", U" \n\t'"},
        {Base::base64, U"-_@`[{:.\v\u0080\u00C1\u00E1\u00FF", U" \n\t'"},
    };
    Bytes bytes;
    for (int i = 0; i < 40; ++i) bytes.push_back(uint8_t(i * 37 + 11));
    for (const Case& c : cases) {
        std::u32string text = widened(enbased(c.base, bytes));
        size_t end = text.find_last_not_of(U'=') + 1;
        for (size_t at = 0; at <= end; ++at) {
            for (char32_t cp : c.refused) {
                std::u32string bad = text;
                bad.insert(at, 1, cp);
                EXPECT_EQ(debased(c.base, bad, 1), std::nullopt)
                    << name_of(c.base) << " U+" << std::hex << uint32_t(cp) << std::dec << " at " << at;
            }
            std::u32string blanks = c.passed_over + U";x\n" + c.passed_over;
            std::u32string good = text;
            good.insert(at, blanks);
            EXPECT_EQ(debased(c.base, good, 1), bytes) << name_of(c.base) << " blanks at " << at;
        }
    }
}

// The span level reads the same rules from raw units, into a container.
TEST_F(Encodings, SpanLevelDecodesRawUnits) {
    for (uint32_t unit : all_units) {
        Bytes text = stored(U"41;\u00E9\n 42", unit);
        std::vector<uint8_t> out;
        EXPECT_TRUE(encoding::decode(Base::base16, text.data(), 8, unit, out));
        EXPECT_EQ(out, (Bytes{0x41, 0x42}));
        Bytes bad = stored(U"QUJD\u00E9", unit);
        EXPECT_FALSE(encoding::decode(Base::base64, bad.data(), 5, unit, out));
        EXPECT_TRUE(out.empty());
    }
}

}  // namespace
}  // namespace kel::test
