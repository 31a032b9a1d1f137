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

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/console/vt-screen.h"

namespace kel::test {

inline std::string probe_path(const char* name) { return std::string(KEL_PROBE_DIR) + "/" + name; }

class PtySession {
public:
    PtySession(std::vector<std::string> args, int rows = 24, int columns = 80,
               std::vector<std::string> env = {"TERM=xterm"}, std::string program = probe_path("console-probe"))
        : screen(rows, columns) {
        winsize ws{};
        ws.ws_row = uint16_t(rows);
        ws.ws_col = uint16_t(columns);
        std::vector<char*> argv;
        std::string path = program;
        argv.push_back(path.data());
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_ = forkpty(&master_, nullptr, nullptr, &ws);
        if (pid_ == 0) {
            for (auto& e : env) putenv(e.data());
            execv(path.c_str(), argv.data());
            _exit(127);
        }
        slave_name_ = pid_ > 0 ? ptsname(master_) : "";
    }
    ~PtySession() {
        if (pid_ > 0 && !reaped_) {
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
        if (!eof_) kill(pid_, SIGKILL);
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

    VtScreen screen;
    std::string output;

private:
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
    bool reaped_ = false;
    bool eof_ = false;
    size_t mark_ = 0;
    std::string slave_name_;
};

}  // namespace kel::test
