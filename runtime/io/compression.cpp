// The compression methods: words, levels, bounds and the dispatch to the
// coders and containers.
#include <array>

#include "runtime/checksum/adler32.h"
#include "runtime/checksum/crc32.h"
#include "runtime/datatypes/symbol-set.h"
#include "runtime/io/compression-coders.h"

namespace kel::compression {

namespace {

constexpr const char* spellings[METHOD_COUNT] = {"zlib", "deflate", "gzip", "zstd"};
SymbolSet words{spellings};

// Keeps no output: counts it, for the size a too small buffer needs.
class CountingSink final : public ByteSink {
public:
    std::span<uint8_t> room(size_t) override { return scratch_; }
    void commit(size_t n) override { size_ += n; }
    size_t size() const override { return size_; }
    size_t limit() const override { return MAX_OUTPUT; }

private:
    std::array<uint8_t, 65536> scratch_;
    size_t size_ = 0;
};

size_t saturating_add(size_t a, size_t b) {
    size_t sum;
    return add_size(a, b, &sum) ? sum : SIZE_MAX;
}

// Output that cannot fit within MAX_OUTPUT is bad data: there is no larger
// buffer to try again with.
Result capped(Result r, const ByteSink& out) {
    if (r.code == Code::too_small && out.limit() >= MAX_OUTPUT) return bad_data();
    return r;
}

}  // namespace

void ChecksumSink::commit(size_t n) {
    std::span<const uint8_t> bytes = last_.first(n);
    value_ = kind_ == crc32 ? checksum::crc32(bytes, value_) : checksum::adler32(bytes, value_);
    last_ = last_.subspan(n);
    inner_.commit(n);
}

int max_level(Method method) { return method == Method::zstd ? 19 : 9; }

bool level_ok(Method method, int level) {
    int lowest = method == Method::zstd ? 1 : 0;
    return level == DEFAULT_LEVEL || (level >= lowest && level <= max_level(method));
}

void init_methods() { words.init(); }
int32_t symbol_of(Method method) { return words.symbol(size_t(method)); }
std::optional<Method> method_of(int32_t symbol) { return words.find_as<Method>(symbol); }

size_t compress_bound(Method method, size_t n) {
    switch (method) {
    case Method::deflate:
        return deflate_bound(n);
    case Method::zlib:
        return saturating_add(deflate_bound(n), ZLIB_OVERHEAD);
    // Data that is already gzip is copied: n bytes.
    case Method::gzip: {
        size_t framed = saturating_add(deflate_bound(n), GZIP_OVERHEAD);
        return framed > n ? framed : n;
    }
    case Method::zstd:
        return zstd_bound(n);
    }
    return SIZE_MAX;
}

Result compress(Method method, std::span<const uint8_t> in, int level, ByteSink& out) {
    if (!level_ok(method, level)) return bad_data();
    const size_t bound = compress_bound(method, in.size());
    const size_t space = space_in(out);
    out.expect(out.size() + (bound < space ? bound : space));
    Result r = bad_data();
    switch (method) {
    case Method::deflate:
        r = deflate_raw(in, level, out);
        break;
    case Method::zlib:
        r = zlib_compress(in, level, out);
        break;
    case Method::gzip:
        r = gzip_compress(in, level, out);
        break;
    case Method::zstd:
        r = zstd_compress(in, level, out);
        break;
    }
    if (r.code == Code::too_small && r.size == 0) r.size = bound;
    return capped(r, out);
}

Result decompress(Method method, std::span<const uint8_t> in, size_t size, ByteSink& out) {
    Result r = bad_data();
    switch (method) {
    case Method::deflate: {
        const size_t space = space_in(out);
        if (size) out.expect(out.size() + (size < space ? size : space));
        size_t consumed = 0;
        r = inflate_raw(in, space, out, &consumed);
        if (r.code == Code::ok && consumed != in.size()) r = bad_data();
        break;
    }
    case Method::zlib:
        r = zlib_decompress(in, size, out);
        break;
    case Method::gzip:
        r = gzip_decompress(in, out);
        break;
    case Method::zstd:
        r = zstd_decompress(in, size, out);
        break;
    }
    return capped(r, out);
}

Result compress_into(Method method, std::span<uint8_t> out, std::span<const uint8_t> in, int level) {
    FixedSink sink(out);
    return compress(method, in, level, sink);
}

Result decompress_into(Method method, std::span<uint8_t> out, std::span<const uint8_t> in) {
    FixedSink sink(out);
    Result r = decompress(method, in, 0, sink);
    if (r.code != Code::too_small || r.size != 0) return r;
    // The size is not recorded: decode again, counting.
    CountingSink counter;
    Result counted = decompress(method, in, 0, counter);
    return counted.code == Code::ok ? too_small(counted.size) : counted;
}

}  // namespace kel::compression
