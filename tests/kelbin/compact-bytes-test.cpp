// The compact form's exact bytes for the values whose encoding is fixed.
#include "tests/kelbin/kelbin-fixture.h"

namespace kel::test {
namespace {

// The records area of a value's file (the file holds no symbols).
Bytes records_of(const Bytes& file) {
    EXPECT_GE(file.size(), 10u);
    EXPECT_EQ(file[7], 1) << "flags";
    return Bytes(file.begin() + 10, file.end());
}

TEST_F(Kelbin, CompactRecordsAreExact) {
    const struct {
        const char* code;
        Bytes want;
    } rows[] = {
        {"63", bytes_of({0xBF})},
        {"64", bytes_of({0x0B, 0x80, 0x01})},
        {"-1", bytes_of({0x0B, 0x01})},
        {"1.0", bytes_of({0x4C, 0x02})},
        {"0.5", bytes_of({0x0C, 0, 0, 0, 0, 0, 0, 0xE0, 0x3F})},
        {"-0.0", bytes_of({0x0C, 0, 0, 0, 0, 0, 0, 0, 0x80})},
        {"50%", bytes_of({0x66, 0x64})},
        {"12.5%", bytes_of({0x26, 0, 0, 0, 0, 0, 0, 0xC0, 0x3F})},
        // 1-Jan-2000: year 2000 << 17, month 1 << 12, day 1 << 7.
        {"1-Jan-2000", bytes_of({0x2F, 0x80, 0x10, 0xA0, 0x0F})},
        // The same day at 12:00 UTC: bit 16, then the time double 43200.0.
        {"1-Jan-2000/12:00", bytes_of({0x6F, 0x80, 0x10, 0xA1, 0x0F, 0, 0, 0, 0, 0, 0x18, 0xE5, 0x40})},
        {"1.2.3", bytes_of({0x27, 1, 2, 3})},
        {"1.2.3.4", bytes_of({0x67, 4, 1, 2, 3, 4})},
        {"[]", bytes_of({0x05, 0x00})},
        {"true", bytes_of({0xC2})},
        {"none", bytes_of({0x03})},
    };
    for (const auto& row : rows) {
        Bytes file = encode(row.code);
        EXPECT_EQ(records_of(file), row.want) << row.code;
        EXPECT_EQ(file[9], row.want.size()) << row.code << ": payload size";
    }
}

// Tuples keep at least three components: a record of one byte reads back
// padded, one of twelve whole.
TEST_F(Kelbin, ShortTuplesReadBackPadded) {
    ASSERT_EQ(decode(compact_file(bytes_of({0x67, 0x01, 0x05}))), -1);
    EXPECT_EQ(decoded_mold(), "5.0.0");
    ASSERT_EQ(decode(compact_file(bytes_of({0x67, 0x0C, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}))), -1);
    EXPECT_EQ(decoded_mold(), "1.2.3.4.5.6.7.8.9.10.11.12");
}

TEST_F(Kelbin, WholeFileOfOneInteger) {
    EXPECT_EQ(encode("5"), bytes_of({'K', 'E', 'L', 'B', 'I', 'N', 2, 1, 1, 1, 0x85}));
}

TEST_F(Kelbin, SharedBlockIsWrittenOnceThenByPath) {
    // The outer block is the root value (position 0), the inner its first
    // element: the second occurrence is the path [0, 0].
    Bytes records = records_of(encode("b: [] reduce [b b]"));
    EXPECT_EQ(records, bytes_of({0x05, 0x02, 0x05, 0x00, 0xC1, 0x05, 0x02, 0x00, 0x00}));
}

TEST_F(Kelbin, WordsShareOneSymbolTable) {
    Bytes file = encode("[alpha beta alpha]");
    Bytes want = {'K', 'E', 'L', 'B', 'I', 'N', 2,   5,   1,   8,   2, 11,   0,    0,    0,    0,    6,    0,    0,
                  0,  // two symbols, 11 bytes of names
                  'a', 'l', 'p', 'h', 'a', 0,   'b', 'e', 't', 'a', 0, 0x05, 0x03, 0x0F, 0x00, 0x0F, 0x01, 0x0F, 0x00};
    EXPECT_EQ(file, want);
}

}  // namespace
}  // namespace kel::test
