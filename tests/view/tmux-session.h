// A program run in a pane of a tmux server of its own, for end-to-end tests
// of what a real terminal emulator makes of the output.
//
// - Each session starts its own server (`tmux -u -L kel-test-<pid>-<n> -f
//   /dev/null`); the destructor kills that server by name, also after a
//   failed assertion, and removes its socket and the session's home.
// - The pane has an explicit size, and the program runs with the given TERM
//   and COLORTERM, LANG=C.UTF-8 and a HOME of the session's own.
// - Keys go in with `send-keys`: `-l` for text, `-H` for raw bytes (SGR
//   mouse reports).
// - Waits poll `capture-pane -p` (`-e` for attributes) until the text
//   appears, under a limit; there are no fixed sleeps.
//
// When the program ends the pane shows "[exit N]" (its status) and stays
// until the session ends.
//
// `available()` tells whether tmux is installed; tests skip without it.
#pragma once
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/process.h"

namespace kel::test {

class TmuxSession {
public:
    struct Options {
        int rows = 24, columns = 80;
        std::string term = "xterm-256color";
        std::string colorterm;  // empty: unset
        std::string dir;  // the program's working directory; empty: the home
        // Files written into the home before the program starts: name, text.
        std::vector<std::pair<std::string, std::string>> files;
    };

    static bool available() {
        Command c;
        c.argv = {"tmux", "-V"};
        return run_process(c).status == 0;
    }

    // Starts `argv` in a new detached session.
    TmuxSession(const std::vector<std::string>& argv, Options options) : options_(std::move(options)) {
        static int count = 0;
        server_ = "kel-test-" + std::to_string(getpid()) + "-" + std::to_string(++count);
        std::string home_template = (std::filesystem::temp_directory_path() / "kel-tmux-home-XXXXXX").string();
        if (mkdtemp(home_template.data())) home_ = home_template;
        for (const auto& [name, text] : options_.files) std::ofstream(home_ + "/" + name) << text;
        std::string command = "env";
        if (options_.colorterm.empty()) command += " -u COLORTERM";
        command += " TERM=" + quote(options_.term);
        if (!options_.colorterm.empty()) command += " COLORTERM=" + quote(options_.colorterm);
        command += " LANG=C.UTF-8 HOME=" + quote(home_);
        for (const std::string& a : argv) command += " " + quote(a);
        // The pane outlives the program, so that what it left can be read.
        command += "; echo \"[exit $?]\"; exec sleep 3600";
        std::vector<std::string> args = {"new-session", "-d",
                                         "-s",          "pane",
                                         "-x",          std::to_string(options_.columns),
                                         "-y",          std::to_string(options_.rows)};
        args.insert(args.end(), {"-c", options_.dir.empty() ? home_ : options_.dir});
        args.push_back(command);
        started_ = tmux(args).status == 0;
        if (started_) socket_ = display("#{socket_path}");
    }

    ~TmuxSession() {
        tmux({"kill-server"});
        std::error_code ignored;
        if (!socket_.empty()) std::filesystem::remove(socket_, ignored);
        if (!home_.empty()) std::filesystem::remove_all(home_, ignored);
    }

    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    bool started() const { return started_; }
    const std::string& home() const { return home_; }

    // Types text as it is.
    void send_text(const std::string& text) { tmux({"send-keys", "-t", target(), "-l", text}); }
    // Sends a key by its tmux name (Enter, Tab, Escape, BTab ...).
    void send_key(const std::string& name) { tmux({"send-keys", "-t", target(), name}); }
    // Sends raw bytes, such as an SGR mouse report.
    void send_bytes(const std::string& bytes) {
        std::vector<std::string> args = {"send-keys", "-t", target(), "-H"};
        char hex[3];
        for (unsigned char c : bytes) {
            std::snprintf(hex, sizeof hex, "%02x", c);
            args.emplace_back(hex);
        }
        tmux(args);
    }

    // The pane's text; with `attributes`, with the escape sequences of its
    // looks.
    std::string capture(bool attributes = false) {
        std::vector<std::string> args = {"capture-pane", "-p", "-t", target()};
        if (attributes) args.push_back("-e");
        return tmux(args).out;
    }

    // Polls the pane until its capture holds `text`; false after the limit.
    // The default is generous: a dialog takes seconds to lay out under GC
    // stress on a loaded machine, and a wait that succeeds ends at once.
    bool wait_for(const std::string& text, bool attributes = false,
                  std::chrono::milliseconds limit = std::chrono::seconds(120)) {
        auto end = std::chrono::steady_clock::now() + limit;
        do {
            if (capture(attributes).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (std::chrono::steady_clock::now() < end);
        return false;
    }

    // `display -p` of a format for the pane, without the line end.
    std::string display(const std::string& format) {
        std::string out = tmux({"display", "-p", "-t", target(), format}).out;
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
        return out;
    }

private:
    static std::string target() { return "pane:"; }

    ProcessResult tmux(std::vector<std::string> args) {
        Command c;
        c.argv = {"tmux", "-u", "-L", server_, "-f", "/dev/null"};
        c.argv.insert(c.argv.end(), args.begin(), args.end());
        c.deadline = std::chrono::seconds(20);
        return run_process(c);
    }

    static std::string quote(const std::string& s) {
        std::string q = "'";
        for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    }

    Options options_;
    std::string server_, home_, socket_;
    bool started_ = false;
};

}  // namespace kel::test
