// Every method at several levels over empty, tiny, mid-sized, 1 MB text-like
// and 1 MB random input (fixed seeds): our output decodes back with our
// decoder and with the library's own reader (zlib's inflate for zlib, gzip
// and raw DEFLATE, libzstd for zstd), and what those libraries write decodes
// with ours.
#include "tests/compression/compression-fixture.h"

namespace kel::test {
namespace {

struct Input {
    const char* name;
    Bytes bytes;
};

const std::vector<Input>& inputs() {
    static const std::vector<Input> all = {
        {"empty", {}},
        {"one byte", {0x42}},
        {"short text", bytes_of("The quick brown fox jumps over the lazy dog")},
        {"64 KB + 1 text", text_data(65537, 3)},
        {"1 MB text", text_data(1 << 20, 4)},
        {"1 MB random", random_data(1 << 20, 5)},
    };
    return all;
}

std::vector<int> levels_of(Method m) {
    if (m == Method::zstd) return {compression::DEFAULT_LEVEL, 1, 9, 19};
    return {compression::DEFAULT_LEVEL, 0, 1, 6, 9};
}

// The library's own reading of our output.
bool reference_decode(Method m, std::span<const uint8_t> packed, Bytes& out) {
    switch (m) {
    case Method::zlib:
        return reference_inflate(packed, 15, out);
    case Method::gzip:
        return reference_inflate(packed, 31, out);
    case Method::deflate:
        return reference_inflate(packed, -15, out);
    case Method::zstd:
        return reference_zstd_decompress(packed, out);
    }
    return false;
}

TEST(CompressionRoundTrip, EveryMethodLevelAndSize) {
    for (Method m : ALL_METHODS)
        for (int level : levels_of(m))
            for (const Input& input : inputs()) {
                // zstd's slowest level on 1 MB is slow under the sanitizers
                // and adds nothing the other levels do not show.
                if (level == 19 && input.bytes.size() > 100000) continue;
                SCOPED_TRACE(std::string(name_of(m)) + " level " + std::to_string(level) + " " + input.name);
                Outcome packed = ours_compress(m, input.bytes, level);
                ASSERT_EQ(packed.code, Code::ok);
                EXPECT_LE(packed.bytes.size(), compression::compress_bound(m, input.bytes.size()));
                Outcome back = ours_decompress(m, packed.bytes);
                ASSERT_EQ(back.code, Code::ok);
                EXPECT_TRUE(back.bytes == input.bytes);
                Bytes theirs;
                ASSERT_TRUE(reference_decode(m, packed.bytes, theirs));
                EXPECT_TRUE(theirs == input.bytes);
            }
}

TEST(CompressionRoundTrip, LibraryOutputDecodesWithOurs) {
    for (const Input& input : inputs()) {
        SCOPED_TRACE(input.name);
        for (int level : {1, 6, 9}) {
            struct Case {
                Method method;
                Bytes packed;
            } cases[] = {
                {Method::zlib, reference_deflate(input.bytes, 15, level)},
                {Method::gzip, reference_deflate(input.bytes, 31, level)},
                {Method::deflate, reference_deflate(input.bytes, -15, level)},
            };
            for (const Case& c : cases) {
                Outcome back = ours_decompress(c.method, c.packed);
                ASSERT_EQ(back.code, Code::ok) << name_of(c.method) << " level " << level;
                EXPECT_TRUE(back.bytes == input.bytes) << name_of(c.method) << " level " << level;
            }
        }
        // zlib's one-call interface, and zstd's with and without a content
        // size in the frame header.
        Bytes packed(compressBound(input.bytes.size()));
        uLongf packed_size = packed.size();
        ASSERT_EQ(compress2(packed.data(), &packed_size, input.bytes.data(), input.bytes.size(), 6), Z_OK);
        packed.resize(packed_size);
        EXPECT_TRUE(ours_decompress(Method::zlib, packed).bytes == input.bytes);

        Bytes frame(ZSTD_compressBound(input.bytes.size()));
        frame.resize(ZSTD_compress(frame.data(), frame.size(), input.bytes.data(), input.bytes.size(), 3));
        Outcome back = ours_decompress(Method::zstd, frame);
        ASSERT_EQ(back.code, Code::ok);
        EXPECT_TRUE(back.bytes == input.bytes);
        back = ours_decompress(Method::zstd, zstd_frame_without_size(input.bytes, 3));
        ASSERT_EQ(back.code, Code::ok);
        EXPECT_TRUE(back.bytes == input.bytes);
    }
}

// zstd input may hold several frames, skippable ones among them; all are
// decoded in order, with or without recorded sizes.
TEST(CompressionRoundTrip, ZstdFramesFollowOneAnother) {
    Bytes a = text_data(3000, 8), b = random_data(5000, 9);
    Bytes first = ours_compress(Method::zstd, a).bytes;
    Bytes second = zstd_frame_without_size(b, 5);
    const uint8_t skippable[] = {0x50, 0x2A, 0x4D, 0x18, 3, 0, 0, 0, 'x', 'y', 'z'};
    for (bool sized : {true, false}) {
        Bytes all = first;
        all.insert(all.end(), skippable, skippable + sizeof skippable);
        Bytes tail = sized ? ours_compress(Method::zstd, b).bytes : second;
        all.insert(all.end(), tail.begin(), tail.end());
        Outcome back = ours_decompress(Method::zstd, all);
        ASSERT_EQ(back.code, Code::ok) << sized;
        Bytes expected = a;
        expected.insert(expected.end(), b.begin(), b.end());
        EXPECT_TRUE(back.bytes == expected) << sized;
    }
}

// A caller's size is a starting point only: smaller or larger than the
// output, the output is the same.
TEST(CompressionRoundTrip, TheCallersSizeDoesNotChangeTheOutput) {
    Bytes data = text_data(100000, 10);
    for (Method m : ALL_METHODS) {
        Bytes packed = ours_compress(m, data).bytes;
        for (size_t size : {size_t(0), size_t(1), size_t(1000), data.size(), data.size() * 3}) {
            Outcome back = ours_decompress(m, packed, size);
            ASSERT_EQ(back.code, Code::ok) << name_of(m) << " " << size;
            EXPECT_TRUE(back.bytes == data) << name_of(m) << " " << size;
        }
    }
}

}  // namespace
}  // namespace kel::test
