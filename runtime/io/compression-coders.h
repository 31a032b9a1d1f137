// The pieces behind runtime/io/compression.h: the raw coders over zlib and
// libzstd and the two containers. Only the compression modules include this.
//
// Every coder writes through a ByteSink and answers a Result as the public
// functions do. A decoder given a `limit` produces at most that many bytes:
// more is too_small; when the room of the sink (or the limit) is used up
// while the coder still has output, a one-byte probe tells whether more
// output is really coming.
#pragma once
#include "runtime/io/compression.h"

namespace kel::compression {

// Checked sums and products of sizes: false on overflow.
inline bool add_size(size_t a, size_t b, size_t* out) { return !__builtin_add_overflow(a, b, out); }
inline bool mul_size(size_t a, size_t b, size_t* out) { return !__builtin_mul_overflow(a, b, out); }
// Whether `claimed` output bytes are more than `in_bytes` bytes of a coder
// with the given largest expansion can produce.
inline bool beyond_expansion(uint64_t claimed, size_t in_bytes, uint64_t expansion) {
    uint64_t most;
    return __builtin_mul_overflow(uint64_t(in_bytes), expansion, &most) ? false : claimed > most;
}

// Writes all the bytes or answers false (the sink is full).
bool put(ByteSink& out, std::span<const uint8_t> bytes);

// What a sink can still take, within MAX_OUTPUT.
inline size_t space_in(const ByteSink& out) {
    size_t limit = out.limit() < MAX_OUTPUT ? out.limit() : MAX_OUTPUT;
    return out.size() < limit ? limit - out.size() : 0;
}

// Passes output on to another sink and keeps the CRC-32 or Adler-32 of what
// was committed, so that a container checks its output wherever it goes.
class ChecksumSink final : public ByteSink {
public:
    enum Kind { crc32, adler32 };
    ChecksumSink(ByteSink& inner, Kind kind) : inner_(inner), kind_(kind), value_(kind == crc32 ? 0 : 1) {}
    std::span<uint8_t> room(size_t want) override { return last_ = inner_.room(want); }
    void commit(size_t n) override;
    void expect(size_t total) override { inner_.expect(total); }
    size_t size() const override { return inner_.size(); }
    size_t limit() const override { return inner_.limit(); }
    uint32_t value() const { return value_; }

private:
    ByteSink& inner_;
    Kind kind_;
    uint32_t value_;
    std::span<uint8_t> last_;
};

// The smallest result that reports "does not fit, `needed` will".
inline Result too_small(size_t needed) { return {Code::too_small, needed}; }
inline Result bad_data() { return {Code::bad_data, 0}; }

// Raw DEFLATE (zlib, window bits -15).
size_t deflate_bound(size_t n);
Result deflate_raw(std::span<const uint8_t> in, int level, ByteSink& out);
// Inflates one DEFLATE stream from the start of `in` and stores the number of
// input bytes it took; bytes after the stream are left to the caller.
Result inflate_raw(std::span<const uint8_t> in, size_t limit, ByteSink& out, size_t* consumed);

// zstd frames.
size_t zstd_bound(size_t n);
Result zstd_compress(std::span<const uint8_t> in, int level, ByteSink& out);
Result zstd_decompress(std::span<const uint8_t> in, size_t size, ByteSink& out);

// The containers.
inline constexpr size_t ZLIB_OVERHEAD = 6;
inline constexpr size_t GZIP_OVERHEAD = 18;
Result zlib_compress(std::span<const uint8_t> in, int level, ByteSink& out);
Result zlib_decompress(std::span<const uint8_t> in, size_t size, ByteSink& out);
Result gzip_compress(std::span<const uint8_t> in, int level, ByteSink& out);
Result gzip_decompress(std::span<const uint8_t> in, ByteSink& out);

}  // namespace kel::compression
