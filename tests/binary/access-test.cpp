// The byte accessors, new binaries in cells, blocks and on the argument
// stack, and the slots binary! registers.
#include "runtime/datatypes/datatype.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/stack.h"
#include "tests/binary/binary-fixture.h"

namespace kel::test {
namespace {

TEST_F(Binaries, Positions) {
    Cell& b = bin("0A0B0C");
    Cell c = b;
    EXPECT_EQ(binary::ks_length(c), 3);
    EXPECT_EQ(*binary::ks_head(c), 0x0A);
    EXPECT_FALSE(binary::ks_next(c));
    EXPECT_EQ(*binary::ks_head(c), 0x0B);
    EXPECT_TRUE(binary::ks_skip(c, 2));
    EXPECT_TRUE(binary::ks_tail_q(c));
    EXPECT_EQ(binary::ks_head(c), binary::ks_tail(c));
    EXPECT_EQ(binary::ks_abs_at(c, 2), 0x0C);
    // An index past the tail is clamped in the cell and counts 0.
    Cell past = at(b, 9);
    EXPECT_EQ(binary::ks_length(past), 0);
    EXPECT_EQ(int32_t(past.data1), 3);
    // clear drops the bytes from the index on.
    Cell one = at(b, 1);
    binary::ks_clear(one);
    EXPECT_EQ(all_bytes(b), "0A");
}

// Offsets are answered from the value's index; insert and overwrite take
// theirs from it.
TEST_F(Binaries, RawWritersAnswerOffsets) {
    Cell& b = bin("0A0B");
    b.data1 = 1;
    const uint8_t one[] = {1, 2};
    EXPECT_EQ(binary::append_bytes(b, one, 2), 1);
    EXPECT_EQ(all_bytes(b), "0A0B0102");
    EXPECT_EQ(binary::insert_bytes(b, 1, one, 1), 1);
    EXPECT_EQ(all_bytes(b), "0A0B010102");
    EXPECT_EQ(binary::overwrite_bytes(b, 3, one, 2), 3);
    EXPECT_EQ(all_bytes(b), "0A0B01010102");
    EXPECT_EQ(binary::overwrite_bytes(b, 0, one, 0), 0);
    EXPECT_EQ(all_bytes(b), "0A0B01010102");
    // Growing one byte at a time from an empty capacity.
    Cell& g = hold(make_unset());
    binary::make_at(g, 0);
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        uint8_t v = uint8_t(i);
        binary::insert_bytes(g, 0, &v, 1);
        char two[3];
        std::snprintf(two, sizeof two, "%02X", v);
        expected.insert(0, two);
    }
    EXPECT_EQ(all_bytes(g), expected);
}

TEST_F(Binaries, NewBinaries) {
    Cell& blk = block_of({integer(1)});
    Cell* made = binary::make_in(blk, 40);
    EXPECT_EQ(type_of(*made), TYPE_BINARY);
    EXPECT_GE(memory::buffer_of(cell_node(*made))->size, 40u);
    EXPECT_EQ(block::ks_length(blk), 2);

    const uint8_t bytes[] = {0xDE, 0xAD};
    Cell* loaded = binary::load_in(bytes, 2, &blk);
    EXPECT_EQ(hex(*loaded), "DEAD");
    EXPECT_EQ(block::ks_length(blk), 3);

    Cell* top = stack::top();
    Cell* pushed = binary::load_in(bytes, 1, nullptr);
    EXPECT_EQ(pushed, top);
    EXPECT_EQ(hex(*pushed), "DE");
    stack::pop(1);

    Cell& big = hold(make_unset());
    EXPECT_EQ(error_of([&] { binary::make_at(big, uint64_t(INT32_MAX) + 1); }), id(ErrorId::script_too_long));
}

// binary! owns its twelve slots (insert shares append's function) and takes
// the others from string! as string! stands when binary! registers.
TEST_F(Binaries, Registration) {
    using datatype::slot;
    EXPECT_STREQ(datatype::name(TYPE_BINARY), "binary!");
    EXPECT_EQ(slot(TYPE_BINARY, ACTION_INSERT), slot(TYPE_BINARY, ACTION_APPEND));
    EXPECT_EQ(reinterpret_cast<ActionSlot<ACTION_APPEND>::type>(slot(TYPE_BINARY, ACTION_APPEND)), &binary::append);
    EXPECT_EQ(reinterpret_cast<ActionSlot<ACTION_TRIM>::type>(slot(TYPE_BINARY, ACTION_TRIM)), &binary::trim);
    for (int a : {ACTION_TO, ACTION_FORM, ACTION_MOLD, ACTION_COMPARE, ACTION_AND_T, ACTION_OR_T, ACTION_XOR_T,
                  ACTION_COMPLEMENT, ACTION_CHANGE})
        EXPECT_NE(slot(TYPE_BINARY, a), nullptr) << a;
    for (int a : {ACTION_MAKE, ACTION_RANDOM, ACTION_REFLECT, ACTION_EVAL_PATH, ACTION_AT, ACTION_CLEAR, ACTION_COPY,
                  ACTION_FIND, ACTION_LENGTH_Q, ACTION_PICK, ACTION_POKE, ACTION_SELECT, ACTION_SORT, ACTION_SWAP,
                  ACTION_TAKE, ACTION_MODIFY})
        EXPECT_EQ(slot(TYPE_BINARY, a), slot(TYPE_STRING, a)) << a;
    for (int a : {ACTION_PUT, ACTION_ADD, ACTION_NEGATE, ACTION_OPEN, ACTION_READ})
        EXPECT_EQ(slot(TYPE_BINARY, a), nullptr) << a;

    // The typed forms reach the slots.
    Cell& b = bin("01");
    Cell& v = bin("02");
    Cell& out = hold(make_unset());
    actions::append(&out, &b, &v, {});
    actions::insert(&out, &b, &v, {});
    EXPECT_EQ(all_bytes(b), "020102");
    Cell& proto = hold(datatype::make(TYPE_BINARY));
    Cell& spec = hold(integer(258));
    actions::to(&out, &proto, &spec);
    EXPECT_EQ(hex(out), "00000102");
}

// make binary! (string!'s make): a number is a capacity, money! is refused,
// anything else converts as to does.
TEST_F(Binaries, Make) {
    Cell& proto = hold(datatype::make(TYPE_BINARY));
    Cell& out = hold(make_unset());
    Cell& ten = hold(integer(10));
    actions::make(&out, &proto, &ten);
    EXPECT_EQ(type_of(out), TYPE_BINARY);
    EXPECT_EQ(hex(out), "");
    EXPECT_GE(memory::buffer_of(cell_node(out))->size, 10u);
    Cell& e = text(U"\u00E9");
    actions::make(&out, &proto, &e);
    EXPECT_EQ(hex(out), "C3A9");
    Cell& blk = block_of({integer(1), integer(2)});
    actions::make(&out, &proto, &blk);
    EXPECT_EQ(hex(out), "0102");
    Cell& minus = hold(integer(-1));
    EXPECT_EQ(error_of([&] { actions::make(&out, &proto, &minus); }), id(ErrorId::script_out_of_range));
    Cell& money = hold(Cell{TYPE_MONEY, 0, 0, 0});
    EXPECT_EQ(error_of([&] { actions::make(&out, &proto, &money); }), id(ErrorId::script_bad_make_arg));
}

// The slots taken from string! and series! work on bytes.
TEST_F(Binaries, InheritedActions) {
    Cell& b = bin("01020304");
    Cell& out = hold(make_unset());
    EXPECT_EQ(actions::length(&b), 4);
    actions::pick(&out, &b, 4, nullptr);
    EXPECT_EQ(cell_integer(out), 4);
    // poke keeps the low 8 bits where append refuses the value.
    Cell& big = hold(integer(256));
    actions::poke(&out, &b, 1, &big, nullptr);
    EXPECT_EQ(hex(b), "00020304");
    EXPECT_EQ(error_of([&] { actions::append(&out, &b, &big, {}); }), id(ErrorId::script_invalid_arg));
    Cell& pattern = bin("0304");
    actions::find(&out, &b, &pattern, {});
    EXPECT_EQ(int32_t(out.data1), 2);
    actions::copy(&out, &b, {});
    EXPECT_EQ(type_of(out), TYPE_BINARY);
    EXPECT_NE(cell_node(out), cell_node(b));
    EXPECT_EQ(hex(out), "00020304");
    actions::take(&out, &b, {});
    EXPECT_EQ(cell_integer(out), 0);
    EXPECT_EQ(hex(b), "020304");
}

}  // namespace
}  // namespace kel::test
