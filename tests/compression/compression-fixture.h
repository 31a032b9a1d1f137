// Shared by the compression tests: data to compress (text-like and random,
// from fixed seeds), our codec through a growing sink, and zlib's and
// libzstd's own coders as references.
#pragma once
#include <gtest/gtest.h>
#include <zlib.h>
#include <zstd.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "runtime/io/compression.h"

namespace kel::test {

using compression::Code;
using compression::Method;
using Bytes = std::vector<uint8_t>;

inline const char* name_of(Method m) {
    switch (m) {
    case Method::zlib:
        return "zlib";
    case Method::deflate:
        return "deflate";
    case Method::gzip:
        return "gzip";
    case Method::zstd:
        return "zstd";
    }
    return "?";
}

inline constexpr Method ALL_METHODS[] = {Method::zlib, Method::deflate, Method::gzip, Method::zstd};

inline Bytes random_data(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    Bytes out(n);
    for (auto& b : out) b = uint8_t(gen());
    return out;
}

// Words drawn from a small vocabulary: compresses several times over.
inline Bytes text_data(size_t n, uint32_t seed) {
    static const char* words[] = {"block ",   "series ", "parse ", "value ",    "word ",
                                  "[1 2 3] ", "{text} ", "\n",     "compress ", "0123456789 "};
    std::mt19937 gen(seed);
    Bytes out;
    out.reserve(n + 16);
    while (out.size() < n) {
        const char* w = words[gen() % 10];
        while (*w && out.size() < n) out.push_back(uint8_t(*w++));
    }
    return out;
}

inline Bytes bytes_of(std::string_view text) { return Bytes(text.begin(), text.end()); }

struct Outcome {
    Code code;
    Bytes bytes;
};

inline Outcome ours_compress(Method m, std::span<const uint8_t> in, int level = compression::DEFAULT_LEVEL) {
    compression::GrowingSink sink;
    auto r = compression::compress(m, in, level, sink);
    if (r.code == Code::ok) {
        EXPECT_EQ(r.size, sink.size());
    }
    return {r.code, Bytes(sink.bytes().begin(), sink.bytes().end())};
}

inline Outcome ours_decompress(Method m, std::span<const uint8_t> in, size_t size = 0) {
    compression::GrowingSink sink;
    auto r = compression::decompress(m, in, size, sink);
    if (r.code == Code::ok) {
        EXPECT_EQ(r.size, sink.size());
    }
    return {r.code, Bytes(sink.bytes().begin(), sink.bytes().end())};
}

// zlib's inflate with the given window bits (15 zlib, 31 gzip, -15 raw);
// false unless the stream ends exactly at the end of the input.
inline bool reference_inflate(std::span<const uint8_t> in, int window_bits, Bytes& out) {
    z_stream s{};
    if (inflateInit2(&s, window_bits) != Z_OK) return false;
    out.clear();
    s.next_in = const_cast<Bytef*>(in.data());
    s.avail_in = uInt(in.size());
    uint8_t chunk[65536];
    int rc;
    do {
        s.next_out = chunk;
        s.avail_out = sizeof chunk;
        rc = inflate(&s, Z_NO_FLUSH);
        out.insert(out.end(), chunk, chunk + (sizeof chunk - s.avail_out));
    } while (rc == Z_OK);
    bool ok = rc == Z_STREAM_END && s.avail_in == 0;
    inflateEnd(&s);
    return ok;
}

// zlib's deflate with the given window bits and level.
inline Bytes reference_deflate(std::span<const uint8_t> in, int window_bits, int level) {
    z_stream s{};
    EXPECT_EQ(deflateInit2(&s, level, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(deflateBound(&s, in.size()));
    s.next_in = const_cast<Bytef*>(in.data());
    s.avail_in = uInt(in.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

inline bool reference_zstd_decompress(std::span<const uint8_t> in, Bytes& out) {
    ZSTD_DStream* d = ZSTD_createDStream();
    ZSTD_inBuffer source{in.data(), in.size(), 0};
    out.clear();
    uint8_t chunk[65536];
    size_t rc = 1;
    bool ok = true;
    while (source.pos < source.size || rc != 0) {
        ZSTD_outBuffer target{chunk, sizeof chunk, 0};
        size_t before = source.pos;
        rc = ZSTD_decompressStream(d, &target, &source);
        if (ZSTD_isError(rc) || (target.pos == 0 && source.pos == before && rc != 0)) {
            ok = false;
            break;
        }
        out.insert(out.end(), chunk, chunk + target.pos);
    }
    ZSTD_freeDStream(d);
    return ok;
}

// A zstd frame written by streaming, with no content size in its header.
inline Bytes zstd_frame_without_size(std::span<const uint8_t> in, int level) {
    ZSTD_CCtx* c = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, level);
    ZSTD_CCtx_setParameter(c, ZSTD_c_contentSizeFlag, 0);
    ZSTD_CCtx_setParameter(c, ZSTD_c_checksumFlag, 1);
    Bytes out(ZSTD_compressBound(in.size()));
    ZSTD_inBuffer source{in.data(), in.size(), 0};
    ZSTD_outBuffer target{out.data(), out.size(), 0};
    // Fed in two pieces so that the size is not known when the header goes out.
    size_t half = in.size() / 2;
    source.size = half;
    ZSTD_compressStream2(c, &target, &source, ZSTD_e_continue);
    source.size = in.size();
    EXPECT_EQ(ZSTD_compressStream2(c, &target, &source, ZSTD_e_end), 0u);
    out.resize(target.pos);
    ZSTD_freeCCtx(c);
    return out;
}

// A copy of some bytes that ends where readable memory ends: a read past the
// input faults at once, even inside zlib and libzstd, which the sanitizers do
// not see into.
class AtPageEnd {
public:
    explicit AtPageEnd(std::span<const uint8_t> bytes) {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t pages = bytes.size() / page + 1;
        size_ = (pages + 1) * page;
        void* m = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(m, MAP_FAILED);
        base_ = static_cast<uint8_t*>(m);
        EXPECT_EQ(mprotect(base_ + pages * page, page, PROT_NONE), 0);
        uint8_t* start = base_ + pages * page - bytes.size();
        if (!bytes.empty()) std::memcpy(start, bytes.data(), bytes.size());
        bytes_ = {start, bytes.size()};
    }
    ~AtPageEnd() { munmap(base_, size_); }
    AtPageEnd(const AtPageEnd&) = delete;
    AtPageEnd& operator=(const AtPageEnd&) = delete;
    std::span<const uint8_t> bytes() const { return bytes_; }

private:
    uint8_t* base_ = nullptr;
    size_t size_ = 0;
    std::span<const uint8_t> bytes_;
};

// A sink that holds at most `capacity` bytes.
inline Outcome ours_decompress_into(Method m, std::span<const uint8_t> in, size_t capacity, size_t* size) {
    Bytes out(capacity);
    auto r = compression::decompress_into(m, out, in);
    *size = r.size;
    if (r.code == Code::ok) out.resize(r.size);
    return {r.code, out};
}

}  // namespace kel::test
