#include "runtime/platform/child-process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

extern char** environ;

namespace kel::platform::child {

namespace {

std::vector<pid_t> running;  // started without waiting, not reaped yet

// A descriptor closed when the holder goes.
struct Fd {
    int fd = -1;
    Fd() = default;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { reset(); }
    void reset() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

// Moves a descriptor above 2, so that duplicating it onto a standard stream
// of the child never duplicates it onto itself (which would keep its
// close-on-exec flag).
bool above_standard(Fd& d) {
    if (d.fd > 2) return true;
    int moved = fcntl(d.fd, F_DUPFD_CLOEXEC, 3);
    d.reset();
    d.fd = moved;
    return moved >= 0;
}

bool non_blocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

int status_of(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

int wait_for(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status_of(status);
}

int64_t now_ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// The time left before a deadline (-1: none), for poll: at least 0.
int time_left(int64_t deadline) {
    if (deadline < 0) return -1;
    int64_t left = deadline - now_ms();
    return left <= 0 ? 0 : int(std::min<int64_t>(left, 1 << 30));
}

// Waits for the child until the deadline; a child still running then is
// killed and reaped, and the answer is false.
bool wait_until(pid_t pid, int64_t deadline, int& result) {
    if (deadline < 0) {
        result = wait_for(pid);
        return true;
    }
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            result = status_of(status);
            return true;
        }
        if (r < 0 && errno != EINTR) {
            result = -1;
            return true;
        }
        if (now_ms() >= deadline) {
            kill(pid, SIGKILL);
            wait_for(pid);
            return false;
        }
        timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
}

// A capture: bytes read so far in a buffer that doubles from 4096 bytes.
struct Capture {
    std::vector<uint8_t>& bytes;
    size_t used = 0;
    // False at end of file or on an error; true when more may come.
    bool read_from(int fd) {
        if (bytes.size() == used) bytes.resize(std::max<size_t>(4096, bytes.size() * 2));
        ssize_t n = read(fd, bytes.data() + used, bytes.size() - used);
        if (n > 0) {
            used += size_t(n);
            return true;
        }
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    }
};

// Feeds the input and drains output and error together until all three are
// done, or the deadline (-1: none) passes, which answers false. Should poll
// fail, the pipes are closed, so the child sees end of file or a broken pipe
// instead of blocking.
bool pump(Fd& in, const std::vector<uint8_t>& input, Fd& out, Capture& out_bytes, Fd& err, Capture& err_bytes,
          int64_t deadline) {
    bool in_time = true;
    size_t written = 0;
    if (in.fd >= 0 && input.empty()) in.reset();
    for (Fd* d : {&in, &out, &err})
        if (d->fd >= 0 && !non_blocking(d->fd)) d->reset();
    while (in.fd >= 0 || out.fd >= 0 || err.fd >= 0) {
        pollfd polled[3];
        Fd* owners[3];
        nfds_t n = 0;
        auto watch = [&](Fd& d, short events) {
            if (d.fd < 0) return;
            polled[n] = {d.fd, events, 0};
            owners[n++] = &d;
        };
        watch(in, POLLOUT);
        watch(out, POLLIN);
        watch(err, POLLIN);
        int ready = poll(polled, n, time_left(deadline));
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (ready == 0 && deadline >= 0 && now_ms() >= deadline) {
            in_time = false;
            break;
        }
        for (nfds_t k = 0; k < n; ++k) {
            if (!polled[k].revents) continue;
            Fd& d = *owners[k];
            if (&d == &in) {
                size_t chunk = std::min<size_t>(input.size() - written, size_t(1) << 16);
                ssize_t w = write(d.fd, input.data() + written, chunk);
                if (w > 0)
                    written += size_t(w);
                else if (w < 0 && errno != EAGAIN && errno != EINTR)
                    d.reset();  // the child stopped reading
                if (written == input.size()) d.reset();
            } else if (!(&d == &out ? out_bytes : err_bytes).read_from(d.fd)) {
                d.reset();
            }
        }
    }
    in.reset();
    out.reset();
    err.reset();
    return in_time;
}

// Holds SIGPIPE on this thread while it lives; a SIGPIPE raised meanwhile
// (a write to a child that stopped reading) is discarded before the mask
// comes back.
class HoldSigpipe {
public:
    HoldSigpipe() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~HoldSigpipe() {
        sigset_t pending;
        sigemptyset(&pending);
        if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE)) {
            timespec none{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &none) < 0 && errno == EINTR) {}
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    HoldSigpipe(const HoldSigpipe&) = delete;
    HoldSigpipe& operator=(const HoldSigpipe&) = delete;

private:
    sigset_t pipe_, old_;
};

// The spawn attributes: an empty signal mask and default dispositions for
// the signals the console handles or ignores.
struct Attributes {
    posix_spawnattr_t attr;
    Attributes() {
        posix_spawnattr_init(&attr);
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        for (int s : {SIGPIPE, SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU, SIGCHLD, SIGWINCH, SIGTERM, SIGHUP})
            sigaddset(&defaults, s);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &defaults);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~Attributes() { posix_spawnattr_destroy(&attr); }
};

struct Actions {
    posix_spawn_file_actions_t actions;
    Actions() { posix_spawn_file_actions_init(&actions); }
    ~Actions() { posix_spawn_file_actions_destroy(&actions); }
};

}  // namespace

Outcome run(Request& request) {
    Outcome outcome;
    reap_finished();
    if (request.argv.empty()) return outcome;

    // Opens every redirection first: one that cannot be opened fails the
    // call before anything starts.
    Fd child_end[3], parent_end[3];
    Actions actions;
    for (int s = 0; s < 3; ++s) {
        switch (request.how[s]) {
        case Stream::inherit:
            continue;
        case Stream::null:
            posix_spawn_file_actions_addopen(&actions.actions, s, "/dev/null", s == 0 ? O_RDONLY : O_WRONLY, 0);
            continue;
        case Stream::file:
            child_end[s].fd = s == 0 ? open(request.path[s].c_str(), O_RDONLY | O_CLOEXEC)
                                     : open(request.path[s].c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
            break;
        case Stream::pipe: {
            int ends[2];
            if (pipe2(ends, O_CLOEXEC) != 0) return outcome;
            child_end[s].fd = s == 0 ? ends[0] : ends[1];
            parent_end[s].fd = s == 0 ? ends[1] : ends[0];
            request.wait = true;
            break;
        }
        }
        if (child_end[s].fd < 0 || !above_standard(child_end[s])) return outcome;
        posix_spawn_file_actions_adddup2(&actions.actions, child_end[s].fd, s);
    }

    // Descriptors this process inherited without close-on-exec stay here too.
    posix_spawn_file_actions_addclosefrom_np(&actions.actions, 3);

    std::vector<char*> argv;
    for (std::string& a : request.argv) argv.push_back(a.data());
    argv.push_back(nullptr);
    // Output of this process still buffered goes out before the child's.
    std::fflush(nullptr);
    Attributes attributes;
    pid_t pid = 0;
    int failed = posix_spawnp(&pid, argv[0], &actions.actions, &attributes.attr, argv.data(), environ);
    if (failed) {
        if (failed == ENOENT) outcome.kind = Outcome::not_found;
        return outcome;
    }
    for (Fd& d : child_end) d.reset();
    outcome.kind = Outcome::started;
    if (!request.wait) {
        running.push_back(pid);
        outcome.result = int32_t(pid);
        return outcome;
    }
    int64_t deadline = request.limit_ms < 0 ? -1 : now_ms() + request.limit_ms;
    bool in_time;
    {
        HoldSigpipe hold;
        Capture out{outcome.output}, err{outcome.error};
        in_time = pump(parent_end[0], request.input, parent_end[1], out, parent_end[2], err, deadline);
        outcome.output.resize(out.used);
        outcome.error.resize(err.used);
    }
    if (!in_time) {
        kill(pid, SIGKILL);
        wait_for(pid);
        outcome.kind = Outcome::timed_out;
        return outcome;
    }
    if (!wait_until(pid, deadline, outcome.result)) outcome.kind = Outcome::timed_out;
    return outcome;
}

void reap_finished() {
    std::erase_if(running, [](pid_t pid) {
        int status;
        pid_t r = waitpid(pid, &status, WNOHANG);
        return r == pid || (r < 0 && errno == ECHILD);
    });
}

bool on_path(const std::string& name) {
    auto runnable = [](const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
    };
    if (name.empty()) return false;
    if (name.find('/') != std::string::npos) return runnable(name);
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (runnable((dir.empty() ? std::string(".") : dir) + "/" + name)) return true;
        start = end + 1;
    }
    return false;
}

std::vector<pid_t> unreaped() { return running; }

}  // namespace kel::platform::child
