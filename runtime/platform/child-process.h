// Child processes: spawning a program with chosen standard streams, pumping
// its pipes, waiting for it and reaping the ones nobody waits for.
//
// Everything here works on C++ bytes and strings: no series memory is read
// or written while a child runs, so the collector may move anything.
//
// A child inherits only descriptors 0-2 (every descriptor the runtime opens
// is close-on-exec, and any other is closed in the child), the current
// directory and the environment. Its signal
// mask is empty and the signals the console catches or ignores are back to
// their defaults.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kel::platform::child {

// Where one standard stream of the child comes from or goes to.
enum class Stream {
    inherit,  // this process's own descriptor
    null,  // /dev/null
    file,  // a file: input opened read-only, output and error appended
    pipe,  // a pipe this process feeds (input) or drains (output, error)
};

struct Request {
    // The program first; found on PATH when it holds no "/".
    std::vector<std::string> argv;
    Stream how[3] = {Stream::inherit, Stream::null, Stream::null};
    // The file of a Stream::file, per stream.
    std::string path[3];
    // The bytes fed to a piped input.
    std::vector<uint8_t> input;
    // Whether to wait for the child (forced by any pipe).
    bool wait = false;
    // Milliseconds the child may take, pumping and waiting included (-1: no
    // limit). Past them it is killed and the outcome is `timed_out`.
    int64_t limit_ms = -1;
};

struct Outcome {
    enum Kind {
        started,  // result: the exit status, or the process id without waiting
        not_found,  // the program does not exist (nothing started)
        failed,  // a redirection could not be opened, or the spawn failed
        timed_out,  // killed when its time limit ran out
    } kind = failed;
    int32_t result = -1;
    // The bytes a piped output and error produced.
    std::vector<uint8_t> output, error;
};

// Runs the request. Piped streams are served together by one poll loop
// until all are done, so no pipe filling up can block the child; a child
// that ends without reading its input never ends this process (SIGPIPE is
// held and discarded). The status of a child ended by a signal is 128 plus
// the signal number.
Outcome run(Request& request);

// Reaps, without blocking, the children started without waiting that have
// ended. Only their recorded ids are asked for: another waiter's children
// are left alone.
void reap_finished();

// Whether a program of that name would be found on PATH (an executable
// regular file); a name holding "/" is checked as it stands.
bool on_path(const std::string& name);

// The ids of started children not reaped yet (for tests).
std::vector<pid_t> unreaped();

}  // namespace kel::platform::child
