// append, insert and change: the bytes written, /part, /dup, the position
// answered, values refused before the target changes, and sources that share
// the target's buffer.
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "tests/binary/binary-fixture.h"

namespace kel::test {
namespace {

AppendOptions options(int32_t part = -1, int32_t dup = 1, bool only = false) {
    AppendOptions o;
    o.part = part;
    o.dup = dup;
    o.only = only;
    return o;
}

enum class Op { append, insert, change };

struct BinaryModify : Binaries {
    // Runs the action on the target and answers the result cell.
    Cell& run(Op op, Cell& target, Cell& value, const AppendOptions& o) {
        Cell& out = hold(make_unset());
        switch (op) {
        case Op::append:
            binary::append(&out, &target, &value, o, true);
            break;
        case Op::insert:
            binary::append(&out, &target, &value, o, false);
            break;
        case Op::change:
            binary::change(&out, &target, &value, o);
            break;
        }
        return out;
    }
};

TEST_F(BinaryModify, WrittenBytesAndAnsweredPosition) {
    struct Row {
        const char* what;
        Op op;
        const char* target;
        int32_t index;
        Cell value;
        AppendOptions o;
        const char* whole;
        int32_t answered;
    };
    const Row rows[] = {
        {"append with dup", Op::append, "", 0, bin("0102"), options(-1, 3), "010201020102", 0},
        {"append answers the head", Op::append, "0A0B", 2, bin("0C"), options(), "0A0B0C", 0},
        {"empty append keeps the index", Op::append, "0A0B", 1, bin(""), options(), "0A0B", 1},
        {"append of part 0 keeps the index", Op::append, "0A0B", 1, bin("FF"), options(0), "0A0B", 1},
        {"append of a string cut inside a sequence", Op::append, "", 0, text(U"a\u00E9"), options(2), "61C3", 0},
        {"append of a unit 4 string", Op::append, "00", 1, text(U"\U0001F600"), options(), "00F09F9880", 0},
        {"append/only: 16 bytes per element", Op::append, "", 0, block_of({text(U"0123456789abcdefgh")}),
         options(-1, 1, true), "30313233343536373839616263646566", 0},
        {"append of a block with part counting elements", Op::append, "", 0,
         block_of({integer(1), text(U"bc"), integer(3)}), options(2), "016263", 0},
        {"insert at the head", Op::insert, "0304", 0, bin("0102"), options(), "01020304", 2},
        {"insert in the middle with dup", Op::insert, "0104", 1, bin("0203"), options(-1, 2),
         "0102030203"
         "04",
         5},
        {"insert with part", Op::insert, "0104", 1, bin("020304"), options(1), "010204", 2},
        {"insert with the index past the tail", Op::insert, "01", 7, ch('A'), options(), "0141", 2},
        {"insert at the tail", Op::insert, "01", 1, integer(-1), options(), "01FF", 2},
        {"empty insert keeps the index", Op::insert, "0102", 1, text(U""), options(), "0102", 1},
        {"change with part", Op::change, "01020304", 0, bin("FF"), options(2), "FF0304", 1},
        {"change without part", Op::change, "01020304", 1, bin("AABB"), options(), "01AABB04", 3},
        {"change past the tail", Op::change, "010203", 2, bin("AABBCC"), options(), "0102AABBCC", 5},
        {"change at the tail", Op::change, "0102", 2, bin("AA"), options(), "0102AA", 3},
        {"change with part 0 inserts", Op::change, "0102", 1, bin("AA"), options(0), "01AA02", 2},
        {"change with part beyond the rest", Op::change, "010203", 1, bin("AA"), options(9), "01AA", 2},
        {"change with nothing removes the part", Op::change, "01020304", 1, bin(""), options(2), "0104", 1},
        {"change with dup", Op::change, "01020304", 0, bin("AA"), options(-1, 3), "AAAAAA04", 3},
        {"change with dup and part", Op::change, "01020304", 1, bin("AA"), options(1, 3), "01AAAAAA0304", 4},
        {"change with a word: its spelling", Op::change, "0102", 0, word::make(symbol::make("ok")), options(), "6F6B",
         2},
        {"change with none: its form", Op::change, "", 0, make_none(), options(), "6E6F6E65", 4},
        {"change with a block of a word", Op::change, "FFFF", 0,
         block_of({integer(1), word::make(symbol::make("ab")), text(U"c")}), options(), "01616263", 4},
        {"change with a nested block of none", Op::change, "", 0, block_of({integer(1), block_of({make_none()})}),
         options(), "016E6F6E65", 5},
        {"change with the index past the tail", Op::change, "01", 9, integer(2), options(), "0102", 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Cell& target = bin(r.target);
        target.data1 = uint32_t(r.index);
        Cell& value = hold(r.value);
        Cell& out = run(r.op, target, value, r.o);
        EXPECT_EQ(all_bytes(out), r.whole);
        EXPECT_EQ(int32_t(out.data1), r.answered);
        EXPECT_EQ(cell_node(out), cell_node(target));
    }
}

// A value refused while measuring (a byte out of range anywhere in a block,
// a value without a byte form) leaves the target exactly as it was: same
// bytes, same buffer, same capacity.
TEST_F(BinaryModify, RefusedValuesLeaveTheTargetAsItWas) {
    struct Row {
        const char* what;
        Cell value;
        int error;
    };
    const Row rows[] = {
        {"256 last in a block", block_of({integer(1), integer(2), integer(256)}), id(ErrorId::script_invalid_arg)},
        {"-129 in a nested block", block_of({text(U"abc"), block_of({integer(-129)})}),
         id(ErrorId::script_invalid_arg)},
        {"none in a block", block_of({integer(1), make_none()}), id(ErrorId::script_bad_to_arg)},
        {"a char beyond U+10FFFF", ch(0x110000), id(ErrorId::script_invalid_char)},
    };
    for (Op op : {Op::append, Op::insert, Op::change}) {
        for (const Row& r : rows) {
            if (op == Op::change && r.error == id(ErrorId::script_bad_to_arg)) continue;  // change forms it
            SCOPED_TRACE(r.what);
            SCOPED_TRACE(int(op));
            Cell& target = bin("0A0B0C0D");
            target.data1 = 1;
            uint64_t capacity = memory::buffer_of(cell_node(target))->size;
            Cell& value = hold(r.value);
            EXPECT_EQ(error_of([&] { run(op, target, value, options(-1, 4)); }), r.error);
            EXPECT_EQ(all_bytes(target), "0A0B0C0D");
            EXPECT_EQ(memory::buffer_of(cell_node(target))->size, capacity);
        }
    }
}

TEST_F(BinaryModify, SizesBeyondTheSeriesLimit) {
    Cell& target = bin("0102");
    Cell& value = bin("0102");
    for (Op op : {Op::append, Op::insert, Op::change}) {
        SCOPED_TRACE(int(op));
        EXPECT_EQ(error_of([&] { run(op, target, value, options(-1, INT32_MAX)); }), id(ErrorId::internal_no_memory));
        EXPECT_EQ(error_of([&] { run(op, target, value, options(-1, INT32_MAX / 2 + 1)); }),
                  id(ErrorId::internal_no_memory));
        EXPECT_EQ(all_bytes(target), "0102");
    }
}

// The value is the target itself (at any index), or a block holding it: its
// bytes are those it had before the target changed, for every placement and
// whether or not the buffer grows.
TEST_F(BinaryModify, SourceSharingTheTargetsBuffer) {
    const std::vector<uint8_t> start = {1, 2, 3, 4, 5};
    for (Op op : {Op::append, Op::insert, Op::change}) {
        for (int32_t index = 0; index <= 5; ++index) {
            for (int32_t from = 0; from <= 5; ++from) {
                for (uint64_t spare : {uint64_t(0), uint64_t(64)}) {
                    for (int32_t dup : {1, 3}) {
                        SCOPED_TRACE(testing::Message() << "op " << int(op) << " index " << index << " from " << from
                                                        << " spare " << spare << " dup " << dup);
                        Cell& target = bin("0102030405", spare);
                        target.data1 = uint32_t(index);
                        Cell& value = hold(at(target, from));
                        std::vector<uint8_t> src(start.begin() + from, start.end());
                        std::vector<uint8_t> expected = start;
                        std::vector<uint8_t> written;
                        for (int k = 0; k < dup; ++k) written.insert(written.end(), src.begin(), src.end());
                        if (op == Op::append) {
                            expected.insert(expected.end(), written.begin(), written.end());
                        } else if (op == Op::insert) {
                            expected.insert(expected.begin() + index, written.begin(), written.end());
                        } else {
                            size_t removed = std::min(written.size(), start.size() - size_t(index));
                            expected.erase(expected.begin() + index, expected.begin() + index + long(removed));
                            expected.insert(expected.begin() + index, written.begin(), written.end());
                        }
                        run(op, target, value, options(-1, dup));
                        EXPECT_EQ(all_bytes(target), hex(expected));
                    }
                }
            }
        }
    }
    // Inside a block, after other values.
    Cell& target = bin("0102");
    target.data1 = 1;
    Cell& blk = block_of({integer(9), at(target, 0)});
    run(Op::insert, target, blk, options());
    EXPECT_EQ(all_bytes(target),
              "01090102"
              "02");
}

// The raw writers take their source from anywhere, the target's own buffer
// included, growing or not.
TEST_F(BinaryModify, RawWritersWithTheirOwnBytes) {
    for (uint64_t spare : {uint64_t(0), uint64_t(64)}) {
        SCOPED_TRACE(spare);
        Cell& a = bin("010203", spare);
        EXPECT_EQ(binary::append_bytes(a, binary::ks_head(a), 3), 3);
        EXPECT_EQ(all_bytes(a), "010203010203");

        Cell& b = bin("010203", spare);
        b.data1 = 1;
        // The source lies after the insertion point, so making room shifts it.
        EXPECT_EQ(binary::insert_bytes(b, 0, binary::buffer(b)->head_ptr() + 1, 2), 0);
        EXPECT_EQ(all_bytes(b), "0102030203");

        Cell& c = bin("010203", spare);
        EXPECT_EQ(binary::overwrite_bytes(c, 2, binary::buffer(c)->head_ptr(), 3), 2);
        EXPECT_EQ(all_bytes(c), "0102010203");
        EXPECT_EQ(binary::overwrite_bytes(c, 0, binary::buffer(c)->head_ptr() + 1, 2), 0);
        EXPECT_EQ(all_bytes(c), "0201010203");
    }
}

TEST_F(BinaryModify, AppendInt32MakesRoom) {
    Cell& b = bin("");
    std::string expected;
    for (uint32_t v : {0x01020304u, 0xFFFFFFFEu, 0u, 0x80000000u, 0x7FFFFFFFu}) {
        binary::append_int32(b, v);
        char text[9];
        std::snprintf(text, sizeof text, "%08X", v);
        expected += text;
    }
    EXPECT_EQ(all_bytes(b), expected);
    Cell& big = bin("");
    for (int i = 0; i < 1000; ++i) binary::append_int32(big, uint32_t(i));
    EXPECT_EQ(binary::ks_length(big), 4000);
    EXPECT_EQ(binary::ks_abs_at(big, 3999), uint8_t(999 & 0xFF));
}

}  // namespace
}  // namespace kel::test
