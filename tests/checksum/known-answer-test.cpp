// Known answers of every checksum method: the standard check values of CRC-32,
// Adler-32 and the internet checksum, the FIPS 180 and RFC 1321 digest
// vectors, and the HMAC vectors of RFC 2202 (MD5, SHA-1) and RFC 4231 (SHA-2),
// including the keys longer than a block that are hashed first.
#include <gtest/gtest.h>

#include "runtime/checksum/adler32.h"
#include "runtime/checksum/crc32.h"
#include "runtime/checksum/digest.h"
#include "runtime/checksum/internet-checksum.h"
#include "runtime/platform/shared-library.h"
#include "tests/checksum/checksum-fixture.h"

namespace kel::test {
namespace {

using checksum::Digest;

TEST(Crc32, StandardCheckValues) {
    struct Case {
        std::string_view text;
        uint32_t crc;
    } cases[] = {
        {"", 0x00000000},
        {"a", 0xE8B7BE43},
        {"abc", 0x352441C2},
        {"123456789", 0xCBF43926},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339},
    };
    for (const Case& c : cases) EXPECT_EQ(checksum::crc32(bytes_of(c.text)), c.crc) << c.text;
    EXPECT_EQ(checksum::crc32(repeated(0, 32)), 0x190A55ADu);
    EXPECT_EQ(checksum::crc32(repeated(0xFF, 32)), 0xFF6CAB0Bu);
}

TEST(Adler32, StandardCheckValues) {
    struct Case {
        std::string_view text;
        uint32_t sum;
    } cases[] = {
        {"", 0x00000001}, {"a", 0x00620062}, {"abc", 0x024D0127}, {"Wikipedia", 0x11E60398}, {"123456789", 0x091E01DE},
    };
    for (const Case& c : cases) EXPECT_EQ(checksum::adler32(bytes_of(c.text)), c.sum) << c.text;
}

TEST(InternetChecksum, StandardCheckValues) {
    EXPECT_EQ(checksum::internet_checksum({}), 0xFFFF);
    const uint8_t one[] = {0x01};
    EXPECT_EQ(checksum::internet_checksum(one), 0xFEFF);
    // RFC 1071's example: the words 0001 F203 F4F5 F6F7 sum to DDF2.
    const uint8_t rfc1071[] = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
    EXPECT_EQ(checksum::internet_checksum(rfc1071), 0x220D);
    // An IPv4 header whose checksum field holds its own checksum sums to FFFF,
    // so its checksum is 0.
    const uint8_t ipv4[] = {0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,
                            0xB8, 0x61, 0xC0, 0xA8, 0x00, 0x01, 0xC0, 0xA8, 0x00, 0xC7};
    EXPECT_EQ(checksum::internet_checksum(ipv4), 0x0000);
    // An odd last byte is the high byte of its word.
    const uint8_t odd[] = {0x12, 0x34, 0x56};
    EXPECT_EQ(checksum::internet_checksum(odd), uint16_t(~(0x1234 + 0x5600)));
}

struct DigestCase {
    Digest method;
    std::string_view message;  // "a*1000000" stands for a million a's
    std::string_view value;
};

std::vector<uint8_t> message_of(std::string_view m) {
    if (m == "a*1000000") return repeated('a', 1000000);
    auto b = bytes_of(m);
    return {b.begin(), b.end()};
}

const char* const NIST_448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";

TEST(Digest, StandardVectors) {
    const DigestCase cases[] = {
        {Digest::md5, "", "d41d8cd98f00b204e9800998ecf8427e"},
        {Digest::md5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
        {Digest::md5, NIST_448, "8215ef0796a20bcaaae116d3876c664a"},
        {Digest::md5, "a*1000000", "7707d6ae4e027c70eea2a935c2296f21"},
        {Digest::sha1, "", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {Digest::sha1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {Digest::sha1, NIST_448, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {Digest::sha1, "a*1000000", "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        {Digest::sha256, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {Digest::sha256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {Digest::sha256, NIST_448, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {Digest::sha256, "a*1000000", "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {Digest::sha384, "",
         "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b"},
        {Digest::sha384, "abc",
         "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
        {Digest::sha384, NIST_448,
         "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6b0455a8520bc4e6f5fe95b1fe3c8452b"},
        {Digest::sha384, "a*1000000",
         "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985"},
        {Digest::sha512, "",
         "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
         "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
        {Digest::sha512, "abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
         "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {Digest::sha512, NIST_448,
         "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c335"
         "96fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd70354ec631238ca3445"},
        {Digest::sha512, "a*1000000",
         "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
         "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
    };
    for (const DigestCase& c : cases) {
        std::vector<uint8_t> m = message_of(c.message);
        auto value = checksum::digest(c.method, m);
        ASSERT_TRUE(value.has_value()) << c.message;
        EXPECT_EQ(value->size, checksum::digest_size(c.method));
        EXPECT_EQ(hex(value->view()), c.value) << int(c.method) << " " << c.message.substr(0, 10);
        // The bytes past the digest are clear, never left over from elsewhere.
        for (size_t i = value->size; i < checksum::MAX_DIGEST_SIZE; ++i) EXPECT_EQ(value->bytes[i], 0);
    }
}

TEST(Digest, PiecesGiveTheDigestOfTheWhole) {
    std::vector<uint8_t> data = random_bytes(10007, 5);
    for (Digest method : {Digest::md5, Digest::sha1, Digest::sha256, Digest::sha384, Digest::sha512}) {
        checksum::DigestContext context(method);
        for (size_t at = 0; at < data.size(); at += 997)
            ASSERT_TRUE(context.update(std::span(data).subspan(at, std::min<size_t>(997, data.size() - at))));
        auto pieces = context.finish();
        ASSERT_TRUE(pieces.has_value());
        EXPECT_EQ(hex(pieces->view()), hex(checksum::digest(method, data)->view()));
        // A context finishes once.
        EXPECT_FALSE(context.finish().has_value());
        EXPECT_FALSE(context.update(data));
    }
}

// Without the crypto library a digest fails (its callers raise their error),
// and a context made before loading was refused still finishes.
TEST(Digest, FailsWithoutTheLibrary) {
    const std::vector<uint8_t> data = {'a', 'b', 'c'};
    checksum::DigestContext before(Digest::sha256);
    {
        platform::RefusedLoading refused;
        EXPECT_FALSE(checksum::digest(Digest::sha256, data).has_value());
        EXPECT_FALSE(checksum::hmac(Digest::md5, data, data).has_value());
        EXPECT_TRUE(before.update(data));
        EXPECT_TRUE(before.finish().has_value());
    }
    EXPECT_TRUE(checksum::digest(Digest::sha256, data).has_value());
}

struct HmacCase {
    std::vector<uint8_t> key;
    std::string data;
    std::string_view value;
};

std::vector<uint8_t> key_of(std::string_view text) {
    auto b = bytes_of(text);
    return {b.begin(), b.end()};
}
std::vector<uint8_t> counting_key() {
    std::vector<uint8_t> k;
    for (int i = 1; i <= 25; ++i) k.push_back(uint8_t(i));
    return k;
}

void check_hmac(Digest method, const std::vector<HmacCase>& cases) {
    for (size_t i = 0; i < cases.size(); ++i) {
        auto value = checksum::hmac(method, bytes_of(cases[i].data), cases[i].key);
        ASSERT_TRUE(value.has_value());
        // Test case 5 of both RFCs shows a truncated value: compare its prefix.
        EXPECT_EQ(hex(value->view()).substr(0, cases[i].value.size()), cases[i].value) << "case " << i + 1;
    }
}

// RFC 2202: keys of the digest's length, and 80-byte keys (above the 64-byte
// block) in cases 6 and 7.
std::vector<HmacCase> rfc2202(size_t key_length, std::vector<std::string_view> values) {
    std::vector<std::string> data = {"Hi There",
                                     "what do ya want for nothing?",
                                     std::string(50, '\xdd'),
                                     std::string(50, '\xcd'),
                                     "Test With Truncation",
                                     "Test Using Larger Than Block-Size Key - Hash Key First",
                                     "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"};
    std::vector<std::vector<uint8_t>> keys = {
        repeated(0x0b, key_length), key_of("Jefe"),     repeated(0xaa, key_length), counting_key(),
        repeated(0x0c, key_length), repeated(0xaa, 80), repeated(0xaa, 80)};
    std::vector<HmacCase> cases;
    for (size_t i = 0; i < values.size(); ++i) cases.push_back({keys[i], data[i], values[i]});
    return cases;
}

// RFC 4231: 131-byte keys (above every block size) in cases 6 and 7.
std::vector<HmacCase> rfc4231(std::vector<std::string_view> values) {
    std::vector<std::string> data = {
        "Hi There",
        "what do ya want for nothing?",
        std::string(50, '\xdd'),
        std::string(50, '\xcd'),
        "Test With Truncation",
        "Test Using Larger Than Block-Size Key - Hash Key First",
        "This is a test using a larger than block-size key and a larger than block-size data. The key needs to be "
        "hashed before being used by the HMAC algorithm."};
    std::vector<std::vector<uint8_t>> keys = {repeated(0x0b, 20), key_of("Jefe"),     repeated(0xaa, 20),
                                              counting_key(),     repeated(0x0c, 20), repeated(0xaa, 131),
                                              repeated(0xaa, 131)};
    std::vector<HmacCase> cases;
    for (size_t i = 0; i < values.size(); ++i) cases.push_back({keys[i], data[i], values[i]});
    return cases;
}

TEST(Hmac, Rfc2202Md5) {
    check_hmac(Digest::md5,
               rfc2202(16,
                       {"9294727a3638bb1c13f48ef8158bfc9d", "750c783e6ab0b503eaa86e310a5db738",
                        "56be34521d144c88dbb8c733f0e8b3f6", "697eaf0aca3a3aea3a75164746ffaa79",
                        "56461ef2342edc00f9bab995690efd4c", "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd",
                        "6f630fad67cda0ee1fb1f562db3aa53e"}));
}

TEST(Hmac, Rfc2202Sha1) {
    check_hmac(Digest::sha1,
               rfc2202(20,
                       {"b617318655057264e28bc0b6fb378c8ef146be00", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79",
                        "125d7342b9ac11cd91a39af48aa17b4f63f175d3", "4c9007f4026250c6bc8414f9bf50c86c2d7235da",
                        "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04", "aa4ae5e15272d00e95705637ce8a3b55ed402112",
                        "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"}));
}

TEST(Hmac, Rfc4231Sha256) {
    check_hmac(
        Digest::sha256,
        rfc4231({"b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7",
                 "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843",
                 "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe",
                 "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b", "a3b6167473100ee06e0c796c2955552b",
                 "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54",
                 "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"}));
}

TEST(Hmac, Rfc4231Sha384) {
    check_hmac(
        Digest::sha384,
        rfc4231({"afd03944d84895626b0825f4ab46907f15f9dadbe4101ec682aa034c7cebc59cfaea9ea9076ede7f4af152e8b2fa9cb6",
                 "af45d2e376484031617f78d2b58a6b1b9c7ef464f5a01b47e42ec3736322445e8e2240ca5e69e2c78b3239ecfab21649",
                 "88062608d3e6ad8a0aa2ace014c8a86f0aa635d947ac9febe83ef4e55966144b2a5ab39dc13814b94e3ab6e101a34f27",
                 "3e8a69b7783c25851933ab6290af6ca77a9981480850009cc5577c6e1f573b4e6801dd23c4a7d679ccf8a386c674cffb",
                 "3abf34c3503b2a23a46efc619baef897",
                 "4ece084485813e9088d2c63a041bc5b44f9ef1012a2b588f3cd11f05033ac4c60c2ef6ab4030fe8296248df163f44952",
                 "6617178e941f020d351e2f254e8fd32c602420feb0b8fb9adccebb82461e99c5a678cc31e799176d3860e6110c46523e"}));
}

TEST(Hmac, Rfc4231Sha512) {
    check_hmac(Digest::sha512,
               rfc4231({"87aa7cdea5ef619d4ff0b4241a1d6cb02379f4e2ce4ec2787ad0b30545e17cde"
                        "daa833b7d6b8a702038b274eaea3f4e4be9d914eeb61f1702e696c203a126854",
                        "164b7a7bfcf819e2e395fbe73b56e0a387bd64222e831fd610270cd7ea250554"
                        "9758bf75c05a994a6d034f65f8f0e6fdcaeab1a34d4a6b4b636e070a38bce737",
                        "fa73b0089d56a284efb0f0756c890be9b1b5dbdd8ee81a3655f83e33b2279d39"
                        "bf3e848279a722c806b485a47e67c807b946a337bee8942674278859e13292fb",
                        "b0ba465637458c6990e5a8c5f61d4af7e576d97ff94b872de76f8050361ee3db"
                        "a91ca5c11aa25eb4d679275cc5788063a5f19741120c4f2de2adebeb10a298dd",
                        "415fad6271580a531d4179bc891d87a6",
                        "80b24263c7c1a3ebb71493c1dd7be8b49b46d1f41b4aeec1121b013783f8f352"
                        "6b56d037e05f2598bd0fd2215d6a1e5295e64f73f63f0aec8b915a985d786598",
                        "e37b6a775dc87dbaa4dfa9f96e5e3ffddebd71f8867289865df5a32d20cdc944"
                        "b6022cac3c4982b10d5eeb55c3e4de15134676fb6de0446065c97440fa8c6a58"}));
}

// A key exactly one block long is used as it is; one byte more is hashed. The
// boundary is 64 bytes for SHA-256 and 128 for SHA-512, whose 128-byte pads
// would go wrong with a 64-byte block.
TEST(Hmac, KeysAtTheBlockSizeAreUsedAsTheyAre) {
    for (Digest method : {Digest::sha256, Digest::sha512}) {
        const size_t block = checksum::block_size(method);
        for (size_t length : {block - 1, block, block + 1}) {
            std::vector<uint8_t> key = random_bytes(length, uint32_t(length));
            std::vector<uint8_t> effective = key;
            if (length > block) {
                auto hashed = checksum::digest(method, key);
                effective.assign(hashed->view().begin(), hashed->view().end());
            }
            // HMAC by its definition, spelled out on whole buffers.
            std::vector<uint8_t> inner(block, 0x36), outer(block, 0x5C);
            for (size_t i = 0; i < effective.size(); ++i) {
                inner[i] ^= effective[i];
                outer[i] ^= effective[i];
            }
            const std::string data = "message";
            inner.insert(inner.end(), data.begin(), data.end());
            auto inner_value = checksum::digest(method, inner);
            outer.insert(outer.end(), inner_value->view().begin(), inner_value->view().end());
            auto expected = checksum::digest(method, outer);
            auto value = checksum::hmac(method, bytes_of(data), key);
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(hex(value->view()), hex(expected->view())) << int(method) << " key " << length;
        }
    }
}

}  // namespace
}  // namespace kel::test
