// Entering and leaving the terminal's modes on the fake terminal: the
// switches, the leave sequence kept current, the cursor-position answers
// consumed before leaving, the print hooks and the return after a stop.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/boot-library.h"
#include "tests/kel-eval.h"
#include "tests/view/fake-terminal.h"
#include "view/terminal/input.h"
#include "view/terminal/screen.h"
#include "view/terminal/terminal-modes.h"

namespace kel::test {
namespace {

constexpr const char* MOUSE_OFF = "\033[?1006l\033[?1015l\033[?1003l\033[?1000l";

TEST(Modes, NothingHappensOffATerminal) {
    FakeTerminal terminal(24, 80, false);
    terminal.type("abc");
    EXPECT_FALSE(gui::enter_terminal());
    EXPECT_FALSE(gui::state().active);
    gui::on_before_output();
    gui::on_after_output();
    gui::wait_input(33);
    EXPECT_EQ(gui::read_console(true), 0);
    gui::leave_terminal();
    EXPECT_EQ(terminal.output, "") << "no escape byte";
    EXPECT_EQ(terminal.input, "abc") << "nothing read";
    EXPECT_FALSE(terminal.raw);
}

TEST(Modes, EnterAsksWhereTheCursorIs) {
    FakeTerminal terminal(30, 100);
    terminal.write("\r\n\r\n$ ");
    ASSERT_TRUE(gui::enter_terminal());
    EXPECT_TRUE(terminal.raw);
    EXPECT_EQ(gui::state().width, 100);
    EXPECT_EQ(gui::state().height, 30);
    EXPECT_EQ(gui::state().unanswered_queries, 1);
    EXPECT_EQ(terminal.leave_bytes, "\x18\033[0m");
    gui::read_console(true);
    gui::decode_input(nullptr);
    EXPECT_EQ(gui::state().origin_row, 2);
    EXPECT_EQ(gui::state().origin_column, 2);
    EXPECT_EQ(gui::state().unanswered_queries, 0);
    gui::leave_terminal();
    EXPECT_FALSE(terminal.raw);
    EXPECT_FALSE(gui::state().active);
}

// Every switch that is on is in the leave sequence; leaving writes it, and
// the model is back to its first state.
TEST(Modes, LeaveSequenceFollowsTheSwitches) {
    FakeTerminal terminal;
    gui::state().full_screen = true;
    ASSERT_TRUE(gui::enter_terminal());
    EXPECT_EQ(terminal.output, "") << "no cursor question in full screen";
    gui::mouse_on();
    gui::enter_alternate_screen();
    gui::hide_cursor();
    EXPECT_EQ(terminal.screen.mouse_modes(), (std::vector<int>{1000, 1003, 1006, 1015}));
    EXPECT_TRUE(terminal.screen.alternate_screen());
    EXPECT_FALSE(terminal.screen.cursor_visible());
    EXPECT_EQ(terminal.leave_bytes, std::string("\x18") + MOUSE_OFF + "\033[?25h\033[?1049l\033[0m");
    gui::show_cursor();
    EXPECT_EQ(terminal.leave_bytes, std::string("\x18") + MOUSE_OFF + "\033[?1049l\033[0m");
    gui::hide_cursor();
    terminal.output.clear();
    terminal.write("\033[1;31");  // a sequence cut short
    gui::leave_terminal();
    EXPECT_TRUE(terminal.screen.mouse_modes().empty());
    EXPECT_FALSE(terminal.screen.alternate_screen());
    EXPECT_TRUE(terminal.screen.cursor_visible());
    EXPECT_EQ(terminal.screen.pen(), VtLook{});
    EXPECT_EQ(terminal.screen.unknown(), "");
    EXPECT_EQ(terminal.leave_bytes, "") << "nothing to take back once left";
}

// Inline, the leave sequence also moves below the drawn rows, so the shell's
// prompt comes after the window, wherever the caret left the cursor.
TEST(Modes, LeavingInlineMovesBelowTheFrame) {
    for (int32_t caret_row : {-1, 0, 1, 2}) {
        FakeTerminal terminal(10, 20);
        ASSERT_TRUE(gui::enter_terminal());
        gui::read_console(true);
        gui::decode_input(nullptr);
        gui::size_buffer(0, 0, 4, 3);
        gui::clear_buffer();
        gui::screen().at(0, 2).code_point = 'z';
        gui::state().caret = caret_row >= 0;
        gui::state().caret_row = caret_row;
        gui::write_frame();
        gui::leave_terminal();
        EXPECT_EQ(terminal.screen.cursor_row(), 3) << caret_row;
        EXPECT_EQ(terminal.screen.cursor_column(), 0);
        EXPECT_EQ(terminal.screen.row(2), "z");
    }
}

// Answers still on their way when the terminal is left are waited for (up to
// 100 ms of the clock) and consumed; input is dropped after them.
TEST(Modes, LeavingConsumesLateAnswers) {
    struct Case {
        bool answered;
        double clock_after;
    };
    for (const Case& c : {Case{true, 0}, Case{false, 100}}) {
        FakeTerminal terminal;
        terminal.answer_queries = false;
        ASSERT_TRUE(gui::enter_terminal());
        gui::on_after_output();
        EXPECT_EQ(gui::state().unanswered_queries, 2);
        if (c.answered) terminal.type(terminal.screen.take_answers());
        terminal.type("typed");
        gui::leave_terminal();
        EXPECT_EQ(terminal.clock, c.clock_after);
        EXPECT_EQ(terminal.input, "");
        EXPECT_EQ(terminal.dropped.find("R"), std::string::npos) << "answers never reach the next reader";
        EXPECT_EQ(gui::input_queue(), "");
        EXPECT_EQ(gui::state().unanswered_queries, 0);
    }
}

TEST(Modes, PrintHooksEraseAndRequestARedraw) {
    FakeTerminal terminal;
    ASSERT_TRUE(gui::enter_terminal());
    gui::size_buffer(0, 0, 2, 2);
    gui::clear_buffer();
    gui::write_frame();
    terminal.output.clear();
    gui::on_before_output();
    EXPECT_EQ(terminal.output, "\r\033[1A\033[0J");
    EXPECT_FALSE(gui::state().frame_drawn);
    terminal.output.clear();
    gui::on_before_output();
    EXPECT_EQ(terminal.output, "") << "nothing on screen to erase";
    gui::on_after_output();
    EXPECT_EQ(terminal.output, "\033[6n");
    EXPECT_TRUE(gui::state().redraw);
}

// After a stop and SIGCONT the modes come back and a full frame is asked
// for, drawn where the cursor is.
TEST(Modes, ResumeAfterAStop) {
    FakeTerminal terminal;
    gui::state().full_screen = true;
    ASSERT_TRUE(gui::enter_terminal());
    gui::mouse_on();
    gui::enter_alternate_screen();
    gui::hide_cursor();
    EXPECT_FALSE(gui::resume_after_stop());
    terminal.output.clear();
    terminal.continued = true;
    EXPECT_TRUE(gui::resume_after_stop());
    EXPECT_EQ(terminal.output, std::string("\033[?1049h\033[2J\033[?1000h\033[?1003h\033[?1015h\033[?1006h\033[?25l"));
    EXPECT_TRUE(gui::state().redraw);
    EXPECT_FALSE(gui::state().frame_drawn);
}

// The backend's start, a step of building the library, reads the colour
// depth through the library and installs the print hooks, which Kel's print
// then calls around its output (in a child: the environment changes).
TEST(Modes, StartHooksTheRuntimesPrint) {
    in_child_process([] {
        setenv("TERM", "xterm-256color", 1);
        unsetenv("COLORTERM");
        boot_library();
        EXPECT_EQ(gui::check_colour_support(), 2);
        FakeTerminal terminal;
        ASSERT_TRUE(gui::enter_terminal());
        gui::size_buffer(0, 0, 3, 2);
        gui::clear_buffer();
        gui::write_frame();
        terminal.output.clear();
        EXPECT_EQ(evaluate("print {}").error, -1);
        EXPECT_EQ(terminal.output, "\r\033[1A\033[0J\033[6n");
        EXPECT_TRUE(gui::state().redraw);
        EXPECT_FALSE(gui::state().frame_drawn);
        gui::leave_terminal();
    });
}

// The VT model's screenshot: text between bars, a map of looks, a legend.
TEST(VtModel, Screenshot) {
    VtScreen screen(3, 8);
    screen.feed("\033[1mab\033[22;2mc\033[0m d\r\n\033[38;5;196;48;2;1;2;3mxy\033[39;49;4;7mz\033[0m\r\n");
    screen.feed("\033[91m中\033[0m!");
    EXPECT_EQ(screen.screenshot(),
              "|abc d   |\n"
              " aab\n"
              "|xyz     |\n"
              " ccd\n"
              "|中!     |\n"
              " ee\n"
              "a: bold\n"
              "b: dim\n"
              "c: fg 196 bg #010203\n"
              "d: reverse underline\n"
              "e: fg basic 11\n");
    EXPECT_EQ(screen.unknown(), "");
    screen.feed("\033[6n");
    EXPECT_EQ(screen.take_answers(), "\033[3;4R");
    EXPECT_EQ(screen.take_answers(), "");
}

}  // namespace
}  // namespace kel::test
