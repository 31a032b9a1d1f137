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
    {TYPE_OBJECT, "make object! [a: 1 b: \"two\" c: [x y] d: make object! [e: 'f]]"},
    {TYPE_OBJECT, "make object! [a: 1 f: func [x] [x + a] g: does [self]]"},
    {TYPE_OBJECT, "make object! []"},
    {TYPE_FUNCTION, "func [a b [integer!] /c d \"doc\"] [a + b * 2]"},
    {TYPE_FUNCTION, "does [print 1]"},
    {TYPE_ERROR, "try [1 / 0]"},
    {TYPE_ERROR, "make error! \"message\""},
    {TYPE_MAP, "m: make map! [a 1 b 2 \"c\" [3]] remove/key m 'b m"},
    {TYPE_MAP, "make map! []"},
    {TYPE_HASH, "next make hash! [a 1 b 2]"},
    {TYPE_VECTOR, "make vector! [char! 8 [#\"a\" #\"b\"]]"},
    {TYPE_VECTOR, "make vector! [char! 16 [#\"^(20AC)\"]]"},
    {TYPE_VECTOR, "make vector! [char! 32 [#\"^(10FFFF)\"]]"},
    {TYPE_VECTOR, "make vector! [integer! 8 [1 -2]]"},
    {TYPE_VECTOR, "make vector! [integer! 16 [300 -300]]"},
    {TYPE_VECTOR, "next make vector! [integer! 32 [1 -2147483648 2147483647]]"},
    {TYPE_VECTOR, "make vector! [float! 32 [1.5 -0.25]]"},
    {TYPE_VECTOR, "make vector! [float! 64 [1e300 -0.0]]"},
    {TYPE_VECTOR, "make vector! [percent! 64 [50% 12.5%]]"},
    {TYPE_BITSET, "charset \"abc\""},
    {TYPE_BITSET, "complement charset \"abc\""},
    {TYPE_IMAGE, "make image! [2x1 #{FF000000FF00} #{80FF}]"},
    {TYPE_IMAGE, "next make image! [3x1 #{010203040506070809}]"},
    {TYPE_IMAGE, "make image! 0x0"},
    {TYPE_NATIVE, ":if"},
    {TYPE_NATIVE, ":transcode"},
    {TYPE_ACTION, ":make"},
    {TYPE_ACTION, ":find"},
    {TYPE_OP, ":+"},
    {TYPE_OP, "make op! :and~"},
    {TYPE_BLOCK, "reduce [:if :append :if spec-of :if]"},
};

// Types the writer refuses with access/no-codec, by a value of each.
const struct {
    uint32_t type;
    const char* code;
} REFUSED[] = {
    {TYPE_OP, "make op! :shift-left"},
    // A word of an error's context alone: an error cannot be rebuilt from a
    // word (written with the error before it, it is a reference).
    {TYPE_WORD, "in try [1 / 0] 'arg1"},
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
        // Objects: a field holding its own object; words of one object,
        // the first carrying it inline, the object itself reached later.
        {"o: make object! [a: 1 me: none] o/me: o o", "v: first kb-out same? v v/me"},
        {"o: make object! [a: 1 b: 2] reduce [in o 'a in o 'b o]",
         "v: first kb-out set v/1 10 set v/2 20 all [v/3/a = 10 v/3/b = 20]"},
        {"o: make object! [a: 1 f: func [x] [x + a] g: does [self]] o",
         "v: first kb-out v/a: 5 all [8 = v/f 3 same? v v/g]"},
        // Change handlers are found again from the decoded fields.
        {"make object! [a: 1 log: [] on-change*: func [w o n] [append log w]]", "v: first kb-out v/a: 2 v/log = [a]"},
        // Functions: the body uses the arguments; a word of a function's
        // context (written first, carrying the function) binds to the
        // decoded function's context.
        {"f: func [a b] [a + b * 2] :f", "v: first kb-out 14 = v 3 4"},
        {"f: func [a w] [either w [get w] ['a]] reduce [f 1 none :f]", "v: first kb-out 7 = v/2 7 v/1"},
        {"f: func [a] [a] reduce [:f :f]", "v: first kb-out same? body-of :v/1 body-of :v/2"},
        // An error and a word of its context.
        {"e: try [1 / 0] reduce [e in e 'arg1]", "v: first kb-out set v/2 5 v/1/arg1 = 5"},
        // Maps and hashes: indexed again, shared, holding themselves.
        {"m: make map! [a 1] m/b: m m", "v: first kb-out same? v v/b"},
        {"m: make map! [a 1] reduce [m m]", "v: first kb-out v/1/c: 3 v/2/c = 3"},
        {"next make hash! [a 1 b 2]", "v: first kb-out all [2 = select head v 'b 2 = index? v]"},
        {"h: make hash! [a 1 b 2] reduce [h next next h]",
         "v: first kb-out all [same? head v/1 head v/2 3 = index? v/2 2 = select v/1 'b]"},
        {"v: make vector! [1 2 3] reduce [v next v]", "v: first kb-out all [v/2/1 = 2 poke v/1 2 9 v/2/1 = 9]"},
        {"b: charset \"a\" reduce [b b]", "v: first kb-out append v/1 \"z\" find v/2 #\"z\""},
        {"i: make image! 2x1 reduce [i next i]", "v: first kb-out poke v/1 2 1.2.3.4 v/2/1 = 1.2.3.4"},
        // Values inside an op's spec, and inside the body of the function
        // an op wraps, referred to after the op.
        {"o: make op! :same? reduce [:o third spec-of :o]", "v: first kb-out same? v/2 third spec-of :v/1"},
        {"o: make op! func [a \"doc\" b] [append copy \"x\" a] s: spec-of :o reduce [:o s second s third body-of :o]",
         "v: first kb-out all [same? v/2 spec-of :v/1 same? v/3 second v/2 same? v/4 third body-of :v/1]"},
        {"reduce [:if spec-of :if :+ :+ :append]",
         "v: first kb-out all [same? spec-of :if v/2 same? :v/1 :if same? :v/3 :+ :v/4 = :+ same? :v/5 :append]"},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(decode(encode(row.code)), -1) << row.code;
        EXPECT_EQ(evaluate(row.check).text, "true") << row.code;
        ASSERT_EQ(decode(kelbin::encode_standard(value_of(row.code))), -1) << row.code;
        EXPECT_EQ(evaluate(row.check).text, "true") << row.code << " (standard)";
    }
}

TEST_F(Kelbin, DecodedObjectsHaveClassIdMinusOne) {
    Cell v = value_of("make object! [a: 1]");
    ASSERT_NE(int32_t(v.data2), -1);
    for (bool compact : {true, false}) {
        ASSERT_EQ(decode(compact ? kelbin::encode_compact(v) : kelbin::encode_standard(v)), -1);
        Cell got = *context::get(word::make_global("kb-out"));
        EXPECT_EQ(int32_t(block::buffer(got)->cells()[0].data2), -1);
    }
}

// A file's spec for a native or action is read and dropped: the value is
// the one start-up made, with its own spec.
TEST_F(Kelbin, CallablesReadBackAsTheRegisteredOnes) {
    ASSERT_EQ(decode(compact_file(bytes_of({0x15, 0x01, 0x05, 0x01, 0x81}))), -1);
    EXPECT_EQ(evaluate("v: first kb-out all [:v = :if same? spec-of :v spec-of :if]").text, "true");
    ASSERT_EQ(decode(compact_file(bytes_of({0xC0, 0x17, 0x16, 0x01, 0x05, 0x00}))), -1);
    EXPECT_EQ(evaluate("v: first kb-out all [op? :v same? spec-of :v spec-of :make new-line? kb-out]").text, "true");
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
