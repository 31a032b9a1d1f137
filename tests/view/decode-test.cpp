// Input decoding: byte strings become key, mouse and cursor-report actions,
// whole and split at every byte, and a handler that runs a nested decode
// leaves the outer one nothing stale.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/view/fake-terminal.h"
#include "view/terminal/input.h"

namespace kel::test {
namespace {

// Records every action as text.
class Recorder final : public gui::Dispatch {
public:
    void key(int32_t code, bool special) override {
        add((special ? "special " : "key ") + std::to_string(code));
        if (on_key) on_key(code);
    }
    void button(uint32_t type, float x, float y, uint32_t flags) override {
        static const char* names[] = {"", "down", "up", "mid-down", "mid-up", "alt-down", "alt-up"};
        add(std::string(type <= 6 ? names[type] : "?") + at(x, y) + flag_text(flags));
    }
    void over(float x, float y, uint32_t flags) override { add("over" + at(x, y) + flag_text(flags)); }
    void wheel(float x, float y, float delta, uint32_t flags) override {
        add("wheel " + std::to_string(int(delta)) + at(x, y) + flag_text(flags));
    }
    void resize(int32_t columns, int32_t rows) override {
        add("resize " + std::to_string(columns) + "x" + std::to_string(rows));
    }
    void cursor_report(int32_t row, int32_t column) override {
        add("report " + std::to_string(row) + "," + std::to_string(column));
    }

    std::string text;
    std::function<void(int32_t)> on_key;

private:
    void add(const std::string& action) { text += (text.empty() ? "" : " | ") + action; }
    static std::string at(float x, float y) { return " " + std::to_string(int(x)) + "," + std::to_string(int(y)); }
    static std::string flag_text(uint32_t flags) {
        std::string out;
        if (flags & 0x02000000) out += " +down";
        if (flags & 0x01000000) out += " +mid-down";
        if (flags & 0x00800000) out += " +alt-down";
        if (flags & 0x10000000) out += " +control";
        if (flags & 0x20000000) out += " +shift";
        if (flags & 0x40000000) out += " +alt";
        return out;
    }
};

struct Case {
    std::string bytes;
    const char* actions;
};

std::string legacy_mouse(int b, int column, int row) {
    return std::string("\033[M") + char(32 + b) + char(32 + column) + char(32 + row);
}

const std::vector<Case>& cases() {
    static const std::vector<Case> table = {
        // Keys of the table and the forms terminals also send.
        {"\033[A\033[B\033[C\033[D", "special -20 | special -21 | special -22 | special -23"},
        {"\033OA\033OB\033OC\033OD", "special -20 | special -21 | special -22 | special -23"},
        {"\033[H\033[1~\033[7~\033OH", "special -25 | special -25 | special -25 | special -25"},
        {"\033[F\033[4~\033[8~\033OF", "special -24 | special -24 | special -24 | special -24"},
        {"\033[2~\033[3~\033[5~\033[6~", "special -26 | special -27 | special -28 | special -29"},
        {"\033OP\033OQ\033OR\033OS", "special -31 | special -32 | special -33 | special -34"},
        {"\033[11~\033[12~\033[13~\033[14~", "special -31 | special -32 | special -33 | special -34"},
        {"\033[15~\033[17~\033[18~\033[19~\033[20~\033[21~\033[23~\033[24~",
         "special -35 | special -36 | special -37 | special -38 | special -39 | special -40 | special -41 | "
         "special -42"},
        {"\033[Z", "special 10"},
        // Modifier parameters are ignored.
        {"\033[1;5A\033[3;5~\033[1;2H", "special -20 | special -27 | special -25"},
        // ESC alone, before a key, twice.
        {"\033", "key 27"},
        {"\033a", "key 97"},
        {"\033\033", "key 27"},
        {"\033\033[A", "key 27 | key 91 | key 65"},
        {"\033\x7f", "key 127"},
        // Text.
        {"\xc3\xa9", "key 233"},
        {"\xf0\x9f\x98\x80x", "key 128512 | key 120"},
        {"\xe4\xb8\xad", "key 20013"},
        // Control bytes: BS is 127, LF is 13.
        {"\x08\n\r\x03\t", "key 127 | key 13 | key 13 | key 3 | key 9"},
        // SGR mouse: the first press is a press; a drag; the release; motion;
        // the wheel; modifiers; the other buttons.
        {"\033[<0;5;3M\033[<32;6;3M\033[<0;6;3m", "down 4,2 | over 5,2 +down | up 5,2"},
        {"\033[<35;6;3M", "over 5,2"},
        {"\033[<64;6;3M\033[<65;6;3M", "wheel 1 5,2 | wheel -1 5,2"},
        {"\033[<20;1;1M\033[<8;1;1m", "down 0,0 +control +shift | up 0,0 +alt"},
        {"\033[<1;2;2M\033[<33;3;2M\033[<1;3;2m", "mid-down 1,1 | over 2,1 +mid-down | mid-up 2,1"},
        {"\033[<2;2;2M\033[<2;2;2m", "alt-down 1,1 | alt-up 1,1"},
        {"\033[<0;5M\033[<0;1;2;3M", ""},
        // Legacy reports: each byte is the value + 32.
        {legacy_mouse(0, 5, 3) + legacy_mouse(32, 6, 3) + legacy_mouse(3, 6, 3) + legacy_mouse(35, 7, 3),
         "down 4,2 | over 5,2 +down | up 5,2 | over 6,2"},
        {legacy_mouse(2, 1, 1) + legacy_mouse(3, 1, 1) + legacy_mouse(64, 1, 1),
         "alt-down 0,0 | alt-up 0,0 | wheel 1 0,0"},
        // Cursor-position answers.
        {"\033[12;1R", "report 11,0"},
        {"\033[1;1R", "report 0,0"},
        // Invalid UTF-8: each rejected byte is U+FFFD and the rest goes on.
        {"\xff"
         "a",
         "key 65533 | key 97"},
        {"\xc3(", "key 65533 | key 40"},
        {"\xed\xa0\x80", "key 65533 | key 65533 | key 65533"},
        {"\xe0\x80z", "key 65533 | key 65533 | key 122"},
        // Strings: OSC ends at BEL or ESC \, DCS at ESC \; an ESC before
        // another byte abandons one; an oversized one is dropped.
        {"\033]0;title\x07x", "key 120"},
        {"\033]0;title\033\\y", "key 121"},
        {"\033P1$r0m\033\\z", "key 122"},
        {"\033]2;abc\033[A", "special -20"},
        {"\033P" + std::string(5000, 'q') + "\033\\k", "key 107"},
        {"\033]" + std::string(5000, 'q') + "\x07k", "key 107"},
        // Parameters stop at 9,999; unknown sequences give nothing.
        {"\033[<0;99999999999;3M", "down 9998,2"},
        {"\033[2;3X\033[?1;2c\033[5n\033Ox", ""},
    };
    return table;
}

class Decode : public ::testing::Test {
protected:
    FakeTerminal terminal;
    Recorder recorder;

    // Decodes the parts as successive frames, then one frame more (a lone ESC
    // waits one).
    std::string decode(const std::vector<std::string>& parts) {
        for (const std::string& part : parts) {
            gui::queue_input(part);
            gui::decode_input(&recorder);
        }
        gui::decode_input(&recorder);
        return recorder.text;
    }
};

TEST_F(Decode, Sequences) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes.substr(0, 40)));
        recorder.text.clear();
        gui::reset_input_state();
        EXPECT_EQ(decode({c.bytes}), c.actions);
        EXPECT_EQ(gui::input_queue(), "");
    }
}

TEST_F(Decode, EverySequenceSplitAtEveryByte) {
    for (const Case& c : cases()) {
        for (size_t at = 1; at < c.bytes.size(); ++at) {
            SCOPED_TRACE(::testing::PrintToString(c.bytes.substr(0, 40)) + " split at " + std::to_string(at));
            recorder.text.clear();
            gui::clear_input();
            gui::reset_input_state();
            ASSERT_EQ(decode({c.bytes.substr(0, at), c.bytes.substr(at)}), c.actions);
        }
    }
}

// A lone ESC at the end of the queue waits exactly one frame.
TEST_F(Decode, LoneEscapeWaitsOneFrame) {
    gui::queue_input("a\033");
    gui::decode_input(&recorder);
    EXPECT_EQ(recorder.text, "key 97");
    EXPECT_EQ(gui::input_queue(), "\033");
    gui::decode_input(&recorder);
    EXPECT_EQ(recorder.text, "key 97 | key 27");
}

// A handler that runs a nested loop: the nested loop decodes what followed
// (and what arrived meanwhile) once, and the outer decoding, reading the queue
// again, finds nothing stale.
TEST_F(Decode, NestedDecodeInAHandler) {
    struct Nested {
        bool clear;
        const char* want;
    };
    for (const Nested& n : {Nested{false, "key 97 | key 98 | key 99 | key 100 | key 101"},
                            Nested{true, "key 97 | key 99 | key 100 | key 101"}}) {
        recorder.text.clear();
        gui::clear_input();
        recorder.on_key = [&](int32_t code) {
            if (code != 'a') return;
            if (n.clear) gui::clear_input();
            gui::queue_input("cd");
            gui::decode_input(&recorder);
        };
        gui::queue_input("ab");
        gui::decode_input(&recorder);
        gui::queue_input("e");
        gui::decode_input(&recorder);
        EXPECT_EQ(recorder.text, n.want) << "clear " << n.clear;
        EXPECT_EQ(gui::input_queue(), "");
    }
    recorder.on_key = nullptr;
}

// Reading: nothing while the terminal is not active; the end of input is
// sticky.
TEST_F(Decode, ReadingAndTheEndOfInput) {
    terminal.type("xy");
    EXPECT_EQ(gui::read_console(true), 0);
    gui::state().active = true;
    EXPECT_EQ(gui::read_console(true), 2);
    EXPECT_EQ(gui::input_queue(), "xy");
    EXPECT_FALSE(gui::input_ended());
    terminal.end_input();
    EXPECT_EQ(gui::read_console(true), 0);
    EXPECT_TRUE(gui::input_ended());
    terminal.ended = false;
    terminal.type("z");
    EXPECT_EQ(gui::read_console(true), 0) << "nothing is read after the end";
    EXPECT_EQ(gui::input_queue(), "xy");
    terminal.input.clear();
}

}  // namespace
}  // namespace kel::test
