// Values written and read back: the mold of every decoded value equals the
// original's, and sharing and cycles survive.
#include <set>

#include "runtime/datatypes/datatype.h"
#include "tests/kelbin/kelbin-fixture.h"

namespace kel::test {
namespace {

// Code making a value of every type with a record, as (type, code) rows.
const struct {
    uint32_t type;
    const char* code;
} ROUND_TRIPS[] = {
    {TYPE_DATATYPE, "integer!"},
    {TYPE_UNSET, "()"},
    {TYPE_NONE, "none"},
    {TYPE_LOGIC, "true"},
    {TYPE_LOGIC, "false"},
    {TYPE_INTEGER, "0"},
    {TYPE_INTEGER, "-2147483648"},
    {TYPE_INTEGER, "2147483647"},
    {TYPE_FLOAT, "1.5"},
    {TYPE_FLOAT, "-1e300"},
    {TYPE_FLOAT, "-0.0"},
    {TYPE_FLOAT, "2147483647.0"},
    {TYPE_TIME, "3:04:05.5"},
    {TYPE_TIME, "-100:00"},
    {TYPE_PERCENT, "12.5%"},
    {TYPE_PERCENT, "-300%"},
    {TYPE_CHAR, "#\"a\""},
    {TYPE_CHAR, "#\"^(10FFFF)\""},
    {TYPE_PAIR, "3x-4"},
    {TYPE_POINT2D, "make point2D! [1.5 -2.25]"},
    {TYPE_POINT3D, "make point3D! [1.5 -2.25 8]"},
    {TYPE_DATE, "1-Jan-2000"},
    {TYPE_DATE, "29-Feb-2024/23:59:59.25"},
    {TYPE_DATE, "1-Jan-2000/12:00:00+05:30"},
    {TYPE_DATE, "1-Jan-2000/12:00:00-00:30"},
    {TYPE_MONEY, "-USD$1'000.12345"},
    {TYPE_MONEY, "$0.01"},
    {TYPE_TYPESET, "make typeset! [integer! string! image!]"},
    {TYPE_TYPESET, "make typeset! []"},
    {TYPE_TUPLE, "1.2.3.4.5.6.7.8.9.10.11.12"},
    {TYPE_TUPLE, "255.0.128"},
    {TYPE_ISSUE, "#issue"},
    {TYPE_STRING, "\"latin1: \u00e9\""},
    {TYPE_STRING, "\"two bytes: \u20ac\""},
    {TYPE_STRING, "\"four bytes: \U0001F600\""},
    {TYPE_STRING, "next next \"abcd\""},
    {TYPE_STRING, "\"\""},
    {TYPE_FILE, "%dir/file.txt"},
    {TYPE_URL, "http://example.com/a?b"},
    {TYPE_TAG, "<a href=\"x\">"},
    {TYPE_EMAIL, "a@b.c"},
    {TYPE_REF, "@ref"},
    {TYPE_BINARY, "#{DEADBEEF00}"},
    {TYPE_BINARY, "next next #{010203}"},
    {TYPE_BLOCK, "[1 [2 [3]] \"x\"]"},
    {TYPE_BLOCK, "next next [1 2 3]"},
    {TYPE_BLOCK, "[a\n b\n [c\n]]"},
    {TYPE_BLOCK, "[a 'b :c d: /e]"},
    {TYPE_PAREN, "first [(1 + 2)]"},
    {TYPE_PATH, "first [a/b/3]"},
    {TYPE_LIT_PATH, "first ['a/b]"},
    {TYPE_SET_PATH, "first [a/b:]"},
    {TYPE_GET_PATH, "first [:a/b]"},
    {TYPE_WORD, "'word"},
    {TYPE_SET_WORD, "first [set-me:]"},
    {TYPE_LIT_WORD, "first ['lit]"},
    {TYPE_GET_WORD, "first [:get]"},
    {TYPE_REFINEMENT, "/refine"},
};

// Types the writer refuses with access/no-codec, by a value of each.
const struct {
    uint32_t type;
    const char* code;
} REFUSED[] = {
    {TYPE_NATIVE, ":if"},
    {TYPE_ACTION, ":make"},
    {TYPE_OP, ":+"},
    {TYPE_FUNCTION, "func [a] [a]"},
    {TYPE_OBJECT, "make object! [a: 1]"},
    {TYPE_ERROR, "try [1 / 0]"},
    {TYPE_MAP, "make map! [a 1]"},
    {TYPE_HASH, "make hash! [a 1]"},
    {TYPE_VECTOR, "make vector! [integer! 32 [1 2]]"},
    {TYPE_BITSET, "charset \"abc\""},
    {TYPE_IMAGE, "make image! 2x2"},
    // Refused by type alone: a bare cell stands for the value.
    {TYPE_ROUTINE, nullptr},
    {TYPE_PORT, nullptr},
    {TYPE_HANDLE, nullptr},
    {TYPE_SYMBOL, nullptr},
    {TYPE_CONTEXT, nullptr},
    {TYPE_SERIES, nullptr},
    {TYPE_TRIPLE, nullptr},
    {TYPE_EVENT, nullptr},
};

TEST_F(Kelbin, EveryRecordRoundTrips) {
    for (const auto& row : ROUND_TRIPS) {
        Cell v = value_of(row.code);
        ASSERT_EQ(type_of(v), row.type) << row.code;
        std::string want = evaluate("mold/all :kb-in").text;
        for (bool compact : {true, false}) {
            ASSERT_EQ(decode(compact ? kelbin::encode_compact(v) : kelbin::encode_standard(v)), -1) << row.code;
            EXPECT_EQ(evaluate("length? kb-out").text, "1") << row.code;
            EXPECT_EQ(evaluate("mold/all first kb-out").text, want) << row.code << (compact ? "" : " (standard)");
            EXPECT_EQ(evaluate("index? first kb-out").text, evaluate("index? :kb-in").text) << row.code;
        }
    }
}

TEST_F(Kelbin, EveryRegisteredTypeHasARowOrIsRefused) {
    std::set<uint32_t> covered;
    for (const auto& row : ROUND_TRIPS) covered.insert(row.type);
    for (const auto& row : REFUSED) {
        Cell v = row.code ? value_of(row.code) : Cell{row.type, 0, 0, 0};
        ASSERT_EQ(type_of(v), row.type) << datatype::name(row.type);
        covered.insert(row.type);
        EXPECT_EQ(error_of([&] { kelbin::encode_compact(v); }), id(ErrorId::access_no_codec))
            << datatype::name(row.type);
        EXPECT_EQ(error_of([&] { kelbin::encode_standard(v); }), id(ErrorId::access_no_codec))
            << datatype::name(row.type);
        // A refusal leaves nothing behind: the next encode works.
        Bytes after = encode("[1 \"two\" three]");
        EXPECT_EQ(decode(after), -1);
    }
    for (uint32_t t = 1; t <= datatype::highest(); ++t) {
        if (datatype::name(t)) {
            EXPECT_TRUE(covered.count(t)) << datatype::name(t) << " has no row";
        }
    }
}

TEST_F(Kelbin, SharingAndCyclesSurvive) {
    const struct {
        const char* code;
        const char* check;  // Kel code over kb-out answering true
    } rows[] = {
        {"b: [1] append/only b b b", "same? first kb-out second first kb-out"},
        {"s: [x y] reduce [s next s]", "v: first kb-out all [same? head v/1 head v/2 2 = index? v/2]"},
        {"s: \"abc\" reduce [s s at s 3]", "v: first kb-out append v/1 \"d\" all [v/2 = \"abcd\" v/3 = \"cd\"]"},
        {"s: #{0102} reduce [s s]", "v: first kb-out append v/1 3 v/2 = #{010203}"},
        {"reduce ['a 'a]", "v: first kb-out same? :v/1 :v/2"},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(decode(encode(row.code)), -1) << row.code;
        EXPECT_EQ(evaluate(row.check).text, "true") << row.code;
        ASSERT_EQ(decode(kelbin::encode_standard(value_of(row.code))), -1) << row.code;
        EXPECT_EQ(evaluate(row.check).text, "true") << row.code << " (standard)";
    }
}

TEST_F(Kelbin, PlainWordsLandInTheGlobalContext) {
    Bytes file = encode("[kelbin-fresh-word]");
    ASSERT_EQ(decode(file), -1);
    EXPECT_EQ(evaluate("kelbin-fresh-word: 7 get first first kb-out").text, "7");
}

TEST_F(Kelbin, DeepNestingIsRefusedByTheWriter) {
    on_kel_stack([] {
        int error = -1;
        encode("b: [] loop 13000 [b: reduce [b]] b", &error);
        EXPECT_EQ(error, id(ErrorId::internal_too_deep));
        Bytes deep = encode("b: [] loop 11000 [b: reduce [b]] b", &error);
        EXPECT_EQ(error, -1);
        EXPECT_EQ(decode(deep), -1);
    });
}

}  // namespace
}  // namespace kel::test
