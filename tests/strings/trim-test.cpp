// string! trim, swap and take.
#include "runtime/evaluator/actions.h"
#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

struct StringTrim : StringActions {
    std::u32string trim(std::u32string_view in, TrimOptions o, uint32_t unit = 0) {
        Cell& s = text(in, unit);
        Cell& out = hold(make_unset());
        string::trim(&out, &s, o);
        return read(out);
    }
};

TEST_F(StringTrim, Table) {
    TrimOptions plain, head, tail, lines, all, both;
    head.head = true;
    tail.tail = true;
    both.head = both.tail = true;
    lines.lines = true;
    all.all = true;
    struct Row {
        std::u32string in;
        TrimOptions o;
        std::u32string out;
    };
    const Row rows[] = {
        {U"  a  b  ", plain, U"a  b"},
        {U"  a  b  ", head, U"a  b  "},
        {U"  a  b  ", tail, U"  a  b"},
        {U"  a  b  ", both, U"a  b"},
        {U"  a  \n   b  \n\n", plain, U"a\nb\n"},
        {U"  a  \n   b  \n\n", tail, U"  a  \n   b"},
        {U"  a  \n   b  \n\n", head, U"a  \n   b  \n\n"},
        {U"a \r\nb", plain, U"a \r\nb"},  // a carriage return is no blank: the space before it stays
        {U"\u3000a\u00A0\u2028", plain, U"a"},
        {U"x\t \ty", plain, U"x\t \ty"},
        {U" a \n b ", lines, U"a b"},
        {U"\n\na\t\tb\u2000\n", lines, U"a b"},
        {U" a b\tc ", all, U"abc"},
        {U"a\u3000b", all, U"a\u3000b"},  // the default strip set is tab, line feed, return and space
        {U"", plain, U""},
        {U" \n ", plain, U""},  // the leading whitespace takes everything: no line feed is left to put back
        {U"a \n ", plain, U"a\n"},
    };
    for (const Row& r : rows)
        for (uint32_t unit : {0u, 4u}) EXPECT_EQ(trim(r.in, r.o, unit), r.out) << "row " << (&r - rows);
}

TEST_F(StringTrim, WithRemovesTheGivenCharacters) {
    TrimOptions o;
    Cell& dash = text(U"-");
    o.with = &dash;
    EXPECT_EQ(trim(U"a-b-c", o), U"abc");
    Cell b = ch('b');
    o.with = &b;
    EXPECT_EQ(trim(U"abcb", o), U"ac");
    Cell n98 = integer(98);
    o.with = &n98;
    EXPECT_EQ(trim(U"abc", o), U"ac");
    Cell& wide = text(U"\u03A9x");
    o.with = &wide;
    EXPECT_EQ(trim(U"a\u03A9bx", o), U"ab");
    Cell& empty = text(U"");
    o.with = &empty;
    EXPECT_EQ(trim(U" a ", o), U" a ") << "an empty set removes nothing";
    TrimOptions automatic;
    automatic.automatic = true;
    EXPECT_EQ(error_of([&] { trim(U" a", automatic); }), id(ErrorId::internal_not_done));
    // A value that holds no characters is refused, the string left as it was.
    Cell& s = text(U" a ");
    Cell& out = hold(make_unset());
    for (Cell bad : {make_none(), datatype::make(TYPE_BLOCK), block_of({ch('a')})}) {
        o.with = &bad;
        EXPECT_EQ(error_of([&] { string::trim(&out, &s, o); }), id(ErrorId::script_invalid_arg));
        EXPECT_EQ(whole(s), U" a ");
    }
}

TEST_F(StringTrim, TrimStartsAtTheHead) {
    Cell& s = text(U" x  a ");
    Cell& out = hold(make_unset());
    Cell moved = at(s, 2);
    string::trim(&out, &moved, {});
    EXPECT_EQ(whole(s), U" xa") << "the text before the head stays";
}

Cell binary_of(std::initializer_list<uint8_t> list) {
    NodeId n = memory::alloc_bytes(list.size());
    SeriesBuffer* b = memory::buffer_of(n);
    for (uint8_t v : list) b->head_ptr()[b->tail++ - b->offset] = v;
    return Cell{TYPE_BINARY, 0, n, 0};
}

TEST_F(StringTrim, Swap) {
    Cell& out = hold(make_unset());
    Cell& ab = text(U"ab");
    Cell& cd = text(U"cd");
    string::swap(&out, &ab, &cd);
    EXPECT_EQ(whole(ab), U"cb");
    EXPECT_EQ(whole(cd), U"ad");

    Cell& x = text(U"x");
    Cell tail = at(x, 1);
    string::swap(&out, &ab, &tail);
    EXPECT_EQ(whole(ab), U"cb") << "a series at its tail changes nothing";

    Cell& narrow = text(U"ab");
    Cell& e9 = text(U"\u00E9", 2);
    string::swap(&out, &narrow, &e9);
    EXPECT_EQ(unit_of(narrow), 1u) << "0xE9 is written at a position: one byte holds it";
    EXPECT_EQ(whole(narrow), U"\u00E9b");

    Cell& omega = text(U"\u03A9");
    Cell& plain = text(U"pq");
    string::swap(&out, &plain, &omega);
    EXPECT_EQ(unit_of(plain), 2u);
    EXPECT_EQ(whole(plain), U"\u03A9q");
    EXPECT_EQ(whole(omega), U"p");

    Cell& bin = hold(binary_of({1, 2}));
    Cell& latin = text(U"\u00FFz");
    string::swap(&out, &latin, &bin);
    EXPECT_EQ(whole(latin), U"\x01z");
    EXPECT_EQ(memory::buffer_of(cell_node(bin))->head_ptr()[0], 0xFF);

    Cell& wide = text(U"\u0100");
    Cell& named = hold(make_none());
    EXPECT_EQ(error_of([&] { string::swap(&out, &wide, &bin); }, &named), id(ErrorId::script_invalid_arg));
    EXPECT_EQ(cell_node(named), cell_node(bin)) << "the error names series2";
    EXPECT_EQ(memory::buffer_of(cell_node(bin))->unit(), 1u) << "a binary never widens";
    EXPECT_EQ(error_of([&] { string::swap(&out, &bin, &wide); }, &named), id(ErrorId::script_invalid_arg));
    EXPECT_EQ(cell_node(named), cell_node(wide));
    EXPECT_EQ(whole(wide), U"\u0100");

    Cell number = integer(3);
    EXPECT_EQ(error_of([&] { string::swap(&out, &ab, &number); }), id(ErrorId::script_invalid_arg));
}

TEST_F(StringTrim, TakeOfTheEmptyStringIsNone) {
    Cell& out = hold(make_unset());
    Cell& empty = text(U"");
    string::take(&out, &empty, {});
    EXPECT_EQ(type_of(out), TYPE_NONE);
    Cell& ab = text(U"ab");
    Cell tail = at(ab, 2);
    TakeOptions last;
    last.last = true;
    string::take(&out, &tail, last);
    EXPECT_EQ(type_of(out), TYPE_NONE);
}

TEST_F(StringTrim, TakeAnswersACharForOneUnit) {
    Cell& out = hold(make_unset());
    Cell& abc = text(U"abc");
    string::take(&out, &abc, {});
    EXPECT_EQ(type_of(out), TYPE_CHAR);
    EXPECT_EQ(out.data2, uint32_t('a'));
    EXPECT_EQ(whole(abc), U"bc");
    TakeOptions last;
    last.last = true;
    string::take(&out, &abc, last);
    EXPECT_EQ(out.data2, uint32_t('c'));
    Cell& xyz = text(U"xyz");
    Cell two = integer(2);
    TakeOptions part;
    part.part = &two;
    string::take(&out, &xyz, part);
    EXPECT_EQ(type_of(out), TYPE_STRING);
    EXPECT_EQ(read(out), U"xy");
}

}  // namespace
}  // namespace kel::test
