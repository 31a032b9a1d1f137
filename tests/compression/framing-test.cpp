// The containers as written and read: header bytes by level, gzip's optional
// header fields and header CRC, the checks of both trailers, gzip data passed
// through, the method words, and the buffer forms that report the size a
// second attempt needs.
#include "runtime/checksum/crc32.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/platform/heap.h"
#include "tests/compression/compression-fixture.h"
#include "tests/support.h"

namespace kel::test {
namespace {

TEST(CompressionFraming, HeaderBytesByLevel) {
    Bytes data = text_data(5000, 1);
    struct Case {
        int level;
        uint8_t zlib_flag;
        uint8_t gzip_extra_flags;
    } cases[] = {{0, 0x01, 4}, {1, 0x01, 4}, {2, 0x5E, 0},
                 {3, 0x5E, 0}, {5, 0x5E, 0}, {6, 0x9C, 0},
                 {7, 0xDA, 0}, {9, 0xDA, 2}, {compression::DEFAULT_LEVEL, 0x9C, 0}};
    for (const Case& c : cases) {
        Bytes z = ours_compress(Method::zlib, data, c.level).bytes;
        ASSERT_GE(z.size(), 6u);
        EXPECT_EQ(z[0], 0x78) << c.level;
        EXPECT_EQ(z[1], c.zlib_flag) << c.level;
        Bytes g = ours_compress(Method::gzip, data, c.level).bytes;
        const Bytes header = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, c.gzip_extra_flags, 4};
        EXPECT_TRUE(Bytes(g.begin(), g.begin() + 10) == header) << c.level;
        // The trailers: big-endian Adler-32; little-endian CRC-32 and length.
        uint32_t adler = uint32_t(z[z.size() - 4]) << 24 | uint32_t(z[z.size() - 3]) << 16 |
            uint32_t(z[z.size() - 2]) << 8 | z[z.size() - 1];
        EXPECT_EQ(adler, ::adler32(1, data.data(), uInt(data.size())));
        const uint8_t* t = g.data() + g.size() - 8;
        EXPECT_EQ(uint32_t(t[0] | t[1] << 8 | t[2] << 16 | uint32_t(t[3]) << 24), checksum::crc32(data));
        EXPECT_EQ(uint32_t(t[4] | t[5] << 8 | t[6] << 16 | uint32_t(t[7]) << 24), data.size());
    }
}

TEST(CompressionFraming, LevelsOutsideTheRangeAreRefused) {
    Bytes data = text_data(100, 2);
    for (Method m : ALL_METHODS) {
        for (int level : {-2, compression::max_level(m) + 1, 100})
            EXPECT_EQ(ours_compress(m, data, level).code, Code::bad_data) << name_of(m) << " " << level;
        EXPECT_EQ(ours_compress(m, data, compression::max_level(m)).code, Code::ok) << name_of(m);
    }
    EXPECT_EQ(ours_compress(Method::zstd, data, 0).code, Code::bad_data);
}

// gzip made by hand: the DEFLATE data of `data` behind a header with the
// given flags and fields.
Bytes gzip_with_fields(const Bytes& data, uint8_t flags, bool corrupt_header_crc = false) {
    Bytes out = {0x1F, 0x8B, 8, flags, 0x12, 0x34, 0x56, 0x78, 0, 3};
    auto append = [&out](std::string_view field) { out.insert(out.end(), field.begin(), field.end()); };
    if (flags & 0x04) append(std::string_view("\x06\0AB\x02\0xy", 8));  // one subfield "AB" of 2 bytes
    if (flags & 0x08) append(std::string_view("file.txt", 9));  // with its NUL
    if (flags & 0x10) append(std::string_view("a comment", 10));
    if (flags & 0x02) {
        uint32_t crc = checksum::crc32(out) ^ (corrupt_header_crc ? 1 : 0);
        out.push_back(uint8_t(crc));
        out.push_back(uint8_t(crc >> 8));
    }
    Bytes body = reference_deflate(data, -15, 6);
    out.insert(out.end(), body.begin(), body.end());
    uint32_t crc = checksum::crc32(data), n = uint32_t(data.size());
    for (uint32_t v : {crc, n})
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
    return out;
}

TEST(CompressionFraming, GzipOptionalFieldsAreSkipped) {
    Bytes data = text_data(2000, 3);
    for (uint8_t flags : {0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1E, 0x1F}) {
        Bytes packed = gzip_with_fields(data, flags);
        Outcome back = ours_decompress(Method::gzip, packed);
        ASSERT_EQ(back.code, Code::ok) << int(flags);
        EXPECT_TRUE(back.bytes == data) << int(flags);
        Bytes theirs;
        ASSERT_TRUE(reference_inflate(packed, 31, theirs)) << int(flags);  // the hand-made file is right
    }
    EXPECT_EQ(ours_decompress(Method::gzip, gzip_with_fields(data, 0x1E, true)).code, Code::bad_data);
    EXPECT_EQ(ours_decompress(Method::gzip, gzip_with_fields(data, 0x02, true)).code, Code::bad_data);
}

TEST(CompressionFraming, GzipHeadersThatAreNotTakenAreBadData) {
    Bytes good = gzip_with_fields(text_data(500, 4), 0x1C);
    struct Case {
        const char* what;
        size_t at;
        uint8_t value;
    } cases[] = {
        {"magic", 0, 0x1E},           {"magic", 1, 0x8C},           {"method", 2, 7},
        {"reserved flag 5", 3, 0x3C}, {"reserved flag 7", 3, 0x9C}, {"extra length past the end", 10, 0xFF},
    };
    for (const Case& c : cases) {
        Bytes bad = good;
        bad[c.at] = c.value;
        if (c.at == 10) bad[11] = 0xFF;
        EXPECT_EQ(ours_decompress(Method::gzip, bad).code, Code::bad_data) << c.what;
    }
    // A name that never ends.
    Bytes header = {0x1F, 0x8B, 8, 0x08, 0, 0, 0, 0, 0, 3};
    Bytes unended = header;
    unended.insert(unended.end(), 20, 'n');
    EXPECT_EQ(ours_decompress(Method::gzip, unended).code, Code::bad_data);
}

TEST(CompressionFraming, ChangedTrailersAreBadData) {
    Bytes data = text_data(3000, 5);
    for (Method m : {Method::zlib, Method::gzip}) {
        Bytes packed = ours_compress(m, data).bytes;
        const size_t trailer = m == Method::zlib ? 4 : 8;
        for (size_t i = packed.size() - trailer; i < packed.size(); ++i) {
            Bytes changed = packed;
            changed[i] ^= 0x01;
            EXPECT_EQ(ours_decompress(m, changed).code, Code::bad_data) << name_of(m) << " byte " << i;
        }
    }
}

TEST(CompressionFraming, GzipInputIsPassedThroughUnchanged) {
    Bytes gz = ours_compress(Method::gzip, text_data(1000, 6)).bytes;
    Outcome again = ours_compress(Method::gzip, gz, 9);
    ASSERT_EQ(again.code, Code::ok);
    EXPECT_TRUE(again.bytes == gz);
    // Only the three bytes 1F 8B 08 mark gzip; two of them do not.
    Bytes almost = {0x1F, 0x8B};
    Outcome packed = ours_compress(Method::gzip, almost);
    EXPECT_NE(packed.bytes, almost);
    EXPECT_TRUE(ours_decompress(Method::gzip, packed.bytes).bytes == almost);
    // Into too small a buffer the length itself is the size needed.
    Bytes small(gz.size() - 1);
    auto r = compression::compress_into(Method::gzip, small, gz, 6);
    EXPECT_EQ(r.code, Code::too_small);
    EXPECT_EQ(r.size, gz.size());
}

// The buffer forms: a first attempt with too little room reports a size with
// which the second attempt succeeds, for compression (the bound) and for
// decompression (the exact size).
TEST(CompressionFraming, TooSmallReportsASizeThatSuffices) {
    for (Method m : ALL_METHODS) {
        for (const Bytes& data : {random_data(50000, 7), text_data(50000, 8), Bytes{}}) {
            SCOPED_TRACE(std::string(name_of(m)) + " " + std::to_string(data.size()));
            // The natives' first estimate: n + n / 2048 + 32.
            Bytes out(data.size() + data.size() / 2048 + 32);
            auto r = compression::compress_into(m, out, data, 9);
            if (r.code == Code::too_small) {
                EXPECT_GE(r.size, out.size());
                out.resize(r.size);
                r = compression::compress_into(m, out, data, 9);
            }
            ASSERT_EQ(r.code, Code::ok);
            out.resize(r.size);
            for (size_t capacity : {size_t(0), data.size() / 2}) {
                size_t needed = 0;
                Outcome first = ours_decompress_into(m, out, capacity, &needed);
                if (data.size() <= capacity) continue;
                ASSERT_EQ(first.code, Code::too_small) << capacity;
                EXPECT_EQ(needed, data.size()) << capacity;
            }
            size_t produced = 0;
            Outcome second = ours_decompress_into(m, out, data.size(), &produced);
            ASSERT_EQ(second.code, Code::ok);
            EXPECT_TRUE(second.bytes == data);
        }
        // Far too little room: the bound comes back whatever was written.
        Bytes data = random_data(100000, 9);
        Bytes out(1000);
        auto r = compression::compress_into(m, out, data, 6);
        EXPECT_EQ(r.code, Code::too_small);
        EXPECT_EQ(r.size, compression::compress_bound(m, data.size()));
    }
}

// Decoding into a new block (as a zstd-packed record file is read): the
// sink's heap block is handed over with the bytes in it.
TEST(CompressionFraming, AGrowingSinkHandsItsBlockOver) {
    Bytes data = text_data(200000, 11);
    Bytes packed = ours_compress(Method::zstd, data).bytes;
    size_t before = heap::live_blocks();
    uint8_t* block;
    size_t size;
    {
        compression::GrowingSink sink;
        ASSERT_EQ(compression::decompress(Method::zstd, packed, 0, sink).code, Code::ok);
        size = sink.size();
        block = sink.take();
        EXPECT_EQ(sink.size(), 0u);
    }
    ASSERT_EQ(size, data.size());
    EXPECT_EQ(std::memcmp(block, data.data(), size), 0);
    EXPECT_EQ(heap::live_blocks(), before + 1);
    heap::free(block);
    EXPECT_EQ(heap::live_blocks(), before);
}

TEST(CompressionFraming, MethodWordsAreFoundIgnoringCase) {
    boot();
    compression::init_methods();
    struct Case {
        const char* spelling;
        Method method;
    } cases[] = {{"zlib", Method::zlib}, {"ZLIB", Method::zlib}, {"Deflate", Method::deflate},
                 {"gzip", Method::gzip}, {"GZip", Method::gzip}, {"zstd", Method::zstd}};
    for (const Case& c : cases) {
        auto found = compression::method_of(symbol::make(c.spelling));
        ASSERT_TRUE(found.has_value()) << c.spelling;
        EXPECT_EQ(*found, c.method);
    }
    for (const char* other : {"zip", "lz4", "gz", "crc32"})
        EXPECT_FALSE(compression::method_of(symbol::make(other)).has_value()) << other;
    for (int i = 1; i < compression::METHOD_COUNT; ++i)
        EXPECT_GT(compression::symbol_of(Method(i)), compression::symbol_of(Method(i - 1)));
}

}  // namespace
}  // namespace kel::test
