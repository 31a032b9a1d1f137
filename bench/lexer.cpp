// Loading source text: the lexer in load mode over a generated 10 MB mixed
// source (nested blocks, words and set-words, integers, floats, strings,
// paths) against python3's json.loads of the equivalent JSON text (the same
// nesting and values, words as strings), timed inside python3 without its
// start-up or file reading, in the same run. Prints MB/s of both and the
// ratio.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/io/lexer.h"
#include "runtime/memory/roots.h"

namespace {

const char* const names[] = {"alpha", "beta",   "gamma",  "delta",   "epsilon", "zeta",  "eta",     "theta",
                             "iota",  "kappa",  "lambda", "mu",      "nu",      "xi",    "omicron", "pi",
                             "rho",   "sigma",  "tau",    "upsilon", "phi",     "chi",   "psi",     "omega",
                             "print", "append", "either", "foreach", "value",   "length"};

struct Source {
    std::string kel;
    std::string json;
    std::mt19937 rng{2024};

    const char* name() { return names[rng() % (sizeof names / sizeof names[0])]; }

    void item(int depth) {
        switch (rng() % (depth < 4 ? 8 : 7)) {
        case 0: {
            const char* n = name();
            kel += n;
            json += std::string("\"") + n + "\"";
            break;
        }
        case 1: {
            const char* n = name();
            kel += std::string(n) + ":";
            json += std::string("\"") + n + ":\"";
            break;
        }
        case 2: {
            std::string v = std::to_string(int32_t(rng() % 2000000) - 1000000);
            kel += v;
            json += v;
            break;
        }
        case 3: {
            std::string v = std::to_string(rng() % 100000) + "." + std::to_string(rng() % 1000);
            kel += v;
            json += v;
            break;
        }
        case 4: {
            std::string v = "text " + std::string(name()) + " " + std::to_string(rng() % 1000);
            kel += "\"" + v + "\"";
            json += "\"" + v + "\"";
            break;
        }
        case 5: {
            std::string v = std::string(name()) + "/" + name() + "/" + name();
            kel += v;
            json += "\"" + v + "\"";
            break;
        }
        case 6: {
            const char* n = name();
            kel += n;
            json += std::string("\"") + n + "\"";
            break;
        }
        default:
            block(depth + 1);
        }
    }

    void block(int depth) {
        kel += "[";
        json += "[";
        int n = int(rng() % 9);
        for (int i = 0; i < n; i++) {
            if (i) {
                kel += (rng() % 6 == 0) ? "\n" : " ";
                json += ", ";
            }
            item(depth);
        }
        kel += "]";
        json += "]";
    }

    void generate(size_t bytes) {
        json += "[";
        bool first = true;
        while (kel.size() < bytes) {
            if (!first) json += ", ";
            first = false;
            block(0);
            kel += "\n";
        }
        json += "]";
    }
};

// json.loads of the file, best of `rounds`, in seconds (negative when
// python3 is not there).
double python_json_seconds(const std::string& path, int rounds) {
    std::string cmd =
        "python3 -c 'import json,time,sys\n"
        "t=open(sys.argv[1]).read()\n"
        "b=1e300\n"
        "for _ in range(" +
        std::to_string(rounds) +
        "):\n"
        "  s=time.perf_counter(); json.loads(t); b=min(b,time.perf_counter()-s)\n"
        "print(b)' " +
        path;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    double s = -1;
    if (std::fscanf(p, "%lf", &s) != 1) s = -1;
    pclose(p);
    return s;
}

}  // namespace

int main() {
    kel::start_runtime();
    Source src;
    src.generate(10 * 1000 * 1000);
    std::string path = "/tmp/kel-bench-lexer.json";
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return 1;
    std::fwrite(src.json.data(), 1, src.json.size(), f);
    std::fclose(f);

    kel::lexer::Options load;
    double ours = kel::bench::best_of(3, [&] {
        kel::Cell out = kel::make_none();
        kel::Rooted keep(out);
        kel::lexer::scan(&out, reinterpret_cast<const uint8_t*>(src.kel.data()), int64_t(src.kel.size()), load);
    });
    kel::lexer::Options scan_only;
    scan_only.scan = true;
    double scanned = kel::bench::best_of(3, [&] {
        kel::lexer::scan(nullptr, reinterpret_cast<const uint8_t*>(src.kel.data()), int64_t(src.kel.size()), scan_only);
    });
    std::printf("scan mode (no values) %8.1f MB/s\n", double(src.kel.size()) / 1e6 / scanned);
    double reference = python_json_seconds(path, 3);
    std::remove(path.c_str());
    double mb = double(src.kel.size()) / 1e6, json_mb = double(src.json.size()) / 1e6;
    std::printf("source %.1f MB, JSON %.1f MB\n", mb, json_mb);
    std::printf("lexer load          %8.1f MB/s\n", mb / ours);
    if (reference > 0) {
        std::printf("python3 json.loads  %8.1f MB/s\n", json_mb / reference);
        kel::bench::report("load of the source vs json.loads", ours, reference, "json.loads");
    } else {
        std::printf("python3 is not available: no reference\n");
    }
    return 0;
}
