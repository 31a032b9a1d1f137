// Compression framing: the methods `zlib` (RFC 1950 container), `deflate`
// (raw DEFLATE), `gzip` (RFC 1952 container) and `zstd` (zstd frames). The
// DEFLATE coder is zlib's (raw, window bits -15) and the zstd coder libzstd's;
// the containers, their header bytes, flags and checks are ours, with the
// CRC-32 and Adler-32 of runtime/checksum.
//
// Output goes to a ByteSink. Every call answers a Result:
//   ok         `size` bytes were written;
//   too_small  the output does not fit the sink; `size` is a size sure to
//              suffice (compression: the coder's bound plus the container's
//              overhead; decompression: the exact size when known, else 0);
//   bad_data   the input is corrupt, truncated or lies about its size, or a
//              level is outside the method's range.
//
// Decompression is safe against hostile input:
// - no memory is sized by a number read from the input beyond what that
//   input can produce: a gzip ISIZE above 1032 times its DEFLATE data (the
//   format's largest expansion) or a zstd content size above 32768 times its
//   frame (a 4-byte RLE block makes 128 KB) is bad data before anything is
//   allocated; a stream without a size grows its output only as output
//   arrives;
// - output that passes the size the input claims is bad data;
// - output never exceeds MAX_OUTPUT (a length must fit a series' 32-bit
//   index): a sink whose limit is MAX_OUTPUT or more makes overflow bad data;
// - zstd frames that need a window above 128 MB are refused.
// Inputs must hold one stream (gzip: one member) and nothing after it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kel::compression {

// In the order the method symbols are made.
enum class Method : uint8_t { zlib, deflate, gzip, zstd };
inline constexpr int METHOD_COUNT = 4;

enum class Code : int32_t { ok = 0, too_small = 1, bad_data = 2 };

struct Result {
    Code code;
    size_t size;
};

// The largest output: the longest series a 32-bit index reaches.
inline constexpr size_t MAX_OUTPUT = 0x7FFFFFFF;
// The largest expansion of each coder, output bytes per input byte.
inline constexpr uint64_t DEFLATE_MAX_EXPANSION = 1032;
inline constexpr uint64_t ZSTD_MAX_EXPANSION = 32768;

// Levels: DEFAULT_LEVEL (the coder's default, 6 or zstd's 3), 0 to 9 for
// the DEFLATE methods (0 stores), 1 to 19 for zstd.
inline constexpr int DEFAULT_LEVEL = -1;
int max_level(Method method);
bool level_ok(Method method, int level);

// Method words "zlib", "deflate", "gzip", "zstd": interned by init_methods
// (once, at start-up), recognised by case-folded symbol.
void init_methods();
int32_t symbol_of(Method method);
std::optional<Method> method_of(int32_t symbol);

// Where output goes. An engine asks for room, writes into it and commits what
// it wrote; the room is good until the next call on the sink.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writable room after the committed bytes: up to `want` bytes or more,
    // at least one; empty when the sink is full.
    virtual std::span<uint8_t> room(size_t want) = 0;
    // The first n bytes of the last room are now output.
    virtual void commit(size_t n) = 0;
    // A hint that about `total` bytes will be written in all.
    virtual void expect(size_t total) { (void)total; }
    // Bytes committed.
    virtual size_t size() const = 0;
    // The most bytes the sink can ever hold.
    virtual size_t limit() const = 0;
};

// A caller's buffer: full at its end.
class FixedSink final : public ByteSink {
public:
    explicit FixedSink(std::span<uint8_t> buffer) : buffer_(buffer) {}
    std::span<uint8_t> room(size_t want) override;
    void commit(size_t n) override { size_ += n; }
    size_t size() const override { return size_; }
    size_t limit() const override { return buffer_.size(); }
    std::span<uint8_t> bytes() const { return buffer_.first(size_); }

private:
    std::span<uint8_t> buffer_;
    size_t size_ = 0;
};

// Scratch memory (a heap block) that doubles as output arrives, up to its
// limit. The block is released with the sink unless taken.
class GrowingSink final : public ByteSink {
public:
    explicit GrowingSink(size_t limit = MAX_OUTPUT) : limit_(limit) {}
    ~GrowingSink() override;
    GrowingSink(const GrowingSink&) = delete;
    GrowingSink& operator=(const GrowingSink&) = delete;

    std::span<uint8_t> room(size_t want) override;
    void commit(size_t n) override { size_ += n; }
    void expect(size_t total) override;
    size_t size() const override { return size_; }
    size_t limit() const override { return limit_; }
    std::span<const uint8_t> bytes() const { return {data_, size_}; }
    // The bytes of memory held (for tests of memory use).
    size_t capacity() const { return capacity_; }
    // Hands the heap block over to the caller (heap::free releases it).
    uint8_t* take();

private:
    void grow_to(size_t capacity);
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    size_t limit_;
};

// A capacity sure to hold the compressed form of n bytes.
size_t compress_bound(Method method, size_t n);

// Compresses at a level. gzip input that already starts with 1F 8B 08 is
// written unchanged. Headers by level: zlib 78 01 (levels 0-1), 78 5E (2-5),
// 78 9C (6 and the default), 78 DA (7-9); gzip extra flags 4 (0-1), 0 (2-8
// and the default), 2 (9). zstd frames record their content size and end
// with zstd's checksum of the content.
Result compress(Method method, std::span<const uint8_t> in, int level, ByteSink& out);

// Decompresses. `size` is the caller's size of the output or 0: the zlib,
// deflate and zstd coders start with that much room (gzip reads its own from
// the trailer, zstd from the frame when it has one); output beyond it still
// arrives while the sink can hold it.
Result decompress(Method method, std::span<const uint8_t> in, size_t size, ByteSink& out);

// The buffer forms, for callers that size their output first and try again
// once with the size a too_small answer reports. A too_small decompression
// reports the exact size needed (gzip from its trailer; zlib, deflate and zstd
// by decoding once more without keeping the output); an empty buffer asks for
// that size only.
Result compress_into(Method method, std::span<uint8_t> out, std::span<const uint8_t> in, int level);
Result decompress_into(Method method, std::span<uint8_t> out, std::span<const uint8_t> in);

}  // namespace kel::compression
