// Face timers driven by the event loop on the fake terminal's clock: every
// frame without input lasts 33 ms, a frame cut short by input counts only
// the time that passed, and callbacks may add and remove timers (their own
// included) while the timers run.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/time.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter-state.h"
#include "tests/support.h"
#include "tests/view/fake-terminal.h"
#include "view/terminal/event-loop.h"
#include "view/terminal/timers.h"

namespace kel::test {
namespace {

constexpr uint32_t FRAME_COUNTER = 1000;

// What the callbacks saw: the frames each widget's timer fired on.
struct Log {
    int frame = 0;
    int frames = 0;  // the loop ends after this many
    std::map<uint32_t, std::vector<int>> fired;
};
Log* log_ = nullptr;

// The first timer of every test: counts frames and ends the loop.
void count_frame(uint32_t) {
    if (++log_->frame >= log_->frames) gui::post_quit_msg();
}
void record(uint32_t widget) { log_->fired[widget].push_back(log_->frame); }

class Timers : public ::testing::Test {
protected:
    void SetUp() override {
        boot();
        log_ = &log;
        gui::add_timer(FRAME_COUNTER, 0, count_frame);
    }
    void TearDown() override {
        gui::clear_timers();
        log_ = nullptr;
    }
    void run(int frames) {
        log.frames = frames;
        gui::do_events(false);
    }

    FakeTerminal terminal;
    Log log;
};

std::vector<int> every(int period, int frames) {
    std::vector<int> v;
    for (int f = period; f <= frames; f += period) v.push_back(f);
    return v;
}

TEST_F(Timers, RatesFireOnTheirFrames) {
    struct Case {
        const char* label;
        Cell rate;
        int period;  // in frames
    };
    const Case cases[] = {
        {"rate 10: 100 ms, every 4th frame (132 ms)", make_integer(10), 4},
        {"rate 0:0:0.5: every 16th frame (528 ms)", time_::make_cell(0.5), 16},
        {"rate 50: 20 ms, every frame and only once", make_integer(50), 1},
        {"rate 1: 1000 ms, every 31st frame", make_integer(1), 31},
    };
    for (uint32_t i = 0; i < std::size(cases); ++i) gui::set_rate(i, cases[i].rate, record);
    run(64);
    for (uint32_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(log.fired[i], every(cases[i].period, 64)) << cases[i].label;
    EXPECT_EQ(terminal.clock, 64 * 33);
    EXPECT_EQ(gui::loop_depth(), 0);
}

TEST_F(Timers, NoneStopsTheTimerAndBadRatesRaise) {
    gui::set_rate(1, make_integer(50), record);
    run(3);
    gui::set_rate(1, make_none(), record);
    log.frame = 0;
    run(3);
    EXPECT_EQ(log.fired[1], (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(gui::timer_count(), 1u);  // the frame counter

    struct Case {
        const char* label;
        Cell rate;
    };
    const Case bad[] = {
        {"-1", make_integer(-1)},
        {"0", make_integer(0)},
        {"0:0:0", time_::make_cell(0)},
        {"-0:0:1", time_::make_cell(-1)},
        {"a logic", Cell{TYPE_LOGIC, 1, 0, 0}},
    };
    for (const Case& c : bad) {
        Cell arg = make_none();
        EXPECT_EQ(error_of([&] { gui::set_rate(2, c.rate, record); }, &arg), id(ErrorId::script_invalid_facet_type))
            << c.label;
        EXPECT_EQ(type_of(arg), type_of(c.rate)) << c.label;
    }
    EXPECT_EQ(gui::timer_count(), 1u);
}

// While input keeps arriving no frame waits, and no time passes on the
// fake clock: the timers must not advance by 33 ms a frame.
TEST_F(Timers, FramesCutShortByInputCountTheirRealTime) {
    gui::set_rate(1, make_integer(50), record);
    terminal.type(std::string(6 * 16 * 4096, 'a'));
    run(5);
    EXPECT_EQ(terminal.clock, 0);
    EXPECT_TRUE(log.fired[1].empty());
}

// Callbacks that change the list while it is walked: one removes itself and
// a timer after it, one adds enough timers to move the list's storage.
void remove_self_and_next(uint32_t widget) {
    record(widget);
    gui::remove_timer(widget);
    gui::remove_timer(widget + 1);
}
void add_many(uint32_t widget) {
    record(widget);
    if (log_->fired[widget].size() == 1)
        for (uint32_t i = 0; i < 200; ++i) gui::add_timer(500 + i, 1000000, record);
}

TEST_F(Timers, CallbacksMayRemoveAndAddTimers) {
    gui::add_timer(1, 0, remove_self_and_next);
    gui::add_timer(2, 0, record);
    gui::add_timer(3, 0, add_many);
    gui::add_timer(4, 0, record);
    run(3);
    EXPECT_EQ(log.fired[1], (std::vector<int>{1}));
    EXPECT_TRUE(log.fired[2].empty());
    EXPECT_EQ(log.fired[3], (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(log.fired[4], (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(gui::timer_count(), 1u + 2u + 200u);
}

// A throw out of a frame ends the running level and never the process: an
// error is printed as the console prints one, a halt ends the level quietly.
void raise_error(uint32_t) { fire(ErrorId::script_invalid_facet_type, {make_integer(-7)}); }
void raise_halt(uint32_t) {
    interpreter::state.thrown_value = word::make_global("halt-request");
    system_throw(thrown::THROW);
}

TEST_F(Timers, AThrowOutOfAFrameEndsTheLevel) {
    struct Case {
        const char* label;
        gui::TimerCallback callback;
        const char* printed;
    };
    const Case cases[] = {
        {"an error", raise_error, "invalid rate value: -7"},
        {"a halt", raise_halt, ""},
    };
    for (const Case& c : cases) {
        gui::clear_timers();
        gui::add_timer(1, 0, c.callback);
        log.frame = 0;
        testing::internal::CaptureStdout();
        run(1000);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(gui::loop_depth(), 0) << c.label;
        EXPECT_FALSE(terminal.raw) << c.label;
        if (*c.printed)
            EXPECT_NE(out.find(c.printed), std::string::npos) << c.label << ": " << out;
        else
            EXPECT_EQ(out, "") << c.label;
        EXPECT_EQ(sys.thrown, 0u) << c.label;
    }
}

}  // namespace
}  // namespace kel::test
