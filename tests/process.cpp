#include "tests/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

extern char** environ;

namespace kel::test {

namespace {

using Clock = std::chrono::steady_clock;

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// The test's environment with the command's changes.
std::vector<std::string> environment_of(const Command& command) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    for (const EnvChange& change : command.env) {
        std::string prefix = change.name + "=";
        std::erase_if(env, [&](const std::string& entry) { return entry.compare(0, prefix.size(), prefix) == 0; });
        if (change.value) env.push_back(prefix + *change.value);
    }
    return env;
}

std::vector<char*> pointers_to(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (std::string& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

int open_output(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

// Writes to a pipe whose reader may be gone: with SIGPIPE blocked, so that
// the write fails with EPIPE instead of ending the test process, and a
// SIGPIPE raised by it taken back before the mask is restored.
ssize_t write_without_sigpipe(int fd, const char* data, size_t size) {
    sigset_t pipe_only, old_mask, pending;
    sigemptyset(&pipe_only);
    sigaddset(&pipe_only, SIGPIPE);
    sigpending(&pending);
    bool was_pending = sigismember(&pending, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_only, &old_mask);
    ssize_t n = ::write(fd, data, size);
    int saved_errno = errno;
    if (n < 0 && errno == EPIPE && !was_pending) {
        timespec zero{0, 0};
        while (sigtimedwait(&pipe_only, nullptr, &zero) < 0 && errno == EINTR) {}
    }
    pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
    errno = saved_errno;
    return n;
}

}  // namespace

std::string ProcessResult::end() const {
    if (timed_out) return "timed out";
    if (signal) return "signal " + std::to_string(signal);
    return "exit " + std::to_string(status);
}

Child::Child(const Command& command) : input_(command.input) {
    deadline_ = Clock::now() + command.deadline;
    std::vector<std::string> args = command.argv;
    std::vector<std::string> env = environment_of(command);
    std::vector<char*> argv = pointers_to(args);
    std::vector<char*> envp = pointers_to(env);

    // The child's ends of its standard streams.
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    int child_out = -1, child_err = -1;
    bool ok = pipe2(in, O_CLOEXEC) == 0;
    if (ok && command.stdout_file.empty()) {
        ok = pipe2(out, O_CLOEXEC) == 0;
        child_out = out[1];
    } else if (ok) {
        child_out = open_output(command.stdout_file);
        ok = child_out >= 0;
    }
    if (ok && command.merge_output) {
        child_err = child_out;
    } else if (ok) {
        ok = pipe2(err, O_CLOEXEC) == 0;
        child_err = err[1];
    }
    if (ok && !args.empty()) pid_ = fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls from here to exec.
        setpgid(0, 0);
        for (int sig = 1; sig < NSIG; ++sig) ::signal(sig, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        if (dup2(in[0], 0) < 0 || dup2(child_out, 1) < 0 || dup2(child_err, 2) < 0) _exit(127);
        if (!command.dir.empty() && chdir(command.dir.c_str()) != 0) _exit(127);
        if (std::strchr(argv[0], '/'))
            execve(argv[0], argv.data(), envp.data());
        else
            execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (pid_ > 0) setpgid(pid_, pid_);  // either side may run first
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    close_fd(in[0]);
    if (child_err != child_out) close_fd(child_err);
    close_fd(child_out);
    if (pid_ < 0) {
        result_.status = 127;
        reaped_ = true;
        close_fd(in_);
        close_fd(out_);
        close_fd(err_);
        return;
    }
    fcntl(in_, F_SETFL, fcntl(in_, F_GETFL) | O_NONBLOCK);
    if (input_.empty()) close_fd(in_);
}

Child::~Child() {
    close_fd(in_);
    close_fd(out_);
    close_fd(err_);
    if (!reaped_) {
        kill_group();
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {}
    }
}

void Child::kill_group() {
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
}

void Child::signal(int sig) {
    if (!reaped_) ::kill(pid_, sig);
}

// Moves input and output until the text appears in standard output (when
// asked), every stream is closed, or the deadline passes. Answers whether
// the text appeared.
bool Child::pump(bool until_text, std::string_view text) {
    for (;;) {
        if (until_text && result_.out.find(text) != std::string::npos) return true;
        pollfd fds[3];
        int n = 0;
        if (in_ >= 0) fds[n++] = {in_, POLLOUT, 0};
        if (out_ >= 0) fds[n++] = {out_, POLLIN, 0};
        if (err_ >= 0) fds[n++] = {err_, POLLIN, 0};
        if (n == 0) return false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
        if (left <= 0) return false;
        int ready = poll(fds, nfds_t(n), int(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;  // the deadline check above ends the loop
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents) continue;
            if (fds[i].fd == in_) {
                ssize_t w = write_without_sigpipe(in_, input_.data() + written_, input_.size() - written_);
                if (w > 0) written_ += size_t(w);
                // A child that closed its input reads no more of it.
                if ((w < 0 && errno != EAGAIN && errno != EINTR) || written_ == input_.size()) close_fd(in_);
                continue;
            }
            int& fd = fds[i].fd == out_ ? out_ : err_;
            std::string& sink = fds[i].fd == out_ ? result_.out : result_.err;
            char buffer[8192];
            ssize_t r = ::read(fd, buffer, sizeof buffer);
            if (r > 0)
                sink.append(buffer, size_t(r));
            else if (r == 0 || (errno != EAGAIN && errno != EINTR))
                close_fd(fd);
        }
    }
}

bool Child::wait_for_output(std::string_view text) { return !reaped_ && pump(true, text); }

ProcessResult Child::finish() {
    if (reaped_) return result_;
    pump(false, {});
    close_fd(in_);
    close_fd(out_);
    close_fd(err_);
    int wstatus = 0;
    for (;;) {
        pid_t r = waitpid(pid_, &wstatus, WNOHANG);
        if (r == pid_) break;
        if (r < 0 && errno != EINTR) break;
        if (Clock::now() >= deadline_) {
            result_.timed_out = true;
            kill_group();
            while (waitpid(pid_, &wstatus, 0) < 0 && errno == EINTR) {}
            break;
        }
        timespec pause{0, 2000000};
        nanosleep(&pause, nullptr);
    }
    reaped_ = true;
    if (WIFEXITED(wstatus) && !result_.timed_out)
        result_.status = WEXITSTATUS(wstatus);
    else if (WIFSIGNALED(wstatus))
        result_.signal = WTERMSIG(wstatus);
    return result_;
}

ProcessResult run_process(const Command& command) {
    Child child(command);
    return child.finish();
}

}  // namespace kel::test
