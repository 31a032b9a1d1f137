// union, intersect, unique, difference, exclude and complement? over
// blocks, strings, bitsets, typesets and dates.
#include "runtime/datatypes/date.h"
#include "tests/natives-math/natives-fixture.h"

namespace kel::test {
namespace {

using Sets = Natives;

TEST_F(Sets, EachOperationOnEveryKindOfSet) {
    expect_rows({
        {"union [a b] [b c]", "[a b c]"},
        {"intersect [a b c] [b c d]", "[b c]"},
        {"unique [a b a c b]", "[a b c]"},
        {"difference [a b] [b c]", "[a c]"},
        {"exclude [a b c] [b]", "[a c]"},
        {"union [a A] [a]", "[a]"},
        {"union/case [a A] [a]", "[a A]"},
        {"union/skip [a 1 b 2] [a 3 c 4] 2", "[a 1 b 2 c 4]"},
        {"union {ab} {bc}", "\"abc\""},
        {"unique {aAb}", "\"ab\""},
        {"unique/case {aAb}", "\"aAb\""},
        {"exclude {abc} {B}", "\"ac\""},
        {"exclude/case {abc} {B}", "\"abc\""},
        {"union make typeset! [integer!] make typeset! [float!]", "make typeset! [integer! float!]"},
        {"intersect make typeset! [integer! float!] make typeset! [float!]", "make typeset! [float!]"},
        {"find union make bitset! {a} make bitset! {b} #\"b\"", "true"},
        {"find exclude make bitset! {ab} make bitset! {b} #\"b\"", "none"},
        {"complement? make bitset! {a}", "false"},
        {"complement? complement make bitset! {a}", "true"},
    });
}

// hash! sets give hash! results whose tables find every value they hold.
TEST_F(Sets, HashSetsGiveHashes) {
    expect_rows({
        {"union make hash! [a b] make hash! [b c]", "make hash! [a b c]"},
        {"intersect make hash! [a b c] make hash! [c b d]", "make hash! [b c]"},
        {"unique make hash! [a b a c b]", "make hash! [a b c]"},
        {"difference make hash! [a b] make hash! [b c]", "make hash! [a c]"},
        {"exclude make hash! [a b c] make hash! [b]", "make hash! [a c]"},
        {"union make hash! [a] [b]", "make hash! [a b]"},
        {"union [a] make hash! [b]", "make hash! [a b]"},
        {"unique [a a]", "[a]"},
        {"union/skip make hash! [a 1 b 2] make hash! [a 3 c 4] 2", "make hash! [a 1 b 2 c 4]"},
        {"exclude/case make hash! [a A b] make hash! [a]", "make hash! [A b]"},
        {"find union make hash! [a b] make hash! [b c] 'c", "make hash! [c]"},
        {"find difference make hash! [a b] make hash! [b c] 'b", "none"},
        {"find unique make hash! [x y x z] 'z", "make hash! [z]"},
        {"find/skip union/skip make hash! [a 1 b 2] make hash! [c 3] 2 'c 2", "make hash! [c 3]"},
    });
}

TEST_F(Sets, SetsThatDoNotGoTogether) {
    expect_rows({
        {"union {ab} [a]", "error script/expect-val"},
        {"union [a] {ab}", "error script/expect-val"},
        {"intersect make bitset! {a} [a]", "error script/expect-val"},
        {"exclude make typeset! [integer!] make bitset! {a}", "error script/expect-val"},
        {"unique [a] 1", "1"},
        {"union 1 2", "error script/expect-arg"},
        {"union/skip [a 1] [b 2] 0", "error script/invalid-refine-arg"},
    });
}

// Two dates: difference is the time between them; every other operation
// refuses a date.
TEST_F(Sets, DifferenceOfTwoDates) {
    auto packed = [](int32_t y, int32_t m, int32_t d) {
        return (uint32_t(y) << 17) | (uint32_t(m) << 12) | (uint32_t(d) << 7);
    };
    set_global("jan-1", date::make_cell(packed(2000, 1, 1), 0.0));
    set_global("jan-2", date::make_cell(packed(2000, 1, 2), 0.0));
    set_global("mar-1", date::make_cell(packed(2000, 3, 1) | date::TIME_FLAG, 3600.0));
    expect_rows({
        {"difference jan-1 jan-2", "-24:00:00"},
        {"difference jan-2 jan-1", "24:00:00"},
        {"difference mar-1 jan-1", "1441:00:00"},
        {"union jan-1 jan-2", "error script/expect-arg"},
        {"difference jan-1 [a]", "error script/expect-val"},
    });
}

}  // namespace
}  // namespace kel::test
