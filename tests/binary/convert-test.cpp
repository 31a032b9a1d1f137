// Values as bytes: the byte rule of integers in every writer, to binary! of
// each spec type, /part cuts inside a UTF-8 sequence, issues read as Base16.
#include <cmath>

#include "runtime/datatypes/series.h"
#include "runtime/datatypes/word.h"
#include "tests/binary/binary-fixture.h"

namespace kel::test {
namespace {

// One integer given as a byte: append (checked), poke (the low 8 bits,
// unchecked) and to binary! of a block (checked through append).
TEST_F(Binaries, ByteValuesInEveryWriter) {
    struct Row {
        int32_t value;
        const char* appended;  // nullptr: script/invalid-arg
        const char* poked;
    };
    const Row rows[] = {
        {0, "00", "00"},      {255, "FF", "FF"},     {-1, "FF", "FF"},      {-128, "80", "80"},
        {256, nullptr, "00"}, {-129, nullptr, "7F"}, {1000, nullptr, "E8"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.value);
        Cell& b = bin("");
        Cell& v = hold(integer(r.value));
        Cell& out = hold(make_unset());
        Cell arg = make_unset();
        int err = error_of([&] { binary::append(&out, &b, &v, {}, true); }, &arg);
        if (r.appended) {
            EXPECT_EQ(err, -1);
            EXPECT_EQ(hex(b), r.appended);
        } else {
            EXPECT_EQ(err, id(ErrorId::script_invalid_arg));
            EXPECT_EQ(cell_integer(arg), r.value);
            EXPECT_EQ(hex(b), "");
        }
        Cell& one = bin("AA");
        Cell& poked = hold(make_unset());
        series::poke(&poked, &one, 1, &v, nullptr);
        EXPECT_EQ(hex(one), r.poked);

        Cell& blk = block_of({integer(1), v});
        err = error_of([&] { binary::to(&out, &b, &blk, TYPE_BINARY); });
        EXPECT_EQ(err, r.appended ? -1 : id(ErrorId::script_invalid_arg));
        if (r.appended) {
            EXPECT_EQ(hex(out), std::string("01") + r.appended);
        }
    }
    uint8_t byte = 0;
    Cell& none = hold(make_none());
    EXPECT_EQ(error_of([&] { binary::set_value(&byte, none); }), id(ErrorId::script_invalid_arg));
    binary::set_value(&byte, ch(0x1E9));
    EXPECT_EQ(byte, 0xE9);
}

TEST_F(Binaries, ToBinaryOfEachSpecType) {
    Cell& proto = bin("");
    Cell& bits = hold(make_unset());
    binary::make_at(bits, 2);
    SeriesBuffer* bb = memory::buffer_of(cell_node(bits));
    bb->head_ptr()[0] = 0x80;
    bb->head_ptr()[1] = 0x01;
    bb->tail = bb->offset + 2;
    set_type(bits, TYPE_BITSET);
    Cell percent = make_integer(0);
    percent.header = TYPE_PERCENT;
    set_cell_double(percent, 0.5);
    Cell fl = make_integer(0);
    fl.header = TYPE_FLOAT;
    set_cell_double(fl, 1.0);
    Cell neg = fl;
    set_cell_double(neg, -2.5);

    struct Row {
        const char* what;
        Cell spec;
        const char* bytes;
    };
    const Row rows[] = {
        {"integer 1", integer(1), "00000001"},
        {"integer -2", integer(-2), "FFFFFFFE"},
        {"float 1.0", fl, "3FF0000000000000"},
        {"float -2.5", neg, "C004000000000000"},
        {"percent 50%", percent, "3FE0000000000000"},
        {"string e-acute", text(U"\u00E9"), "C3A9"},
        {"string e-acute, unit 2", text(U"\u00E9", 2), "C3A9"},
        {"string from its index", at(text(U"ab\u20AC"), 1), "62E282AC"},
        {"string beyond the BMP", text(U"\U0001F600"), "F09F9880"},
        {"file!", text(U"a/b", 1, TYPE_FILE), "612F62"},
        {"url!", text(U"h:x", 1, TYPE_URL), "683A78"},
        {"empty string", text(U""), ""},
        {"char A", ch('A'), "41"},
        {"char e-acute", ch(0xE9), "C3A9"},
        {"char euro", ch(0x20AC), "E282AC"},
        {"tuple", tuple({1, 2, 3, 255}), "010203FF"},
        {"tuple of 12", tuple({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), "0102030405060708090A0B0C"},
        {"issue", word::issue_of("0aFF"), "0AFF"},
        {"issue with an odd digit", word::issue_of("414"), "41"},
        {"block of bytes", block_of({integer(1), integer(255), integer(-1)}), "01FFFF"},
        {"block of mixed values", block_of({ch('a'), text(U"b"), bin("0C"), tuple({1, 2, 3})}), "61620C010203"},
        {"nested blocks", block_of({integer(1), paren_of({integer(2), block_of({integer(3)})})}), "010203"},
        {"block from its index", at(block_of({integer(1), integer(2)}), 1), "02"},
        {"empty block", block_of({}), ""},
        {"bitset", bits, "8001"},
        {"binary from its index", at(bin("010203"), 1), "0203"},
        {"empty binary", bin(""), ""},
        {"binary with its index past the tail", at(bin("01"), 5), ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Cell& spec = hold(r.spec);
        Cell& out = hold(make_unset());
        binary::to(&out, &proto, &spec, TYPE_BINARY);
        EXPECT_EQ(type_of(out), TYPE_BINARY);
        EXPECT_EQ(int32_t(out.data1), 0);
        EXPECT_EQ(hex(out), r.bytes);
        // Always a new series: the spec's own series is never answered.
        if (type_of(spec) == TYPE_BINARY) {
            EXPECT_NE(cell_node(out), cell_node(spec));
        }
    }
}

TEST_F(Binaries, ToBinaryRefusals) {
    Cell& proto = bin("");
    Cell& out = hold(make_unset());
    Cell arg = make_unset();
    Cell& none = hold(make_none());
    EXPECT_EQ(error_of([&] { binary::to(&out, &proto, &none, TYPE_BINARY); }, &arg), id(ErrorId::script_bad_to_arg));
    EXPECT_EQ(type_of(arg), TYPE_DATATYPE);
    EXPECT_EQ(arg.data1, TYPE_BINARY);
    // A value without a byte form inside a block.
    Cell& blk = block_of({integer(1), none});
    EXPECT_EQ(error_of([&] { binary::to(&out, &proto, &blk, TYPE_BINARY); }), id(ErrorId::script_bad_to_arg));
    // A block that holds itself has no byte form.
    Cell& self = block_of({integer(1)});
    block::append_cell(self, self);
    EXPECT_EQ(error_of([&] { binary::to(&out, &proto, &self, TYPE_BINARY); }), id(ErrorId::internal_no_cycle));
    // An image gives its pixels; one without pixels none.
    Cell image{TYPE_IMAGE, 0, 0, 0};
    Cell& img = hold(image);
    EXPECT_EQ(error_of([&] { binary::to(&out, &proto, &img, TYPE_BINARY); }), -1);
    EXPECT_EQ(hex(out), "");
    // A char with no UTF-8 form.
    Cell& big = hold(ch(0x110000));
    EXPECT_EQ(error_of([&] { binary::to(&out, &proto, &big, TYPE_BINARY); }), id(ErrorId::script_invalid_char));
}

// An issue's name read as Base16: comments and whitespace pass, anything
// else (a code point above 127 included, which never reduces to a digit) is
// script/invalid-data with the issue.
TEST_F(Binaries, IssuesReadAsBase16) {
    struct Row {
        const char* name;
        const char* bytes;  // nullptr: invalid
        int64_t length;  // code points of the name
    };
    const Row rows[] = {
        {"", "", 0},
        {"DEADbeef", "DEADBEEF", 8},
        {"41;c\n42", "4142", 7},
        {"4G", nullptr, 2},
        {"\xC3\x81", nullptr, 1},  // U+00C1, whose low 7 bits are "A"
        {"4\xE2\x80\x83"
         "1",
         nullptr, 3},  // an em space
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Cell& issue = hold(word::issue_of(r.name));
        EXPECT_EQ(binary::from_issue(issue, nullptr), r.length);
        Cell& out = hold(make_unset());
        Cell arg = make_unset();
        int err = error_of([&] { binary::from_issue(issue, &out); }, &arg);
        if (r.bytes) {
            EXPECT_EQ(err, -1);
            EXPECT_EQ(hex(out), r.bytes);
        } else {
            EXPECT_EQ(err, id(ErrorId::script_invalid_data));
            EXPECT_EQ(type_of(arg), TYPE_ISSUE);
        }
    }
}

// measure and write agree for every part and the byte-part rule of blocks:
// with it the elements share one byte budget (16 per element without a
// part), without it the part counts elements.
TEST_F(Binaries, PartsOfValues) {
    struct Row {
        const char* what;
        Cell value;
        int64_t part;
        bool byte_part;
        const char* bytes;
    };
    const Row rows[] = {
        {"string cut inside e-acute", text(U"a\u00E9b"), 2, false, "61C3"},
        {"unit 2 string cut inside the euro sign", text(U"\u20ACx", 2), 2, false, "E282"},
        {"unit 4 string cut after a whole sequence", text(U"\U0001F600y"), 4, false, "F09F9880"},
        {"part 0", text(U"abc"), 0, false, ""},
        {"part past the end", text(U"ab"), 9, false, "6162"},
        {"char cut", ch(0x20AC), 1, false, "E2"},
        {"binary cut", bin("010203"), 2, false, "0102"},
        {"tuple cut", tuple({9, 8, 7}), 2, false, "0908"},
        {"block, part counts elements", block_of({text(U"ab"), text(U"cd"), text(U"ef")}), 2, false, "61626364"},
        {"block, part is a byte budget", block_of({text(U"ab"), text(U"cd"), text(U"ef")}), 3, true, "616263"},
        {"block, 16 bytes per element", block_of({text(U"0123456789abcdefXYZ")}), -1, true,
         "30313233343536373839616263646566"},
        {"block, elements beyond the budget are not read", block_of({integer(1), integer(999)}), 1, true, "01"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Cell& v = hold(r.value);
        int64_t n = binary::measure(v, r.part, r.byte_part);
        std::vector<uint8_t> out(size_t(n) + 1, 0xEE);
        EXPECT_EQ(binary::write(out.data(), v, r.part, r.byte_part), n);
        EXPECT_EQ(out[size_t(n)], 0xEE) << "written past the measured count";
        Cell& b = bin("");
        binary::append_bytes(b, out.data(), uint64_t(n));
        EXPECT_EQ(hex(b), r.bytes);
    }
}

}  // namespace
}  // namespace kel::test
