// The file layer against references measured in the same run:
//   read/binary of 64 MB               against a read(2) loop into a std::vector (target: at most 1.2x)
//   read of 64 MB of text (ASCII, mixed UTF-8) against that loop, and against
//                                      python3 reading the file as text, timed inside python3 (target: at most 1x)
//   read/lines of 1,000,000 short lines against python3's read().splitlines() (target: at most 1.5x)
//   a listing of 10,000 entries        against a readdir-and-sort loop in C++ (target: at most 2x)
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/roots.h"

using namespace kel;
namespace fs = std::filesystem;

namespace {

constexpr size_t MB64 = size_t(64) << 20;
constexpr int ROUNDS = 5;

void put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string ascii_text(size_t n) {
    const std::string line = "The quick brown fox jumps over the lazy dog; 0123456789 (kel) [block] {text}\n";
    std::string out;
    while (out.size() + line.size() <= n) out += line;
    return out;
}

std::string mixed_text(size_t n) {
    const std::string line =
        "caf\xC3\xA9 \xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 costs 5\xE2\x82\xAC today, plain words here\n";
    std::string out;
    while (out.size() + line.size() <= n) out += line;
    return out;
}

// The reference: read(2) in a loop into a vector of the file's size.
double read_loop(const std::string& path) {
    return bench::best_of(ROUNDS, [&] {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        std::vector<uint8_t> data(size_t(fs::file_size(path)));
        size_t done = 0;
        while (done < data.size()) {
            ssize_t n = ::read(fd, data.data() + done, data.size() - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        ::close(fd);
    });
}

double ours(const std::string& path, const simple_io::ReadOptions& options) {
    return bench::best_of(ROUNDS, [&] {
        Cell out = make_unset();
        Rooted keep(out);
        if (!simple_io::read_file(&out, path, options)) std::abort();
    });
}

// Best time in seconds of python3 running `statement` on the file, measured
// by python3 itself; negative when python3 is missing.
double python(const std::string& path, const char* statement) {
    std::string command = "python3 -c \"import time,sys\np=sys.argv[1]\nbest=1e9\nfor i in range(" +
        std::to_string(ROUNDS) + "):\n t=time.perf_counter()\n " + statement +
        "\n best=min(best,time.perf_counter()-t)\nprint(best)\" " + path + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    double seconds = -1;
    if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
    ::pclose(pipe);
    return seconds;
}

void against_python(const char* what, double mine, const std::string& path, const char* statement) {
    double theirs = python(path, statement);
    if (theirs < 0)
        std::printf("%-44s python3 not available\n", what);
    else
        bench::report(what, mine, theirs, "python3");
}

}  // namespace

// With an argument, only the rows whose name starts with it run (for
// profiling one of them): binary, text, lines, listing.
int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    auto runs = [&](const char* row) { return only.empty() || only == row; };
    start_runtime();
    std::string dir = (fs::temp_directory_path() / "kel-bench-files-XXXXXX").string();
    if (!mkdtemp(dir.data())) return 1;

    if (runs("binary")) {
        std::string path = dir + "/binary";
        std::string bytes(MB64, '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 2654435761u) >> 13);
        put(path, bytes);
        simple_io::ReadOptions binary;
        binary.binary = true;
        bench::report("read/binary 64 MB", ours(path, binary), read_loop(path), "read(2) loop");
    }

    if (runs("text")) {
        const char* as_text = "open(p,encoding='utf-8').read()";
        const std::pair<const char*, std::string (*)(size_t)> kinds[] = {{"ASCII", ascii_text},
                                                                         {"mixed UTF-8", mixed_text}};
        for (auto [name, make] : kinds) {
            std::string path = dir + "/text";
            put(path, make(MB64));
            double mine = ours(path, {});
            std::string what = std::string("read 64 MB ") + name;
            bench::report(what.c_str(), mine, read_loop(path), "read(2) loop");
            against_python(what.c_str(), mine, path, as_text);
        }
    }

    if (runs("lines")) {
        std::string lines;
        for (int i = 0; i < 1000000; ++i) lines += "line " + std::to_string(i) + "\n";
        std::string path = dir + "/lines";
        put(path, lines);
        simple_io::ReadOptions by_lines;
        by_lines.lines = true;
        against_python("read/lines 1,000,000 lines", ours(path, by_lines), path,
                       "open(p,encoding='utf-8').read().splitlines()");
    }

    if (runs("listing")) {
        std::string listing = dir + "/listing/";
        fs::create_directory(listing);
        for (int i = 0; i < 10000; ++i) put(listing + "entry-" + std::to_string(i * 7919 % 10000) + ".txt", "");
        double mine = bench::best_of(ROUNDS, [&] {
            Cell out = make_unset();
            Rooted keep(out);
            if (!simple_io::read_dir(&out, listing)) std::abort();
        });
        double reference = bench::best_of(ROUNDS, [&] {
            std::vector<std::string> names;
            DIR* d = ::opendir(listing.c_str());
            while (struct dirent* e = ::readdir(d))
                if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.emplace_back(e->d_name);
            ::closedir(d);
            std::sort(names.begin(), names.end());
        });
        bench::report("listing of 10,000 entries", mine, reference, "readdir and sort");
    }

    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
