// The file requester's listing, `TUI-helpers/get-files` with the filter
// ["Kel" "*.kel"], timed inside the interpreter with `dt` (the median of
// several runs), against python3 doing the same work on the same directory
// in the same run: os.listdir, os.path.isdir on every entry, the files whose
// suffix is .kel in any case, sorted (target: at most 3x python3's time).
// The directory holds 10,000 files (a third .kel, a third .KEL, a third
// .txt) and 100 directories.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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
constexpr int FILES = 10000;
constexpr int DIRS = 100;

}  // namespace

int main() {
    start_runtime();
    boot::build();

    char pattern[] = "/tmp/kel-bench-requesters-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    std::string dir = pattern;
    const char* suffixes[] = {".kel", ".KEL", ".txt"};
    for (int i = 0; i < FILES; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "file-%05d%s", (i * 7919) % FILES, suffixes[i % 3]);
        std::ofstream(dir + "/" + name);
    }
    for (int i = 0; i < DIRS; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "dir-%03d", i);
        ::mkdir((dir + "/" + name).c_str(), 0755);
    }

    std::string root = "%" + dir + "/";
    const std::string call = "TUI-helpers/get-files " + root + " [\"Kel\" \"*.kel\"]";
    double ours = bench::median_of("to float! dt [" + call + "]", ROUNDS);
    double found = bench::run_seconds("to float! length? " + call);

    auto python = bench::python_timings(bench::python_median_of(ROUNDS) +
                                        "import os\n"
                                        "root = '" +
                                        dir +
                                        "'\n"
                                        "def files():\n"
                                        "    names = os.listdir(root)\n"
                                        "    isdir = [os.path.isdir(os.path.join(root, n)) for n in names]\n"
                                        "    return sorted(n for n, d in zip(names, isdir) if not d and "
                                        "n.lower().endswith('.kel'))\n"
                                        "print('files', median(files))\n");

    fs::remove_all(dir);
    int want = FILES - FILES / 3;
    if (found != want) {
        std::printf("get-files gave %.0f files, not %d\n", found, want);
        return 1;
    }
    std::printf("median of %d runs\n", ROUNDS);
    const char* what = "get-files of 10,000 files and 100 dirs";
    auto p = python.find("files");
    if (p == python.end())
        std::printf("%-44s %10.2f ms   python3: missing\n", what, ours * 1e3);
    else
        std::printf("%-44s %10.2f ms   python3 %10.2f ms   ratio %.2f (target 3)\n", what, ours * 1e3, p->second * 1e3,
                    ours / p->second);
    return 0;
}
