// CRC-32 and Adler-32 against zlib's own crc32() and adler32() over random
// data of every length up to a few blocks and at every alignment, continued
// piece by piece, and on the inputs that stress overflow (all bytes 0xFF
// around the points where the sums are reduced). The internet checksum
// against the plain 16-bit sum of its definition.
#include <gtest/gtest.h>
#include <zlib.h>

#include "runtime/checksum/adler32.h"
#include "runtime/checksum/crc32.h"
#include "runtime/checksum/internet-checksum.h"
#include "tests/checksum/checksum-fixture.h"

namespace kel::test {
namespace {

uint32_t zlib_crc32(std::span<const uint8_t> b) { return uint32_t(::crc32(0, b.data(), uInt(b.size()))); }
uint32_t zlib_adler32(std::span<const uint8_t> b) { return uint32_t(::adler32(1, b.data(), uInt(b.size()))); }

// RFC 1071 word by word: 16-bit big-endian words, carries folded back.
uint16_t reference_internet_checksum(std::span<const uint8_t> b) {
    uint32_t sum = 0;
    for (size_t i = 0; i < b.size(); i += 2) {
        uint32_t word = uint32_t(b[i]) << 8 | (i + 1 < b.size() ? b[i + 1] : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return uint16_t(~sum);
}

TEST(ChecksumDifferential, EveryLengthAndAlignment) {
    std::vector<uint8_t> data = random_bytes(600, 1);
    for (size_t offset = 0; offset < 8; ++offset)
        for (size_t length = 0; offset + length <= data.size(); ++length) {
            auto piece = std::span(data).subspan(offset, length);
            ASSERT_EQ(checksum::crc32(piece), zlib_crc32(piece)) << offset << "+" << length;
            ASSERT_EQ(checksum::adler32(piece), zlib_adler32(piece)) << offset << "+" << length;
            ASSERT_EQ(checksum::internet_checksum(piece), reference_internet_checksum(piece))
                << offset << "+" << length;
        }
}

TEST(ChecksumDifferential, LargeInputsAndReductionBoundaries) {
    // 5552 is the longest run between Adler-32 reductions; all-0xFF bytes
    // make the sums as large as they can be.
    for (size_t length : {5551, 5552, 5553, 3854, 3855, 11104, 11105, 65536, 1000003}) {
        for (uint8_t fill : {uint8_t(0xFF), uint8_t(0x00)}) {
            std::vector<uint8_t> data = repeated(fill, length);
            EXPECT_EQ(checksum::adler32(data), zlib_adler32(data)) << length;
            EXPECT_EQ(checksum::crc32(data), zlib_crc32(data)) << length;
            EXPECT_EQ(checksum::internet_checksum(data), reference_internet_checksum(data)) << length;
        }
        std::vector<uint8_t> data = random_bytes(length, uint32_t(length));
        EXPECT_EQ(checksum::adler32(data), zlib_adler32(data)) << length;
        EXPECT_EQ(checksum::crc32(data), zlib_crc32(data)) << length;
        EXPECT_EQ(checksum::internet_checksum(data), reference_internet_checksum(data)) << length;
    }
}

TEST(ChecksumDifferential, ContinuingAFinishedValueChecksTheWhole) {
    std::vector<uint8_t> data = random_bytes(20000, 7);
    for (size_t cut : {0, 1, 7, 8, 9, 5552, 12345, 20000}) {
        auto head = std::span(data).first(cut);
        auto rest = std::span(data).subspan(cut);
        EXPECT_EQ(checksum::crc32(rest, checksum::crc32(head)), checksum::crc32(data)) << cut;
        EXPECT_EQ(checksum::adler32(rest, checksum::adler32(head)), checksum::adler32(data)) << cut;
    }
}

}  // namespace
}  // namespace kel::test
