// Compression framing overhead: each method through our framing against the
// library called directly on the same data in the same run (zlib's
// compress2/uncompress, deflate and inflate with window bits -15 and 31 for
// raw DEFLATE and gzip, ZSTD_compress/ZSTD_decompress). The ratio is our time
// over the library's; the framing adds a checksum pass and little else.
#include <zlib.h>
#include <zstd.h>

#include <random>
#include <vector>

#include "bench/bench.h"
#include "runtime/io/compression.h"

using namespace kel;
using compression::Method;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes text_data(size_t n) {
    static const char* words[] = {"block ",  "series ", "parse ",    "value ",      "word ",     "[1 2 3] ",
                                  "{text} ", "\n",      "compress ", "0123456789 ", "function ", "context "};
    std::mt19937 gen(7);
    Bytes out;
    while (out.size() < n) {
        const char* w = words[gen() % 12];
        while (*w && out.size() < n) out.push_back(uint8_t(*w++));
    }
    return out;
}

Bytes noise_data(size_t n) {
    std::mt19937 gen(8);
    Bytes out(n);
    for (auto& b : out) b = uint8_t(gen());
    return out;
}

// zlib's deflate/inflate with the given window bits, whole buffers at once.
size_t direct_deflate(const Bytes& in, Bytes& out, int window_bits, int level) {
    z_stream s{};
    deflateInit2(&s, level, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY);
    s.next_in = const_cast<Bytef*>(in.data());
    s.avail_in = uInt(in.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    size_t n = s.total_out;
    deflateEnd(&s);
    return n;
}

size_t direct_inflate(const Bytes& in, size_t in_size, Bytes& out, int window_bits) {
    z_stream s{};
    inflateInit2(&s, window_bits);
    s.next_in = const_cast<Bytef*>(in.data());
    s.avail_in = uInt(in_size);
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    inflate(&s, Z_FINISH);
    size_t n = s.total_out;
    inflateEnd(&s);
    return n;
}

void run(const char* label, const Bytes& data) {
    const int rounds = 3;
    const int level = 6;
    Bytes packed(compression::compress_bound(Method::gzip, data.size()) + 64);
    Bytes reference(packed.size());
    Bytes unpacked(data.size());
    struct Case {
        Method method;
        int window_bits;  // 0: not zlib
    } cases[] = {{Method::zlib, 15}, {Method::deflate, -15}, {Method::gzip, 31}, {Method::zstd, 0}};
    for (const Case& c : cases) {
        const int lvl = c.method == Method::zstd ? 3 : level;
        size_t ours_size = 0, their_size = 0;
        double ours =
            bench::best_of(rounds, [&] { ours_size = compression::compress_into(c.method, packed, data, lvl).size; });
        double theirs = bench::best_of(rounds, [&] {
            if (c.window_bits == 15) {
                uLongf n = reference.size();
                compress2(reference.data(), &n, data.data(), data.size(), lvl);
                their_size = n;
            } else if (c.window_bits) {
                their_size = direct_deflate(data, reference, c.window_bits, lvl);
            } else {
                their_size = ZSTD_compress(reference.data(), reference.size(), data.data(), data.size(), lvl);
            }
        });
        std::string what = std::string(label) + " compress " +
            (c.method == Method::zlib          ? "zlib"
                 : c.method == Method::deflate ? "deflate"
                 : c.method == Method::gzip    ? "gzip"
                                               : "zstd");
        bench::report(what.c_str(), ours, theirs, c.window_bits ? "zlib direct" : "zstd direct");
        std::printf("%-44s sizes %zu vs %zu\n", "", ours_size, their_size);

        ours = bench::best_of(
            rounds, [&] { compression::decompress_into(c.method, unpacked, std::span(packed).first(ours_size)); });
        theirs = bench::best_of(rounds, [&] {
            if (c.window_bits == 15) {
                uLongf n = unpacked.size();
                uncompress(unpacked.data(), &n, reference.data(), their_size);
            } else if (c.window_bits) {
                direct_inflate(reference, their_size, unpacked, c.window_bits);
            } else {
                ZSTD_decompress(unpacked.data(), unpacked.size(), reference.data(), their_size);
            }
        });
        what.replace(what.find("compress"), 8, "decompress");
        bench::report(what.c_str(), ours, theirs, c.window_bits ? "zlib direct" : "zstd direct");
        // Into a growing sink: what a caller that does not know the size pays.
        ours = bench::best_of(rounds, [&] {
            compression::GrowingSink sink;
            compression::decompress(c.method, std::span(packed).first(ours_size), 0, sink);
        });
        what += " (growing)";
        bench::report(what.c_str(), ours, theirs, c.window_bits ? "zlib direct" : "zstd direct");
    }
}

}  // namespace

int main() {
    run("16 MB text", text_data(size_t(16) << 20));
    run("16 MB random", noise_data(size_t(16) << 20));
    return 0;
}
