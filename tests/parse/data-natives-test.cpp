// The natives in front of the data engines: checksum, compress, decompress
// and transcode (their method words, refinements, results and errors), and
// parse's own front end (/part forms).
#include <unistd.h>

#include <cstdio>
#include <string>

#include "runtime/evaluator/natives-data.h"
#include "tests/parse/parse-fixture.h"

namespace kel::test {
namespace {

using DataNatives = Parse;

TEST_F(DataNatives, Checksum) {
    expect_truths({
        {"(checksum {123456789} 'CRC32) = -873187034", true},  // CBF43926
        {"(checksum #{} 'adler32) = 1", true},
        {"(checksum {abc} 'ADLER32) = 38600999", true},  // 024D0127
        {"(checksum #{} 'tcp) = 65535", true},
        {"(checksum #{01} 'tcp) = 65279", true},
        {"(length? checksum {abc} 'SHA256) = 32", true},
        {"(checksum {abc} 'md5) = #{900150983CD24FB0D6963F7D28E17F72}", true},
        {"(checksum next {xabc} 'md5) = #{900150983CD24FB0D6963F7D28E17F72}", true},
        {"(checksum {abc} 'sha1) = #{A9993E364706816ABA3E25717850C26C9CD0D89D}", true},
        {"(checksum #{616263} 'Sha1) = #{A9993E364706816ABA3E25717850C26C9CD0D89D}", true},
        {"(length? checksum {abc} 'sha384) = 48", true},
        {"(length? checksum {abc} 'sha512) = 64", true},
        // RFC 2202 test case 2 (HMAC-MD5 and HMAC-SHA1, key "Jefe").
        {"(checksum/with {what do ya want for nothing?} 'md5 {Jefe}) = #{750C783E6AB0B503EAA86E310A5DB738}", true},
        {"(checksum/with {what do ya want for nothing?} 'sha1 #{4A656665}) = #{EFFCDF6AE5EB2FA2D27416D5F184DF9C259A7C79}",
         true},
        {"(checksum {é} 'crc32) = checksum #{C3A9} 'crc32", true},
    });
    expect_errors({
        {"checksum/with {abc} 'CRC32 {k}", ErrorId::script_invalid_refine_arg},
        {"checksum/with {abc} 'tcp {k}", ErrorId::script_invalid_refine_arg},
        {"checksum/with {abc} 'adler32 #{00}", ErrorId::script_invalid_refine_arg},
        {"checksum {abc} 'hash", ErrorId::script_invalid_refine_arg},
        {"checksum/with {abc} 'hash {key}", ErrorId::script_invalid_refine_arg},
        {"checksum {abc} 'sha3", ErrorId::script_invalid_arg},
        {"checksum/with {abc} 'md5 %key", ErrorId::script_invalid_arg},
        {"checksum 1 'md5", ErrorId::script_expect_arg},
        // The hash-table checksum is not built: no made-up answer.
        {"checksum/with {abc} 'hash 256", ErrorId::internal_not_done},
        {"checksum/with {abc} 'md5 256", ErrorId::internal_not_done},
    });
}

TEST_F(DataNatives, ChecksumOfAFileReadsItsBytes) {
    std::string path = "/tmp/kel-parse-checksum-" + std::to_string(getpid());
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("abc", f);
    std::fclose(f);
    std::string code = "(checksum %" + path + " 'md5) = #{900150983CD24FB0D6963F7D28E17F72}";
    expect_truths({{code.c_str(), true}});
    std::remove(path.c_str());
    EXPECT_EQ(error_in(code.c_str()), id(ErrorId::access_cannot_open));
}

TEST_F(DataNatives, CompressAndDecompress) {
    expect_truths({
        {"(decompress compress {} 'gzip 'gzip) = #{}", true},
        {"(decompress compress {hello hello hello} 'gzip 'gzip) = to binary! {hello hello hello}", true},
        {"(decompress compress #{00010203} 'zlib 'zlib) = #{00010203}", true},
        {"(decompress compress #{00010203} 'deflate 'deflate) = #{00010203}", true},
        {"(decompress compress #{00010203} 'zstd 'zstd) = #{00010203}", true},
        {"(decompress/size compress #{00010203} 'zstd 'zstd 1) = #{00010203}", true},
        {"(decompress/size compress #{00010203} 'zlib 'zlib 100) = #{00010203}", true},
        {"(decompress compress/level {abc} 'zstd 19 'zstd) = #{616263}", true},
        {"(copy/part compress/level {abc} 'zlib 1 2) = #{7801}", true},
        {"(copy/part compress/level {abc} 'zlib 9 2) = #{78DA}", true},
        {"(copy/part compress {abc} 'zlib 2) = #{789C}", true},
        {"(decompress compress {é€😀} 'zlib 'zlib) = to binary! {é€😀}", true},
    });
    expect_errors({
        {"compress/level {x} 'zlib 0", ErrorId::script_out_of_range},
        {"compress/level {x} 'zlib 10", ErrorId::script_out_of_range},
        {"compress/level {x} 'zstd 20", ErrorId::script_out_of_range},
        {"compress {x} 'lzma", ErrorId::script_invalid_arg},
        {"decompress #{00} 'lzma", ErrorId::script_invalid_arg},
        {"decompress #{0102030405} 'gzip", ErrorId::script_invalid_data},
        {"decompress #{78} 'zlib", ErrorId::script_invalid_data},
        {"decompress #{28B52FFD} 'zstd", ErrorId::script_invalid_data},
        {"decompress/size #{00} 'zlib -1", ErrorId::script_out_of_range},
        // A gzip member whose trailer claims 4 GB from a few bytes of data.
        {"decompress #{1F8B0800000000000003030000000000FFFFFFFF} 'gzip", ErrorId::script_invalid_data},
    });
}

// Output is held to the longest binary!; a test cap of 1000 bytes stands in
// for it, so a stream that expands past the cap is a small bomb. Reaching the
// cap exactly is fine; one byte more raises too-long, whatever the method,
// /size or a gzip trailer claims.
TEST_F(DataNatives, OutputPastTheLongestBinaryIsTooLong) {
    eval_text("fits: append/dup copy #{} 0 1000  over: append/dup copy #{} 0 1001  true");
    Installed<uint64_t> cap(natives::data::set_output_cap, 1000);
    expect_truths({
        {"1000 = length? decompress compress fits 'zlib 'zlib", true},
        {"1000 = length? decompress compress fits 'deflate 'deflate", true},
        {"1000 = length? decompress compress fits 'gzip 'gzip", true},
        {"1000 = length? decompress compress fits 'zstd 'zstd", true},
        {"1000 = length? decompress/size compress fits 'zlib 'zlib 2000000000", true},
    });
    expect_errors({
        {"decompress compress over 'zlib 'zlib", ErrorId::script_too_long},
        {"decompress compress over 'deflate 'deflate", ErrorId::script_too_long},
        {"decompress compress over 'gzip 'gzip", ErrorId::script_too_long},
        {"decompress compress over 'zstd 'zstd", ErrorId::script_too_long},
        {"decompress/size compress over 'deflate 'deflate 5", ErrorId::script_too_long},
        {"decompress/size compress over 'zstd 'zstd 2000000000", ErrorId::script_too_long},
    });
    // Compressed output is held to the same cap: gzip framing alone is 18
    // bytes.
    Installed<uint64_t> tiny(natives::data::set_output_cap, 17);
    EXPECT_EQ(error_in("compress #{} 'gzip"), id(ErrorId::script_too_long));
}

TEST_F(DataNatives, Transcode) {
    expect_truths({
        {"(transcode {1 2}) = [1 2]", true},
        {"(transcode #{312032}) = [1 2]", true},
        {"(transcode #{EFBBBF312032}) = [1 2]", true},
        {"(pick transcode/next {1 2} 1) = 1", true},
        {"(transcode/one {7 8}) = 7", true},
        {"(transcode/scan {1}) = integer!", true},
        {"(transcode/part {1 2 3} 3) = [1 2]", true},
        {"b: [0] all [(transcode/into {1 2} b) = [0 1 2] b = [0 1 2]]", true},
    });
    expect_errors({{"transcode/part {1 2} #{00}", ErrorId::script_not_same_type}});
}

}  // namespace
}  // namespace kel::test
