// Corrupt, truncated and lying input for every method: each gives bad data
// (never a crash, an overrun or an allocation the input cannot justify), and
// sizes read from the input never size memory beyond what the input can
// produce. Mutations come from fixed seeds and run under the sanitizers.
#include "runtime/checksum/crc32.h"
#include "tests/compression/compression-fixture.h"

namespace kel::test {
namespace {

// The result of decoding, with the memory the sink took. The input is read
// from the end of readable memory, so reading past it faults.
struct Decoded {
    Code code;
    size_t capacity;
};

Decoded decode(Method m, std::span<const uint8_t> in, size_t size = 0) {
    AtPageEnd guarded(in);
    compression::GrowingSink sink;
    auto r = compression::decompress(m, guarded.bytes(), size, sink);
    return {r.code, sink.capacity()};
}

TEST(HostileInput, EveryTruncationIsBadData) {
    Bytes data = text_data(3000, 1);
    for (Method m : ALL_METHODS) {
        Bytes packed = ours_compress(m, data).bytes;
        for (size_t n = 0; n < packed.size(); ++n)
            ASSERT_EQ(decode(m, std::span(packed).first(n)).code, Code::bad_data) << name_of(m) << " " << n;
    }
}

TEST(HostileInput, BytesAfterTheStreamAreBadData) {
    Bytes data = text_data(3000, 2);
    for (Method m : ALL_METHODS) {
        Bytes packed = ours_compress(m, data).bytes;
        packed.push_back(0);
        EXPECT_EQ(decode(m, packed).code, Code::bad_data) << name_of(m);
    }
}

TEST(HostileInput, ZlibShorterThanItsFramingIsBadData) {
    // Header and trailer need six bytes; shorter input would be read past its
    // end looking for them.
    const Bytes cases[] = {{}, {0x78}, {0x78, 0x9C}, {0x78, 0x9C, 0x03, 0x00}, {0x78, 0x9C, 0x03, 0x00, 0x00}};
    for (const Bytes& c : cases) EXPECT_EQ(decode(Method::zlib, c).code, Code::bad_data) << c.size();
    const Bytes empty_stream = {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(decode(Method::zlib, empty_stream).code, Code::ok);
    // Header checks: check bits, method, window, preset dictionary.
    const Bytes headers[] = {{0x78, 0x9D}, {0x79, 0x9C}, {0x88, 0x98}, {0x78, 0xBB}};
    for (const Bytes& h : headers) {
        Bytes bad = empty_stream;
        bad[0] = h[0];
        bad[1] = h[1];
        EXPECT_EQ(decode(Method::zlib, bad).code, Code::bad_data) << int(h[0]) << " " << int(h[1]);
    }
}

void set_le32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

TEST(HostileInput, GzipLengthThatLiesIsBadDataWithoutTheMemory) {
    Bytes data = text_data(10000, 3);
    Bytes packed = ours_compress(Method::gzip, data).bytes;
    const size_t length_at = packed.size() - 4;
    // An 18-byte stream claiming 4 GB, and a real one claiming more than its
    // data can expand to: refused before any output memory is taken.
    Bytes tiny = ours_compress(Method::gzip, {}).bytes;
    ASSERT_EQ(tiny.size(), 20u);
    set_le32(tiny, tiny.size() - 4, 0xFFFFFFFF);
    Decoded d = decode(Method::gzip, tiny);
    EXPECT_EQ(d.code, Code::bad_data);
    EXPECT_EQ(d.capacity, 0u);
    Bytes huge = packed;
    set_le32(huge, length_at, 0x7FFFFFF0);
    d = decode(Method::gzip, huge);
    EXPECT_EQ(d.code, Code::bad_data);
    EXPECT_EQ(d.capacity, 0u);
    // Plausible but wrong lengths: more output than stated is bad data (never
    // a request for more room), less is bad data too. With the CRC of the
    // real output left in place only the length is at fault.
    for (uint32_t claimed : {uint32_t(0), uint32_t(data.size() - 1), uint32_t(data.size() + 1), uint32_t(50000)}) {
        Bytes lying = packed;
        set_le32(lying, length_at, claimed);
        d = decode(Method::gzip, lying);
        EXPECT_EQ(d.code, Code::bad_data) << claimed;
        EXPECT_LE(d.capacity, std::max<size_t>(claimed, 1)) << claimed;
        // Into a buffer that holds the claimed length the lie is the same bad
        // data, not a call for a larger buffer.
        size_t needed = 0;
        EXPECT_EQ(ours_decompress_into(Method::gzip, lying, 60000, &needed).code, Code::bad_data) << claimed;
    }
}

// A zstd frame by hand: magic, a single-segment header with an 8-byte
// content size, and one raw block holding `payload`.
Bytes zstd_frame_claiming(uint64_t content_size, const Bytes& payload) {
    Bytes out = {0x28, 0xB5, 0x2F, 0xFD, 0xE0};
    for (int i = 0; i < 8; ++i) out.push_back(uint8_t(content_size >> (8 * i)));
    uint32_t block = 1 | uint32_t(payload.size()) << 3;  // last, raw
    out.push_back(uint8_t(block));
    out.push_back(uint8_t(block >> 8));
    out.push_back(uint8_t(block >> 16));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

TEST(HostileInput, ZstdContentSizeThatLiesIsBadDataWithoutTheMemory) {
    const Bytes payload = bytes_of("hello");
    Outcome honest = ours_decompress(Method::zstd, zstd_frame_claiming(5, payload));
    ASSERT_EQ(honest.code, Code::ok);  // the hand-made frame is right
    EXPECT_TRUE(honest.bytes == payload);
    for (uint64_t claimed : {uint64_t(1) << 40, uint64_t(0xFFFFFFFF), uint64_t(0x80000000), uint64_t(1) << 30}) {
        Decoded d = decode(Method::zstd, zstd_frame_claiming(claimed, payload));
        EXPECT_EQ(d.code, Code::bad_data) << claimed;
        EXPECT_EQ(d.capacity, 0u) << claimed;
    }
    // Within what 18 bytes could make, but not what this frame makes.
    for (uint64_t claimed : {uint64_t(0), uint64_t(4), uint64_t(6), uint64_t(100000)}) {
        Decoded d = decode(Method::zstd, zstd_frame_claiming(claimed, payload));
        EXPECT_EQ(d.code, Code::bad_data) << claimed;
        EXPECT_LE(d.capacity, std::max<size_t>(claimed, 65536)) << claimed;
    }
}

// The largest expansion is allowed: a million zero bytes packed by each
// method decode, although the ratio is far above what text gives.
TEST(HostileInput, HighButHonestRatiosDecode) {
    Bytes zeros(1 << 20, 0);
    for (Method m : ALL_METHODS) {
        Bytes packed = ours_compress(m, zeros, compression::max_level(m)).bytes;
        EXPECT_LT(packed.size(), zeros.size() / 500) << name_of(m);
        Outcome back = ours_decompress(m, packed);
        ASSERT_EQ(back.code, Code::ok) << name_of(m);
        EXPECT_TRUE(back.bytes == zeros) << name_of(m);
    }
}

// Flipped bits and changed bytes anywhere in a valid stream, and random
// bytes: decoding ends with a result, and when a zlib or gzip stream decodes
// anyway (the change fell where it does not matter) its check held.
TEST(HostileInput, MutatedStreamsNeverCrash) {
    std::mt19937 gen(20240601);
    Bytes data = text_data(20000, 4);
    for (Method m : ALL_METHODS) {
        Bytes packed = ours_compress(m, data).bytes;
        for (int round = 0; round < 1500; ++round) {
            Bytes mutated = packed;
            int changes = 1 + int(gen() % 4);
            for (int c = 0; c < changes; ++c) {
                size_t at = gen() % mutated.size();
                if (gen() % 2)
                    mutated[at] ^= uint8_t(1u << (gen() % 8));
                else
                    mutated[at] = uint8_t(gen());
            }
            AtPageEnd guarded(mutated);
            Outcome back = ours_decompress(m, guarded.bytes());
            ASSERT_TRUE(back.code == Code::ok || back.code == Code::bad_data) << name_of(m);
            if (back.code == Code::ok && (m == Method::zlib || m == Method::gzip)) {
                EXPECT_TRUE(back.bytes == data) << name_of(m);
            }
        }
        for (size_t n : {1, 2, 7, 18, 19, 100, 5000}) {
            for (int round = 0; round < 50; ++round) {
                Bytes noise = random_data(n, uint32_t(gen()));
                if (m == Method::zstd && round % 2) {
                    const uint8_t magic[] = {0x28, 0xB5, 0x2F, 0xFD};
                    std::copy(magic, magic + std::min<size_t>(4, n), noise.begin());
                } else if (m == Method::gzip && round % 2) {
                    const uint8_t magic[] = {0x1F, 0x8B, 8};
                    std::copy(magic, magic + std::min<size_t>(3, n), noise.begin());
                }
                Decoded d = decode(m, noise);
                ASSERT_TRUE(d.code == Code::ok || d.code == Code::bad_data) << name_of(m);
            }
        }
    }
}

// A sink already near the largest output: output that would pass it is bad
// data (there is no larger buffer to try), not "too small".
class NearlyFullSink final : public compression::ByteSink {
public:
    std::span<uint8_t> room(size_t) override {
        size_t left = compression::MAX_OUTPUT - size_;
        return std::span(scratch_).first(std::min(left, scratch_.size()));
    }
    void commit(size_t n) override { size_ += n; }
    size_t size() const override { return size_; }
    size_t limit() const override { return compression::MAX_OUTPUT; }

private:
    std::array<uint8_t, 4096> scratch_{};
    size_t size_ = compression::MAX_OUTPUT - 100;
};

TEST(HostileInput, OutputPastTheLargestSeriesIsBadData) {
    Bytes data = text_data(1000, 5);
    for (Method m : ALL_METHODS) {
        Bytes packed = ours_compress(m, data).bytes;
        NearlyFullSink sink;
        EXPECT_EQ(compression::decompress(m, packed, 0, sink).code, Code::bad_data) << name_of(m);
        NearlyFullSink small;
        Bytes little = ours_compress(m, std::span(data).first(50)).bytes;
        EXPECT_EQ(compression::decompress(m, little, 0, small).code, Code::ok) << name_of(m);
    }
    // A size of the caller beyond the largest output reserves no more than it.
    Bytes packed = ours_compress(Method::zlib, data).bytes;
    compression::GrowingSink sink(1 << 20);
    EXPECT_EQ(compression::decompress(Method::zlib, packed, size_t(1) << 40, sink).code, Code::ok);
    EXPECT_LE(sink.capacity(), size_t(1) << 20);
}

}  // namespace
}  // namespace kel::test
