// Runs a python3 script as a child process in the benchmark's own run and
// reads the timings it prints, one "name seconds" line each. Benchmarks use
// it to measure python3's time for the same work on the same data.
#pragma once
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

extern char** environ;

namespace kel::bench {

// The timings by name; empty when python3 cannot be run.
inline std::map<std::string, double> python_timings(const std::string& script) {
    std::map<std::string, double> timings;
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return timings;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    char* argv[] = {const_cast<char*>("python3"), const_cast<char*>("-c"), const_cast<char*>(script.c_str()), nullptr};
    pid_t pid;
    int rc = posix_spawnp(&pid, "python3", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    std::string out;
    char buf[512];
    for (ssize_t got; (got = read(pipe_fds[0], buf, sizeof buf)) > 0;) out.append(buf, size_t(got));
    close(pipe_fds[0]);
    if (rc != 0) return timings;
    int status = 0;
    waitpid(pid, &status, 0);
    char name[32];
    double seconds;
    for (const char* line = out.c_str(); std::sscanf(line, "%31s %lf", name, &seconds) == 2;) {
        timings[name] = seconds;
        line = std::strchr(line, '\n');
        if (!line) break;
        ++line;
    }
    return timings;
}

// The timing helpers a python script defines for `rounds` runs of fn:
// `runs(fn)` the list of the times, `best(fn)` the least, `median(fn)` the
// median.
inline std::string python_runs(int rounds) {
    return "import time, statistics\n"
           "def runs(fn):\n"
           "    t = []\n"
           "    for _ in range(" +
        std::to_string(rounds) +
        "):\n"
        "        s = time.perf_counter(); fn(); t.append(time.perf_counter() - s)\n"
        "    return t\n";
}

inline std::string python_best_of(int rounds) {
    return python_runs(rounds) + "def best(fn):\n    return min(runs(fn))\n";
}

inline std::string python_median_of(int rounds) {
    return python_runs(rounds) + "def median(fn):\n    return statistics.median(runs(fn))\n";
}

}  // namespace kel::bench
