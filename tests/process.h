// Child processes for the tests: a program of the build (kel, a probe) run
// with its arguments, environment changes, working directory and standard
// input, its standard output and standard error captured (apart, merged into
// one, or standard output sent to a file), and its end: an exit status, a signal, or a
// timeout.
//
// Input and output go through poll, so a child that writes much before it
// reads, or reads little of a long input, never deadlocks the test. Every run
// has a deadline; past it the child's process group is killed and the result
// says it timed out, so one hung child fails its test instead of stalling the
// run. The child starts in a process group of its own, with the default
// disposition and an empty mask for every signal, and inherits no descriptor
// of the test process but its standard streams.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/test-paths.h"

namespace kel::test {

// A program of this build (kel, a probe) by name.
inline std::string program_path(const char* name) { return std::string(PROBE_DIR) + "/" + name; }

// A change to the environment: a value sets the name, none (or a null
// pointer) removes it.
struct EnvChange {
    std::string name;
    std::optional<std::string> value;
    EnvChange(std::string n, const char* v) : name(std::move(n)) {
        if (v) value = v;
    }
    EnvChange(std::string n, std::string v) : name(std::move(n)), value(std::move(v)) {}
    EnvChange(std::string n, std::nullopt_t) : name(std::move(n)) {}
};

struct Command {
    // argv[0] is the program: a path, or a name looked up in PATH.
    std::vector<std::string> argv;
    // Changes to the test's environment.
    std::vector<EnvChange> env;
    // The working directory; empty: the test's own.
    std::string dir;
    // Standard input: these bytes, then the end of input.
    std::string input;
    // Standard error goes to the same capture as standard output, in the
    // order written.
    bool merge_output = false;
    // When set, standard output (with standard error when merged) goes to
    // this file, created or truncated, instead of being captured.
    std::string stdout_file;
    std::chrono::milliseconds deadline{120000};
};

struct ProcessResult {
    std::string out;  // standard output (and standard error when merged)
    std::string err;  // standard error when not merged
    // The exit status when the child exited, else -1.
    int status = -1;
    // The signal that ended the child, else 0.
    int signal = 0;
    bool timed_out = false;
    bool exited() const { return status >= 0; }
    // "exit 3", "signal 11", "timed out", for failure messages.
    std::string end() const;
};

// A started child. The destructor kills and reaps a child still running.
class Child {
public:
    explicit Child(const Command& command);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Feeds input and collects output until the text has appeared in the
    // captured standard output, the output ends or the deadline passes;
    // answers whether it appeared.
    bool wait_for_output(std::string_view text);
    // Sends the signal to the child.
    void signal(int sig);
    // Feeds the rest of the input, collects output to its end and waits for
    // the child to end, all within the deadline.
    ProcessResult finish();
    // What was captured so far.
    const ProcessResult& result() const { return result_; }

private:
    bool pump(bool until_text, std::string_view text);
    void kill_group();

    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::string input_;
    size_t written_ = 0;
    std::chrono::steady_clock::time_point deadline_;
    ProcessResult result_;
    bool reaped_ = false;
};

// Runs the command to its end.
ProcessResult run_process(const Command& command);

}  // namespace kel::test
