// string! make, to and form.
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "tests/strings/strings-fixture.h"

namespace kel::test {
namespace {

Cell bytes(std::initializer_list<uint8_t> list) {
    NodeId n = memory::alloc_bytes(list.size());
    SeriesBuffer* b = memory::buffer_of(n);
    for (uint8_t v : list) b->head_ptr()[b->tail++ - b->offset] = v;
    return Cell{TYPE_BINARY, 0, n, 0};
}

TEST_F(StringActions, MakeTakesACapacity) {
    Cell& proto = hold(datatype::make(TYPE_STRING));
    Cell& out = hold(make_none());
    Cell spec = integer(0);
    actions::make(&out, &proto, &spec);
    EXPECT_EQ(type_of(out), TYPE_STRING);
    EXPECT_EQ(read(out), U"");
    EXPECT_EQ(memory::buffer_of(cell_node(out))->size, 16u);
    Cell f = Cell{TYPE_FLOAT, 0, 0, 0};
    set_cell_double(f, 40.7);
    actions::make(&out, &proto, &f);
    EXPECT_GE(memory::buffer_of(cell_node(out))->size, 40u);
    Cell minus = integer(-1);
    Cell& arg = hold(make_none());
    EXPECT_EQ(error_of([&] { actions::make(&out, &proto, &minus); }, &arg), id(ErrorId::script_out_of_range));
    EXPECT_EQ(cell_integer(arg), -1);
    set_cell_double(f, 1e300);
    EXPECT_EQ(error_of([&] { actions::make(&out, &proto, &f); }), id(ErrorId::script_out_of_range));
}

TEST_F(StringActions, ToStringTable) {
    Cell& proto = hold(datatype::make(TYPE_STRING));
    Cell& file_proto = hold(datatype::make(TYPE_FILE));
    Cell& out = hold(make_none());

    Cell& blk = block_of({word::make(symbol::make("a")), word::make(symbol::make("b")), integer(1)});
    actions::to(&out, &proto, &blk);
    EXPECT_EQ(read(out), U"ab1");
    Cell& nested = block_of({ch('x'), block_of({integer(1), integer(2)}), text(U"y")});
    actions::to(&out, &proto, &nested);
    EXPECT_EQ(read(out), U"x1 2y") << "a nested block is formed whole, with its spaces";

    Cell ref{TYPE_REFINEMENT, 0, uint32_t(symbol::make("ref")), 0};
    actions::to(&out, &proto, &ref);
    EXPECT_EQ(read(out), U"ref");
    string::to(&out, &file_proto, &ref, TYPE_FILE);  // file! inherits the slot when it registers
    EXPECT_EQ(type_of(out), TYPE_FILE);
    EXPECT_EQ(read(out), U"/ref");

    Cell& bin = hold(bytes({0xC3, 0xA9}));
    actions::to(&out, &proto, &bin);
    EXPECT_EQ(read(out), U"\u00E9");
    Cell& cut = hold(bytes({'a', 0xC3}));
    Cell& rest = hold(make_none());
    EXPECT_EQ(error_of([&] { actions::to(&out, &proto, &cut); }, &rest), id(ErrorId::access_invalid_utf8));
    EXPECT_EQ(type_of(rest), TYPE_BINARY);
    EXPECT_EQ(memory::buffer_of(cell_node(rest))->used(), 1u) << "the bytes left undecoded";

    Cell& spaced = text(U"a b\u0100", 0);
    string::to(&out, &file_proto, &spaced, TYPE_FILE);
    EXPECT_EQ(type_of(out), TYPE_FILE);
    EXPECT_EQ(read(out), U"a b\u0100");
    EXPECT_NE(cell_node(out), cell_node(spaced)) << "a copy";
    EXPECT_EQ(unit_of(out), 2u);

    Cell none = make_none();
    EXPECT_EQ(error_of([&] { actions::to(&out, &proto, &none); }), id(ErrorId::script_bad_to_arg));
    actions::to(&out, &proto, &(hold(ch(0x3A9))));
    EXPECT_EQ(read(out), U"\u03A9");
}

TEST_F(StringActions, FormWithAPartCopiesAtMostThePart) {
    Cell& s = text(U"abcdef");
    Cell& out = text(U"x");
    EXPECT_EQ(string::form(s, out, true, 4), -2) << "the budget less the whole length";
    EXPECT_EQ(read(out), U"xabcd");
    EXPECT_EQ(string::form(at(s, 4), out, false, 100), 98);
    EXPECT_EQ(read(out), U"xabcdef");
    Cell& wide = text(U"\u03A9z");
    string::form(wide, out, false, 10);
    EXPECT_EQ(read(out), U"xabcdef\u03A9z");
    EXPECT_EQ(unit_of(wide), 2u);
}

}  // namespace
}  // namespace kel::test
