// Runs the console probe (tests/probes/console-probe.cpp), or another
// program of the build such as kel, in a pseudo-terminal opened with forkpty: keys go to the master side, the
// output is fed to a VT screen model, and the terminal's mode is read on the
// slave side with tcgetattr. Waits end on a condition; the only clock is a
// generous limit after which a wait fails instead of hanging the suite.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/console/vt-screen.h"
#include "tests/process.h"

namespace kel::test {

// A wait status as a test reads it: the exit code, or 1000 + the signal.
inline int status_of(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 1000 + WTERMSIG(wait_status);
    return -1;
}

class PtySession {
public:
    // With `job_control` the program runs as a shell would run it: in a
    // process group of its own in the foreground of the terminal, under a
    // parent that stays in the session (so a stop signal stops it, which the
    // kernel refuses to a group that no shell controls). `job()` is then its
    // process id, and the wait status is the program's.
    PtySession(std::vector<std::string> args, int rows = 24, int columns = 80,
               std::vector<std::string> env = {"TERM=xterm"}, std::string program = program_path("console-probe"),
               bool job_control = false)
        : screen(rows, columns) {
        winsize ws{};
        ws.ws_row = uint16_t(rows);
        ws.ws_col = uint16_t(columns);
        std::vector<char*> argv;
        std::string path = program;
        argv.push_back(path.data());
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int job_pipe[2] = {-1, -1};
        if (job_control && pipe(job_pipe) != 0) return;
        pid_ = forkpty(&master_, nullptr, nullptr, &ws);
        if (pid_ == 0) {
            for (auto& e : env) putenv(e.data());
            if (job_control) run_as_job(job_pipe, path, argv);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        if (job_control) {
            close(job_pipe[1]);
            if (read(job_pipe[0], &job_, sizeof job_) != sizeof job_) job_ = -1;
            close(job_pipe[0]);
        } else {
            job_ = pid_;
        }
        slave_name_ = pid_ > 0 ? ptsname(master_) : "";
    }
    ~PtySession() {
        if (pid_ > 0 && !reaped_) {
            if (job_ > 0 && job_ != pid_) kill(job_, SIGKILL);
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
    }

    bool started() const { return pid_ > 0; }

    void send(std::string_view bytes) { (void)!write(master_, bytes.data(), bytes.size()); }

    // Reads output until `done` holds for the screen and the output so far.
    bool wait_for(const std::function<bool()>& done) {
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            if (!read_some(100) && eof_) return done();
        }
        return true;
    }
    bool wait_for_text(const std::string& text) {
        return wait_for([&] { return output.find(text, mark_) != std::string::npos; });
    }
    // Later waits for text only look at output from here on.
    void mark() { mark_ = output.size(); }

    // Reads to the end of output and answers the wait status.
    // A child still running after the wait's limit is killed, so that a
    // failing test ends instead of hanging the suite.
    int finish() {
        wait_for([] { return false; });
        if (!eof_) {
            if (job_ > 0 && job_ != pid_) kill(job_, SIGKILL);
            kill(pid_, SIGKILL);
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return status;
    }

    void resize(int rows, int columns) {
        winsize ws{};
        ws.ws_row = uint16_t(rows);
        ws.ws_col = uint16_t(columns);
        screen.resize(rows, columns);
        ioctl(master_, TIOCSWINSZ, &ws);  // the kernel sends SIGWINCH
    }

    // The terminal's mode as the slave side holds it.
    termios mode() const {
        termios t{};
        int fd = open(slave_name_.c_str(), O_RDWR | O_NOCTTY);
        if (fd >= 0) {
            tcgetattr(fd, &t);
            close(fd);
        }
        return t;
    }
    void set_mode(const termios& t) const {
        int fd = open(slave_name_.c_str(), O_RDWR | O_NOCTTY);
        if (fd >= 0) {
            tcsetattr(fd, TCSANOW, &t);
            close(fd);
        }
    }
    bool canonical_with_echo() const {
        termios t = mode();
        return (t.c_lflag & ICANON) && (t.c_lflag & ECHO) && (t.c_lflag & ISIG) && (t.c_iflag & ICRNL);
    }

    pid_t pid() const { return pid_; }
    pid_t job() const { return job_; }

    // The state letter of /proc/<job>/stat: 'T' while it is stopped.
    char job_state() const {
        std::string path = "/proc/" + std::to_string(job_) + "/stat";
        int fd = open(path.c_str(), O_RDONLY);
        if (fd < 0) return '?';
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf - 1);
        close(fd);
        if (n <= 0) return '?';
        std::string_view text(buf, size_t(n));
        size_t close_paren = text.rfind(')');
        return close_paren != std::string_view::npos && close_paren + 2 < text.size() ? text[close_paren + 2] : '?';
    }

    VtScreen screen;
    std::string output;

private:
    // In the session leader forkpty made: the program goes into a group of
    // its own, which takes the terminal's foreground, and the leader waits
    // for it and ends with its status.
    [[noreturn]] static void run_as_job(int job_pipe[2], const std::string& path, std::vector<char*>& argv) {
        close(job_pipe[0]);
        pid_t child = fork();
        if (child == 0) {
            close(job_pipe[1]);
            setpgid(0, 0);
            signal(SIGTTOU, SIG_IGN);
            tcsetpgrp(STDIN_FILENO, getpid());
            signal(SIGTTOU, SIG_DFL);
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        (void)!write(job_pipe[1], &child, sizeof child);
        close(job_pipe[1]);
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
        if (WIFSIGNALED(status)) {
            signal(WTERMSIG(status), SIG_DFL);
            raise(WTERMSIG(status));
        }
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 127);
    }

    bool read_some(int ms) {
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return false;
        char buf[4096];
        ssize_t n = read(master_, buf, sizeof buf);
        if (n <= 0) {
            eof_ = true;  // EIO once the child has closed the slave
            return false;
        }
        output.append(buf, size_t(n));
        screen.feed(std::string_view(buf, size_t(n)));
        return true;
    }

    int master_ = -1;
    pid_t pid_ = -1;
    pid_t job_ = -1;
    bool reaped_ = false;
    bool eof_ = false;
    size_t mark_ = 0;
    std::string slave_name_;
};

}  // namespace kel::test
