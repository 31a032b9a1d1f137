// zstd frames through libzstd. Compression streams into the sink; a frame
// set whose content sizes are all recorded decodes in one pass into room of
// exactly that size (after the size is checked against what the input can
// produce), any other streams into room that grows as output arrives.
#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_findDecompressedSize
#include <zstd.h>

#include "runtime/io/compression-coders.h"

namespace kel::compression {

namespace {

inline constexpr size_t DECODE_ROOM = 65536;

struct CompressContext {
    ZSTD_CCtx* c = ZSTD_createCCtx();
    ~CompressContext() { ZSTD_freeCCtx(c); }
};

struct DecompressContext {
    ZSTD_DCtx* d = ZSTD_createDCtx();
    ~DecompressContext() { ZSTD_freeDCtx(d); }
};

// Decodes every frame of `in`, producing at most `limit` bytes.
Result stream(ZSTD_DCtx* d, std::span<const uint8_t> in, size_t limit, ByteSink& out) {
    ZSTD_inBuffer source{in.data(), in.size(), 0};
    size_t produced = 0;
    size_t pending = 1;  // 0 once a frame is complete and flushed
    uint8_t probe;
    for (;;) {
        if (source.pos == source.size && pending == 0) return {Code::ok, produced};
        size_t allowed = limit - produced;
        std::span<uint8_t> room =
            allowed ? out.room(allowed < DECODE_ROOM ? allowed : DECODE_ROOM) : std::span<uint8_t>{};
        if (room.size() > allowed) room = room.first(allowed);
        bool probing = room.empty();
        if (probing) room = {&probe, 1};
        ZSTD_outBuffer target{room.data(), room.size(), 0};
        size_t input_before = source.pos;
        pending = ZSTD_decompressStream(d, &target, &source);
        if (ZSTD_isError(pending)) return bad_data();
        if (probing && target.pos) return too_small(0);
        out.commit(target.pos);
        produced += target.pos;
        // No progress while unfinished: the input ends inside a frame.
        if (target.pos == 0 && source.pos == input_before && !(pending == 0 && source.pos == source.size))
            return bad_data();
    }
}

// Decodes the frames one by one (at most `limit` bytes in all), each
// checked against the content size its header records. libzstd's streaming
// decoder only compares a frame's output with that size when the output
// room holds the whole frame, so the answer would otherwise depend on the
// room the sink gives.
Result stream_frames(ZSTD_DCtx* d, std::span<const uint8_t> in, size_t limit, ByteSink& out) {
    size_t produced = 0;
    size_t at = 0;
    while (at < in.size()) {
        std::span<const uint8_t> rest = in.subspan(at);
        size_t frame = ZSTD_findFrameCompressedSize(rest.data(), rest.size());
        if (ZSTD_isError(frame) || frame == 0 || frame > rest.size()) return bad_data();
        unsigned long long declared = ZSTD_getFrameContentSize(rest.data(), rest.size());
        if (declared == ZSTD_CONTENTSIZE_ERROR) return bad_data();
        Result r = stream(d, rest.first(frame), limit - produced, out);
        if (r.code != Code::ok) return r.code == Code::too_small ? too_small(0) : r;
        if (declared != ZSTD_CONTENTSIZE_UNKNOWN && r.size != declared) return bad_data();
        produced += r.size;
        at += frame;
    }
    return {Code::ok, produced};
}

}  // namespace

size_t zstd_bound(size_t n) {
    size_t bound = ZSTD_compressBound(n);
    return ZSTD_isError(bound) ? SIZE_MAX : bound;
}

Result zstd_compress(std::span<const uint8_t> in, int level, ByteSink& out) {
    CompressContext z;
    if (!z.c) return bad_data();
    int chosen = level == DEFAULT_LEVEL ? ZSTD_CLEVEL_DEFAULT : level;
    // The frame records its content size and ends with a checksum of the
    // content, so that corruption is found as the containers find it.
    if (ZSTD_isError(ZSTD_CCtx_setParameter(z.c, ZSTD_c_compressionLevel, chosen)) ||
        ZSTD_isError(ZSTD_CCtx_setParameter(z.c, ZSTD_c_checksumFlag, 1)) ||
        ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(z.c, in.size())))
        return bad_data();
    ZSTD_inBuffer source{in.data(), in.size(), 0};
    const size_t bound = zstd_bound(in.size());
    size_t wrote = 0;
    for (;;) {
        std::span<uint8_t> room = out.room(wrote < bound ? bound - wrote : DECODE_ROOM);
        if (room.empty()) return too_small(0);
        ZSTD_outBuffer target{room.data(), room.size(), 0};
        size_t left = ZSTD_compressStream2(z.c, &target, &source, ZSTD_e_end);
        if (ZSTD_isError(left)) return bad_data();
        out.commit(target.pos);
        wrote += target.pos;
        if (left == 0) return {Code::ok, wrote};
    }
}

Result zstd_decompress(std::span<const uint8_t> in, size_t size, ByteSink& out) {
    if (in.empty()) return bad_data();
    unsigned long long total = ZSTD_findDecompressedSize(in.data(), in.size());
    if (total == ZSTD_CONTENTSIZE_ERROR) return bad_data();
    DecompressContext z;
    if (!z.d || ZSTD_isError(ZSTD_DCtx_setParameter(z.d, ZSTD_d_windowLogMax, ZSTD_WINDOWLOG_LIMIT_DEFAULT)))
        return bad_data();
    const size_t space = out.limit() - out.size();
    if (total == ZSTD_CONTENTSIZE_UNKNOWN) {
        if (size) out.expect(out.size() + (size < space ? size : space));
        return stream_frames(z.d, in, space, out);
    }
    if (total > MAX_OUTPUT || beyond_expansion(total, in.size(), ZSTD_MAX_EXPANSION)) return bad_data();
    if (total > space) return too_small(size_t(total));
    const size_t exact = size_t(total);
    out.expect(out.size() + exact);
    std::span<uint8_t> room = out.room(exact);
    if (room.size() < exact) {
        // A sink that gives its room in pieces: stream, and a frame that
        // makes more than it recorded is lying.
        Result r = stream_frames(z.d, in, exact, out);
        return r.code == Code::too_small || (r.code == Code::ok && r.size != exact) ? bad_data() : r;
    }
    uint8_t none;
    size_t made = ZSTD_decompressDCtx(z.d, exact ? room.data() : &none, exact, in.data(), in.size());
    if (ZSTD_isError(made) || made != exact) return bad_data();
    out.commit(exact);
    return {Code::ok, exact};
}

}  // namespace kel::compression
