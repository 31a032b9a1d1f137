// Event dispatch on the fake terminal, end to end: Kel faces made with
// `make face!` get widgets as `show` gives them, the window is shown, input
// bytes are typed, and the event loop runs until the input ends. A test
// `system/view/awake` logs every event that reaches the view engine and
// calls the face's actor for it, so the log shows what actors would see and
// an actor's `done` stops the widget's own handling.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/handle.h"
#include "tests/boot-library.h"
#include "tests/kel-eval.h"
#include "tests/view/fake-terminal.h"
#include "tests/view/kel-values.h"
#include "view/terminal/dispatch.h"
#include "view/terminal/event-loop.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/timers.h"
#include "view/terminal/view-lifecycle.h"
#include "view/terminal/widgets.h"

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
        evaluate("system/view/awake: :saved-awake unset [saved-awake test-log win]");
        terminal_.reset();
    }

    // Makes `win` from the Kel text (a window face! whose pane holds the
    // faces), gives it and its pane widgets, and shows it.
    void show(const std::string& window) {
        ASSERT_EQ(evaluate("win: " + window + " 'ok").error, -1) << window;
        Cell* face = kel_value("win");
        gui::WidgetId id = realize(*face, 0);
        gui::OS_show_window(id);
    }

    gui::WidgetId realize(const Cell& face_in, gui::WidgetId parent) {
        Cell* face = stack::push(face_in);
        gui::WidgetId id = gui::OS_make_view(*face, parent);
        Cell* state = kel_value("reduce [none 0 none]");
        handle::make_at(*block::ks_abs_at(*state, 0), int32_t(id), handle::CLASS_WINDOW);
        *gui::facet_slot(*face, gui::Facet::state) = *state;
        for (int32_t i = 0;; ++i) {
            Cell pane = gui::facet(*face, gui::Facet::pane);
            if (type_of(pane) != TYPE_BLOCK || i >= block::ks_length(pane)) break;
            Cell child = *block::ks_abs_at(pane, int32_t(pane.data1) + i);
            if (Cell* parent_slot = gui::facet_slot(child, gui::Facet::parent)) *parent_slot = *face;
            realize(child, id);
        }
        return id;
    }

    // Types the input, ends it and runs the loop; answers the log.
    std::string run(const std::string& input) {
        terminal_->type(input);
        terminal_->end_input();
        gui::do_events(false);
        return evaluate("test-log").text;
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
        const char* log;
        const char* check = "'ok";  // Kel text, evaluated after the loop
        const char* want = "ok";
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
    };
    for (const Case& c : cases) {
        begin();
        show(std::string("make face! [type: 'window extra: 'w size: 20x5 pane: reduce ") + c.pane + "]");
        EXPECT_EQ(run(c.input), c.log) << c.label;
        EXPECT_EQ(evaluate(c.check).text, c.want) << c.label;
        end();
    }
}

}  // namespace
}  // namespace kel::test
