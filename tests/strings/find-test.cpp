// string! find, select and path access.
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

struct StringFind : StringActions {
    // The 1-based position found, or 0 for none.
    int32_t find(const Cell& s, const Cell& value, const FindOptions& o = {}) {
        Cell& series = hold(s);
        Cell& v = hold(value);
        Cell& out = hold(make_unset());
        string::find(&out, &series, &v, o);
        if (type_of(out) == TYPE_NONE) return 0;
        EXPECT_EQ(type_of(out), type_of(s));
        EXPECT_EQ(cell_node(out), cell_node(s));
        return int32_t(out.data1) + 1;
    }
    Cell select(const Cell& s, const Cell& value, const FindOptions& o = {}) {
        Cell& series = hold(s);
        Cell& v = hold(value);
        Cell& out = hold(make_unset());
        string::select(&out, &series, &v, o);
        return out;
    }
    // A bitset! made by its byte layout: bit i in byte i >> 3 under 0x80 >> (i & 7).
    Cell& bitset(std::initializer_list<uint32_t> members, uint32_t bytes, bool complemented) {
        NodeId n = memory::alloc_bytes_filled(bytes, 0);
        SeriesBuffer* b = memory::buffer_of(n);
        b->tail = b->offset + bytes;
        for (uint32_t m : members) b->head_ptr()[m >> 3] |= uint8_t(0x80u >> (m & 7));
        if (complemented) b->flags |= series_flag::COMPLEMENT;
        return hold(Cell{TYPE_BITSET, 0, n, 0});
    }
};

TEST_F(StringFind, RefinementTable) {
    Cell& abcabc = text(U"abcabc");
    Cell& bc = text(U"bc");
    Cell& b = text(U"b");
    Cell& upper = text(U"ABC");
    struct Row {
        const char* what;
        Cell series;
        Cell value;
        FindOptions o;
        int32_t expected;
    };
    FindOptions plain, tail, last, last_tail, cased, match, match_tail, reverse, skip2, skip0, part2, part_pos;
    tail.tail = true;
    last.last = true;
    last_tail.last = last_tail.tail = true;
    cased.case_sensitive = true;
    match.match = true;
    match_tail.match = match_tail.tail = true;
    reverse.reverse = true;
    Cell& two = hold(integer(2));
    Cell& zero = hold(integer(0));
    skip2.skip = &two;
    skip0.skip = &zero;
    part2.part = &two;
    Cell& pos5 = hold(at(abcabc, 4));
    part_pos.part = &pos5;
    Cell& a1b2c3 = text(U"a1b2c3");
    Cell& xabc = text(U"xabc");
    Cell& abcdef = text(U"abcdef");
    const Row rows[] = {
        {"plain", abcabc, bc, plain, 2},
        {"tail", abcabc, bc, tail, 4},
        {"last", abcabc, bc, last, 5},
        {"last tail", abcabc, bc, last_tail, 7},
        {"folded", abcabc, upper, plain, 1},
        {"case", abcabc, upper, cased, 0},
        {"match", abcdef, upper, match, 1},
        {"match tail", abcdef, upper, match_tail, 4},
        {"match elsewhere", xabc, upper, match, 0},
        {"reverse at head", abcabc, b, reverse, 0},
        {"reverse from middle", at(abcabc, 3), b, reverse, 2},
        {"reverse char", at(abcabc, 4), ch('c'), reverse, 3},
        {"skip 2", a1b2c3, b, skip2, 3},
        {"skip 2 misses odd", a1b2c3, text(U"2"), skip2, 0},
        {"part count", abcabc, text(U"ca"), part2, 0},
        {"part count fits", abcabc, b, part2, 2},
        {"part position", abcabc, text(U"ab"), part_pos, 1},
        {"part position excludes", at(abcabc, 1), text(U"cab"), part_pos, 0},
        {"part position includes", at(abcabc, 1), text(U"ca"), part_pos, 3},
        {"char", abcabc, ch('C'), plain, 3},
        {"char case", abcabc, ch('C'), cased, 0},
        {"char tail", abcabc, ch('c'), tail, 4},
        {"formed integer absent", text(U"abc"), integer(1), plain, 0},
        {"formed integer", text(U"a1c"), integer(1), plain, 2},
        {"empty pattern", abcabc, text(U""), plain, 0},
        {"empty pattern last", abcabc, text(U""), last, 0},
        {"wide text, narrow pattern", text(U"x\u03A9yz"), text(U"YZ"), plain, 3},
        {"narrow text, wide pattern", abcabc, text(U"\u03A9"), plain, 0},
        {"at the tail", at(abcabc, 6), b, plain, 0},
    };
    for (const Row& r : rows) EXPECT_EQ(find(r.series, r.value, r.o), r.expected) << r.what;
    EXPECT_EQ(error_of([&] { find(a1b2c3, b, skip0); }), id(ErrorId::script_out_of_range));
    Cell& other = text(U"abc");
    FindOptions foreign;
    foreign.part = &other;
    EXPECT_EQ(error_of([&] { find(abcabc, b, foreign); }), id(ErrorId::script_invalid_refine_arg));
    FindOptions any, with;
    any.any = true;
    with.with = &b;
    EXPECT_EQ(error_of([&] { find(abcabc, b, any); }), id(ErrorId::internal_not_done));
    EXPECT_EQ(error_of([&] { find(abcabc, b, with); }), id(ErrorId::internal_not_done));
}

TEST_F(StringFind, Bitsets) {
    Cell& s = text(U"xyz\u0100!");
    Cell& yz = bitset({'y', 'z'}, 16, false);
    EXPECT_EQ(find(s, yz), 2);
    Cell& not_yz = bitset({'x', 'y', 'z'}, 16, true);  // complemented: members are what is absent
    // The bytes say x, y, z are in; the complement flag answers for code points
    // beyond the bitset's 128 bits, so U+0100 matches.
    EXPECT_EQ(find(s, not_yz), 1);
    Cell& small = bitset({}, 16, true);
    EXPECT_EQ(find(s, small), 4) << "code point 0x100 lies beyond 128 bits: the complement flag answers";
    Cell& plain_small = bitset({'!'}, 16, false);
    EXPECT_EQ(find(s, plain_small), 5);
    FindOptions last;
    last.last = true;
    EXPECT_EQ(find(s, yz, last), 3);
}

TEST_F(StringFind, SelectAnswersTheUnitAfterTheMatch) {
    Cell& s = text(U"a=b");
    EXPECT_EQ(select(s, ch('=')).data2, uint32_t('b'));
    EXPECT_EQ(type_of(select(s, ch('b'))), TYPE_NONE) << "a match at the last unit has nothing after it";
    EXPECT_EQ(select(s, text(U"A=")).data2, uint32_t('b'));
    EXPECT_EQ(type_of(select(s, text(U""))), TYPE_NONE);
    Cell& tagged = text(U"x<b>y");
    Cell& tag = text(U"b", 0, TYPE_TAG);
    EXPECT_EQ(find(tagged, tag), 2) << "a tag! is searched with its brackets";
    EXPECT_EQ(select(tagged, tag).data2, uint32_t('y')) << "select steps past the whole formed tag";
}

TEST_F(StringFind, PathGetAndSetAddressTheSameUnit) {
    Cell& s = text(U"a=b");
    Cell& out = hold(make_unset());
    PathStep step;
    Cell two = integer(2);
    string::eval_path(&out, &s, &two, nullptr, step);
    EXPECT_EQ(out.data2, uint32_t('='));
    Cell eq = ch('='), c = ch('c');
    string::eval_path(&out, &s, &eq, &c, step);
    EXPECT_EQ(whole(s), U"a=c");

    // A key of two code points: the set writes where the get reads.
    Cell& key = text(U"key");
    Cell& ke = text(U"ke");
    string::eval_path(&out, &key, &ke, nullptr, step);
    EXPECT_EQ(out.data2, uint32_t('y'));
    Cell x = ch('X');
    string::eval_path(&out, &key, &ke, &x, step);
    EXPECT_EQ(whole(key), U"keX");

    Cell word{TYPE_WORD, 0, 1, 0};
    EXPECT_EQ(error_of([&] { string::eval_path(&out, &s, &word, nullptr, step); }), id(ErrorId::script_invalid_path));
    Cell& absent = text(U"q");
    EXPECT_EQ(error_of([&] { string::eval_path(&out, &s, &absent, &x, step); }), id(ErrorId::script_bad_path_set));
    Cell& last = text(U"c");
    EXPECT_EQ(error_of([&] { string::eval_path(&out, &s, &last, &x, step); }), id(ErrorId::script_out_of_range))
        << "nothing after the match to set";
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

int64_t found_at_two(const Cell&, const Cell&, int64_t low, int64_t high, int64_t, bool, bool) {
    return low <= 2 && 2 < high ? 2 : -1;
}

TEST_F(StringFind, VectorsGoThroughTheirHook) {
    NodeId n = memory::alloc_series(4, 4, 0);
    memory::buffer_of(n)->tail += 16;
    Cell& vector = hold(Cell{TYPE_VECTOR, 0, n, TYPE_INTEGER});
    Restore<decltype(string::Services::vector_find)> put_back(string::services().vector_find);
    string::services().vector_find = nullptr;  // the vector module installs its own at start-up
    EXPECT_EQ(error_of([&] { find(vector, integer(3)); }), id(ErrorId::internal_not_done));
    string::services().vector_find = found_at_two;
    EXPECT_EQ(find(vector, integer(3)), 3);
    FindOptions tail;
    tail.tail = true;
    EXPECT_EQ(find(vector, integer(3), tail), 4);
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

TEST_F(StringFind, AWordIsSearchedByItsSpelling) {
    Cell& s = text(U"say PRINT=1");
    Cell& w = hold(word::make(symbol::make("print")));
    EXPECT_EQ(find(s, w), 5);
    FindOptions cased;
    cased.case_sensitive = true;
    EXPECT_EQ(find(s, w, cased), 0);
    EXPECT_EQ(select(s, w).data2, uint32_t('=')) << "select steps past the spelling";
}

}  // namespace
}  // namespace kel::test
