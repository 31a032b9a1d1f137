// The gzip container (RFC 1952), one member: a 10-byte header (1F 8B 08,
// flags, time, extra flags, system) with optional fields, raw DEFLATE, then
// the CRC-32 and the length of the data, little-endian.
#include "runtime/checksum/crc32.h"
#include "runtime/io/compression-coders.h"

namespace kel::compression {

namespace {

inline constexpr uint8_t FHCRC = 0x02;
inline constexpr uint8_t FEXTRA = 0x04;
inline constexpr uint8_t FNAME = 0x08;
inline constexpr uint8_t FCOMMENT = 0x10;
inline constexpr uint8_t RESERVED = 0xE0;
// The system byte written into every header.
inline constexpr uint8_t SYSTEM = 4;

uint8_t extra_flags(int level) {
    if (level == 0 || level == 1) return 4;
    if (level == 9) return 2;
    return 0;
}

uint32_t load_le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool is_gzip(std::span<const uint8_t> in) { return in.size() > 2 && in[0] == 0x1F && in[1] == 0x8B && in[2] == 8; }

// The position after a NUL-terminated field starting at `at`, or 0 when the
// field runs past the input.
size_t after_field(std::span<const uint8_t> in, size_t at) {
    for (size_t i = at; i < in.size(); ++i)
        if (in[i] == 0) return i + 1;
    return 0;
}

// The position of the DEFLATE data after the header and its optional fields,
// or 0 when the header is not one this reader takes.
size_t header_end(std::span<const uint8_t> in) {
    if (in.size() < GZIP_OVERHEAD || in[0] != 0x1F || in[1] != 0x8B || in[2] != 8) return 0;
    const uint8_t flags = in[3];
    if (flags & RESERVED) return 0;
    size_t at = 10;
    if (flags & FEXTRA) {
        if (in.size() - at < 2) return 0;
        size_t length = size_t(in[at]) | size_t(in[at + 1]) << 8;
        at += 2;
        if (in.size() - at < length) return 0;
        at += length;
    }
    if ((flags & FNAME) && !(at = after_field(in, at))) return 0;
    if ((flags & FCOMMENT) && !(at = after_field(in, at))) return 0;
    if (flags & FHCRC) {
        if (in.size() - at < 2) return 0;
        uint32_t stored = uint32_t(in[at]) | uint32_t(in[at + 1]) << 8;
        if ((checksum::crc32(in.first(at)) & 0xFFFF) != stored) return 0;
        at += 2;
    }
    return at;
}

}  // namespace

Result gzip_compress(std::span<const uint8_t> in, int level, ByteSink& out) {
    // Data that is already gzip is passed on as it is.
    if (is_gzip(in)) return put(out, in) ? Result{Code::ok, in.size()} : too_small(in.size());
    const uint8_t header[10] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, extra_flags(level), SYSTEM};
    if (!put(out, header)) return too_small(0);
    Result r = deflate_raw(in, level, out);
    if (r.code != Code::ok) return r;
    uint32_t crc = checksum::crc32(in);
    uint32_t length = uint32_t(in.size());  // the length modulo 2^32
    const uint8_t trailer[8] = {uint8_t(crc),    uint8_t(crc >> 8),    uint8_t(crc >> 16),    uint8_t(crc >> 24),
                                uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), uint8_t(length >> 24)};
    if (!put(out, trailer)) return too_small(0);
    return {Code::ok, r.size + GZIP_OVERHEAD};
}

Result gzip_decompress(std::span<const uint8_t> in, ByteSink& out) {
    size_t start = header_end(in);
    if (start == 0 || start > in.size() - 8) return bad_data();
    std::span<const uint8_t> data = in.subspan(start, in.size() - 8 - start);
    const uint32_t stored_crc = load_le32(in.data() + in.size() - 8);
    const uint32_t length = load_le32(in.data() + in.size() - 4);
    // The length sizes the output, so it must be one the data can produce.
    if (length > MAX_OUTPUT || beyond_expansion(length, data.size(), DEFLATE_MAX_EXPANSION)) return bad_data();
    if (length > space_in(out)) return too_small(length);
    out.expect(out.size() + length);
    ChecksumSink checked(out, ChecksumSink::crc32);
    size_t consumed = 0;
    Result r = inflate_raw(data, length, checked, &consumed);
    // More output than the trailer states is bad data, not a reason to try
    // again with more room.
    if (r.code != Code::ok || consumed != data.size() || r.size != length || checked.value() != stored_crc)
        return bad_data();
    return r;
}

}  // namespace kel::compression
