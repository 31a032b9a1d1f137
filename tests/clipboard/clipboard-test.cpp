// read-clipboard and write-clipboard on each backend: the clipboard inside
// the process (no display), Wayland through stand-in wl-copy and wl-paste
// scripts that record their arguments, and X through the real xclip against
// an Xvfb server the test starts.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/io/clipboard.h"
#include "runtime/platform/child-process.h"
#include "runtime/platform/clipboard.h"
#include "tests/boot-library.h"
#include "tests/kel-eval.h"
#include "tests/support.h"

namespace kel::test {
namespace {

namespace fs = std::filesystem;

// Sets (or, with null, removes) an environment variable for the guard's
// life.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvVar() {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    EnvVar(const EnvVar&) = delete;
    EnvVar& operator=(const EnvVar&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

struct Clipboard : ::testing::Test {
    static void SetUpTestSuite() { boot_library(); }
};

// Sets the time a clipboard tool may run for the guard's life.
class ToolLimit {
public:
    explicit ToolLimit(int64_t ms) : was_(platform::clipboard::set_tool_limit(ms)) {}
    ~ToolLimit() { platform::clipboard::set_tool_limit(was_); }
    ToolLimit(const ToolLimit&) = delete;
    ToolLimit& operator=(const ToolLimit&) = delete;

private:
    int64_t was_;
};

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The round trips every backend must give.
void expect_round_trips(const char* backend) {
    struct Case {
        const char* code;
        const char* want;
    };
    const Case cases[] = {
        {"write-clipboard {line one^/line two}", "true"},
        {"read-clipboard", "\"line one^/line two\""},
        {"write-clipboard [%/tmp/a %/tmp/dir/b%20c]", "true"},
        {"read-clipboard", "[%/tmp/a %\"/tmp/dir/b c\"]"},
        {"write-clipboard none", "true"},
        {"read-clipboard", "none"},
        {"write-clipboard make image! [3x2 1.2.3.255]", "true"},
        {"img: read-clipboard reduce [type? img img/size pick img 6]", "[image! 3x2 1.2.3.255]"},
    };
    for (const Case& c : cases) {
        Evaluated got = evaluate(c.code);
        EXPECT_EQ(got.error, -1) << backend << ": " << c.code;
        EXPECT_EQ(got.text, c.want) << backend << ": " << c.code;
    }
    EXPECT_EQ(evaluate("write-clipboard 1").error, id(ErrorId::script_invalid_arg)) << backend;
    EXPECT_EQ(evaluate("write-clipboard [1]").error, id(ErrorId::script_invalid_arg)) << backend;
}

TEST_F(Clipboard, InsideTheProcessWithoutADisplay) {
    EnvVar wayland("WAYLAND_DISPLAY", nullptr), x("DISPLAY", nullptr);
    expect_round_trips("in-process");
}

TEST_F(Clipboard, UriListsBecomeLocalFiles) {
    std::string list = "# a comment\r\nfile:///tmp/a%20b\r\nhttp://example.invalid/x\r\nfile://host/c\r\nfile:/d\r\n";
    EXPECT_EQ(clipboard::file_paths(std::vector<uint8_t>(list.begin(), list.end())),
              (std::vector<std::string>{"/tmp/a b", "/c", "/d"}));
}

// Stand-ins for the Wayland tools: wl-copy stores what it is given by type,
// wl-paste serves the stored types; both append their arguments to a log.
// With a file SLOW in the store, wl-paste never answers.
struct FakeWayland {
    fs::path dir = fs::temp_directory_path() / ("kel-wayland-" + std::to_string(getpid()));
    fs::path store = dir / "store";
    std::optional<EnvVar> display, path;

    FakeWayland() {
        fs::create_directories(store);
        write_script("wl-copy", R"~(#!/bin/sh
echo "wl-copy $*" >> "$STORE/../log"
if [ "$1" = --clear ]; then rm -f "$STORE"/t-* "$STORE/types"; exit 0; fi
rm -f "$STORE"/t-*
cat > "$STORE/t-$(printf %s "$2" | tr '/;=' '___')"
printf '%s\n' "$2" > "$STORE/types"
)~");
        write_script("wl-paste", R"~(#!/bin/sh
echo "wl-paste $*" >> "$STORE/../log"
[ -e "$STORE/SLOW" ] && sleep 10
if [ "$1" = --list-types ]; then
  [ -s "$STORE/types" ] || exit 1
  cat "$STORE/types"; exit 0
fi
cat "$STORE/t-$(printf %s "$3" | tr '/;=' '___')"
)~");
        setenv("STORE", store.c_str(), 1);
        display.emplace("WAYLAND_DISPLAY", "fake-0");
        std::string search = dir.string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
        path.emplace("PATH", search.c_str());
    }
    ~FakeWayland() {
        path.reset();
        display.reset();
        unsetenv("STORE");
        fs::remove_all(dir);
    }
    void write_script(const char* name, const char* text) {
        std::ofstream(dir / name) << text;
        fs::permissions(dir / name, fs::perms::owner_all);
    }
    // Offers several types at once, as a file manager does.
    void offer(const std::vector<std::pair<std::string, std::string>>& types) {
        std::ofstream list(store / "types");
        for (const auto& [type, bytes] : types) {
            list << type << "\n";
            std::string file = type;
            for (char& c : file)
                if (c == '/' || c == ';' || c == '=') c = '_';
            std::ofstream(store / ("t-" + file)) << bytes;
        }
    }
    std::string log() { return read_file(dir / "log"); }
};

TEST_F(Clipboard, WaylandToolsGetExactArguments) {
    FakeWayland tools;
    expect_round_trips("wayland");
    fs::remove(tools.dir / "log");
    EXPECT_EQ(evaluate("write-clipboard {x}").text, "true");
    EXPECT_EQ(evaluate("read-clipboard").text, "\"x\"");
    EXPECT_EQ(tools.log(),
              "wl-copy --type text/plain;charset=utf-8\n"
              "wl-paste --list-types\n"
              "wl-paste --no-newline --type text/plain;charset=utf-8\n");
}

TEST_F(Clipboard, AFileListIsPreferredToItsText) {
    FakeWayland tools;
    tools.offer({{"text/plain", "/tmp/one"}, {"text/uri-list", "file:///tmp/one\r\n"}});
    EXPECT_EQ(evaluate("read-clipboard").text, "[%/tmp/one]");
    tools.offer({{"text/plain", "words"}, {"text/uri-list", "# nothing\r\n"}});
    EXPECT_EQ(evaluate("read-clipboard").text, "\"words\"");
    tools.offer({{"application/x-unknown", "?"}});
    EXPECT_EQ(evaluate("read-clipboard").text, "none");
}

TEST_F(Clipboard, AToolThatHangsGivesFalse) {
    FakeWayland tools;
    ToolLimit quick(300);
    std::ofstream(tools.store / "SLOW") << "";
    EXPECT_EQ(evaluate("read-clipboard").text, "false");
}

// A real X server for the X path; none when Xvfb cannot start. On a loaded
// machine a server now and then announces its display and yet never takes
// a client: it is ready once xclip opens the display (xclip then ends with
// 0, or 1 while nothing owns the clipboard), and a server that is not ready
// within 30 s (its start is slow while the GC-stress pass loads every core)
// is ended and another started.
struct Xvfb {
    pid_t pid = -1;
    std::string display;
    Xvfb() {
        for (int attempt = 0; attempt < 4 && display.empty(); ++attempt) {
            std::string number = start();
            if (!number.empty() && takes_clients(number)) {
                display = ":" + number;
            } else {
                stop();
            }
        }
    }
    ~Xvfb() { stop(); }

    // Starts a server; answers its display number, or "" when it failed.
    std::string start() {
        int fds[2];
        if (pipe(fds) != 0) return "";
        pid = fork();
        if (pid == 0) {
            close(fds[0]);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char buffer[32] = {};
        ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
        close(fds[0]);
        if (n <= 0) return "";
        return std::string(buffer, size_t(n - (buffer[n - 1] == '\n' ? 1 : 0)));
    }
    static bool takes_clients(const std::string& number) {
        std::string probe = "DISPLAY=:" + number + " xclip -selection clipboard -o -t TARGETS 2>&1";
        for (int i = 0; i < 600; ++i) {
            std::string said;
            if (FILE* p = popen(probe.c_str(), "r")) {
                char line[256];
                while (fgets(line, sizeof line, p)) said += line;
                pclose(p);
            }
            if (said.find("Can't open display") == std::string::npos) return true;
            usleep(50000);
        }
        return false;
    }
    void stop() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
};

TEST_F(Clipboard, XThroughXclip) {
    ASSERT_TRUE(platform::child::on_path("xclip")) << "xclip is needed for this test";
    ASSERT_TRUE(platform::child::on_path("Xvfb")) << "Xvfb is needed for this test";
    Xvfb server;
    ASSERT_FALSE(server.display.empty());
    EnvVar wayland("WAYLAND_DISPLAY", nullptr), x("DISPLAY", server.display.c_str());
    // A real X server and xclip can be slow on a loaded machine; the test is
    // about the round trips, not about the default limit.
    ToolLimit patient(30000);
    expect_round_trips("x11");
}

}  // namespace
}  // namespace kel::test
