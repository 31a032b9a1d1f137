// and~, or~, xor~ with operands of different lengths and indexes, and
// complement in place.
#include "tests/binary/binary-fixture.h"

namespace kel::test {
namespace {

enum class Bit { and_, or_, xor_ };

TEST_F(Binaries, BitwiseOperandsOfDifferentLengths) {
    struct Row {
        const char* what;
        Cell a;
        Cell b;
        const char* and_;
        const char* or_;
        const char* xor_;
    };
    const Row rows[] = {
        {"shorter first", bin("FF"), bin("0102"), "0100", "FF02", "FE02"},
        {"longer first", bin("0102"), bin("FF"), "0100", "FF02", "FE02"},
        {"same length", bin("F00F"), bin("FF00"), "F000", "FF0F", "0F0F"},
        {"from the indexes", at(bin("AAF0"), 1), at(bin("000F"), 1), "00", "FF", "FF"},
        {"first past its tail", at(bin("01"), 5), bin("0203"), "0000", "0203", "0203"},
        {"second past its tail", bin("0203"), at(bin("01"), 3), "0000", "0203", "0203"},
        {"both empty", bin(""), bin(""), "", "", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Cell& a = hold(r.a);
        Cell& b = hold(r.b);
        for (Bit op : {Bit::and_, Bit::or_, Bit::xor_}) {
            Cell first = a;
            first.header |= CELL_NEW_LINE;
            Frame frame({first, b});
            switch (op) {
            case Bit::and_:
                binary::and_t();
                break;
            case Bit::or_:
                binary::or_t();
                break;
            case Bit::xor_:
                binary::xor_t();
                break;
            }
            Cell result = frame[0];
            EXPECT_EQ(result.header, TYPE_BINARY | CELL_NEW_LINE);
            EXPECT_EQ(int32_t(result.data1), 0);
            EXPECT_NE(cell_node(result), cell_node(a));
            EXPECT_EQ(hex(result), op == Bit::and_ ? r.and_ : op == Bit::or_ ? r.or_ : r.xor_);
        }
    }
    // The operands stay as they were.
    Cell& a = bin("FF");
    Cell& b = bin("0102");
    Frame frame({a, b});
    binary::xor_t();
    EXPECT_EQ(hex(a), "FF");
    EXPECT_EQ(hex(b), "0102");
}

TEST_F(Binaries, BitwiseNeedsABinarySecond) {
    Cell& a = bin("01");
    for (Cell other : {integer(1), text(U"a"), make_none()}) {
        Frame frame({a, other});
        Cell arg = make_unset();
        EXPECT_EQ(error_of([] { binary::or_t(); }, &arg), id(ErrorId::script_invalid_arg));
        EXPECT_EQ(type_of(arg), type_of(other));
    }
}

// The value's own bytes change, from its index: complementing it twice
// gives it back.
TEST_F(Binaries, ComplementInPlace) {
    Cell& b = bin("00FF0F");
    Cell& out = hold(make_unset());
    Cell at1 = at(b, 1);
    binary::complement(&out, &at1);
    EXPECT_EQ(all_bytes(b), "0000F0");
    EXPECT_EQ(cell_node(out), cell_node(b));
    EXPECT_EQ(int32_t(out.data1), 1);
    binary::complement(&out, &at1);
    EXPECT_EQ(all_bytes(b), "00FF0F");
    Cell past = at(b, 9);
    binary::complement(&out, &past);
    EXPECT_EQ(all_bytes(b), "00FF0F");
    // out may be the value's own cell.
    Cell self = b;
    binary::complement(&self, &self);
    EXPECT_EQ(all_bytes(b), "FF00F0");
}

}  // namespace
}  // namespace kel::test
