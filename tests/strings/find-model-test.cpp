// find against std::u32string searches on random texts in every unit, with
// and without folding, forward, /last and /reverse.
#include <random>

#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

std::u32string fold(std::u32string s) {
    for (char32_t& c : s) c = char32_t(unicode::upper_char(uint32_t(c)));
    return s;
}

TEST_F(StringActions, FindMatchesTheModel) {
    std::mt19937 rng(101);
    static const char32_t pool[] = {U'a', U'B', U'b', 0xE9, 0xC9, 0x3A9, 0x3C9, 0x10400, 0x10428};
    auto random_text = [&](size_t max_length) {
        std::u32string s(rng() % (max_length + 1), U'a');
        for (char32_t& c : s) c = pool[rng() % 4 == 0 ? rng() % 9 : rng() % 3];
        return s;
    };
    const int rounds = int(scaled(4000, 400));
    for (int round = 0; round < rounds; ++round) {
        std::u32string hay = random_text(24);
        std::u32string pat = random_text(3);
        if (pat.empty()) pat.push_back(U'a');
        uint32_t unit = 0;
        if (rng() % 3 == 0) unit = 4;
        Cell& s = text(hay, unit);
        size_t head = rng() % (hay.size() + 1);
        FindOptions o;
        o.case_sensitive = rng() % 2;
        int mode = int(rng() % 3);  // forward, last, reverse
        o.last = mode == 1;
        o.reverse = mode == 2;
        o.tail = rng() % 2;
        std::u32string h = o.case_sensitive ? hay : fold(hay);
        std::u32string p = o.case_sensitive ? pat : fold(pat);
        size_t found = std::u32string::npos;
        if (mode == 0)
            found = head < h.size() ? h.find(p, head) : std::u32string::npos;
        else if (mode == 1) {
            size_t r = h.rfind(p);
            found = r != std::u32string::npos && r >= head && head < h.size() ? r : std::u32string::npos;
        } else {
            found = head >= p.size() ? h.rfind(p, head - p.size()) : std::u32string::npos;
        }
        int32_t expected = found == std::u32string::npos ? 0 : int32_t(found + (o.tail ? p.size() : 0)) + 1;
        Cell& series = hold(at(s, int32_t(head)));
        Cell& v = hold(pat.size() == 1 && rng() % 2 ? ch(pat[0]) : text(pat, rng() % 2 ? 0 : 4));
        Cell& out = hold(make_unset());
        string::find(&out, &series, &v, o);
        int32_t got = type_of(out) == TYPE_NONE ? 0 : int32_t(out.data1) + 1;
        // A char found backward keeps its position under /tail.
        if (type_of(v) == TYPE_CHAR && mode != 0 && o.tail && expected) --expected;
        ASSERT_EQ(got, expected) << "round " << round << " mode " << mode << " head " << head;
    }
}

}  // namespace
}  // namespace kel::test
