// Runs the kel executable of this build as a child process: arguments, text
// on its standard input, environment changes (a name with a value sets it,
// with null removes it), and answers its exit status and what it wrote on
// standard output and standard error (together, in order).
#pragma once
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>
#include "tests/test-paths.h"

namespace kel::test {

struct KelRun {
    int status = -1;
    std::string output;
};

inline std::string kel_path() { return std::string(PROBE_DIR) + "/kel"; }

inline KelRun run_kel(const std::vector<std::string>& args, const std::string& input = "",
                      const std::vector<std::pair<std::string, const char*>>& env = {},
                      const std::string& dir = "") {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(in[1]);
        close(out[0]);
        for (const auto& [name, value] : env) {
            if (value) setenv(name.c_str(), value, 1);
            else unsetenv(name.c_str());
        }
        if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(127);
        std::string program = kel_path();
        std::vector<char*> argv{program.data()};
        std::vector<std::string> copies = args;
        for (std::string& a : copies) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    size_t written = 0;
    while (written < input.size()) {
        ssize_t n = write(in[1], input.data() + written, input.size() - written);
        if (n <= 0) break;
        written += size_t(n);
    }
    close(in[1]);
    KelRun result;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        result.output.append(buffer, size_t(n));
    }
    close(out[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return result;
}

// A script file in a fresh directory of its own, removed with the value.
struct ScriptFile {
    std::string dir;
    std::string path;
    explicit ScriptFile(const std::string& text, const std::string& name = "script.kel") {
        char pattern[] = "/tmp/kel-boot-XXXXXX";
        dir = mkdtemp(pattern);
        path = dir + "/" + name;
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            (void)!write(fd, text.data(), text.size());
            close(fd);
        }
    }
    ~ScriptFile() {
        unlink(path.c_str());
        rmdir(dir.c_str());
    }
};

// A fresh directory, removed with everything in it with the value.
struct TempDir {
    std::string path;
    TempDir() {
        char pattern[] = "/tmp/kel-home-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string read(const std::string& name) const {
        std::string text;
        int fd = open((path + "/" + name).c_str(), O_RDONLY);
        if (fd < 0) return "(none)";
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, size_t(n));
        close(fd);
        return text;
    }
    void write(const std::string& name, const std::string& text) const {
        std::filesystem::create_directories(std::filesystem::path(path + "/" + name).parent_path());
        int fd = open((path + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            (void)!::write(fd, text.data(), text.size());
            close(fd);
        }
    }
};

}  // namespace kel::test
