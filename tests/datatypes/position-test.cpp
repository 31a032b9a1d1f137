// series! positions: at and skip clamping, head/tail/back/next, the
// position predicates, and length? of a series whose head lies past its tail.
#include "tests/datatypes/series-fixture.h"

namespace kel::test {
namespace {

struct PositionCase {
    bool at;  // at, else skip
    int32_t head;
    int32_t n;
    int32_t expected;
};

TEST_F(SeriesTest, AtAndSkipClampToTheSeries) {
    // A series of five units, in every unit size.
    const PositionCase cases[] = {
        {true, 2, 1, 2},         {true, 2, 0, 2},          {true, 2, -1, 1},   {true, 2, 3, 4},     {true, 0, 100, 5},
        {true, 3, -100, 0},      {true, 0, -1, 0},         {true, 5, 1, 5},    {true, 4, 2, 5},     {false, 2, 1, 3},
        {false, 2, 0, 2},        {false, 2, -1, 1},        {false, 0, 100, 5}, {false, 4, -100, 0}, {false, 0, 5, 5},
        {true, 0, INT32_MIN, 0}, {false, 1, INT32_MAX, 5},
    };
    Cell* series[] = {ints({1, 2, 3, 4, 5}), text({'a', 'b', 'c', 'd', 'e'}), text({'a', 'b', 0x3042, 'd', 'e'}, 2),
                      text({'a', 'b', 'c', 'd', 0x1F600}, 4), bytes({1, 2, 3, 4, 5})};
    for (Cell* s : series) {
        for (const PositionCase& c : cases) {
            Cell v = *s;
            v.data1 = uint32_t(c.head);
            Frame f{v, integer(c.n)};
            if (c.at)
                series::at();
            else
                series::skip();
            EXPECT_EQ(int32_t(f[0].data1), c.expected)
                << (c.at ? "at" : "skip") << " head " << c.head << " by " << c.n << " on type " << type_of(v);
        }
    }
}

TEST_F(SeriesTest, AtWithANonIntegerIsInvalidArg) {
    Cell* s = ints({1, 2});
    Frame f{*s, char_of('x')};
    EXPECT_EQ(error_of([] { series::at(); }), id(ErrorId::script_invalid_arg));
    EXPECT_EQ(type_of(error_in_flight().args[0]), TYPE_CHAR);
}

TEST_F(SeriesTest, HeadTailBackNext) {
    Cell* s = ints({1, 2, 3});
    struct Case {
        void (*action)();
        int32_t head, expected;
    };
    const Case cases[] = {
        {series::head, 2, 0}, {series::tail, 0, 3}, {series::back, 2, 1}, {series::back, 0, 0},
        {series::back, 7, 6}, {series::next, 1, 2}, {series::next, 3, 3}, {series::next, 7, 7},
    };
    for (const Case& c : cases) {
        Cell v = *s;
        v.data1 = uint32_t(c.head);
        Frame f{v};
        c.action();
        EXPECT_EQ(int32_t(f[0].data1), c.expected) << "from head " << c.head;
    }
}

TEST_F(SeriesTest, HeadTailIndexPredicates) {
    Cell* s = text({'a', 'b'});
    struct Case {
        int32_t head;
        bool head_q, tail_q;
        int32_t index;
    };
    for (Case c :
         {Case{0, true, false, 1}, Case{1, false, false, 2}, Case{2, false, true, 3}, Case{5, false, true, 6}}) {
        Cell v = *s;
        v.data1 = uint32_t(c.head);
        {
            Frame f{v};
            series::head_q();
            EXPECT_EQ(f[0].header, TYPE_LOGIC);
            EXPECT_EQ(logic::get(f[0]), uint32_t(c.head_q)) << c.head;
        }
        {
            Frame f{v};
            series::tail_q();
            EXPECT_EQ(logic::get(f[0]), uint32_t(c.tail_q)) << c.head;
        }
        {
            Frame f{v};
            series::index();
            EXPECT_EQ(type_of(f[0]), TYPE_INTEGER);
            EXPECT_EQ(cell_integer(f[0]), c.index);
        }
    }
}

TEST_F(SeriesTest, LengthClampsAHeadPastTheShrunkTail) {
    Cell* s = ints({1, 2, 3, 4});
    Cell v = *s;
    v.data1 = 3;
    block::truncate_at(v, 1);  // the buffer shrinks below the value's head
    EXPECT_EQ(series::length(&v), 0);
    EXPECT_EQ(v.data1, 1u) << "the head moved back to the tail";
    v.data1 = uint32_t(-2);
    EXPECT_EQ(series::length(&v), 1) << "a negative head counts as 0";
    EXPECT_EQ(series::length_in_units(v, true), 1);
    EXPECT_EQ(series::ks_abs_length(v), 1);
}

TEST_F(SeriesTest, KsSkipMovesOnlyWithinTheTail) {
    Cell v = *text({'a', 'b', 'c'}, 2);
    EXPECT_FALSE(series::ks_skip(v, 2));
    EXPECT_EQ(v.data1, 2u);
    EXPECT_TRUE(series::ks_skip(v, 1));
    EXPECT_EQ(v.data1, 3u);
    EXPECT_TRUE(series::ks_skip(v, 1));
    EXPECT_EQ(v.data1, 3u) << "no move past the tail";
    EXPECT_FALSE(series::ks_skip(v, -5));
    EXPECT_EQ(int32_t(v.data1), -2) << "no lower bound is checked";
}

}  // namespace
}  // namespace kel::test
