// Checksum throughput: CRC-32 and Adler-32 against zlib's crc32() and
// adler32() on the same 64 MB in the same run (target: at most 2x zlib's
// time), and each digest against calling OpenSSL's EVP_Digest directly (the
// cost of our layer, expected near 1.0).
#include <openssl/evp.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "bench/bench.h"
#include "runtime/checksum/adler32.h"
#include "runtime/checksum/crc32.h"
#include "runtime/checksum/digest.h"
#include "runtime/checksum/internet-checksum.h"

using namespace kel;

namespace {

volatile uint32_t sink;

}  // namespace

int main() {
    const size_t size = size_t(64) << 20;
    std::vector<uint8_t> data(size);
    std::mt19937 gen(42);
    for (auto& b : data) b = uint8_t(gen());
    const uint8_t* p = data.data();
    const int rounds = 5;

    std::printf("64 MB of random bytes, best of %d\n", rounds);
    double ours = bench::best_of(rounds, [&] { sink = checksum::crc32(data); });
    double theirs = bench::best_of(rounds, [&] { sink = uint32_t(::crc32(0, p, uInt(size))); });
    bench::report("crc32", ours, theirs, "zlib crc32()");
    ours = bench::best_of(rounds, [&] { sink = checksum::adler32(data); });
    theirs = bench::best_of(rounds, [&] { sink = uint32_t(::adler32(1, p, uInt(size))); });
    bench::report("adler32", ours, theirs, "zlib adler32()");
    ours = bench::best_of(rounds, [&] { sink = checksum::internet_checksum(data); });
    bench::report("internet checksum (tcp)", ours, theirs, "zlib adler32()");

    struct Named {
        const char* name;
        checksum::Digest method;
        const EVP_MD* md;
    } digests[] = {{"md5", checksum::Digest::md5, EVP_md5()},
                   {"sha1", checksum::Digest::sha1, EVP_sha1()},
                   {"sha256", checksum::Digest::sha256, EVP_sha256()},
                   {"sha512", checksum::Digest::sha512, EVP_sha512()}};
    for (const Named& d : digests) {
        ours = bench::best_of(3, [&] { sink = checksum::digest(d.method, data)->bytes[0]; });
        theirs = bench::best_of(3, [&] {
            unsigned char out[EVP_MAX_MD_SIZE];
            unsigned int n = 0;
            EVP_Digest(p, size, out, &n, d.md, nullptr);
            sink = out[0];
        });
        bench::report(d.name, ours, theirs, "EVP_Digest");
    }
    // Short messages show the fixed cost of starting a digest.
    std::vector<uint8_t> small(64, 'x');
    ours = bench::best_of(rounds, [&] {
        for (int i = 0; i < 100000; ++i) sink = checksum::digest(checksum::Digest::sha256, small)->bytes[0];
    });
    theirs = bench::best_of(rounds, [&] {
        for (int i = 0; i < 100000; ++i) {
            unsigned char out[EVP_MAX_MD_SIZE];
            unsigned int n = 0;
            EVP_Digest(small.data(), small.size(), out, &n, EVP_sha256(), nullptr);
            sink = out[0];
        }
    });
    bench::report("sha256 of 64 bytes x 100000", ours, theirs, "EVP_Digest");
    return 0;
}
