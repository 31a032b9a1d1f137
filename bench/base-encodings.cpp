// Base64 encoding and decoding and Base16 encoding and decoding of 16 MB of
// random bytes, through the series-level coders that enbase and debase call
// (the result series allocated on every run). Each is measured against a
// straightforward table-driven C++ loop in the same run, and against
// python3's base64.b64encode / b64decode, bytes.hex and bytes.fromhex, which a
// child `python3 -c` times on its own data of the same size. Prints MB/s of
// binary data and the speed ratios (above 1: ours is faster); the target is
// at least 1 against python3 on every line. A second block times the coders
// alone into memory already in use, as the plain loops run: the series level
// also pays for a new result series, whose fresh pages dominate at 16 MB.
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "bench/python.h"
#include "environment/boot/start.h"
#include "runtime/core/cell.h"
#include "runtime/encoding/base-encodings.h"
#include "runtime/memory/memory.h"
#include "runtime/memory/roots.h"

using namespace kel;

namespace {

constexpr size_t SIZE = 16 << 20;
constexpr int ROUNDS = 7;
volatile uint64_t sink;

// The straightforward loops: one table look-up per character.
const char* const alphabet64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const char* const digits16 = "0123456789ABCDEF";

// The position of each character of `digits` (of either case with
// any_case), -1 for every other byte.
std::array<int8_t, 256> digit_table(const char* digits, bool any_case) {
    std::array<int8_t, 256> table;
    table.fill(-1);
    for (int v = 0; digits[v]; ++v) {
        table[uint8_t(digits[v])] = int8_t(v);
        if (any_case) table[uint8_t(std::tolower(digits[v]))] = int8_t(v);
    }
    return table;
}

size_t plain_encode_64(const uint8_t* s, size_t n, char* out) {
    char* q = out;
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        *q++ = alphabet64[s[i] >> 2];
        *q++ = alphabet64[((s[i] & 3) << 4) | (s[i + 1] >> 4)];
        *q++ = alphabet64[((s[i + 1] & 15) << 2) | (s[i + 2] >> 6)];
        *q++ = alphabet64[s[i + 2] & 63];
    }
    if (n - i == 1) {
        *q++ = alphabet64[s[i] >> 2];
        *q++ = alphabet64[(s[i] & 3) << 4];
        *q++ = '=';
        *q++ = '=';
    } else if (n - i == 2) {
        *q++ = alphabet64[s[i] >> 2];
        *q++ = alphabet64[((s[i] & 3) << 4) | (s[i + 1] >> 4)];
        *q++ = alphabet64[(s[i + 1] & 15) << 2];
        *q++ = '=';
    }
    return size_t(q - out);
}

size_t plain_decode_64(const char* t, size_t n, uint8_t* out) {
    static const auto table = digit_table(alphabet64, false);
    uint8_t* q = out;
    uint32_t acc = 0;
    int pending = 0;
    for (size_t i = 0; i < n && t[i] != '='; ++i) {
        int v = table[uint8_t(t[i])];
        if (v < 0) continue;
        acc = acc << 6 | uint32_t(v);
        if (++pending == 4) {
            *q++ = uint8_t(acc >> 16);
            *q++ = uint8_t(acc >> 8);
            *q++ = uint8_t(acc);
            acc = 0;
            pending = 0;
        }
    }
    if (pending == 3) {
        *q++ = uint8_t(acc >> 10);
        *q++ = uint8_t(acc >> 2);
    } else if (pending == 2) {
        *q++ = uint8_t(acc >> 4);
    }
    return size_t(q - out);
}

void plain_encode_16(const uint8_t* s, size_t n, char* out) {
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = digits16[s[i] >> 4];
        out[2 * i + 1] = digits16[s[i] & 15];
    }
}

size_t plain_decode_16(const char* t, size_t n, uint8_t* out) {
    static const auto table = digit_table(digits16, true);
    size_t k = 0;
    for (size_t i = 0; i + 1 < n; i += 2)
        out[k++] = uint8_t(uint8_t(table[uint8_t(t[i])]) << 4 | uint8_t(table[uint8_t(t[i + 1])]));
    return k;
}

// python3's own timings: best of ROUNDS, in seconds, by operation name;
// empty when python3 cannot be run.
std::map<std::string, double> python_timings() {
    return bench::python_timings("import base64, random\n" + bench::python_best_of(ROUNDS) +
                                 "data = random.Random(7).randbytes(" + std::to_string(SIZE) +
                                 ")\n"
                                 "b64 = base64.b64encode(data)\n"
                                 "hexed = data.hex()\n"
                                 "print('b64encode', best(lambda: base64.b64encode(data)))\n"
                                 "print('b64decode', best(lambda: base64.b64decode(b64)))\n"
                                 "print('hex', best(lambda: data.hex()))\n"
                                 "print('fromhex', best(lambda: bytes.fromhex(hexed)))\n");
}

double mbs(double seconds) { return double(SIZE) / 1e6 / seconds; }

void report(const char* what, double ours, double loop, const std::map<std::string, double>& python, const char* key) {
    std::printf("%-16s ours %8.0f MB/s   loop %8.0f MB/s (x%.2f)", what, mbs(ours), mbs(loop), loop / ours);
    auto p = python.find(key);
    if (p != python.end()) std::printf("   python3 %8.0f MB/s (x%.2f)", mbs(p->second), p->second / ours);
    std::printf("\n");
}

}  // namespace

int main() {
    start_runtime();
    std::vector<uint8_t> data(SIZE);
    std::mt19937_64 rng(7);
    for (uint8_t& b : data) b = uint8_t(rng());

    NodeId bytes = memory::alloc_bytes(SIZE);
    std::memcpy(memory::buffer_of(bytes)->head_ptr(), data.data(), SIZE);
    memory::buffer_of(bytes)->tail = SIZE;
    Rooted keep_bytes(bytes);

    std::vector<char> plain_text(SIZE * 2 + 8);
    std::vector<uint8_t> plain_bytes(SIZE + 8);
    bool same = true;

    auto run = [&](encoding::Base base, double& encode_s, double& decode_s, double& span_encode_s,
                   double& span_decode_s, double& loop_encode_s, double& loop_decode_s) {
        Cell text = make_unset();
        Rooted keep_text(text);
        encode_s = bench::best_of(ROUNDS, [&] {
            encoding::enbase(base, bytes, 0, SIZE, text);
            sink = sink + memory::buffer_of(cell_node(text))->tail;
        });
        SeriesBuffer* t = memory::buffer_of(cell_node(text));
        uint64_t text_length = t->used();
        std::string ours_text(reinterpret_cast<const char*>(t->head_ptr()), text_length);
        NodeId decoded = 0;
        decode_s = bench::best_of(ROUNDS, [&] {
            decoded = encoding::debase(base, cell_node(text), 0, text_length);
            sink = sink + memory::buffer_of(decoded)->tail;
        });
        same = same && memory::buffer_of(decoded)->used() == SIZE &&
            std::memcmp(memory::buffer_of(decoded)->head_ptr(), data.data(), SIZE) == 0;
        span_encode_s = bench::best_of(ROUNDS, [&] {
            uint8_t* end = encoding::encode(base, data.data(), SIZE, reinterpret_cast<uint8_t*>(plain_text.data()));
            sink = sink + uint64_t(end - reinterpret_cast<uint8_t*>(plain_text.data()));
        });
        span_decode_s = bench::best_of(ROUNDS, [&] {
            sink = sink +
                uint64_t(encoding::decode(base, reinterpret_cast<const uint8_t*>(ours_text.data()), text_length, 1,
                                          plain_bytes.data()));
        });
        size_t plain_length = 0;
        loop_encode_s = bench::best_of(ROUNDS, [&] {
            if (base == encoding::Base::base64)
                plain_length = plain_encode_64(data.data(), SIZE, plain_text.data());
            else
                plain_encode_16(data.data(), SIZE, plain_text.data()), plain_length = 2 * SIZE;
            sink = sink + uint8_t(plain_text[plain_length / 2]);
        });
        same = same && std::string(plain_text.data(), plain_length) == ours_text;
        loop_decode_s = bench::best_of(ROUNDS, [&] {
            size_t n = base == encoding::Base::base64
                ? plain_decode_64(plain_text.data(), plain_length, plain_bytes.data())
                : plain_decode_16(plain_text.data(), plain_length, plain_bytes.data());
            sink = sink + n + plain_bytes[n / 2];
        });
    };

    double e64, d64, se64, sd64, le64, ld64, e16, d16, se16, sd16, le16, ld16;
    run(encoding::Base::base64, e64, d64, se64, sd64, le64, ld64);
    run(encoding::Base::base16, e16, d16, se16, sd16, le16, ld16);
    std::map<std::string, double> python = python_timings();

    std::printf("16 MB of random bytes; MB/s of bytes; (xN) = how many times faster ours is\n");
    report("Base64 encode", e64, le64, python, "b64encode");
    report("Base64 decode", d64, ld64, python, "b64decode");
    report("Base16 encode", e16, le16, python, "hex");
    report("Base16 decode", d16, ld16, python, "fromhex");
    std::printf("the coders alone, into memory already in use (no result series made):\n");
    report("Base64 encode", se64, le64, {}, "");
    report("Base64 decode", sd64, ld64, {}, "");
    report("Base16 encode", se16, le16, {}, "");
    report("Base16 decode", sd16, ld16, {}, "");
    if (python.empty()) std::printf("python3 could not be run: no reference from it\n");
    if (!same) {
        std::printf("MISMATCH: the coders and the reference loops disagree\n");
        return 1;
    }
    return 0;
}
