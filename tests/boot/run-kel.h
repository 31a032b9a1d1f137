// Runs the kel executable of this build as a child process (tests/process.h):
// arguments, text on its standard input, environment changes (a name with a
// value sets it, with null removes it) and a working directory; the result
// holds its exit status and what it wrote on standard output and standard
// error together, in order (`out`). Also script files and directories of
// their own for the runs.
#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/process.h"

namespace kel::test {

inline std::string kel_path() { return program_path("kel"); }

// The command that runs kel with the arguments.
inline Command kel_command(const std::vector<std::string>& args) {
    Command c;
    c.argv.push_back(kel_path());
    c.argv.insert(c.argv.end(), args.begin(), args.end());
    return c;
}

inline ProcessResult run_kel(const std::vector<std::string>& args, const std::string& input = "",
                             const std::vector<EnvChange>& env = {}, const std::string& dir = "") {
    Command c = kel_command(args);
    c.input = input;
    c.env = env;
    c.dir = dir;
    c.merge_output = true;
    return run_process(c);
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
