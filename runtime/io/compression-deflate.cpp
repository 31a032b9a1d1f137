// Raw DEFLATE through zlib: deflateInit2/inflateInit2 with window bits -15
// (no zlib header or trailer; the containers are ours).
#include <zlib.h>

#include "runtime/io/compression-coders.h"

namespace kel::compression {

namespace {

// zlib counts in 32-bit `uInt`: input and output are handed over in pieces of
// at most this many bytes.
inline constexpr size_t PIECE = size_t(1) << 30;
// The room a decoder asks for at a time; a growing sink doubles past it.
inline constexpr size_t DECODE_ROOM = 65536;

inline uInt piece(size_t n) { return uInt(n < PIECE ? n : PIECE); }

// Hands the next piece of input to the stream once it has used the last.
void feed(z_stream& s, const uint8_t*& next, size_t& left) {
    if (s.avail_in != 0 || left == 0) return;
    s.next_in = const_cast<Bytef*>(next);
    s.avail_in = piece(left);
    next += s.avail_in;
    left -= s.avail_in;
}

struct DeflateStream {
    z_stream s{};
    bool open = false;
    ~DeflateStream() {
        if (open) deflateEnd(&s);
    }
};

struct InflateStream {
    z_stream s{};
    bool open = false;
    ~InflateStream() {
        if (open) inflateEnd(&s);
    }
};

}  // namespace

size_t deflate_bound(size_t n) {
    // Without a stream zlib answers its bound for any level and memory
    // setting (stored blocks included), plus 6 bytes of zlib wrapper.
    if (n > SIZE_MAX / 2) return SIZE_MAX;
    return size_t(deflateBound(nullptr, uLong(n)));
}

Result deflate_raw(std::span<const uint8_t> in, int level, ByteSink& out) {
    DeflateStream z;
    if (deflateInit2(&z.s, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return bad_data();
    z.open = true;
    const uint8_t* next = in.data();
    size_t left = in.size();
    const size_t bound = deflate_bound(in.size());
    size_t wrote = 0;
    for (;;) {
        feed(z.s, next, left);
        int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        std::span<uint8_t> room = out.room(wrote < bound ? bound - wrote : DECODE_ROOM);
        if (room.empty()) return too_small(0);
        z.s.next_out = room.data();
        z.s.avail_out = piece(room.size());
        uInt given = z.s.avail_out;
        int rc = deflate(&z.s, flush);
        out.commit(given - z.s.avail_out);
        wrote += given - z.s.avail_out;
        if (rc == Z_STREAM_END) return {Code::ok, wrote};
        // With room given and input fed deflate always progresses: any
        // other answer is a failure.
        if (rc != Z_OK) return bad_data();
    }
}

Result inflate_raw(std::span<const uint8_t> in, size_t limit, ByteSink& out, size_t* consumed) {
    InflateStream z;
    if (inflateInit2(&z.s, -15) != Z_OK) return bad_data();
    z.open = true;
    const uint8_t* next = in.data();
    size_t left = in.size();
    size_t produced = 0;
    uint8_t probe;
    for (;;) {
        feed(z.s, next, left);
        size_t allowed = limit - produced;
        std::span<uint8_t> room =
            allowed ? out.room(allowed < DECODE_ROOM ? allowed : DECODE_ROOM) : std::span<uint8_t>{};
        if (room.size() > allowed) room = room.first(allowed);
        // No room left: a byte of scratch shows whether output is still
        // coming (too much) or only the end of the stream.
        bool probing = room.empty();
        if (probing) room = {&probe, 1};
        z.s.next_out = room.data();
        z.s.avail_out = piece(room.size());
        uInt given = z.s.avail_out;
        uInt input_before = z.s.avail_in;
        int rc = inflate(&z.s, Z_NO_FLUSH);
        size_t wrote = given - z.s.avail_out;
        if (probing && wrote) return too_small(0);
        out.commit(wrote);
        produced += wrote;
        if (rc == Z_STREAM_END) {
            *consumed = in.size() - left - z.s.avail_in;
            return {Code::ok, produced};
        }
        // Z_BUF_ERROR: no progress was possible; with all input used that is
        // a truncated stream.
        if (rc != Z_OK && rc != Z_BUF_ERROR) return bad_data();
        if (wrote == 0 && input_before == z.s.avail_in) return bad_data();
    }
}

}  // namespace kel::compression
