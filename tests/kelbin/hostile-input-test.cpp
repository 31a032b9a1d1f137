// Malformed and hostile files: each is refused with a language error (never
// a crash, an oversized allocation or a machine-stack overflow).
#include <cstring>

#include "runtime/io/compression.h"
#include "tests/kelbin/kelbin-fixture.h"

namespace kel::test {
namespace {

int invalid_record() { return id(ErrorId::script_kb_invalid_record); }
int invalid_data() { return id(ErrorId::script_invalid_data); }

Bytes u32le(uint32_t v) { return bytes_of({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)}); }

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A compact file with a symbol table of the given offsets and strings area
// around the records.
Bytes with_symbols(std::initializer_list<uint32_t> offsets, const Bytes& strings, const Bytes& records) {
    Bytes f = {'K',
               'E',
               'L',
               'B',
               'I',
               'N',
               2,
               5,
               1,
               uint8_t(records.size()),
               uint8_t(offsets.size()),
               uint8_t(strings.size())};
    for (uint32_t o : offsets) f = cat({f, u32le(o)});
    return cat({f, strings, records});
}

TEST_F(Kelbin, EveryTruncationIsRefused) {
    Bytes whole = encode("b: [x \"s\" #{01}] reduce [b b 'w next b 1.5 1-Jan-2000/1:00]");
    ASSERT_EQ(decode(whole), -1);
    for (size_t n = 0; n < whole.size(); ++n) {
        Bytes cut(whole.begin(), whole.begin() + long(n));
        EXPECT_EQ(decode(cut), n < kelbin::LEAD_SIZE ? invalid_data() : invalid_record()) << n << " bytes";
    }
}

TEST_F(Kelbin, CraftedRecordsAreRefused) {
    const uint32_t bad_month = (2000u << 17) | (13u << 12) | (1u << 7);
    const uint32_t timed = (2000u << 17) | 0x10000u | (1u << 12) | (1u << 7);
    const struct {
        const char* what;
        Bytes records;
        int error;
    } rows[] = {
        {"5-byte varint with high bits", bytes_of({0x0B, 0xFF, 0xFF, 0xFF, 0xFF, 0x1F}), invalid_record()},
        {"head of 2^31", bytes_of({0x45, 0x80, 0x80, 0x80, 0x80, 0x08, 0x00}), invalid_record()},
        {"head past the contents", bytes_of({0x45, 0x02, 0x01, 0x81}), invalid_record()},
        {"block count beyond the data", bytes_of({0x05, 0x05, 0x81}), invalid_record()},
        {"string count beyond the data", bytes_of({0x07, 0x0C, 'a'}), invalid_record()},
        {"string unit code 3", bytes_of({0x07, 0x07, 1, 2, 3, 4, 5, 6, 7, 8}), invalid_record()},
        {"4-byte unit above U+10FFFF", bytes_of({0x07, 0x06, 0x00, 0x00, 0x11, 0x00}), invalid_record()},
        {"char above U+10FFFF", bytes_of({0x0A, 0x80, 0x80, 0x44}), invalid_record()},
        {"datatype id 0", bytes_of({0x01, 0x00}), invalid_record()},
        {"datatype id not registered", bytes_of({0x01, 56}), invalid_record()},
        {"date with month 13", cat({bytes_of({0x2F}), u32le(bad_month)}), invalid_record()},
        {"date flag without time", cat({bytes_of({0x6F}), u32le(bad_month & ~0x10000u)}), invalid_record()},
        {"date time without flag", cat({bytes_of({0x2F}), u32le(timed), Bytes(8, 0)}), invalid_record()},
        {"date time not finite", cat({bytes_of({0x6F}), u32le(timed), u32le(0), u32le(0x7FF00000)}), invalid_record()},
        {"money currency index unknown", cat({bytes_of({0x31, 0xFF}), Bytes(11, 0)}), invalid_record()},
        {"money digit nibble above 9", cat({bytes_of({0x31, 0x00, 0xAA}), Bytes(10, 0)}), invalid_record()},
        {"money cut short", bytes_of({0x31, 0, 0, 0}), invalid_record()},
        {"tuple of 0 bytes", bytes_of({0x67, 0}), invalid_record()},
        {"tuple of 13 bytes", cat({bytes_of({0x67, 13}), Bytes(13, 1)}), invalid_record()},
        {"typeset of 13 bytes", cat({bytes_of({0x21, 13}), Bytes(13, 1)}), invalid_record()},
        {"type id 0", bytes_of({0x00}), invalid_record()},
        {"escaped type id 0", bytes_of({0x3F, 0x00}), invalid_record()},
        {"escaped type id without record", bytes_of({0x3F, 0x7F}), invalid_record()},
        {"lead byte 0xC5", bytes_of({0xC5}), invalid_record()},
        {"lead byte 0xFE", bytes_of({0xFE}), invalid_record()},
        {"reference prefix before a small integer", bytes_of({0xC1, 0x81}), invalid_record()},
        {"set prefix", bytes_of({0xC4, 0x0F, 0x00}), invalid_record()},
        {"symbol without a table", bytes_of({0x0F, 0x00}), invalid_record()},
        {"path of 0 entries", bytes_of({0xC1, 0x05, 0x00}), invalid_record()},
        {"path of 65,537 entries", bytes_of({0xC1, 0x05, 0x81, 0x80, 0x04}), invalid_record()},
        {"path that does not resolve", bytes_of({0x05, 0x01, 0xC1, 0x05, 0x02, 0x00, 0x05}), invalid_record()},
        {"path through a string", bytes_of({0x05, 0x02, 0x07, 0x04, 'a', 0xC1, 0x05, 0x03, 0x00, 0x00, 0x00}),
         invalid_record()},
        {"block record over a string", bytes_of({0x05, 0x02, 0x07, 0x0C, 'a', 'b', 'c', 0xC1, 0x05, 0x02, 0x00, 0x00}),
         invalid_record()},
        {"string record over a block", bytes_of({0x05, 0x02, 0x05, 0x00, 0xC1, 0x07, 0x02, 0x00, 0x00}),
         invalid_record()},
        {"binary record over a string", bytes_of({0x05, 0x02, 0x07, 0x04, 'a', 0xC1, 0x29, 0x02, 0x00, 0x00}),
         invalid_record()},
        {"reference head past the tail", bytes_of({0x05, 0x02, 0x05, 0x00, 0xC1, 0x45, 0x05, 0x02, 0x00, 0x00}),
         invalid_record()},
        {"stand-alone reference to the root", bytes_of({0x05, 0x01, 0xFF, 0x01, 0x00}), -1},
        {"routine! record", bytes_of({0x1D}), id(ErrorId::access_no_codec)},
        {"handle! record", bytes_of({0x2E}), id(ErrorId::access_no_codec)},
        {"port! record", bytes_of({0x30}), id(ErrorId::access_no_codec)},
    };
    for (const auto& row : rows) EXPECT_EQ(decode(compact_file(row.records)), row.error) << row.what;
}

TEST_F(Kelbin, ErrorsGiveTheBytePosition) {
    // The file's 11th byte is the record's type byte, its 12th the bad
    // datatype id: reading stops after it.
    Cell arg{};
    ASSERT_EQ(decode(compact_file(bytes_of({0x01, 56})), &arg), invalid_record());
    EXPECT_EQ(type_of(arg), TYPE_INTEGER);
    EXPECT_EQ(cell_integer(arg), 13);
}

TEST_F(Kelbin, CraftedSymbolTablesAreRefused) {
    const Bytes word = bytes_of({0x0F, 0x00});
    const struct {
        const char* what;
        Bytes file;
    } rows[] = {
        {"offset out of range", with_symbols({5}, bytes_of({'a', 0}), word)},
        {"strings without a final NUL", with_symbols({0}, bytes_of({'a', 'b'}), word)},
        {"empty name", with_symbols({0}, bytes_of({0}), word)},
        {"name not UTF-8", with_symbols({0}, bytes_of({0xFF, 0}), word)},
        {"symbol index beyond the table", with_symbols({0}, bytes_of({'a', 0}), bytes_of({0x0F, 0x01}))},
        {"symbol count beyond the data", cat({bytes_of({'K', 'E', 'L', 'B', 'I', 'N', 2, 5, 1, 0, 100, 0})})},
    };
    for (const auto& row : rows) EXPECT_EQ(decode(row.file), invalid_record()) << row.what;
    EXPECT_EQ(decode(with_symbols({0, 2}, bytes_of({'a', 0, 'b', 0}), bytes_of({0x05, 0x02, 0x0F, 0x01, 0x11, 0x00}))),
              -1);
    EXPECT_EQ(decoded_mold(), "[b 'a]");
}

TEST_F(Kelbin, LeadsThatAreNotKelbinAreInvalidData) {
    for (const Bytes& f :
         {bytes_of({}), bytes_of({'K', 'E', 'L', 'B'}), bytes_of({'K', 'E', 'L', 'B', 'I', 'X', 2, 1, 1, 1, 0x85})})
        EXPECT_EQ(decode(f), invalid_data());
}

TEST_F(Kelbin, CompressedPayloads) {
    // The payload of a valid file, compressed.
    Bytes plain = encode("[1 \"two\" three 4.5]");
    Bytes body(plain.begin() + 8, plain.end());
    Bytes frame(body.size() + 128);
    compression::Result r = compression::compress_into(compression::Method::zstd, frame, body, 3);
    ASSERT_EQ(r.code, compression::Code::ok);
    frame.resize(r.size);
    Bytes lead = {'K', 'E', 'L', 'B', 'I', 'N', 2, 7};
    ASSERT_EQ(decode(cat({lead, u32le(uint32_t(frame.size())), frame})), -1);
    EXPECT_EQ(decoded_mold(), "[1 \"two\" three 4.5]");
    // A frame size larger than the data, a corrupt frame, no size at all.
    EXPECT_EQ(decode(cat({lead, u32le(uint32_t(frame.size() + 1)), frame})), invalid_data());
    Bytes corrupt = frame;
    corrupt[corrupt.size() / 2] ^= 0xFF;
    EXPECT_EQ(decode(cat({lead, u32le(uint32_t(corrupt.size())), corrupt})), invalid_data());
    EXPECT_EQ(decode(cat({lead, bytes_of({1, 0})})), invalid_data());
    // A valid frame whose content is no valid payload: positions count from
    // the payload's start.
    Bytes junk = bytes_of({1, 1, 0x00});
    Bytes junk_frame(256);
    r = compression::compress_into(compression::Method::zstd, junk_frame, junk, 3);
    junk_frame.resize(r.size);
    Cell arg{};
    EXPECT_EQ(decode(cat({lead, u32le(uint32_t(junk_frame.size())), junk_frame}), &arg), invalid_record());
    EXPECT_EQ(cell_integer(arg), 4);
}

TEST_F(Kelbin, DeepNestingIsRefusedByTheReader) {
    Bytes records;
    for (int i = 0; i < 1000000; ++i) records.insert(records.end(), {0x05, 0x01});
    records.insert(records.end(), {0x05, 0x00});
    Bytes f = {'K', 'E', 'L', 'B', 'I', 'N', 2, 1, 1};
    uint32_t n = uint32_t(records.size());
    while (n >= 0x80) {
        f.push_back(uint8_t(n | 0x80));
        n >>= 7;
    }
    f.push_back(uint8_t(n));
    Bytes file = cat({f, records});
    on_kel_stack([&] { EXPECT_EQ(decode(file), invalid_record()); });
}

}  // namespace
}  // namespace kel::test
