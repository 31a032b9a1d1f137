// bitset!: text that reads back, ranges, membership beyond the stored bytes,
// lengths, set operations on plain and complemented sets against a
// reference, and indices that are refused.
#include "tests/words/words-fixture.h"

#include <cmath>
#include <random>
#include <vector>

#include "runtime/datatypes/bitset.h"

namespace kel::test {
namespace {

using Bitsets = Words;

Cell text(const char* t) {
    Cell* s = new_buffer();
    string::append_c_string(*s, t);
    return *s;
}
Cell ch(uint32_t cp) { return Cell{TYPE_CHAR, 0, cp, 0}; }
Cell minus() { return global_word("-"); }
Cell not_word() { return global_word("not"); }
Cell binary(std::initializer_list<uint8_t> bytes) {
    NodeId node = memory::alloc_bytes(bytes.size());
    SeriesBuffer* b = memory::buffer_of(node);
    for (uint8_t x : bytes) *b->tail_ptr() = x, b->tail += 1;
    return *stack::push(Cell{TYPE_BINARY, 0, node, 0});
}

Cell make_bs(const Cell& spec, bool to = false) { return made(TYPE_BITSET, spec, to); }

bool member(Cell bs, Cell v) {
    Cell out;
    actions::pick(&out, &bs, 0, &v);
    return out.data1 != 0;
}

Cell bitwise(int32_t op, const Cell& left, const Cell& right) {
    Frame f({left, right});
    bitset::do_bitwise(op);
    return *stack::push(f[0]);
}

TEST_F(Bitsets, TextsReadBackToEqualSets) {
    Cell abc = make_bs(text("abc"));
    EXPECT_EQ(molded(abc), "make bitset! #{00000000000000000000000070}");
    EXPECT_EQ(formed(abc), molded(abc));
    Cell not_abc = make_bs(*block_of({not_word(), text("abc")}));
    EXPECT_EQ(molded(not_abc), "make bitset! [not #{00000000000000000000000070}]");
    EXPECT_TRUE(member(not_abc, ch('z')));
    EXPECT_FALSE(member(not_abc, ch('b')));

    Cell bytes = binary({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x70});
    Cell back = make_bs(bytes);
    EXPECT_EQ(actions::compare_values(back, abc, COMP_EQUAL), 0);
    Cell not_back = make_bs(*block_of({not_word(), bytes}));
    EXPECT_EQ(actions::compare_values(not_back, not_abc, COMP_EQUAL), 0);
    EXPECT_NE(actions::compare_values(not_back, abc, COMP_EQUAL), 0);
    EXPECT_EQ(molded(not_back), molded(not_abc));
    // The complement of the charset is the same set as [not "abc"].
    Cell* comp = stack::push(make_none());
    actions::complement(comp, &abc);
    EXPECT_EQ(molded(*comp), molded(not_abc));
}

TEST_F(Bitsets, RangesAndTheirErrors) {
    Cell r = make_bs(*block_of({ch('a'), minus(), ch('c'), ch('x')}));
    for (char c : std::string("abcx")) EXPECT_TRUE(member(r, ch(uint32_t(c)))) << c;
    EXPECT_FALSE(member(r, ch('d')));
    Cell n = make_bs(*block_of({make_integer(3), minus(), make_integer(5)}));
    EXPECT_TRUE(member(n, make_integer(4)));
    EXPECT_FALSE(member(n, make_integer(6)));
    EXPECT_EQ(raised([&] { make_bs(*block_of({ch('c'), minus(), ch('a')})); }), id(ErrorId::script_past_end));
    EXPECT_EQ(raised([&] { make_bs(*block_of({ch('a'), minus()})); }), id(ErrorId::script_past_end));
    EXPECT_EQ(raised([&] {
                  make_bs(*block_of({ch('a'), minus(), make_integer(5)}));
              }),
              id(ErrorId::script_invalid_arg));
}

TEST_F(Bitsets, MembershipBeyondTheStoredBytes) {
    Cell abc = make_bs(text("abc"));
    Cell out;
    Cell b = ch('b');
    actions::find(&out, &abc, &b, {});
    EXPECT_EQ(out.header, TYPE_LOGIC);
    Cell z = ch('z');
    actions::find(&out, &abc, &z, {});
    EXPECT_EQ(type_of(out), TYPE_NONE);
    Cell not_a = make_bs(*block_of({not_word(), text("a")}));
    EXPECT_TRUE(member(not_a, make_integer(100000)));
    EXPECT_FALSE(member(not_a, ch('a')));
    EXPECT_TRUE(member(not_a, make_integer(INT32_MAX)));
    EXPECT_FALSE(member(abc, make_integer(INT32_MAX)));
    EXPECT_FALSE(member(abc, make_integer(-1)));  // a test of a negative index is just false

    // Setting a code point far beyond on a complemented set keeps both members.
    Cell* far = new_buffer();
    string::append_char(string::buffer(*far), 'a');
    string::append_char(string::buffer(*far), 0x1F600);
    Cell grown = make_bs(*block_of({not_word(), text("b")}));
    bitset::append(&grown, &grown, *far);
    EXPECT_TRUE(member(grown, ch('a')));
    EXPECT_TRUE(member(grown, ch(0x1F600)));
    EXPECT_FALSE(member(grown, ch('b')));
    // Clearing a bit beyond the stored bytes of a complemented set grows it.
    Cell key = make_integer(5000);
    actions::remove(&out, &grown, nullptr, &key);
    EXPECT_FALSE(member(grown, make_integer(5000)));
    EXPECT_TRUE(member(grown, make_integer(5001)));
}

TEST_F(Bitsets, Lengths) {
    Cell nine = make_bs(make_integer(9));
    EXPECT_EQ(actions::length(&nine), 16);
    Cell a = make_bs(text("a"));
    EXPECT_EQ(actions::length(&a), 104);
    Cell none_bits = make_bs(make_integer(0));
    EXPECT_EQ(actions::length(&none_bits), 0);
    Cell f = make_bs(flt(9.9));
    EXPECT_EQ(actions::length(&f), 16);

    Cell shorter = make_bs(*block_of({make_integer(3)}));
    Cell longer = make_bs(*block_of({make_integer(40), make_integer(3)}));
    Cell u = bitwise(9, shorter, longer);
    EXPECT_EQ(actions::length(&u), 48);
    EXPECT_TRUE(member(u, make_integer(40)));
    Cell and_t = bitwise(MATH_AND, longer, shorter);
    EXPECT_EQ(actions::length(&and_t), 8);
    Cell inter = bitwise(10, longer, shorter);
    EXPECT_EQ(actions::length(&inter), 48);
    EXPECT_TRUE(member(inter, make_integer(3)));
    EXPECT_FALSE(member(inter, make_integer(40)));
}

TEST_F(Bitsets, RefusedIndicesAndSpecs) {
    int range = id(ErrorId::script_out_of_range);
    EXPECT_EQ(raised([&] { make_bs(*block_of({make_integer(-1)})); }), range);
    EXPECT_EQ(raised([&] { make_bs(*block_of({flt(std::nan(""))})); }), range);
    EXPECT_EQ(raised([&] { make_bs(*block_of({flt(4294967296.0)})); }), range);
    EXPECT_EQ(raised([&] { make_bs(*block_of({flt(2147483648.0)})); }), range);
    EXPECT_EQ(raised([&] { make_bs(*block_of({flt(-1e300)})); }), range);
    EXPECT_EQ(raised([&] { make_bs(make_integer(-1)); }), range);
    EXPECT_EQ(raised([&] { make_bs(flt(std::nan(""))); }), range);
    EXPECT_EQ(raised([&] { make_bs(flt(1e10)); }), range);
    Cell abc = make_bs(text("abc"));
    EXPECT_EQ(raised([&] { member(abc, flt(std::nan(""))); }), range);
    Cell out;
    Cell huge = flt(3e9);
    Cell yes = Cell{TYPE_LOGIC, 1, 0, 0};
    EXPECT_EQ(raised([&] { actions::poke(&out, &abc, 0, &yes, &huge); }), range);
    Cell neg = make_integer(-5);
    EXPECT_EQ(raised([&] { actions::remove(&out, &abc, nullptr, &neg); }), range);

    EXPECT_EQ(raised([&] { make_bs(make_none()); }), id(ErrorId::script_bad_make_arg));
    EXPECT_EQ(raised([&] { make_bs(make_none(), true); }), id(ErrorId::script_bad_to_arg));
    EXPECT_EQ(raised([&] { make_bs(make_integer(8), true); }), id(ErrorId::script_bad_to_arg));
    EXPECT_EQ(raised([&] { actions::remove(&out, &abc, nullptr, nullptr); }), id(ErrorId::script_missing_arg));
    EXPECT_EQ(raised([&] { bitwise(9, abc, make_integer(1)); }), id(ErrorId::script_invalid_type));
    EXPECT_EQ(raised([&] { bitset::append(&out, &abc, make_none()); }), id(ErrorId::script_invalid_arg));
}

TEST_F(Bitsets, PokeAndClear) {
    Cell bs = make_bs(text("a"));
    Cell out;
    Cell idx = ch('a');
    Cell off = make_integer(0);
    actions::poke(&out, &bs, 0, &off, &idx);
    EXPECT_FALSE(member(bs, ch('a')));
    Cell on = Cell{TYPE_LOGIC, 1, 0, 0};
    Cell big = make_integer(300);
    actions::poke(&out, &bs, 0, &on, &big);
    EXPECT_TRUE(member(bs, make_integer(300)));
    // clear gives an empty plain set, also from a complemented one.
    Cell comp = make_bs(*block_of({not_word(), text("a")}));
    actions::clear(&out, &comp);
    EXPECT_FALSE(bitset::complemented(comp));
    EXPECT_FALSE(member(comp, make_integer(100000)));
    EXPECT_FALSE(member(comp, ch('b')));
}

// The reference: membership of 0 .. N-1 and of everything beyond.
struct Reference {
    static constexpr int N = 200;
    std::vector<bool> bits = std::vector<bool>(N, false);
    bool beyond = false;
    bool at(int64_t i) const { return i < N ? bits[size_t(i)] : beyond; }
};

TEST_F(Bitsets, SetOperationsMatchAReferenceSet) {
    std::mt19937 rng(12345);
    auto random_set = [&](Reference& ref) {
        Cell* spec = block_of({});
        bool comp = rng() % 2;
        if (comp) block::append_cell(*spec, not_word());
        int count = int(rng() % 12);
        int limit = 8 + int(rng() % (Reference::N - 60));
        std::vector<bool> listed(Reference::N, false);
        for (int k = 0; k < count; ++k) {
            int v = int(rng() % uint32_t(limit));
            listed[size_t(v)] = true;
            block::append_cell(*spec, make_integer(v));
        }
        if (count == 0) block::append_cell(*spec, make_integer(0)), listed[0] = true;
        for (int i = 0; i < Reference::N; ++i) ref.bits[size_t(i)] = comp ? !listed[size_t(i)] : listed[size_t(i)];
        ref.beyond = comp;
        return make_bs(*spec);
    };
    auto check = [&](const Cell& bs, const Reference& ref, const char* what, int round) {
        for (int64_t i = 0; i < Reference::N; ++i)
            ASSERT_EQ(member(bs, make_integer(int32_t(i))), ref.at(i)) << what << " bit " << i << " round " << round;
        ASSERT_EQ(member(bs, make_integer(100000)), ref.beyond) << what << " beyond, round " << round;
    };
    int rounds = int(scaled(150, 12));
    for (int round = 0; round < rounds; ++round) {
        Cell* saved = stack::top();
        Reference ra, rb;
        Cell a = random_set(ra);
        Cell b = random_set(rb);
        check(a, ra, "operand", round);
        struct Op {
            int32_t code;
            const char* name;
            bool (*f)(bool, bool);
        };
        const Op ops[] = {
            {9, "union", [](bool x, bool y) { return x || y; }},
            {MATH_OR, "or~", [](bool x, bool y) { return x || y; }},
            {10, "intersect", [](bool x, bool y) { return x && y; }},
            {MATH_AND, "and~", [](bool x, bool y) { return x && y; }},
            {11, "exclude", [](bool x, bool y) { return x && !y; }},
            {12, "difference", [](bool x, bool y) { return x != y; }},
            {MATH_XOR, "xor~", [](bool x, bool y) { return x != y; }},
        };
        for (const Op& op : ops) {
            Reference r;
            for (int i = 0; i < Reference::N; ++i) r.bits[size_t(i)] = op.f(ra.bits[size_t(i)], rb.bits[size_t(i)]);
            r.beyond = op.f(ra.beyond, rb.beyond);
            check(bitwise(op.code, a, b), r, op.name, round);
        }
        // remove clears the key's bits; clear empties.
        int key = int(rng() % Reference::N);
        Cell k = make_integer(key);
        Cell out;
        Cell copy;
        bitset::copy(&copy, a);
        stack::push(copy);
        actions::remove(&out, &copy, nullptr, &k);
        Reference rr = ra;
        rr.bits[size_t(key)] = false;
        check(copy, rr, "remove", round);
        // complement flips every membership.
        Cell comp;
        actions::complement(&comp, &a);
        stack::push(comp);
        Reference rc;
        for (int i = 0; i < Reference::N; ++i) rc.bits[size_t(i)] = !ra.bits[size_t(i)];
        rc.beyond = !ra.beyond;
        check(comp, rc, "complement", round);
        actions::clear(&out, &copy);
        check(copy, Reference{}, "clear", round);
        stack::pop(uint32_t(stack::top() - saved));
    }
}

TEST_F(Bitsets, CompareOrdersByLengthThenFlagThenBytes) {
    Cell a = make_bs(text("a"));
    Cell a2 = make_bs(text("a"));
    Cell b = make_bs(text("b"));
    Cell longer = make_bs(text("z"));
    EXPECT_EQ(actions::compare_values(a, a2, COMP_EQUAL), 0);
    EXPECT_EQ(actions::compare_values(a, a2, COMP_SAME), 1);
    EXPECT_EQ(actions::compare_values(a, a, COMP_SAME), 0);
    EXPECT_LT(actions::compare_values(b, a, COMP_SORT), 0);  // byte order from the last byte
    EXPECT_LT(actions::compare_values(a, longer, COMP_SORT), 0);
    Cell ca;
    actions::complement(&ca, &a);  // compare allocates nothing: no guard needed
    EXPECT_LT(actions::compare_values(a, ca, COMP_SORT), 0);
    EXPECT_EQ(actions::compare_values(a, make_none(), COMP_EQUAL), COMP_NOT_COMPARABLE);
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

TEST_F(Bitsets, ActionsThroughTheSlots) {
    Cell bs = make_bs(text("a"));
    Cell out;
    Cell b = ch('b');
    actions::append(&out, &bs, &b, {});
    EXPECT_TRUE(member(bs, ch('b')));
    Cell* copy = stack::push(make_none());
    actions::copy(copy, &bs, {});
    EXPECT_NE(cell_node(*copy), cell_node(bs));
    Cell c = ch('c');
    actions::insert(&out, copy, &c, {});
    EXPECT_TRUE(member(*copy, ch('c')));
    EXPECT_FALSE(member(bs, ch('c')));
    Cell* neg = stack::push(make_none());
    actions::negate(neg, &bs);
    EXPECT_TRUE(bitset::complemented(*neg));
    EXPECT_FALSE(member(*neg, ch('a')));
    PathStep step;
    Cell a = ch('a');
    actions::eval_path(&out, &bs, &a, nullptr, step);
    EXPECT_EQ(out.data1, 1u);
    Cell off = make_none();
    actions::eval_path(&out, &bs, &a, &off, step);
    EXPECT_FALSE(member(bs, ch('a')));
    Cell word_element = global_word("x");
    EXPECT_EQ(raised([&] { actions::eval_path(&out, &bs, &word_element, nullptr, step); }),
              id(ErrorId::script_invalid_type));
}

}  // namespace
}  // namespace kel::test
