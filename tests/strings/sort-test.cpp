// string! sort: the comparators of each unit, records, /compare offsets,
// /part backwards, and Kel comparators through the callback seam.
#include "runtime/datatypes/logic.h"
#include "runtime/evaluator/callbacks.h"
#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

struct StringSort : StringActions {
    void TearDown() override {
        if (replaced_) callbacks::install(previous_);
        StringActions::TearDown();
    }
    Cell sort(const Cell& s, const SortOptions& o = {}) {
        Cell& series = hold(s);
        Cell& out = hold(make_unset());
        string::sort(&out, &series, o);
        return out;
    }
    void install(callbacks::Runner r) {
        callbacks::Runner was = callbacks::install(r);
        if (!replaced_) previous_ = was;
        replaced_ = true;
    }
    callbacks::Runner previous_ = nullptr;
    bool replaced_ = false;
};

TEST_F(StringSort, BuiltInComparators) {
    Cell& two = hold(integer(2));
    Cell& three = hold(integer(3));
    SortOptions plain, cased, reverse, skip2, skip2_all, skip2_stable, compare2, compare3;
    cased.case_sensitive = true;
    reverse.reverse = true;
    skip2.skip = skip2_all.skip = skip2_stable.skip = compare2.skip = compare3.skip = &two;
    skip2_all.all = true;
    skip2_stable.stable = true;
    compare2.compare = &two;
    compare3.compare = &three;
    SortOptions stable_case = cased;
    stable_case.stable = true;
    struct Row {
        std::u32string in;
        uint32_t unit;
        SortOptions o;
        std::u32string out;
    };
    const Row rows[] = {
        {U"dCba", 1, plain, U"abCd"},
        {U"dCba", 1, cased, U"Cabd"},
        {U"dCba", 2, stable_case, U"Cabd"},
        {U"abc", 1, reverse, U"cba"},
        // A one-byte string folds only ASCII letters, to lower case: "_" comes
        // first; a wider string folds to upper case: "_" comes after the letters.
        {U"a_B", 1, plain, U"_aB"},
        {U"a_B", 2, plain, U"aB_"},
        {U"a_B", 4, plain, U"aB_"},
        {U"\u00E9E\u00C9e", 1, plain, U"Ee\u00C9\u00E9"},
        {U"\u00E9E\u00C9e", 2, plain, U"Ee\u00E9\u00C9"},
        {U"b2a1", 1, skip2, U"a1b2"},
        {U"a2b1", 1, compare2, U"b1a2"},
        {U"b2a1a0", 1, skip2_all, U"a0a1b2"},
        {U"b1a2a1b0", 1, skip2_stable, U"a2a1b1b0"},
    };
    for (const Row& r : rows) {
        Cell& s = text(r.in, r.unit);
        sort(s, r.o);
        EXPECT_EQ(whole(s), r.out) << "row " << (&r - rows);
    }

    Cell& abc = text(U"abc");
    EXPECT_EQ(error_of([&] { sort(abc, skip2); }), id(ErrorId::script_invalid_refine_arg));
    Cell& a2b1 = text(U"a2b1");
    EXPECT_EQ(error_of([&] { sort(a2b1, compare3); }), id(ErrorId::script_out_of_range));
    SortOptions all_alone;
    all_alone.all = true;
    EXPECT_EQ(error_of([&] { sort(a2b1, all_alone); }), id(ErrorId::script_bad_refines));
    SortOptions offset_all = compare2;
    offset_all.all = true;
    EXPECT_EQ(error_of([&] { sort(a2b1, offset_all); }), id(ErrorId::script_bad_refines));
    Cell& zero = hold(integer(0));
    SortOptions skip0;
    skip0.skip = &zero;
    EXPECT_EQ(error_of([&] { sort(a2b1, skip0); }), id(ErrorId::script_invalid_refine_arg));
}

TEST_F(StringSort, NegativePartSortsBeforeTheHead) {
    Cell& s = text(U"dcba");
    Cell& minus2 = hold(integer(-2));
    SortOptions o;
    o.part = &minus2;
    Cell out = sort(at(s, 2), o);
    EXPECT_EQ(whole(s), U"cdba");
    EXPECT_EQ(out.data1, 0u);
    Cell& t = text(U"dcba");
    Cell& minus9 = hold(integer(-9));
    o.part = &minus9;
    out = sort(at(t, 1), o);
    EXPECT_EQ(whole(t), U"dcba") << "a head that would fall below 0: nothing to sort";
    EXPECT_EQ(out.data1, 0u);
    Cell& u = text(U"dcba");
    Cell& end = hold(at(u, 3));
    o.part = &end;
    sort(u, o);
    EXPECT_EQ(whole(u), U"bcda") << "a /part position";
}

// The Kel comparator seam, driven by C++ runners. Each runner answers
// whether its first argument is lower than its second, which sorts ascending.
int calls = 0;
Cell lower(const std::span<const Cell>& args) {
    uint32_t a, b;
    if (type_of(args[0]) == TYPE_CHAR) {
        a = args[0].data2;
        b = args[1].data2;
    } else {
        a = read(args[0]).front();
        b = read(args[1]).front();
    }
    return logic::make_cell(a < b);
}

Cell allocating(const Cell&, std::span<const Cell> args, callbacks::Callback) {
    ++calls;
    // Allocates at every call: under KEL_GC_STRESS every allocation collects.
    Cell junk = make_unset();
    string::ks_make_at(junk, 64);
    return lower(args);
}

NodeId widened = 0;
Cell widening(const Cell&, std::span<const Cell> args, callbacks::Callback) {
    if (calls++ == 0) {
        SeriesBuffer* b = memory::buffer_of(widened);
        string::append_char(b, 0x3A9);
    }
    return lower(args);
}

Cell throwing(const Cell&, std::span<const Cell> args, callbacks::Callback) {
    if (++calls == 5) fire(ErrorId::script_invalid_arg, {args[0]});
    return lower(args);
}

TEST_F(StringSort, KelComparators) {
    Cell& fn = hold(Cell{TYPE_FUNCTION, 0, 0, 0});
    SortOptions o;
    o.compare = &fn;
    Cell& s = text(U"dcba");
    install(nullptr);  // the evaluator installs one at start-up
    EXPECT_EQ(error_of([&] { sort(s, o); }), id(ErrorId::internal_not_done)) << "no runner installed";

    install(allocating);
    for (bool stable : {false, true}) {
        calls = 0;
        std::u32string in = U"the quick brown fox jumps over the lazy dog";
        Cell& t = text(in, 2);
        o.stable = stable;
        sort(t, o);
        std::u32string expected = in;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(whole(t), expected);
        EXPECT_GT(calls, 0);
    }
    o.stable = false;

    Cell& rev = text(U"abc");
    SortOptions ro = o;
    ro.reverse = true;
    sort(rev, ro);
    EXPECT_EQ(whole(rev), U"cba");

    Cell& two = hold(integer(2));
    SortOptions records = o;
    records.skip = &two;
    records.all = true;
    Cell& recs = text(U"b1a2c0");
    sort(recs, records);
    EXPECT_EQ(whole(recs), U"a2b1c0") << "whole records reach the comparator as strings";

    install(widening);
    calls = 0;
    Cell& w = text(U"dcba");
    widened = cell_node(w);
    sort(w, o);
    EXPECT_EQ(unit_of(w), 2u);
    EXPECT_EQ(whole(w), U"abcd\u03A9") << "written back within the tail, in the widened unit";

    install(throwing);
    calls = 0;
    Cell& th = text(U"hgfedcba");
    EXPECT_EQ(error_of([&] { sort(th, o); }), id(ErrorId::script_invalid_arg));
    std::u32string left = whole(th);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, U"abcdefgh") << "the text is a permutation of itself";
}

}  // namespace
}  // namespace kel::test
