// The console's routines called from Kel code, with standard input
// redirected to a pipe.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "console/routines.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/word.h"
#include "runtime/platform/input-reader.h"
#include "tests/console/console-fixture.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

// Standard input reads the bytes, through the shared reader, while the
// guard lives.
class StdinFrom {
public:
    explicit StdinFrom(std::string_view bytes) : saved_(dup(0)) {
        int fds[2];
        if (pipe(fds) != 0) ADD_FAILURE() << "pipe";
        (void)!write(fds[1], bytes.data(), bytes.size());
        close(fds[1]);
        dup2(fds[0], 0);
        close(fds[0]);
        console::standard_input().reset(0);
    }
    ~StdinFrom() {
        dup2(saved_, 0);
        close(saved_);
        console::standard_input().reset(0);
    }

private:
    int saved_;
};

using ConsoleRoutines = Evaluator;

// Gives the global word its value back at the end of the scope. (The global
// context's values move when it grows, so no pointer to a slot is kept.)
class GlobalKept {
public:
    explicit GlobalKept(const char* name) : name_(name), saved_(global_value(name)), keep_(saved_) {}
    ~GlobalKept() { set_global(name_, saved_); }

private:
    const char* name_;
    Cell saved_;
    Rooted keep_;
};

std::string text_of(const Cell& str) {
    std::u32string out;
    for (int32_t i = int32_t(str.data1); i < string::ks_abs_length(str); ++i)
        out.push_back(char32_t(string::get_char_at(str, i)));
    return utf8(out);
}

TEST_F(ConsoleRoutines, InputStdinReadsLinesWithoutTheLineFeed) {
    StdinFrom input("ab\r\n\xC3\xA9t\x80\nlast");
    EXPECT_EQ(text_of(run("input-stdin")), "ab\r");
    EXPECT_EQ(text_of(run("input-stdin")), "\xC3\xA9t\xEF\xBF\xBD");
    EXPECT_EQ(text_of(run("input-stdin")), "last");
    EXPECT_EQ(text_of(run("input-stdin")), "");
}

// The buffer has room for fewer bytes than asked for: it grows, and what
// stood before its index stays.
TEST_F(ConsoleRoutines, ReadStdinGrowsTheBuffer) {
    StdinFrom input("hello, world");
    Cell bin = make_none();
    Rooted keep(bin);
    binary::make_at(bin, 2);
    uint8_t ab[] = {'a', 'b'};
    binary::append_bytes(bin, ab, 2);
    bin.data1 = 2;
    set_global("buf", bin);
    run("read-stdin buf 16");
    Cell all = global_value("buf");
    all.data1 = 0;
    ASSERT_EQ(binary::ks_length(all), 14);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(binary::ks_head(all)), 14), "abhello, world");
    run("read-stdin buf 16");
    EXPECT_EQ(binary::ks_length(all), 14) << "nothing at the end of input";
}

TEST_F(ConsoleRoutines, ReadInputFillsTheStringFromRedirectedInput) {
    StdinFrom input("print 1\n");
    run("line: \"\" hist: [] _set-buffer-history line hist _read-input \">> \" false");
    EXPECT_EQ(text_of(global_value("line")), "print 1");
    Cell hist = global_value("hist");
    EXPECT_EQ(block::ks_length(hist), 0) << "redirected lines stay out of the history";
}

// At the end of redirected input a read gives what was left, then an empty
// line; `_read-end` tells the console loop which it was.
TEST_F(ConsoleRoutines, TheEndOfInputGivesWhatIsLeftThenNothing) {
    StdinFrom input("x");
    run("line: \"\" _set-buffer-history line [] _read-input \"\" false end: form _read-end");
    EXPECT_EQ(text_of(global_value("line")), "x");
    EXPECT_EQ(text_of(global_value("end")), "line");
    run("line: \"\" _set-buffer-history line [] _read-input \"\" false end: form _read-end");
    EXPECT_EQ(text_of(global_value("line")), "");
    EXPECT_EQ(text_of(global_value("end")), "ended");
}

// Without a terminal the size falls back to 80x50, and no title goes to a
// redirected output.
TEST_F(ConsoleRoutines, InitSetsTheConsoleSize) {
    Cell* r = console::push_init_routine();
    set_global("console-init", *r);
    stack::state.top = r;
    Cell console_object = make_none();
    Rooted keep_console(console_object);
    object::make_at(console_object, 4);
    context::add_or_set(console_object.data1, symbol::make("size"), pair::make_cell(0, 0));
    GlobalKept saved_system("system");
    Cell system = make_none();
    Rooted keep_system(system);
    object::make_at(system, 4);
    context::add_or_set(system.data1, symbol::make("console"), console_object);
    set_global("system", system);
    StdinFrom input("");
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    int saved = dup(1);
    dup2(out[1], 1);
    close(out[1]);
    run("console-init \"Kel Console\"");
    dup2(saved, 1);
    close(saved);
    char buf[64];
    EXPECT_EQ(read(out[0], buf, sizeof buf), 0);
    close(out[0]);
    Cell size = object::field_value(console_object, symbol::make("size"));
    EXPECT_EQ(type_of(size), TYPE_PAIR);
    EXPECT_EQ(int32_t(size.data2), 80);
    EXPECT_EQ(int32_t(size.data3), 50);
}

// The editor's completer calls complete-input of the global kel-complete-ctx
// with the line (its index at the cursor) and true. Anything but a block of
// strings and file! values from a function there is no candidate.
TEST_F(ConsoleRoutines, TheCompleterCallsKelCompleteCtx) {
    GlobalKept saved_ctx("kel-complete-ctx");
    run("zqx-alpha: 1 zqx-beta: 2");
    struct Case {
        const char* ctx;  // the code that makes kel-complete-ctx, none: the library's
        const char* line;
        size_t cursor;
        std::vector<std::string> texts;
        size_t new_cursor;
    };
    const Case cases[] = {
        {nullptr, "zqx-", 4, {"zqx-", "zqx-alpha", "zqx-beta"}, 4},
        {nullptr, "[zqx-al 5]", 7, {"[zqx-alpha 5]"}, 10},
        {nullptr, "zqx-alpha", 9, {}, 0},
        {nullptr, "zqx-none/a", 10, {}, 0},
        {"context [complete-input: func [s c] [reduce [at append copy head s form c 1 + index? s to file! \"f.txt\"]]]",
         "abc",
         1,
         {"abctrue", "f.txt"},
         2},
        {"none", "zqx-", 4, {}, 0},
        {"context [complete-input: 5]", "zqx-", 4, {}, 0},
        {"context [complete-input: func [s c] [1 / 0]]", "zqx-", 4, {}, 0},
        {"context [complete-input: func [s c] [halt]]", "zqx-", 4, {}, 0},
        {"context [complete-input: func [s c] [throw 1]]", "zqx-", 4, {}, 0},
        {"context [complete-input: func [s c] [\"zqx-alpha\"]]", "zqx-", 4, {}, 0},
        {"context [complete-input: func [s c] [[\"zqx-alpha\" 5]]]", "zqx-", 4, {}, 0},
    };
    Cell library = global_value("kel-complete-ctx");
    Rooted keep(library);
    for (const Case& c : cases) {
        set_global("kel-complete-ctx", library);
        if (c.ctx) run((std::string("kel-complete-ctx: ") + c.ctx).c_str());
        Cell* top = stack::state.top;
        console::Completions out;
        out.texts = {U"left over"};
        console::line_editor().completer(u32(c.line), c.cursor, out);
        EXPECT_EQ(stack::state.top, top) << c.line;
        std::vector<std::string> texts;
        for (const std::u32string& t : out.texts) texts.push_back(utf8(t));
        EXPECT_EQ(texts, c.texts) << (c.ctx ? c.ctx : c.line);
        EXPECT_EQ(out.cursor, c.new_cursor) << (c.ctx ? c.ctx : c.line);
        EXPECT_EQ(integer_of(run("1 + 1")), 2) << "evaluation goes on";
    }
}

}  // namespace
}  // namespace kel::test

namespace kel::test {
namespace {

// `_read-input` at a terminal: the child process reads with its standard
// input and output on a pseudo-terminal, the parent types. The accepted
// line is the string given to `_set-buffer-history`, and a new line enters
// the history block as that same string.
TEST_F(ConsoleRoutines, ReadInputAtATerminalWalksAndFillsTheHistoryBlock) {
    struct Case {
        const char* keys;
        const char* line;
        int32_t history_length;
    };
    const Case cases[] = {{"new\r", "new", 2}, {"\x1b[A\r", "old", 1}, {"\x1b[Ax\r", "oldx", 2}};
    for (const Case& c : cases) {
        int master = -1, slave = -1;
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        pid_t pid = fork();
        if (pid == 0) {
            close(master);
            dup2(slave, 0);
            dup2(slave, 1);
            setenv("TERM", "xterm", 1);
            console::standard_input().reset(0);
            run("line: \"\" hist: [\"old\"] _set-buffer-history line hist _read-input \">> \" false");
            Cell line = global_value("line");
            Cell hist = global_value("hist");
            bool ok = text_of(line) == c.line && block::ks_length(hist) == c.history_length;
            if (c.history_length == 2) ok = ok && cell_node(*block::ks_abs_at(hist, 0)) == cell_node(line);
            _exit(ok && !::testing::Test::HasFailure() ? 0 : 1);
        }
        close(slave);
        (void)!write(master, c.keys, strlen(c.keys));
        char buf[256];
        while (read(master, buf, sizeof buf) > 0) {}
        int status = 0;
        waitpid(pid, &status, 0);
        close(master);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.keys;
    }
}

}  // namespace
}  // namespace kel::test
