#include "runtime/platform/clipboard.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include "runtime/platform/child-process.h"

namespace kel::platform::clipboard {

namespace {

int64_t tool_limit_ms = 2000;

struct InProcess {
    std::string type;
    std::vector<uint8_t> bytes;
};
InProcess& own() {
    static InProcess clipboard;
    return clipboard;
}

bool set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

struct Ran {
    bool ended = false;  // started and ended within its time
    int status = -1;
    std::vector<uint8_t> output;
};

// Runs a tool to its end (or its time limit): with `input` on a pipe when
// given, its output captured when asked.
Ran launch(std::vector<std::string> argv, const std::vector<uint8_t>* input, bool capture) {
    child::Request request;
    request.argv = std::move(argv);
    request.how[0] = input ? child::Stream::pipe : child::Stream::null;
    request.how[1] = capture ? child::Stream::pipe : child::Stream::null;
    request.how[2] = child::Stream::null;
    if (input) request.input = *input;
    request.wait = true;
    request.limit_ms = tool_limit_ms;
    child::Outcome outcome = child::run(request);
    Ran ran;
    ran.ended = outcome.kind == child::Outcome::started;
    ran.status = outcome.result;
    ran.output = std::move(outcome.output);
    return ran;
}

// The tool's output when it ended with status 0.
std::optional<std::vector<uint8_t>> run(std::vector<std::string> argv, const std::vector<uint8_t>* input,
                                        bool capture) {
    Ran ran = launch(std::move(argv), input, capture);
    if (!ran.ended || ran.status != 0) return std::nullopt;
    return std::move(ran.output);
}

std::vector<std::string> x11(std::initializer_list<std::string> rest) {
    std::vector<std::string> argv = {"xclip", "-selection", "clipboard"};
    argv.insert(argv.end(), rest);
    return argv;
}

// xclip names UTF-8 text by its X atom.
std::string x11_type(const std::string& type) {
    return type.rfind("text/plain", 0) == 0 ? std::string("UTF8_STRING") : type;
}

// xclip -i ends before the process it leaves behind has taken the
// clipboard; a read right after a write could find the old owner or none.
// A write is done once the clipboard offers its types (within the tool's
// time).
bool x11_owned() {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(tool_limit_ms);
    do {
        Ran listed = launch(x11({"-t", "TARGETS", "-o"}), nullptr, false);
        if (listed.ended && listed.status == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < until);
    return false;
}

}  // namespace

Backend backend() {
    if (set("WAYLAND_DISPLAY") && child::on_path("wl-copy") && child::on_path("wl-paste")) return Backend::wayland;
    if (set("DISPLAY") && child::on_path("xclip")) return Backend::x11;
    return Backend::in_process;
}

std::optional<std::vector<std::string>> offered_types() {
    Ran listed;
    switch (backend()) {
    case Backend::in_process:
        if (own().type.empty()) return std::vector<std::string>{};
        return std::vector<std::string>{own().type};
    case Backend::wayland:
        listed = launch({"wl-paste", "--list-types"}, nullptr, true);
        break;
    case Backend::x11:
        listed = launch(x11({"-t", "TARGETS", "-o"}), nullptr, true);
        break;
    }
    // Both tools end with a status of 1 when nothing owns the clipboard: it
    // offers nothing.
    if (!listed.ended || listed.status < 0 || listed.status > 1) return std::nullopt;
    std::vector<std::string> types;
    if (listed.status != 0) return types;
    std::string line;
    for (uint8_t c : listed.output) {
        if (c == '\n' || c == '\r') {
            if (!line.empty()) types.push_back(line);
            line.clear();
        } else {
            line += char(c);
        }
    }
    if (!line.empty()) types.push_back(line);
    return types;
}

std::optional<std::vector<uint8_t>> fetch(const std::string& type) {
    switch (backend()) {
    case Backend::in_process:
        if (own().type != type) return std::nullopt;
        return own().bytes;
    case Backend::wayland:
        return run({"wl-paste", "--no-newline", "--type", type}, nullptr, true);
    case Backend::x11:
        return run(x11({"-t", type, "-o"}), nullptr, true);
    }
    return std::nullopt;
}

bool put(const std::string& type, const std::vector<uint8_t>& bytes) {
    switch (backend()) {
    case Backend::in_process:
        own() = {type, bytes};
        return true;
    case Backend::wayland:
        return run({"wl-copy", "--type", type}, &bytes, false).has_value();
    case Backend::x11:
        return run(x11({"-t", x11_type(type), "-i"}), &bytes, false).has_value() && x11_owned();
    }
    return false;
}

bool clear() {
    switch (backend()) {
    case Backend::in_process:
        own() = {};
        return true;
    case Backend::wayland:
        return run({"wl-copy", "--clear"}, nullptr, false).has_value();
    case Backend::x11: {
        std::vector<uint8_t> nothing;
        return run(x11({"-t", "UTF8_STRING", "-i"}), &nothing, false).has_value() && x11_owned();
    }
    }
    return false;
}

int64_t set_tool_limit(int64_t ms) {
    int64_t was = tool_limit_ms;
    tool_limit_ms = ms;
    return was;
}

}  // namespace kel::platform::clipboard
