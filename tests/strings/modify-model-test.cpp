// append, insert and change against a model on std::u32string: random
// targets, sources (other strings, the target's own series, code points) and
// counts in every unit width, on the in-place and the growth paths.
#include <random>

#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

std::u32string random_text(std::mt19937& rng, size_t max_length) {
    static const char32_t pool[] = {U'a', U'b', U'c', 0xE9, 0xFF, 0x3A9, 0x10000, U'z'};
    std::uniform_int_distribution<size_t> length(0, max_length);
    std::uniform_int_distribution<size_t> pick(0, 7);
    // Mostly narrow text, so that widening happens inside the operations.
    std::uniform_int_distribution<int> wide(0, 9);
    std::u32string s(length(rng), U'a');
    for (char32_t& c : s) c = wide(rng) == 0 ? pool[pick(rng)] : char32_t(U'a' + pick(rng));
    return s;
}

TEST_F(StringActions, ModifyMatchesTheModel) {
    std::mt19937 rng(20261210);
    const int rounds = int(scaled(3000, 300));
    for (int round = 0; round < rounds; ++round) {
        std::u32string model = random_text(rng, 12);
        uint32_t unit = 1;
        for (char32_t c : model) unit = std::max(unit, c > 0xFFFF ? 4u : c > 0xFF ? 2u : 1u);
        if (rng() % 3 == 0) unit = std::max(unit, rng() % 2 ? 2u : 4u);  // wider than it needs
        Cell& s = text(model, unit);
        if (rng() % 2) memory::expand_series(memory::buffer_of(cell_node(s)), 256);  // room: in place

        int32_t position = int32_t(rng() % (model.size() + 1));
        int kind = int(rng() % 3);  // 0 other string, 1 own series, 2 char
        Cell value;
        std::u32string inserted;
        if (kind == 0) {
            inserted = random_text(rng, 6);
            value = text(inserted);
        } else if (kind == 1) {
            int32_t from = int32_t(rng() % (model.size() + 1));
            value = at(s, from);
            inserted = model.substr(size_t(from));
        } else {
            inserted = random_text(rng, 1);
            if (inserted.empty()) inserted = U"q";
            value = ch(inserted[0]);
        }
        Cell& v = hold(value);
        int32_t dup = 1 + int32_t(rng() % 3);
        int32_t part = rng() % 3 == 0 ? int32_t(rng() % 5) : -1;
        Cell& target = hold(at(s, position));
        Cell& out = hold(make_unset());
        AppendOptions o{part, false, dup};
        std::u32string expected = model;
        int op = int(rng() % 3);
        if (op == 0) {
            std::u32string piece = inserted;
            if (part >= 0 && size_t(part) < inserted.size()) piece.resize(size_t(part));
            for (int k = 0; k < dup; ++k) expected += piece;
            string::append_insert(&out, &target, &v, o, true);
        } else if (op == 1) {
            std::u32string piece = inserted;
            if (part >= 1 && size_t(part) < inserted.size()) piece.resize(size_t(part));
            if (size_t(position) == model.size() && part == 0) piece.clear();  // at the tail insert appends
            std::u32string all;
            for (int k = 0; k < dup; ++k) all += piece;
            expected.insert(size_t(position), all);
            string::append_insert(&out, &target, &v, o, false);
            EXPECT_EQ(int32_t(out.data1), position + int32_t(all.size()));
        } else {
            std::u32string all;
            for (int k = 0; k < dup; ++k) all += inserted;
            size_t rest = model.size() - size_t(position);
            size_t removed = part >= 0 ? std::min(size_t(part), rest) : std::min(rest, all.size());
            expected.replace(size_t(position), removed, all);
            string::change(&out, &target, &v, o);
            EXPECT_EQ(int32_t(out.data1), position + int32_t(all.size()));
        }
        ASSERT_EQ(whole(s), expected) << "round " << round << " op " << op << " kind " << kind << " at " << position
                                      << " part " << part << " dup " << dup;
    }
}

}  // namespace
}  // namespace kel::test
