// The child-process layer against references measured in the same run:
//   200 `call/wait "true"`            against posix_spawnp and waitpid in C++ (target: at most 1.3x)
//   256 MB captured into a binary!    against a C++ read loop on the pipe of the same child (target: at most 1.5x)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "environment/boot/start.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/string.h"
#include "runtime/io/call.h"
#include "runtime/memory/roots.h"

extern char** environ;

using namespace kel;

namespace {

constexpr int ROUNDS = 5;
constexpr int CALLS = 200;
const std::string BIG = "head -c 268435456 /dev/zero";

const Cell& text(const std::string& s) {
    return *string::import_root(reinterpret_cast<const uint8_t*>(s.data()), int32_t(s.size()), string::ENCODING_UTF8);
}

// posix_spawnp of `argv` with its output on `out` (or inherited), no wait.
pid_t spawn(std::vector<std::string> args, int out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out >= 0) posix_spawn_file_actions_adddup2(&actions, out, 1);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void reap(pid_t pid) {
    int status;
    waitpid(pid, &status, 0);
}

}  // namespace

int main() {
    start_runtime();
    natives::CallOptions wait;
    wait.wait = true;
    const Cell& truth = text("true");
    double ours = bench::best_of(ROUNDS, [&] {
        for (int i = 0; i < CALLS; ++i)
            if (call::run_command(truth, wait) != 0) std::abort();
    });
    double reference = bench::best_of(ROUNDS, [&] {
        for (int i = 0; i < CALLS; ++i) reap(spawn({"true"}, -1));
    });
    bench::report("200 call/wait \"true\"", ours, reference, "posix_spawnp+waitpid");

    const Cell& big = text(BIG);
    Cell target = make_none();
    Rooted keep(target);
    natives::CallOptions capture;
    capture.output = &target;
    ours = bench::best_of(ROUNDS, [&] {
        binary::make_at(target, 4096);
        if (call::run_command(big, capture) != 0) std::abort();
        Cell at = target;
        if (binary::ks_length(at) != 268435456) std::abort();
        target = make_none();
    });
    reference = bench::best_of(ROUNDS, [&] {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) std::abort();
        pid_t pid = spawn({"head", "-c", "268435456", "/dev/zero"}, ends[1]);
        close(ends[1]);
        std::vector<uint8_t> bytes(4096);
        size_t used = 0;
        for (;;) {
            if (used == bytes.size()) bytes.resize(bytes.size() * 2);
            ssize_t n = read(ends[0], bytes.data() + used, bytes.size() - used);
            if (n <= 0) break;
            used += size_t(n);
        }
        close(ends[0]);
        reap(pid);
        if (used != 268435456) std::abort();
    });
    bench::report("256 MB captured into a binary!", ours, reference, "read loop on the pipe");
    return 0;
}
