// kel running a script that shows a window on a real pseudo-terminal: the
// window is drawn inline under the earlier output, keys reach its actors,
// and whichever way the loop or the process ends the terminal is given
// back, with the script's later output starting on the line under the
// window.
#include <gtest/gtest.h>
#include <pty.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/console/pty-session.h"
#include "tests/view/pty-given-back.h"

namespace kel::test {
namespace {

// A plain event entry for the scripts: the face's actor for the event's
// type, if it has one.
constexpr const char* AWAKE = R"~(system/view/awake: func [event /local face act] [
    face: event/face
    if all [object? face object? face/actors act: in face/actors to word! rejoin ["on-" event/type]] [
        act: get act
        if function? :act [return act face event]
    ]
    none
]
)~";

// Shows a window of three rows (a field on the first) through the platform
// and runs its loop. The field's actor: "q" closes the window (which ends
// the loop), "x" quits, "e" closes it and the script then fails.
const std::string SCRIPT = std::string("Kel []\nprint \"before\"\n") + AWAKE + R"~(show-window: func [face /local p] [
    p: system/view/platform
    face/state: reduce [p/make-view face p/make-null-handle 0 none]
    foreach f face/pane [f/parent: face f/state: reduce [p/make-view f face/state/1 0 none]]
    p/show-window face/state/1
]
failed?: false
ticks: 0
win: make face! [type: 'window size: 20x3 WINDOW-FIELDS pane: reduce [
    make face! [type: 'field offset: 0x0 size: 12x1 text: copy "typed:" flags: 'focusable
        actors: object [on-key: func [f e] [
            switch e/key [
                #"q" [system/view/platform/destroy-view win true 'done]
                #"x" [quit]
                #"e" [failed?: true system/view/platform/destroy-view win true 'done]
            ]
        ]]
    ]
    make face! [type: 'base offset: 0x2 size: 1x1]
]]
show-window win
print "ready"
system/view/platform/do-event-loop false
if failed? [cause-error 'script 'invalid-arg [failed]]
print "after"
)~";

class KelPty : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("kel-pty-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
        script_ = (dir_ / "window.kel").string();
        write_script("");
    }
    // The script with more fields for the window face.
    void write_script(const std::string& window_fields) {
        std::string text = SCRIPT;
        text.replace(text.find("WINDOW-FIELDS"), 13, window_fields);
        std::ofstream(script_) << text;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::filesystem::path dir_;
    std::string script_;
};

TEST_F(KelPty, EveryEndGivesTheTerminalBack) {
    struct Case {
        const char* label;
        const char* key;  // typed once the window is drawn
        int signal;
        int status;
        const char* after;  // printed by the script after the loop, or ""
    };
    const Case cases[] = {
        {"the loop ends", "q", 0, 0, "after"},
        {"quit from an actor", "x", 0, 0, ""},
        {"a script error after the loop", "e", 0, 1, "*** Script Error"},
        {"SIGTERM while the loop waits", "", SIGTERM, 1000 + SIGTERM, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PtySession s({script_}, 24, 80, {"TERM=xterm"}, program_path("kel"));
        ASSERT_TRUE(s.started());
        ASSERT_TRUE(answer_until(s, [&] { return s.screen.text().find("typed:") != std::string::npos; }));
        EXPECT_FALSE(s.mode().c_lflag & ICANON) << "raw while the window is shown";
        // Earlier output stays above: the window is drawn on the rows under it.
        EXPECT_EQ(s.screen.row(0).substr(0, 6), "before");
        EXPECT_EQ(s.screen.row(1).substr(0, 5), "ready");
        EXPECT_EQ(s.screen.row(2).substr(0, 6), "typed:");
        if (*c.key) s.send(c.key);
        if (c.signal) kill(s.pid(), c.signal);
        int status = status_of(s.finish());
        EXPECT_EQ(status, c.status);
        expect_given_back(s);
        if (*c.after) {
            // The text after the window starts on the line under its last
            // row, with no blank line between.
            EXPECT_EQ(s.screen.row(5).find(c.after), 0u) << s.screen.text();
        }
    }
}

// While the window is shown, a timer actor prints and the terminal is
// resized: the text goes above the window, which is drawn again below it,
// and the window gets the new size as a resize event.
TEST_F(KelPty, PrintAndResizeWhileShown) {
    write_script(R"(rate: 5 actors: object [
        on-time: func [f e] [if ticks < 2 [ticks: ticks + 1 print ["tick" ticks]]]
        on-resize: func [f e] [print ["resized" e/offset]]
    ])");
    PtySession s({script_}, 24, 80, {"TERM=xterm"}, program_path("kel"));
    ASSERT_TRUE(s.started());
    ASSERT_TRUE(answer_until(s, [&] { return s.screen.text().find("tick 2") != std::string::npos; }));
    ASSERT_TRUE(answer_until(s, [&] { return s.screen.row(4).find("typed:") == 0; })) << s.screen.text();
    for (int r = 0; r < 5; ++r) EXPECT_NE(s.screen.row(r)[0], ' ') << "row " << r << " starts at column 0";
    EXPECT_EQ(s.screen.row(2).substr(0, 6), "tick 1");
    EXPECT_EQ(s.screen.row(3).substr(0, 6), "tick 2");
    s.resize(30, 100);
    ASSERT_TRUE(answer_until(s, [&] { return s.screen.text().find("resized 100x30") != std::string::npos; }))
        << s.screen.text();
    s.send("q");
    EXPECT_EQ(status_of(s.finish()), 0);
    expect_given_back(s);
}

// A full-screen window uses the alternate screen: the earlier screen is back
// after it.
TEST_F(KelPty, FullScreenWindowGivesTheScreenBack) {
    write_script("flags: 'fullscreen");
    PtySession s({script_}, 24, 80, {"TERM=xterm"}, program_path("kel"));
    ASSERT_TRUE(s.started());
    ASSERT_TRUE(answer_until(s, [&] { return s.screen.alternate_screen() && s.screen.row(0).find("typed:") == 0; }));
    s.send("q");
    EXPECT_EQ(status_of(s.finish()), 0);
    expect_given_back(s);
    EXPECT_EQ(s.screen.row(0).substr(0, 6), "before");
    EXPECT_EQ(s.screen.row(1).substr(0, 5), "ready");
    EXPECT_EQ(s.screen.row(2).substr(0, 5), "after");
    EXPECT_EQ(s.screen.text().find("typed:"), std::string::npos);
}

// A window shown from the console: once Escape closes it, the console's
// next prompt starts at column 0 on the line under the window.
TEST_F(KelPty, ConsolePromptAfterAWindow) {
    PtySession s({}, 24, 80, {"TERM=xterm", "HOME=" + dir_.string()}, program_path("kel"));
    ASSERT_TRUE(s.started());
    ASSERT_TRUE(answer_until(s, ">> "));
    s.mark();
    s.send(
        "w: make face! [type: 'window size: 10x2 pane: reduce [make face! [type: 'base offset: 0x1 size: 3x1 "
        "text: {win}]]] view w\r");
    int row = -1;
    ASSERT_TRUE(answer_until(s, [&] {
        for (int r = 0; r < 24; ++r)
            if (s.screen.row(r) == "win") row = r;
        return row >= 0;
    })) << s.screen.text();
    s.send("\033\033");
    ASSERT_TRUE(answer_until(s, [&] { return s.screen.row(row + 1) == ">>"; })) << s.screen.text();
    EXPECT_EQ(s.screen.cursor_row(), row + 1);
    EXPECT_EQ(s.screen.cursor_column(), 3);
    s.send("q\r");
    EXPECT_EQ(status_of(s.finish()), 0);
}

// Whether a thread of the process waits in a write(2) to standard output.
bool in_write(pid_t pid) {
    std::error_code ignored;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ignored)) {
        std::string call;
        std::getline(std::ifstream(task.path() / "syscall"), call);
        if (call.rfind("1 0x1 ", 0) == 0) return true;
    }
    return false;
}

// A frame far larger than the terminal's buffers, written while the test
// reads nothing: the write blocks, and a resize signal that arrives then
// cuts it short. The rest still follows, so once the test reads again the
// screen holds the whole frame: 12,000 cells whose colours change at every
// cell, down to the last one.
TEST_F(KelPty, LargeFrameToASlowReader) {
    std::ofstream(script_) << "Kel []\n"
                           << AWAKE << R"~(row: make string! 2000
repeat i 200 [append row rejoin ["^[[3" i // 7 + 1 ";4" i + 3 // 7 + 1 "m" #"a" + (i - 1 // 26)]]
big: make string! 120000
loop 59 [append big row]
append big copy/part row find/last row "^["
append big "^[[0mZ"
p: system/view/platform
win: make face! [type: 'window size: 200x60 flags: 'fullscreen pane: reduce [
    make face! [type: 'text offset: 0x0 size: 200x60 text: "ready" flags: 'focusable para: make para! [wrap?: true]
        actors: object [on-key: func [f e] [
            switch e/key [#"b" [f/text: big] #"q" [p/destroy-view win true]]
            'done
        ]]
    ]
]]
win/state: reduce [p/make-view win p/make-null-handle 0 none]
win/pane/1/parent: win
win/pane/1/state: reduce [p/make-view win/pane/1 win/state/1 0 none]
p/show-window win/state/1
p/do-event-loop false
)~";
    PtySession s({script_}, 60, 200, {"TERM=xterm-256color"}, program_path("kel"));
    ASSERT_TRUE(s.started());
    ASSERT_TRUE(answer_until(s, [&] { return s.screen.row(0) == "ready"; })) << s.screen.text();
    s.send("b");
    // Without reading, wait until the program blocks in writing the frame.
    for (auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         !in_write(s.pid()) && std::chrono::steady_clock::now() < limit;)
        poll(nullptr, 0, 1);
    s.resize(60, 201);
    ASSERT_TRUE(answer_until(s, [&] { return s.screen.row(59).size() == 200 && s.screen.row(59).back() == 'Z'; }))
        << s.screen.text();
    std::string row;
    for (int i = 0; i < 200; ++i) row += char('a' + i % 26);
    for (int r = 0; r < 59; ++r) EXPECT_EQ(s.screen.row(r), row) << "row " << r;
    EXPECT_EQ(s.screen.row(59), row.substr(0, 199) + "Z");
    s.send("q");
    EXPECT_EQ(status_of(s.finish()), 0);
    expect_given_back(s);
}

}  // namespace
}  // namespace kel::test
