// The checksum method words: made once in their order, found ignoring case,
// and mapped to the method index and digest of each.
#include <gtest/gtest.h>

#include "runtime/checksum/methods.h"
#include "runtime/datatypes/symbol.h"
#include "tests/support.h"

namespace kel::test {
namespace {

using checksum::Method;

struct ChecksumMethods : ::testing::Test {
    void SetUp() override {
        boot();
        checksum::init();
    }
};

TEST_F(ChecksumMethods, WordsAreFoundIgnoringCase) {
    struct Case {
        const char* spelling;
        Method method;
    } cases[] = {{"tcp", Method::tcp},       {"MD5", Method::md5},         {"Sha1", Method::sha1},
                 {"CRC32", Method::crc32},   {"adler32", Method::adler32}, {"SHA256", Method::sha256},
                 {"sha384", Method::sha384}, {"SHA512", Method::sha512},   {"hash", Method::hash}};
    for (const Case& c : cases) {
        auto found = checksum::method_of(symbol::make(c.spelling));
        ASSERT_TRUE(found.has_value()) << c.spelling;
        EXPECT_EQ(*found, c.method) << c.spelling;
    }
    for (const char* other : {"sha-1", "crc", "md4", "zlib", "sha"})
        EXPECT_FALSE(checksum::method_of(symbol::make(other)).has_value()) << other;
}

TEST_F(ChecksumMethods, SymbolsAreMadeOnceInTheirOrder) {
    const int32_t first = checksum::symbol_of(Method::tcp);
    checksum::init();
    EXPECT_EQ(checksum::symbol_of(Method::tcp), first);
    for (int i = 1; i < checksum::METHOD_COUNT; ++i)
        EXPECT_GT(checksum::symbol_of(Method(i)), checksum::symbol_of(Method(i - 1)));
    uint32_t n;
    const uint8_t* spelling = symbol::spelling(checksum::symbol_of(Method::adler32), &n);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(spelling), n), "adler32");
}

TEST_F(ChecksumMethods, IndicesDigestsAndSizes) {
    struct Case {
        Method method;
        int32_t index;
        uint32_t size;  // 0: no digest
        uint32_t block;
    } cases[] = {{Method::tcp, 0, 0, 0},       {Method::crc32, 1, 0, 0},    {Method::md5, 2, 16, 64},
                 {Method::sha1, 3, 20, 64},    {Method::sha256, 4, 32, 64}, {Method::sha384, 5, 48, 128},
                 {Method::sha512, 6, 64, 128}, {Method::adler32, -1, 0, 0}, {Method::hash, -1, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(checksum::method_index(c.method), c.index);
        auto digest = checksum::digest_of(c.method);
        EXPECT_EQ(digest.has_value(), c.size != 0);
        if (digest) {
            EXPECT_EQ(int32_t(*digest), c.index);
            EXPECT_EQ(checksum::digest_size(*digest), c.size);
            EXPECT_EQ(checksum::block_size(*digest), c.block);
        }
    }
}

}  // namespace
}  // namespace kel::test
