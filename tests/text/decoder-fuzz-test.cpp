// Randomized inputs for the decoders: byte strings built from valid
// sequences, stray continuation bytes, cut-off sequences and arbitrary bytes,
// each in a heap block of its exact size. The two decoders must agree with
// each other, never read past the end, and a load must either raise or give
// back exactly the bytes it consumed.
#include <memory>
#include <random>

#include "tests/text/text-fixture.h"

namespace kel::test {
namespace {

using namespace unicode;

Bytes random_text(std::mt19937& rng) {
    Bytes out;
    int pieces = int(rng() % 40);
    for (int i = 0; i < pieces; i++) {
        switch (rng() % 6) {
        case 0:  // ASCII run, sometimes long enough for the word-at-a-time path
            for (uint32_t k = rng() % 20; k > 0; k--) out.push_back(uint8_t(rng() % 0x80));
            break;
        case 1: {  // a valid scalar value
            uint32_t cp = rng() % 0x110000;
            if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFE;
            uint8_t b[4];
            int32_t n = encode_utf8_char(cp, b);
            out.insert(out.end(), b, b + n);
            break;
        }
        case 2: {  // a valid sequence cut short
            uint8_t b[4];
            int32_t n = encode_utf8_char(0x800 + rng() % 0x10F800, b);
            out.insert(out.end(), b, b + 1 + rng() % uint32_t(n - 1));
            break;
        }
        case 3:
            out.push_back(uint8_t(0x80 + rng() % 0x40));
            break;  // continuation byte
        case 4:
            out.push_back(uint8_t(0xC0 + rng() % 0x40));
            break;  // lead byte
        default:
            out.push_back(uint8_t(rng()));
            break;
        }
    }
    return out;
}

struct DecoderFuzz : Text {};

TEST_F(DecoderFuzz, DecodersAgreeAndStayInBounds) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 4000; round++) {
        Bytes text = random_text(rng);
        size_t size = text.size();
        std::unique_ptr<uint8_t[]> block(new uint8_t[size ? size : 1]);
        if (size) std::memcpy(block.get(), text.data(), size);
        const uint8_t* begin = block.get();
        const uint8_t* end = begin + size;

        int32_t steps = 0;
        for (const uint8_t* p = begin; p < end; steps++) {
            int32_t fast = 0, len = 0;
            const uint8_t* q = fast_decode_utf8_char(p, end, fast);
            int32_t checked = decode_utf8_status(p, int32_t(end - p), len);
            ASSERT_GT(q, p);
            ASSERT_LE(q, end);
            ASSERT_LE(q - p, 4);
            if (checked >= 0) {
                ASSERT_EQ(fast, checked) << "round " << round;
                ASSERT_EQ(q - p, len) << "round " << round;
            } else {
                ASSERT_EQ(fast, -1) << "round " << round;
                if (checked == DECODE_INCOMPLETE) {
                    ASSERT_EQ(q, end) << "round " << round;
                }
            }
            p = q;
        }
        ASSERT_EQ(count_chars(begin, end), steps);

        // The load's outcome follows from a walk of the checked decoder.
        const uint8_t* p = begin;
        if (size >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) p += 3;
        bool malformed = false;
        Points want;
        while (p < end) {
            int32_t len = 0;
            int32_t cp = decode_utf8_status(p, int32_t(end - p), len);
            if (cp == DECODE_MALFORMED) malformed = true;
            if (cp < 0) break;
            want.push_back(uint32_t(cp));
            p += len;
        }
        NodeId node = 0;
        int32_t unconsumed = -1;
        int err = error_of([&] { node = load_utf8(begin, int32_t(size), 0, &unconsumed, false); });
        if (malformed) {
            ASSERT_EQ(err, int(ErrorId::access_invalid_utf8)) << "round " << round;
            continue;
        }
        ASSERT_EQ(err, -1) << "round " << round;
        ASSERT_EQ(points_of(node), want) << "round " << round;
        ASSERT_EQ(unconsumed, int32_t(end - p)) << "round " << round;

        // And back: the string's UTF-8 is the bytes the load consumed.
        Cell s{TYPE_STRING, 0, node, 0};
        int32_t out_len = -1;
        uint8_t* out = to_utf8(s, out_len);
        const uint8_t* from = size >= 3 && begin[0] == 0xEF && begin[1] == 0xBB && begin[2] == 0xBF ? begin + 3 : begin;
        ASSERT_EQ(Bytes(out, out + out_len), Bytes(from, p)) << "round " << round;
    }
}

}  // namespace
}  // namespace kel::test
