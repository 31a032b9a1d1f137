// TAB completion in console mode (`kel-complete-input` with true), timed
// inside the interpreter with `dt`, the median of several runs, against
// python3 on the same names in the same run:
// - the 26 one-letter prefixes over the global context against
//   rlcompleter.Completer(namespace).global_matches over a namespace of the
//   same names (target: at most 3x python3's time);
// - a file name prefix in a directory of 10,000 entries (half of them
//   match) against os.listdir filtered by the prefix, sorted, then
//   os.path.commonprefix (target: at most 2x).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/kel-run.h"
#include "bench/python.h"
#include "environment/boot/boot.h"
#include "environment/boot/start.h"

using namespace kel;
namespace fs = std::filesystem;

namespace {

constexpr int ROUNDS = 7;
constexpr int ENTRIES = 10000;

void report(const char* what, double ours, double reference) {
    std::printf("%-44s %10.2f ms   python3 %10.2f ms   ratio %.2f\n", what, ours * 1e3, reference * 1e3,
                ours / reference);
}

}  // namespace

int main() {
    start_runtime();
    boot::build();

    char pattern[] = "/tmp/kel-bench-complete-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    std::string dir = pattern;
    for (int i = 0; i < ENTRIES; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%c-entry-%05d.dat", i % 2 ? 'b' : 'a', i);
        std::ofstream(dir + "/" + name);
    }
    std::string names_file = dir + ".names";
    // The global words that have a value, one a line, as completion sees them.
    bench::run_seconds(
        "bench-names: make string! 30000 foreach w words-of system/words "
        "[if value? w [append append bench-names mold w newline]] write %" +
        names_file + " bench-names 0.0");

    bench::run_seconds(
        "bench-letters: [] foreach c \"abcdefghijklmnopqrstuvwxyz\" [append bench-letters to string! c] "
        "0.0");
    double words =
        bench::median_of("to float! dt [foreach l bench-letters [kel-complete-input tail copy l true]]", ROUNDS);
    std::string token = "%" + dir + "/a";
    double files = bench::median_of("to float! dt [kel-complete-input tail copy \"" + token + "\" true]", ROUNDS);
    double found = bench::run_seconds("to float! length? kel-complete-input tail copy \"" + token + "\" true");

    auto python = bench::python_timings(bench::python_median_of(ROUNDS) +
                                        "import os, rlcompleter\n"
                                        "names = [n for n in open('" +
                                        names_file +
                                        "').read().split('\\n') if n]\n"
                                        "completer = rlcompleter.Completer({n: None for n in names})\n"
                                        "def words():\n"
                                        "    for l in 'abcdefghijklmnopqrstuvwxyz': completer.global_matches(l)\n"
                                        "def files():\n"
                                        "    found = sorted(n for n in os.listdir('" +
                                        dir +
                                        "') if n.startswith('a'))\n"
                                        "    return os.path.commonprefix(found)\n"
                                        "print('words', median(words))\n"
                                        "print('files', median(files))\n");

    fs::remove_all(dir);
    fs::remove(names_file);
    if (found != ENTRIES / 2 + 1) {
        std::printf("file completion found %.0f values, not %d\n", found, ENTRIES / 2 + 1);
        return 1;
    }
    std::printf("median of %d runs\n", ROUNDS);
    const char* rows[][2] = {{"words", "26 one-letter prefixes, global words"},
                             {"files", "a prefix in 10,000 entries (5,000 match)"}};
    double ours[] = {words, files};
    for (int i = 0; i < 2; ++i) {
        auto p = python.find(rows[i][0]);
        if (p == python.end())
            std::printf("%-44s %10.2f ms   python3: missing\n", rows[i][1], ours[i] * 1e3);
        else
            report(rows[i][1], ours[i], p->second);
    }
    return 0;
}
