// Event dispatch on the fake terminal, end to end: Kel faces made with
// `make face!` get widgets as `show` gives them, the window is shown, input
// bytes are typed, and the event loop runs until the input ends. A test
// `system/view/awake` logs every event that reaches the view engine and
// calls the face's actor for it, so the log shows what actors would see and
// an actor's `done` stops the widget's own handling.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/boot-library.h"
#include "tests/kel-eval.h"
#include "tests/view/fake-terminal.h"
#include "view/terminal/dispatch.h"
#include "view/terminal/event-loop.h"
#include "view/terminal/render.h"
#include "view/terminal/timers.h"

namespace kel::test {
namespace {

// The test's awake: a log line per event ("type name", then " away", the
// key and " shift", or the picked index), then the face's actor
// `on-<type>` of its `actors` object, whose answer is the awake's answer.
constexpr const char* SETUP = R"~(
saved-awake: :system/view/awake
test-log: copy []
system/view/awake: func [event /local face line act] [
    face: event/face
    line: rejoin [event/type " " either object? face [face/extra] ["?"]]
    if event/away? [append line " away"]
    if find [key key-down] event/type [
        append line rejoin [" " mold event/key]
        if event/shift? [append line " shift"]
    ]
    if find [select change] event/type [append line rejoin [" " event/picked]]
    append test-log line
    if all [object? face object? face/actors act: in face/actors to word! rejoin ["on-" event/type]] [
        act: get act
        if function? :act [return act face event]
    ]
    none
]
; Gives a face and its pane widgets as show does, and shows a window.
test-realize: func [face parent /local h f] [
    h: system/view/platform/make-view face parent
    face/state: reduce [h 0 none]
    if block? face/pane [foreach f face/pane [f/parent: face test-realize f h]]
]
test-show: func [face] [
    test-realize face system/view/platform/make-null-handle
    system/view/platform/show-window face/state/1
]
)~";

// SGR mouse reports at 0-based cell x, y.
std::string press(int x, int y) { return "\033[<0;" + std::to_string(x + 1) + ";" + std::to_string(y + 1) + "M"; }
std::string release(int x, int y) { return "\033[<0;" + std::to_string(x + 1) + ";" + std::to_string(y + 1) + "m"; }
std::string drag(int x, int y) { return "\033[<32;" + std::to_string(x + 1) + ";" + std::to_string(y + 1) + "M"; }
std::string move(int x, int y) { return "\033[<35;" + std::to_string(x + 1) + ";" + std::to_string(y + 1) + "M"; }
std::string click(int x, int y) { return press(x, y) + release(x, y); }

class KelDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        boot_library();
        top_ = stack::state.top;
    }
    void TearDown() override { stack::state.top = top_; }

    // A fresh terminal, log and awake for one case.
    void begin() {
        terminal_ = std::make_unique<FakeTerminal>(8, 30);
        ASSERT_EQ(evaluate(SETUP).error, -1);
    }
    void end() {
        gui::release_all_widgets();
        gui::reset_windows();
        gui::clear_timers();
        evaluate("system/view/awake: :saved-awake unset [saved-awake test-log test-realize test-show win]");
        terminal_.reset();
    }

    // Makes `win` from the Kel text (a window face! whose pane holds the
    // faces), gives it and its pane widgets, and shows it.
    void show(const std::string& window) {
        ASSERT_EQ(evaluate("test-show win: " + window + " 'ok").error, -1) << window;
    }

    // Types the input, ends it and runs the loop; answers the log.
    std::string run(const std::string& input) {
        terminal_->type(input);
        terminal_->end_input();
        gui::do_events(false);
        return evaluate("test-log").text;
    }

    // The windows drawn again as they are now, after the loop gave the
    // terminal back: the screen's text.
    std::string redrawn() {
        gui::State& s = gui::state();
        s.active = true;
        s.redraw = true;
        gui::draw_frame();
        s.active = false;
        return terminal_->screen.text();
    }

    std::unique_ptr<FakeTerminal> terminal_;

private:
    Cell* top_ = nullptr;
};

TEST_F(KelDispatch, Cases) {
    struct Case {
        const char* label;
        const char* pane;  // the faces of the window's pane
        std::string input;
        const char* log;  // nullptr: the log is not checked
        const char* check = "'ok";  // Kel text, evaluated after the loop
        const char* want = "ok";
        const char* shows = "";  // a text the screen shows after the loop
    };
    const Case cases[] = {
        {"a click: down, up, click", "[make face! [type: 'button extra: 'b offset: 1x1 size: 4x1 text: {OK}]]",
         click(2, 1), R"(["over b" "down b" "down w" "up b" "click b" "up w" "click w"])"},
        {"click, click, dbl-click, then a plain click",
         "[make face! [type: 'button extra: 'b offset: 1x1 size: 4x1 text: {OK}]]",
         click(2, 1) + click(2, 1) + click(2, 1),
         R"(["over b" "down b" "down w" "up b" "click b" "up w" "click w" )"
         R"("down b" "down w" "up b" "click b" "dbl-click b" "up w" "click w" "dbl-click w" )"
         R"("down b" "down w" "up b" "click b" "up w" "click w"])"},
        {"press, leave, release: away, a captured up, no click",
         "[make face! [type: 'button extra: 'b offset: 1x1 size: 4x1 text: {OK}]]",
         press(2, 1) + drag(10, 3) + release(10, 3), R"(["over b" "down b" "down w" "over b away" "up b" "over w"])"},
        {"panel to its child: no away",
         "[make face! [type: 'panel extra: 'p offset: 1x1 size: 10x3 pane: reduce [make face! [type: 'base extra: 'c offset: 2x1 size: 3x1]]]]",
         move(2, 1) + move(4, 2), R"(["over w" "over p" "over c"])"},
        {"all-over: every move inside", "[make face! [type: 'base extra: 'a offset: 1x1 size: 6x2 flags: 'all-over]]",
         move(2, 1) + move(3, 1) + move(4, 2), R"(["over w" "over a" "over a" "over a"])"},
        {"on-key answering done keeps the field's text",
         "[make face! [type: 'field extra: 'f offset: 1x1 size: 8x1 text: copy {} flags: 'focusable actors: object [on-key: func [f e] ['done]]]]",
         "ab", R"(["unfocus w" "focus f" {key-down f #"a"} {key f #"a"} {key-down f #"b"} {key f #"b"}])",
         "win/pane/1/text", R"("")"},
        {"a field takes keys no actor answered",
         "[make face! [type: 'field extra: 'f offset: 1x1 size: 8x1 text: copy {} flags: 'focusable]]", "ab",
         R"(["unfocus w" "focus f" {key-down f #"a"} {key f #"a"} {key-down f #"b"} {key f #"b"}])", "win/pane/1/text",
         R"("ab")"},
        {"Shift-Tab is tab with shift?",
         "[make face! [type: 'field extra: 'f offset: 1x1 size: 8x1 text: copy {} flags: 'focusable]]", "\033[Z",
         R"(["unfocus w" "focus f" {key-down f #"^^-" shift} {key f #"^^-" shift}])"},
        {"a click moves the focus: unfocus, then focus",
         "[make face! [type: 'field extra: 'f1 offset: 1x1 size: 8x1 text: copy {} flags: 'focusable] make face! [type: 'field extra: 'f2 offset: 1x3 size: 8x1 text: copy {} flags: 'focusable]]",
         click(2, 3),
         R"(["unfocus w" "focus f1" "over f2" "down f2" "down w" "up f2" "click f2" "unfocus f1" "focus f2" "up w" )"
         R"("click w"])"},
        {"Enter is no click, Space is",
         "[make face! [type: 'button extra: 'b offset: 1x1 size: 4x1 text: {OK} flags: 'focusable]]", "\r ",
         R"(["unfocus w" "focus b" {key-down b #"^^M"} {key b #"^^M"} {key-down b #" "} {key b #" "} "click b"])"},
        {"a check toggles with change",
         "[make face! [type: 'check extra: 'k offset: 1x1 size: 8x1 text: {c} data: false]]", click(2, 1),
         R"(["over k" "down k" "down w" "up k" "change k 0" "click k" "up w" "click w"])", "win/pane/1/data", "true"},
        {"radios are exclusive",
         "[make face! [type: 'radio extra: 'r1 offset: 1x1 size: 8x1 text: {a} data: true] make face! [type: 'radio extra: 'r2 offset: 1x2 size: 8x1 text: {b} data: false]]",
         click(2, 2), R"(["over r2" "down r2" "down w" "up r2" "change r2 0" "click r2" "up w" "click w"])",
         "reduce [win/pane/1/data win/pane/2/data]", "[false true]"},
        {"a text-list: down sends select then change; below the items nothing",
         "[make face! [type: 'text-list extra: 't offset: 1x1 size: 8x4 data: [{a} {b}] flags: 'focusable]]",
         "\033[B" + click(2, 4),
         R"(["unfocus w" "focus t" "key-down t down" "key t down" "select t 2" "change t 2" )"
         R"("over t" "down t" "down w" "up t" "click t" "up w" "click w"])",
         "win/pane/1/selected", "2"},
        {"a field takes no more characters than its width, and backspace removes one",
         "[make face! [type: 'field extra: 'f offset: 1x1 size: 4x1 text: copy {} flags: 'focusable]]", "abcde\x7f",
         nullptr, "win/pane/1/text", R"("abc")", "abc"},
        {"a password field shows stars",
         "[make face! [type: 'field extra: 'f offset: 1x1 size: 6x1 text: copy {} flags: [focusable password]]]", "ab",
         nullptr, "win/pane/1/text", R"("ab")", "**"},
        {"a progress bar at 50%", "[make face! [type: 'progress extra: 'p offset: 1x1 size: 12x1 data: 50%]]", "",
         R"([])", "'ok", "ok", "[#####     ]"},
        {"a round group-box",
         "[make face! [type: 'group-box extra: 'g offset: 1x1 size: 8x3 text: {Box} options: [border-corners round]]]",
         "", R"([])", "'ok", "ok", "╭Box───╮"},
    };
    for (const Case& c : cases) {
        begin();
        show(std::string("make face! [type: 'window extra: 'w size: 20x5 pane: reduce ") + c.pane + "]");
        std::string log = run(c.input);
        if (c.log) {
            EXPECT_EQ(log, c.log) << c.label;
        }
        EXPECT_EQ(evaluate(c.check).text, c.want) << c.label;
        EXPECT_NE(redrawn().find(c.shows), std::string::npos) << c.label << "\n" << terminal_->screen.text();
        end();
    }
}

// An actor opens a modal window and runs its loop; keys typed behind it go
// to the modal window until it closes, then to the outer window: the outer
// loop's decoding loses nothing.
TEST_F(KelDispatch, ModalWindowFromAnActorLosesNoInput) {
    begin();
    show(R"(make face! [type: 'window extra: 'w size: 20x5 pane: reduce [
        make face! [type: 'field extra: 'f offset: 1x1 size: 8x1 text: copy {} flags: 'focusable
            actors: object [on-key: func [f e] [
                unless e/key = #"m" [return none]
                test-show modal: make face! [type: 'window extra: 'm size: 10x3 pane: reduce [
                    make face! [type: 'field extra: 'g offset: 0x0 size: 8x1 text: copy {} flags: 'focusable
                        actors: object [on-key: func [f e] [
                            if e/key = #"q" [system/view/platform/destroy-view modal true 'done]
                        ]]
                    ]
                ]]
                system/view/platform/do-event-loop false
                'done
            ]]
        ]
    ]])");
    ASSERT_EQ(evaluate("modal: none 'ok").error, -1);
    run("amxqbc");
    EXPECT_EQ(evaluate("reduce [win/pane/1/text modal/pane/1/text modal/state]").text, R"(["abc" "x" none])");
    EXPECT_EQ(gui::loop_depth(), 0);
    evaluate("unset 'modal");
    end();
}

TEST_F(KelDispatch, LoopLevels) {
    begin();
    // No input: one pass gives false and leaves the depth.
    EXPECT_FALSE(gui::do_events(true));
    EXPECT_EQ(gui::loop_depth(), 0);
    gui::post_quit_msg();
    EXPECT_EQ(gui::loop_depth(), 0) << "no loop runs: the depth stays at 0";

    // destroy-view with its flag ends the running loop: the keys after the
    // one that closed the window stay unread by any actor.
    show(R"(make face! [type: 'window extra: 'w size: 20x5 pane: reduce [
        make face! [type: 'field extra: 'f offset: 1x1 size: 8x1 text: copy {} flags: 'focusable
            actors: object [on-key: func [f e] [if e/key = #"x" [system/view/platform/destroy-view win true]]]]
    ]])");
    terminal_->type("ax");
    ASSERT_EQ(evaluate("saved-size: system/view/screens/1/size 'ok").error, -1);
    gui::do_events(false);
    EXPECT_EQ(evaluate("reduce [win/state last test-log]").text, R"([none {key f #"x"}])");
    EXPECT_EQ(evaluate("system/view/screens/1/size").text, "30x8") << "the screen face has the terminal's size";
    evaluate("system/view/screens/1/size: saved-size unset 'saved-size");
    EXPECT_TRUE(gui::no_windows());
    EXPECT_FALSE(terminal_->raw) << "the outermost loop gave the terminal back";
    end();
}

// `do-events/no-wait` with no input runs one pass and gives false, at the
// top and from inside a running loop, whose level it leaves: the outer loop
// goes on to the next tick.
TEST_F(KelDispatch, NoWaitPassWithoutInput) {
    begin();
    ASSERT_EQ(evaluate("view/no-wait quiet: make face! [type: 'window extra: 'q size: 10x2] 'ok").error, -1);
    EXPECT_EQ(evaluate("do-events/no-wait").text, "false");
    EXPECT_EQ(gui::loop_depth(), 0);
    ASSERT_EQ(evaluate("unview/only quiet unset 'quiet 'ok").error, -1);

    ASSERT_EQ(evaluate(R"(view/no-wait win: make face! [type: 'window extra: 'w size: 20x5 rate: 50 actors: object [
        on-time: func [f e] [
            either 1 = length? test-log [append test-log do-events/no-wait] [unview/only win]
        ]
    ]] 'ok)")
                  .error,
              -1);
    EXPECT_EQ(evaluate("do-events").error, -1);
    EXPECT_EQ(evaluate("reduce [test-log win/state]").text, R"([["time w" false "time w"] none])");
    EXPECT_EQ(gui::loop_depth(), 0);
    end();
}

// update-view checks every value of its block before it updates any face:
// a face changed while auto-sync was off keeps its dirty mask until an
// update-view that succeeds.
TEST_F(KelDispatch, UpdateViewChecksEveryValueFirst) {
    begin();
    show(
        "make face! [type: 'window extra: 'w size: 20x5 pane: reduce [make face! [type: 'text offset: 1x1 size: 6x1 "
        "text: {old}]]]");
    ASSERT_EQ(evaluate("system/view/auto-sync?: false win/pane/1/text: {new} system/view/auto-sync?: true 'ok").error,
              -1);
    EXPECT_EQ(evaluate("reduce [select try [system/view/platform/update-view reduce [win/pane/1 1]] 'id "
                       "win/pane/1/state/2]")
                  .text,
              "[invalid-type 8]");
    EXPECT_EQ(evaluate("system/view/platform/update-view win/pane/1 win/pane/1/state/2").text, "0");
    EXPECT_NE(redrawn().find("new"), std::string::npos);
    end();
}

// A time actor that closes its own window: the timer goes with the widget
// while the timers are being run, and the loop ends.
TEST_F(KelDispatch, TimeActorUnviewsItsOwnWindow) {
    begin();
    show(R"(make face! [type: 'window extra: 'w size: 20x5 rate: 50
        actors: object [on-time: func [f e] [system/view/platform/destroy-view win true]]
        pane: reduce [make face! [type: 'base extra: 'b offset: 1x1 size: 2x1 rate: 50]]
    ])");
    gui::do_events(false);
    EXPECT_EQ(evaluate("reduce [test-log win/state]").text, R"([["time w"] none])");
    EXPECT_EQ(gui::timer_count(), 0u);
    EXPECT_EQ(gui::loop_depth(), 0);
    end();
}

// The view engine and the backend together: `view/no-wait` shows a window
// with a field and a button, Tab moves the focus from one to the other and
// Escape closes the window, which ends the loop.
TEST_F(KelDispatch, ViewNoWaitThenTabAndEscape) {
    terminal_ = std::make_unique<FakeTerminal>(8, 30);
    ASSERT_EQ(evaluate(R"(
        focus-log: copy []
        on-focus-log: object [on-focus: func [f e] [append focus-log f/text]]
        win: make face! [type: 'window text: "W" size: 20x4 pane: reduce [
            make face! [type: 'field offset: 1x1 size: 8x1 text: copy "f" flags: 'focusable actors: on-focus-log]
            make face! [type: 'button offset: 1x2 size: 4x1 text: "OK" flags: 'focusable actors: on-focus-log]
        ]]
        view/no-wait win
        'ok)")
                  .error,
              -1);
    EXPECT_FALSE(gui::no_windows());
    terminal_->type("\t\033\033");
    terminal_->end_input();
    EXPECT_EQ(evaluate("do-events").error, -1);
    EXPECT_EQ(evaluate("reduce [focus-log win/state]").text, R"([["f" "OK"] none])");
    EXPECT_TRUE(gui::no_windows());
    EXPECT_FALSE(terminal_->raw);
    EXPECT_TRUE(terminal_->screen.cursor_visible());
    evaluate("unset [focus-log on-focus-log win]");
    gui::release_all_widgets();
    gui::reset_windows();
    terminal_.reset();
}

}  // namespace
}  // namespace kel::test
