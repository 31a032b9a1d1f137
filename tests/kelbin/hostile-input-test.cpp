// Malformed and hostile files: each is refused with a language error (never
// a crash, an oversized allocation or a machine-stack overflow).
#include <cstring>

#include "runtime/io/compression.h"
#include "tests/kelbin/kelbin-fixture.h"

namespace kel::test {
namespace {

int invalid_record() { return id(ErrorId::script_kb_invalid_record); }
int invalid_data() { return id(ErrorId::script_invalid_data); }

// Where a valid file's payload size lies and how large its records area is.
struct PayloadField {
    size_t at;  // the size field's first byte
    size_t end;  // past it
    uint32_t size;
};

PayloadField payload_field(const Bytes& whole) {
    if (!(whole[7] & kelbin::FLAG_COMPACT))
        return {12, 16, uint32_t(whole[12]) | uint32_t(whole[13]) << 8 | uint32_t(whole[14]) << 16};
    size_t i = kelbin::LEAD_SIZE;
    auto varint = [&] {
        uint32_t v = 0;
        for (int shift = 0;; shift += 7) {
            v |= uint32_t(whole[i] & 0x7F) << shift;
            if (!(whole[i++] & 0x80)) return v;
        }
    };
    varint();
    size_t at = i;
    uint32_t size = varint();
    return {at, i, size};
}

// The file with its records area cut to `keep` bytes and its payload size
// told to match: every record reader then meets the end.
Bytes records_cut(const Bytes& whole, size_t keep) {
    PayloadField f = payload_field(whole);
    Bytes out(whole.begin(), whole.begin() + long(f.at));
    if (!(whole[7] & kelbin::FLAG_COMPACT)) {
        out = cat({out, u32le(uint32_t(keep))});
    } else {
        for (uint32_t n = uint32_t(keep); true; n >>= 7) {
            out.push_back(uint8_t((n & 0x7F) | (n >= 0x80 ? 0x80 : 0)));
            if (n < 0x80) break;
        }
    }
    out.insert(out.end(), whole.begin() + long(f.end), whole.end() - long(f.size) + long(keep));
    return out;
}

TEST_F(Kelbin, EveryTruncationOfContextsAndCollectionsIsRefused) {
    Cell v = value_of(
        "o: make object! [a: 1 f: func [x] [x + a] me: none] o/me: o m: make map! [k [1]] m/k2: m "
        "h: make hash! [a b] e: try [1 / 0] reduce [in o 'a o m h next h e in e 'arg1 make vector! [1 2] "
        "charset \"ab\" make image! 1x1 :o/f]");
    for (bool compact : {true, false}) {
        Bytes whole = compact ? kelbin::encode_compact(v) : kelbin::encode_standard(v);
        ASSERT_EQ(decode(whole), -1);
        for (size_t n = 1; n < payload_field(whole).size; ++n) {
            EXPECT_EQ(decode(records_cut(whole, n)), invalid_record())
                << n << " bytes of records" << (compact ? "" : " (standard)");
        }
    }
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
        {"native index 0", bytes_of({0x15, 0x00, 0x05, 0x00}), invalid_record()},
        {"native index past the table", bytes_of({0x15, 0x6C, 0x05, 0x00}), invalid_record()},
        {"action index past the table", bytes_of({0x16, 0x3F, 0x05, 0x00}), invalid_record()},
        {"action index without an action", bytes_of({0x16, 0x08, 0x05, 0x00}), invalid_record()},
        {"native spec that is no block", bytes_of({0x15, 0x01, 0x06, 0x00}), invalid_record()},
        {"native spec missing", bytes_of({0x15, 0x01}), invalid_record()},
        {"native with a flag", bytes_of({0x55, 0x01, 0x05, 0x00}), invalid_record()},
        {"op wrapping an integer", bytes_of({0x17, 0x81}), invalid_record()},
        {"op wrapping a block", bytes_of({0x17, 0x05, 0x00}), invalid_record()},
        {"op wrapping an op", bytes_of({0x17, 0x17, 0x15, 0x01, 0x05, 0x00}), invalid_record()},
        {"native with a recorded spec of its own", bytes_of({0x15, 0x01, 0x05, 0x01, 0x81}), -1},
    };
    for (const auto& row : rows) EXPECT_EQ(decode(compact_file(row.records)), row.error) << row.what;
}

// Records of objects, functions, errors and collections, with the symbols
// a (0) and b (1). Each refused row has a sound twin that decodes.
TEST_F(Kelbin, CraftedContextAndCollectionRecordsAreRefused) {
    const Bytes object_a1 = bytes_of({0x20, 0x00, 0x0E, 0x1A, 0x01, 0x00, 0x81});  // make object! [a: 1]
    const Bytes word_a = cat({bytes_of({0x4F, 0x00, 0x00}), object_a1});  // a bound to it, index 0
    const Bytes six_nones = Bytes(6, 0x03);
    const struct {
        const char* what;
        Bytes records;
        int error;
    } rows[] = {
        {"object", object_a1, -1},
        {"word carrying its object", word_a, -1},
        {"word index past the context", cat({bytes_of({0x4F, 0x00, 0x02}), object_a1}), invalid_record()},
        {"word index -1 for a word other than self", cat({bytes_of({0x4F, 0x00, 0x01}), object_a1}), invalid_record()},
        {"word symbol not the context's", cat({bytes_of({0x4F, 0x01, 0x00}), object_a1}), invalid_record()},
        {"word index past the context through a reference",
         cat({bytes_of({0x05, 0x02}), word_a, bytes_of({0xC1, 0x4F, 0x00, 0x0A, 0x02, 0x00, 0x00})}), invalid_record()},
        {"word referring to its object through a word",
         cat({bytes_of({0x05, 0x02}), word_a, bytes_of({0xC1, 0x4F, 0x00, 0x00, 0x02, 0x00, 0x00})}), -1},
        {"word referring to an integer", bytes_of({0x05, 0x02, 0x81, 0xC1, 0x4F, 0x00, 0x00, 0x02, 0x00, 0x00}),
         invalid_record()},
        {"inline owner that is a block", bytes_of({0x4F, 0x00, 0x00, 0x05, 0x00}), invalid_record()},
        {"object context with values on the stack", bytes_of({0x20, 0x00, 0x0E, 0x1E, 0x01, 0x00, 0x81}),
         invalid_record()},
        {"object without its context", bytes_of({0x20, 0x00, 0x05, 0x00}), invalid_record()},
        {"object naming a word twice", bytes_of({0x20, 0x00, 0x0E, 0x1A, 0x02, 0x00, 0x00, 0x81, 0x82}),
         invalid_record()},
        {"object referring to a block", bytes_of({0x05, 0x02, 0x05, 0x00, 0xC1, 0x20, 0x02, 0x00, 0x00}),
         invalid_record()},
        // func [a] []
        {"function", bytes_of({0x18, 0x01, 0x00, 0x0E, 0x05, 0x01, 0x00, 0x05, 0x01, 0x0F, 0x00, 0x05, 0x00}), -1},
        {"function words other than its spec's",
         bytes_of({0x18, 0x01, 0x00, 0x0E, 0x05, 0x01, 0x01, 0x05, 0x01, 0x0F, 0x00, 0x05, 0x00}), invalid_record()},
        {"function spec make function! refuses",
         bytes_of({0x18, 0x01, 0x00, 0x0E, 0x05, 0x00, 0x05, 0x01, 0xFF, 0x01, 0x00, 0x05, 0x00}), invalid_record()},
        {"function spec not a block", bytes_of({0x18, 0x00, 0x00, 0x0E, 0x05, 0x00, 0x06, 0x00, 0x05, 0x00}),
         invalid_record()},
        {"function body not a block", bytes_of({0x18, 0x00, 0x00, 0x0E, 0x05, 0x00, 0x05, 0x00, 0x81}),
         invalid_record()},
        {"function context with values", bytes_of({0x18, 0x00, 0x00, 0x0E, 0x15, 0x00, 0x05, 0x00, 0x05, 0x00}),
         invalid_record()},
        {"error of code 400", cat({bytes_of({0x22, 0x90, 0x03}), six_nones}), -1},
        {"error code not in the catalog", cat({bytes_of({0x22, 0x8F, 0x4E}), six_nones}), invalid_record()},
        {"error code of 2^31", cat({bytes_of({0x22, 0x80, 0x80, 0x80, 0x80, 0x08}), six_nones}), invalid_record()},
        {"map of an odd count", bytes_of({0x28, 0x03, 0x81, 0x82, 0x83}), invalid_record()},
        {"map key of a refused type", bytes_of({0x28, 0x02, 0x03, 0x81}), invalid_record()},
        {"map key given twice", bytes_of({0x28, 0x04, 0x81, 0x82, 0x81, 0x83}), invalid_record()},
        {"vector of 8-byte integers", cat({bytes_of({0x23, 0x2F, 0x01}), Bytes(8, 0)}), invalid_record()},
        {"vector of 2-byte floats", bytes_of({0x23, 0x31, 0x01, 0x00, 0x00}), invalid_record()},
        {"vector of 4-byte percents", bytes_of({0x23, 0x9A, 0x01, 0x00, 0x00, 0x00, 0x00}), invalid_record()},
        {"vector of strings", bytes_of({0x23, 0x1C, 0x01, 0x00}), invalid_record()},
        {"vector char above U+10FFFF", bytes_of({0x23, 0x2A, 0x01, 0x00, 0x00, 0x11, 0x00}), invalid_record()},
        {"vector count beyond the data", bytes_of({0x23, 0x2E, 0x05, 0x00, 0x00, 0x00, 0x00}), invalid_record()},
        {"image pixels beyond the data", bytes_of({0x35, 0xFF, 0xFF, 0x03, 0xFF, 0xFF, 0x03, 0, 0, 0, 0}),
         invalid_record()},
        {"image width above 65,535", bytes_of({0x35, 0x80, 0x80, 0x04, 0x01, 0, 0, 0, 0}), invalid_record()},
        {"bitset count beyond the data", bytes_of({0x1E, 0x05, 0x01}), invalid_record()},
        {"hash head past the contents", bytes_of({0x64, 0x02, 0x01, 0x81}), invalid_record()},
        {"vector record over a block", bytes_of({0x05, 0x02, 0x05, 0x00, 0xC1, 0x23, 0x02, 0x00, 0x00}),
         invalid_record()},
        {"hash record over a block", bytes_of({0x05, 0x02, 0x05, 0x00, 0xC1, 0x24, 0x02, 0x00, 0x00}),
         invalid_record()},
        {"map record over a block", bytes_of({0x05, 0x02, 0x05, 0x00, 0xC1, 0x28, 0x02, 0x00, 0x00}), invalid_record()},
        {"bitset record over a binary", bytes_of({0x05, 0x02, 0x29, 0x00, 0xC1, 0x1E, 0x02, 0x00, 0x00}),
         invalid_record()},
        {"image record over a binary", bytes_of({0x05, 0x02, 0x29, 0x00, 0xC1, 0x35, 0x02, 0x00, 0x00}),
         invalid_record()},
        {"hash reference head past the tail",
         bytes_of({0x05, 0x02, 0x24, 0x01, 0x81, 0xC1, 0x64, 0x05, 0x02, 0x00, 0x00}), invalid_record()},
    };
    for (const auto& row : rows)
        EXPECT_EQ(decode(with_symbols({0, 2}, bytes_of({'a', 0, 'b', 0}), row.records)), row.error) << row.what;
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
    // A bomb: a 17-byte frame claiming 4 GB (single segment, 8-byte content
    // size), one RLE block of 128 KB. Refused before anything is allocated.
    Bytes bomb = bytes_of({0x28, 0xB5, 0x2F, 0xFD, 0xE0, 0, 0, 0, 0, 1, 0, 0, 0, 0x03, 0x00, 0x10, 0x00});
    EXPECT_EQ(decode(cat({lead, u32le(uint32_t(bomb.size())), bomb})), invalid_data());
    // Its twin claiming the 128 KB it holds is a frame the decoder takes.
    Bytes honest = bomb;
    honest[9] = 0;
    honest[7] = 0x02;
    EXPECT_NE(decode(cat({lead, u32le(uint32_t(honest.size())), honest})), invalid_data());
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
