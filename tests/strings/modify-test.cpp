// string! append, insert and change: each unit width against each, code
// points, tags, formed values, /part, /dup, /only, and text taken from the
// target's own series on the in-place and the growth paths.
#include "runtime/datatypes/series.h"
#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

struct StringModify : StringActions {
    enum Op { APPEND, INSERT, CHANGE };
    Cell run(Op op, const Cell& s, const Cell& value, int32_t part = -1, int32_t dup = 1, bool only = false) {
        Cell& series = hold(s);
        Cell& v = hold(value);
        Cell& out = hold(make_unset());
        AppendOptions o{part, only, dup};
        if (op == CHANGE)
            string::change(&out, &series, &v, o);
        else
            string::append_insert(&out, &series, &v, o, op == APPEND);
        return out;
    }
    // A string with room for 64 more units, so that writes stay in place.
    Cell& roomy(std::u32string_view cps, uint32_t unit) {
        Cell& s = text(cps, unit);
        SeriesBuffer* b = memory::buffer_of(cell_node(s));
        memory::expand_series(b, b->size + 64 * unit);
        return s;
    }
};

TEST_F(StringModify, AppendTable) {
    struct Row {
        const char* what;
        std::u32string target;
        uint32_t target_unit;
        Cell value;
        int32_t part, dup;
        bool only;
        std::u32string expected;
        uint32_t unit;
    };
    Row rows[] = {
        {"strings", U"ab", 1, text(U"cd"), -1, 1, false, U"abcd", 1},
        {"dup", U"a", 1, text(U"xy"), -1, 3, false, U"axyxyxy", 1},
        {"part", U"a", 1, text(U"xyz"), 2, 1, false, U"axy", 1},
        {"two-byte source", U"ab", 1, text(U"\u03A9"), -1, 1, false, U"ab\u03A9", 2},
        {"four-byte source", U"ab", 1, text(U"\U00010000x"), -1, 1, false, U"ab\U00010000x", 4},
        {"one-byte source into four", U"\U00010000", 4, text(U"ab"), -1, 1, false, U"\U00010000ab", 4},
        {"one-byte source into two", U"\u03A9", 2, text(U"\u00E9b"), -1, 2, false, U"\u03A9\u00E9b\u00E9b", 2},
        {"char e9 widens", U"ab", 1, ch(0xE9), -1, 1, false, U"ab\u00E9", 2},
        {"char 10000", U"ab", 1, ch(0x10000), -1, 1, false, U"ab\U00010000", 4},
        {"char dup", U"a", 1, ch('z'), -1, 3, false, U"azzz", 1},
        {"tag", U"a", 1, text(U"b", 0, TYPE_TAG), -1, 1, false, U"a<b>", 1},
        {"tag part", U"a", 1, text(U"bc", 0, TYPE_TAG), 2, 1, false, U"a<b", 1},
        {"block", U"a", 1, block_of({integer(1), integer(2), text(U"b")}), -1, 1, false, U"a12b", 1},
        {"block part values", U"a", 1, block_of({integer(12), integer(34), integer(56)}), 2, 1, false, U"a1234", 1},
        {"block part only", U"a", 1, block_of({integer(12), integer(34), integer(56)}), 3, 1, true, U"a123", 1},
        {"block dup", U"a", 1, block_of({ch('x'), integer(7)}), -1, 2, false, U"ax7x7", 1},
        {"formed integer", U"a", 1, integer(-42), -1, 1, false, U"a-42", 1},
        {"empty", U"ab", 1, text(U""), -1, 1, false, U"ab", 1},
    };
    for (Row& r : rows) {
        Cell& s = text(r.target, r.target_unit);
        Cell out = run(APPEND, at(s, 1), r.value, r.part, r.dup, r.only);
        EXPECT_EQ(whole(s), r.expected) << r.what;
        EXPECT_EQ(unit_of(s), r.unit) << r.what;
        EXPECT_EQ(out.data1, r.expected == r.target ? 1u : 0u) << r.what << ": head 0 when anything was appended";
    }
}

TEST_F(StringModify, AppendedCharWidensWherePokeDoesNot) {
    Cell& appended = text(U"ab");
    run(APPEND, appended, ch(0xE9));
    EXPECT_EQ(unit_of(appended), 2u);
    Cell& poked = text(U"ab");
    Cell& out = hold(make_unset());
    Cell e9 = ch(0xE9);
    series::poke(&out, &poked, 1, &e9, nullptr);
    EXPECT_EQ(unit_of(poked), 1u);
    EXPECT_EQ(whole(poked), U"\u00E9b");
}

TEST_F(StringModify, InsertTable) {
    struct Row {
        const char* what;
        std::u32string target;
        uint32_t target_unit;
        int32_t head;
        Cell value;
        int32_t part, dup;
        std::u32string expected;
        uint32_t unit;
        int32_t head_after;
    };
    Row rows[] = {
        {"head", U"abc", 1, 0, text(U"X"), -1, 1, U"Xabc", 1, 1},
        {"tail", U"abc", 1, 3, text(U"X"), -1, 1, U"abcX", 1, 4},
        {"dup", U"ac", 1, 1, text(U"b"), -1, 2, U"abbc", 1, 3},
        {"part", U"ad", 1, 1, text(U"bcz"), 2, 1, U"abcd", 1, 3},
        {"char 10000", U"ab", 1, 1, ch(0x10000), -1, 1, U"a\U00010000b", 4, 2},
        {"char e9", U"ab", 1, 1, ch(0xE9), -1, 1, U"a\u00E9b", 2, 2},
        {"wide into narrow", U"ab", 1, 1, text(U"\u03A9\u03A9"), -1, 1, U"a\u03A9\u03A9b", 2, 3},
        {"narrow into wide", U"\U00010000b", 4, 1, text(U"xy"), -1, 2, U"\U00010000xyxyb", 4, 5},
        {"block", U"ad", 1, 1, block_of({integer(1), integer(2)}), -1, 1, U"a12d", 1, 3},
        {"block budget", U"ad", 1, 1, block_of({integer(12), integer(34)}), 3, 1, U"a123d", 1, 4},
        {"block dup", U"ad", 1, 1, block_of({integer(1), ch('x')}), -1, 3, U"a1x1x1xd", 1, 7},
        {"tag in two-byte", U"ad", 2, 1, text(U"b", 0, TYPE_TAG), -1, 1, U"a<b>d", 2, 4},
        {"formed wide", U"ad", 1, 1, block_of({ch(0x3A9)}), -1, 1, U"a\u03A9d", 2, 2},
    };
    for (bool in_place : {false, true}) {
        for (Row& r : rows) {
            Cell& s = in_place ? roomy(r.target, r.target_unit) : text(r.target, r.target_unit);
            Cell out = run(INSERT, at(s, r.head), r.value, r.part, r.dup);
            EXPECT_EQ(whole(s), r.expected) << r.what << (in_place ? " in place" : " growing");
            EXPECT_EQ(unit_of(s), r.unit) << r.what;
            EXPECT_EQ(int32_t(out.data1), r.head_after) << r.what;
        }
    }
}

TEST_F(StringModify, ChangeTable) {
    struct Row {
        const char* what;
        std::u32string target;
        int32_t head;
        Cell value;
        int32_t part, dup;
        std::u32string expected;
        int32_t head_after;
    };
    Row rows[] = {
        {"one", U"abc", 0, text(U"X"), -1, 1, U"Xbc", 1},
        {"longer", U"abc", 0, text(U"XYZW"), -1, 1, U"XYZW", 4},
        {"part", U"abcdef", 0, text(U"X"), 3, 1, U"Xdef", 1},
        {"part 0 inserts", U"abc", 0, text(U"XY"), 0, 1, U"XYabc", 2},
        {"dup", U"abc", 0, text(U"X"), -1, 2, U"XXc", 2},
        {"at tail", U"ab", 2, text(U"cd"), -1, 1, U"abcd", 4},
        {"integer", U"abc", 0, integer(12), -1, 1, U"12c", 2},
        {"block", U"abc", 0, block_of({integer(1), integer(2)}), -1, 1, U"12c", 2},
        {"block part", U"abcdef", 1, block_of({integer(1), integer(2)}), 4, 1, U"a12f", 3},
        {"block dup", U"abcdef", 1, block_of({integer(1)}), -1, 3, U"a111ef", 4},
        {"char widens", U"abc", 0, ch(0x3A9), -1, 1, U"\u03A9bc", 1},
        {"tag", U"abcdef", 1, text(U"x", 0, TYPE_TAG), -1, 1, U"a<x>ef", 4},
        {"wide text", U"abcdef", 2, text(U"\U00010000"), 2, 1, U"ab\U00010000ef", 3},
        // Nothing to repeat: the count of copies is never walked.
        {"empty text, any dup", U"abc", 0, text(U""), -1, INT32_MAX, U"abc", 0},
        {"empty formed text, any dup", U"abc", 1, block_of({}), -1, INT32_MAX, U"abc", 1},
    };
    for (bool in_place : {false, true}) {
        for (Row& r : rows) {
            Cell& s = in_place ? roomy(r.target, 1) : text(r.target, 1);
            Cell out = run(CHANGE, at(s, r.head), r.value, r.part, r.dup);
            EXPECT_EQ(whole(s), r.expected) << r.what << (in_place ? " in place" : " growing");
            EXPECT_EQ(int32_t(out.data1), r.head_after) << r.what;
        }
    }
}

// Text taken from the target's own series is read as it stood before the
// call, on both paths and at every offset.
TEST_F(StringModify, SelfSourcedInsertAndChange) {
    for (bool in_place : {false, true}) {
        const char* path = in_place ? "in place" : "growing";
        Cell& s = in_place ? roomy(U"abcd", 1) : text(U"abcd", 1);
        run(INSERT, s, at(s, 2));
        EXPECT_EQ(whole(s), U"cdabcd") << path;

        for (int32_t target = 0; target <= 4; ++target) {
            for (int32_t source = 0; source <= 4; ++source) {
                Cell& t = in_place ? roomy(U"abcd", 1) : text(U"abcd", 1);
                std::u32string expected = U"abcd";
                expected.insert(size_t(target), U"abcd" + size_t(source));
                run(INSERT, at(t, target), at(t, source));
                EXPECT_EQ(whole(t), expected) << path << " insert at " << target << " from " << source;

                Cell& c = in_place ? roomy(U"abcdef", 2) : text(U"abcdef", 2);
                std::u32string text6 = U"abcdef";
                std::u32string src = text6.substr(size_t(source));
                std::u32string changed = text6;
                changed.replace(size_t(target), std::min(src.size(), text6.size() - size_t(target)), src);
                run(CHANGE, at(c, target), at(c, source));
                EXPECT_EQ(whole(c), changed) << path << " change at " << target << " from " << source;
            }
        }

        Cell& c = in_place ? roomy(U"abcdef", 1) : text(U"abcdef", 1);
        run(CHANGE, c, at(c, 2), 5);
        EXPECT_EQ(whole(c), U"cdeff") << path << ": the source lies inside the removed range";

        Cell& d = in_place ? roomy(U"abcdef", 1) : text(U"abcdef", 1);
        run(CHANGE, at(d, 1), d, 2, 2);
        EXPECT_EQ(whole(d), U"aabcdefabcdefdef") << path << ": a /dup of the whole series";
    }
}

TEST_F(StringModify, SizesBeyondTheLimitsAreNoMemory) {
    Cell& s = text(U"ab");
    Cell& big = text(U"xyz");
    EXPECT_EQ(error_of([&] { run(APPEND, s, big, -1, 0x40000000); }), id(ErrorId::internal_no_memory));
    EXPECT_EQ(whole(s), U"ab");
}

}  // namespace
}  // namespace kel::test
