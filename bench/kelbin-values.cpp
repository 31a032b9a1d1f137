// The KELBIN codec against python3's pickle, timed inside each interpreter
// (no process start, no file reading), median of several runs, in the same
// run: encode (compact form, system/codecs/kelbin/encode) and decode of a
// generated structure of about 10 MB of source text (nested blocks, words,
// strings, 32-bit integers, floats) against pickle.dumps and pickle.loads of
// the same structure (words as str). Prints both times and the ratio
// (Kel / python3).
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "bench/bench.h"
#include "bench/kel-run.h"
#include "bench/python.h"
#include "runtime/datatypes/string.h"
#include "tests/boot-library.h"

namespace {

using namespace kel;

constexpr int ROUNDS = 5;
constexpr size_t SIZE = 10 << 20;

const char* const WORDS[] = {"alpha", "beta", "gamma", "delta", "item", "value", "name", "size", "x", "created-at"};
const char* const TEXTS[] = {"plain text", "caf\u00e9 \u00fcber", "\u65e5\u672c\u8a9e", "a longer piece of text"};

// The same structure as Kel source and as a python3 literal.
struct Structure {
    std::string kel;
    std::string python;
    std::mt19937 rng{31};

    void both(const std::string& k, const std::string& p) {
        kel += k;
        python += p;
    }
    void value(int depth) {
        switch (rng() % (depth < 5 ? 6 : 5)) {
        case 0: {
            std::string n = std::to_string(int32_t(rng()));
            both(n, n);
            break;
        }
        case 1: {
            std::string f = std::to_string(rng() % 100000) + "." + std::to_string(rng() % 1000);
            both(f, f);
            break;
        }
        case 2: {
            std::string w = WORDS[rng() % 10];
            both(w, "'" + w + "'");
            break;
        }
        case 3: {
            std::string t = std::string(TEXTS[rng() % 4]) + " " + std::to_string(rng() % 1000);
            both("\"" + t + "\"", "'" + t + "'");
            break;
        }
        case 4:
            both("none", "None");
            break;
        default:
            block(depth + 1);
        }
    }
    void block(int depth) {
        both("[", "[");
        int n = 1 + int(rng() % 8);
        for (int i = 0; i < n; ++i) {
            if (i) both(" ", ",");
            value(depth);
        }
        both("]", "]");
    }
    Structure() {
        both("[", "[");
        while (kel.size() < SIZE) {
            if (kel.size() > 1) both(" ", ",");
            block(0);
        }
        both("]", "]");
    }
};

}  // namespace

int main() {
    test::boot_library();
    Structure s;
    char path[] = "/tmp/kel-bench-kelbin-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) return 1;
    close(fd);
    std::ofstream(path, std::ios::binary) << s.python;

    Cell* text =
        string::import(reinterpret_cast<const uint8_t*>(s.kel.data()), int32_t(s.kel.size()), string::ENCODING_UTF8);
    test::set_global("kb-text", *text);
    bench::run_seconds("kb-value: load kb-text 0.0");
    double encode = bench::median_of("to float! dt [kb-bytes: system/codecs/kelbin/encode kb-value none]", ROUNDS);
    double decode = bench::median_of("to float! dt [system/codecs/kelbin/decode kb-bytes]", ROUNDS);
    double bytes = bench::run_seconds("to float! length? kb-bytes");

    std::string script = "import ast, pickle\n" + bench::python_median_of(ROUNDS) + "v = ast.literal_eval(open('" +
        std::string(path) +
        "', encoding='utf-8').read())\n"
        "b = pickle.dumps(v)\n"
        "print('dumps', median(lambda: pickle.dumps(v)))\n"
        "print('loads', median(lambda: pickle.loads(b)))\n"
        "print('size', len(b))\n";
    auto py = bench::python_timings(script);
    unlink(path);
    if (py.size() < 3) {
        std::printf("python3 timings unavailable\n");
        return 1;
    }
    std::printf("structure of %.1f MB source; KELBIN %.1f MB, pickle %.1f MB; median of %d runs\n", s.kel.size() / 1e6,
                bytes / 1e6, py["size"] / 1e6, ROUNDS);
    bench::report("kelbin encode (compact)", encode, py["dumps"], "pickle.dumps");
    bench::report("kelbin decode", decode, py["loads"], "pickle.loads");
    return 0;
}
