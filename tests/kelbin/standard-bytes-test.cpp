// The standard form's exact bytes, and its reader's refusals.
#include <cstring>

#include "runtime/datatypes/string.h"
#include "runtime/memory/roots.h"
#include "tests/kelbin/kelbin-fixture.h"

namespace kel::test {
namespace {

Bytes words(std::initializer_list<uint32_t> list) {
    Bytes b;
    for (uint32_t w : list)
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(w >> (8 * i)));
    return b;
}

Bytes standard_file(const Bytes& records) {
    Bytes f = {'K', 'E', 'L', 'B', 'I', 'N', 2, 0};
    Bytes counts = words({1, uint32_t(records.size())});
    f.insert(f.end(), counts.begin(), counts.end());
    f.insert(f.end(), records.begin(), records.end());
    return f;
}

TEST_F(Kelbin, StandardRecordsAreExact) {
    const struct {
        const char* code;
        Bytes want;
    } rows[] = {
        {"5", standard_file(words({11, 5}))},
        // Block header, head, count: the float's record then starts after a
        // filler word, at a multiple of 8; its double goes high word first.
        {"[1.5]", standard_file(words({5, 0, 1, 0, 12, 0x3FF80000, 0}))},
    };
    for (const auto& row : rows) {
        Cell v = value_of(row.code);
        EXPECT_EQ(kelbin::encode_standard(v), row.want) << row.code;
    }
    EXPECT_EQ(standard_file(words({11, 5})).size(), 24u);
    // A string of 1-byte units holding a Latin-1 letter: the raw units,
    // padded to a multiple of 4.
    Cell s{TYPE_STRING, 0, 0, 0};
    Rooted keep(s);
    string::make_at(s, 3, 1);
    SeriesBuffer* b = string::buffer(s);
    const uint8_t text[] = {'a', 'b', 0xE9};
    std::memcpy(b->head_ptr(), text, 3);
    b->tail = b->offset + 3;
    EXPECT_EQ(kelbin::encode_standard(s),
              standard_file(cat_bytes(words({7 | 1 << 8, 0, 3}), bytes_of({'a', 'b', 0xE9, 0}))));
}

TEST_F(Kelbin, StandardTruncationsAndCraftedRecordsAreRefused) {
    Bytes whole = kelbin::encode_standard(value_of("b: [x \"s\" #{01}] reduce [b b 'w next b 1.5 $1]"));
    ASSERT_EQ(decode(whole), -1);
    for (size_t n = kelbin::LEAD_SIZE; n < whole.size(); ++n) {
        Bytes cut(whole.begin(), whole.begin() + long(n));
        int want = n < kelbin::LEAD_SIZE + 8 ? id(ErrorId::script_invalid_data) : id(ErrorId::script_kb_invalid_record);
        EXPECT_EQ(decode(cut), want) << n << " bytes";
    }
    const struct {
        const char* what;
        Bytes records;
    } rows[] = {
        {"string unit 3", words({7 | 3 << 8, 0, 1, 0})},
        {"binary unit 2", words({41 | 2 << 8, 0, 1, 0})},
        {"count beyond the data", words({5, 0, 9})},
        {"head past the contents", words({5, 1, 0})},
        {"tuple of 13 bytes", words({39 | 13 << 8, 0, 0, 0})},
        {"datatype not registered", words({1, 56})},
        {"char above U+10FFFF", words({10, 0x110000})},
        {"reference prefix on an integer", words({11 | 0x80000, 5})},
        {"reference record without its marker", words({5, 0, 2, 5, 0, 0, 5 | 0x80000, 0, 7, 1, 0})},
        {"reference past the root", words({5, 0, 1, 255, 1, 1})},
        {"word without a symbol table", words({15 | 0x2000000, 0, 0})},
        {"bound word", words({15, 0, 0})},
        {"vector of 8-byte integers", words({35 | 8 << 8, 0, 1, 11, 0, 0})},
        {"vector of 3-byte units", words({35 | 3 << 8, 0, 1, 11, 0})},
        {"bitset count beyond the data", words({30, 9})},
        {"map of an odd count", words({40, 1, 11, 1})},
        {"image pixels beyond the data", words({53, 0, 0xFFFFFFFF})},
        {"object context with values on the stack", words({32, 0, 14 | 2u << 26 | 1u << 29 | 1u << 30, 0})},
        {"error code not in the catalog", words({34, 9999, 3, 3, 3, 3, 3, 3})},
        {"type id 200", words({200})},
        {"native index past the table", words({21, 108, 5, 0, 0})},
        {"native spec that is no block", words({21, 1, 6, 0, 0})},
        {"op whose record is not its wrapped type", words({23 | 22 << 16, 21, 1, 5, 0, 0})},
        {"op wrapping an integer", words({23 | 11 << 16, 11, 5})},
        {"op with bits 8-15 set", words({23 | 21 << 16 | 1 << 8, 21, 1, 5, 0, 0})},
    };
    for (const auto& row : rows)
        EXPECT_EQ(decode(standard_file(row.records)), id(ErrorId::script_kb_invalid_record)) << row.what;
}

}  // namespace
}  // namespace kel::test
