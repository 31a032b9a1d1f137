// The zlib container (RFC 1950): 78, a flag byte by level, raw DEFLATE, the
// Adler-32 of the data big-endian.
#include "runtime/checksum/adler32.h"
#include "runtime/io/compression-coders.h"

namespace kel::compression {

namespace {

uint8_t flag_byte(int level) {
    if (level == DEFAULT_LEVEL) level = 6;
    if (level <= 1) return 0x01;
    if (level <= 5) return 0x5E;
    if (level == 6) return 0x9C;
    return 0xDA;
}

}  // namespace

Result zlib_compress(std::span<const uint8_t> in, int level, ByteSink& out) {
    const uint8_t header[2] = {0x78, flag_byte(level)};
    if (!put(out, header)) return too_small(0);
    Result r = deflate_raw(in, level, out);
    if (r.code != Code::ok) return r;
    uint32_t sum = checksum::adler32(in);
    const uint8_t trailer[4] = {uint8_t(sum >> 24), uint8_t(sum >> 16), uint8_t(sum >> 8), uint8_t(sum)};
    if (!put(out, trailer)) return too_small(0);
    return {Code::ok, r.size + ZLIB_OVERHEAD};
}

Result zlib_decompress(std::span<const uint8_t> in, size_t size, ByteSink& out) {
    if (in.size() < ZLIB_OVERHEAD) return bad_data();
    const uint32_t cmf = in[0], flg = in[1];
    // Method 8 (DEFLATE), a window of at most 32 KB, the check bits right and
    // no preset dictionary.
    if ((cmf * 256 + flg) % 31 != 0 || (cmf & 0x0F) != 8 || cmf >= 0x80 || (flg & 0x20)) return bad_data();
    std::span<const uint8_t> body = in.subspan(2, in.size() - ZLIB_OVERHEAD);
    const size_t space = space_in(out);
    if (size) out.expect(out.size() + (size < space ? size : space));
    ChecksumSink checked(out, ChecksumSink::adler32);
    size_t consumed = 0;
    Result r = inflate_raw(body, space, checked, &consumed);
    if (r.code != Code::ok) return r;
    if (consumed != body.size()) return bad_data();
    const uint8_t* t = in.data() + in.size() - 4;
    uint32_t stored = uint32_t(t[0]) << 24 | uint32_t(t[1]) << 16 | uint32_t(t[2]) << 8 | t[3];
    if (checked.value() != stored) return bad_data();
    return r;
}

}  // namespace kel::compression
