// Known texts of every encoder, what enbase takes from binaries and strings,
// and the size limits of both directions.
#include "runtime/datatypes/series.h"
#include "tests/encoding/encoding-fixture.h"

namespace kel::test {
namespace {

struct KnownText {
    Base base;
    Bytes bytes;
    const char* text;
};

TEST_F(Encodings, KnownTextsBothWays) {
    const KnownText cases[] = {
        // RFC 4648's test vectors.
        {Base::base64, bytes_of(""), ""},
        {Base::base64, bytes_of("f"), "Zg=="},
        {Base::base64, bytes_of("fo"), "Zm8="},
        {Base::base64, bytes_of("foo"), "Zm9v"},
        {Base::base64, bytes_of("foob"), "Zm9vYg=="},
        {Base::base64, bytes_of("fooba"), "Zm9vYmE="},
        {Base::base64, bytes_of("foobar"), "Zm9vYmFy"},
        {Base::base64, Bytes{0xFB, 0xFF, 0xBF}, "+/+/"},
        {Base::base16, bytes_of(""), ""},
        {Base::base16, bytes_of("foobar"), "666F6F626172"},
        {Base::base16, Bytes{0x00, 0xAB, 0xFF}, "00ABFF"},
        {Base::base2, bytes_of(""), ""},
        {Base::base2, Bytes{0x41, 0x00, 0xFF}, "010000010000000011111111"},
        {Base::base58, bytes_of(""), ""},
        {Base::base58, Bytes{0x00}, "1"},
        {Base::base58, Bytes{0x00, 0x00}, "11"},
        {Base::base58, Bytes{0x00, 0x01}, "12"},
        {Base::base58, Bytes{0x00, 0xFF}, "15Q"},
        {Base::base58, Bytes(8, 0xFF), "jpXCZedGfVQ"},
        {Base::base58, bytes_of("Hello World!"), "2NEpo7TZRRrLZSi2U"},
    };
    for (const KnownText& c : cases) {
        EXPECT_EQ(enbased(c.base, c.bytes), c.text) << name_of(c.base);
        EXPECT_EQ(debased(c.base, widened(c.text), 1), c.bytes) << name_of(c.base) << " " << c.text;
    }
}

TEST_F(Encodings, BinaryIsEncodedFromItsIndex) {
    Cell binary = make_binary(bytes_of("xyAB"));
    Rooted keep(binary);
    Cell text = make_unset();
    binary.data1 = 2;
    encoding::enbase(Base::base16, binary, text);
    EXPECT_EQ(text_of(text), "4142");
    binary.data1 = 9;  // past the tail: nothing
    encoding::enbase(Base::base16, binary, text);
    EXPECT_EQ(text_of(text), "");
}

// A string is encoded as the UTF-8 of its characters from its index,
// whatever its unit.
TEST_F(Encodings, StringIsEncodedAsUtf8FromItsIndex) {
    struct Case {
        std::u32string text;
        int32_t head;
        const char* base16;
    } cases[] = {
        {U"x\u00E9", 1, "C3A9"},           {U"\u00E9", 0, "C3A9"}, {U"ab\u20AC", 0, "6162E282AC"},
        {U"\U0001F600z", 0, "F09F98807A"}, {U"abc", 3, ""},        {U"abc", 7, ""},
    };
    for (const Case& c : cases)
        for (uint32_t unit : all_units) {
            if (!fits(c.text, unit)) continue;
            Cell str = make_text(c.text, unit);
            Rooted keep(str);
            str.data1 = uint32_t(c.head);
            Cell text = make_unset();
            encoding::enbase(Base::base16, str, text);
            EXPECT_EQ(text_of(text), c.base16) << "unit " << unit;
        }
    Cell str = make_text(U"\u00E9", 2);
    Rooted keep(str);
    Cell text = make_unset();
    encoding::enbase(Base::base64, str, text);
    EXPECT_EQ(text_of(text), "w6k=");
}

TEST_F(Encodings, DebaseReadsAStringFromItsIndex) {
    Cell str = make_text(U"zz4142", 2);
    Rooted keep(str);
    str.data1 = 2;
    NodeId node = encoding::debase(Base::base16, str);
    ASSERT_NE(node, 0u);
    EXPECT_EQ(series_bytes(node), bytes_of("AB"));
    EXPECT_EQ(memory::buffer_of(node)->unit(), 1u);
}

TEST_F(Encodings, BaseWordsAndRefusedValues) {
    EXPECT_EQ(encoding::base_of(make_integer(2)), Base::base2);
    EXPECT_EQ(encoding::base_of(make_integer(16)), Base::base16);
    EXPECT_EQ(encoding::base_of(make_integer(58)), Base::base58);
    EXPECT_EQ(encoding::base_of(make_integer(64)), Base::base64);
    for (Cell bad : {make_integer(10), make_integer(0), make_integer(-64), make_none()}) {
        EXPECT_EQ(raised([&] { encoding::base_of(bad); }), ErrorId::script_invalid_arg);
        EXPECT_EQ(error_in_flight().args[0].header, bad.header);
    }
    Cell text = make_unset();
    EXPECT_EQ(raised([&] { encoding::enbase(Base::base64, make_integer(1), text); }), ErrorId::script_invalid_arg);
}

// Sizes that wrap around in 32-bit arithmetic are refused before anything
// is allocated; the largest that fits is accepted.
TEST_F(Encodings, EnbaseSizesBeyondThirtyTwoBitsAreTooLong) {
    struct Case {
        Base base;
        uint64_t n;
    } too_long[] = {
        {Base::base58, uint64_t(1) << 31},  // 2n is 2^32
        {Base::base58, uint64_t(1) << 30},  // 2n is 2^31
        {Base::base2, uint64_t(1) << 29},  // 8n is 2^32
        {Base::base2, 260301048},  // just past the 32-bit range
        {Base::base16, uint64_t(1) << 31},
        {Base::base64, uint64_t(3) << 30},  // 4n/3 is 2^32
        {Base::base64, (uint64_t(1) << 32) + 1},
        {Base::base16, UINT64_MAX},
    };
    for (const Case& c : too_long)
        EXPECT_EQ(raised([&] { encoding::enbase_capacity(c.base, c.n); }), ErrorId::script_too_long)
            << name_of(c.base) << " " << c.n;
    EXPECT_EQ(encoding::enbase_capacity(Base::base58, 1073741823), 2147483646);
    EXPECT_EQ(encoding::enbase_capacity(Base::base2, 260301047), 2147483640);
    for (Base base : all_bases)
        for (uint64_t n : {0, 1, 2, 3, 31, 32, 33, 1000})
            EXPECT_GE(uint64_t(encoding::enbase_capacity(base, n)), encoding::encoded_room(base, n)) << name_of(base);
}

TEST_F(Encodings, DebaseOfTextBeyondTheSeriesLimitIsRefused) {
    const uint8_t text[] = "QUJD";
    EXPECT_EQ(raised([&] { encoding::debase(Base::base64, text, encoding::MAX_LENGTH + 1, 1); }),
              ErrorId::internal_no_memory);
    NodeId node = encoding::debase(Base::base64, text, 4, 1);
    ASSERT_NE(node, 0u);
    EXPECT_EQ(series_bytes(node), bytes_of("ABC"));
}

// The coders allocate their result; the source is reachable only through
// the call here, so a collection meanwhile (every allocation collects under
// KEL_GC_STRESS) must neither free it nor leave a stale address behind.
TEST_F(Encodings, SourceHeldOnlyByTheCallSurvivesTheAllocation) {
    Bytes bytes;
    for (int i = 0; i < 3000; ++i) bytes.push_back(uint8_t(i * 7));
    for (Base base : all_bases) {
        Cell binary = make_binary(bytes);
        Cell text = make_unset();
        encoding::enbase(base, cell_node(binary), 0, bytes.size(), text);
        Rooted keep(text);
        std::string expected = encoding::encode(base, bytes.data(), bytes.size());
        EXPECT_EQ(text_of(text), expected) << name_of(base);
        NodeId node = encoding::debase(base, cell_node(text), 0, expected.size());
        ASSERT_NE(node, 0u);
        EXPECT_EQ(series_bytes(node), bytes) << name_of(base);
        Cell str = make_text(U"caf\u00E9 \U0001F600", 4);
        encoding::enbase(base, str, text);
        EXPECT_EQ(text_of(text), encoding::encode(base, bytes_of("caf\xC3\xA9 \xF0\x9F\x98\x80").data(), 10))
            << name_of(base);
    }
}

}  // namespace
}  // namespace kel::test
