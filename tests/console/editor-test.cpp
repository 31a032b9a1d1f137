// The line editor driven by key scripts, its output read back through a VT
// screen model: the line it answers, the screen text and the cursor.
#include "console/display.h"
#include "tests/console/console-fixture.h"

namespace kel::test {
namespace {

using console::EditExit;
namespace key = console::key;

struct Edited {
    console::EditResult result;
    ScriptedTerminal terminal;
};

class Editor : public ::testing::Test {
protected:
    console::EditResult edit(ScriptedTerminal& t, const std::vector<Step>& steps, std::string_view prompt = ">> ",
                             bool hidden = false, int64_t start_column = 0) {
        t.script(steps);
        return editor.edit(t, u32(prompt), {}, history, hidden, start_column);
    }

    console::LineEditor editor;
    Entries history;
};

TEST_F(Editor, EditingKeysGiveTheLine) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        const char* line;
        EditExit exit;
    };
    const Case cases[] = {
        {"insert before the cursor", typed("abc") + keys({key::LEFT, key::LEFT, 'X', key::ENTER}), "aXbc",
         EditExit::ENTER},
        {"backspace, both codes", typed("abcd") + keys({127, 8, key::ENTER}), "ab", EditExit::ENTER},
        {"backspace at the start does nothing", keys({127, 'a', key::HOME, 127, key::ENTER}), "a", EditExit::ENTER},
        {"home and end, with their control keys", typed("bc") + keys({key::HOME, 'a', 5, 'd', 1, '>', key::ENTER}),
         ">abcd", EditExit::ENTER},
        {"ctrl-b and ctrl-f move", typed("ac") + keys({2, 'b', 6, 'd', key::ENTER}), "abcd", EditExit::ENTER},
        {"delete under the cursor", typed("abc") + keys({key::HOME, key::DELETE, key::ENTER}), "bc", EditExit::ENTER},
        {"ctrl-k cuts to the end", typed("abcd") + keys({key::LEFT, key::LEFT, 11, key::ENTER}), "ab", EditExit::ENTER},
        {"ctrl-d inside the line deletes", typed("abc") + keys({key::HOME, 4, key::ENTER}), "bc", EditExit::ENTER},
        {"ctrl-d at the end of a line does nothing", typed("abc") + keys({4, key::ENTER}), "abc", EditExit::ENTER},
        {"ctrl-d on an empty line quits", keys({4}), "q", EditExit::QUIT},
        {"ctrl-c on a line with text quits", typed("print 1") + keys({3}), "q", EditExit::QUIT},
        {"a failed read quits", typed("abc"), "q", EditExit::QUIT},
        {"esc keeps the text and appends ESC", typed("[1 2") + keys({key::ESC}), "[1 2\x1b", EditExit::ESCAPE},
        {"tab without completion is a character", typed("a") + keys({key::TAB, 'b', key::ENTER}), "a\tb",
         EditExit::ENTER},
        {"other keys are ignored",
         typed("a") + keys({key::INSERT, key::PAGE_UP, key::PAGE_DOWN, 0, 7, 'b', key::ENTER}), "ab", EditExit::ENTER},
        {"characters beyond the BMP", typed("\xF0\x9F\x98\x80") + keys({key::HOME, 'x', key::ENTER}),
         "x\xF0\x9F\x98\x80", EditExit::ENTER},
    };
    for (const Case& c : cases) {
        ScriptedTerminal t(24, 80);
        console::EditResult r = edit(t, c.steps);
        EXPECT_EQ(utf8(r.text), c.line) << c.name;
        EXPECT_EQ(r.exit, c.exit) << c.name;
    }
}

TEST_F(Editor, TheScreenShowsPromptLineAndCursor) {
    ScriptedTerminal t(24, 80);
    edit(t, typed("abc") + keys({key::LEFT, key::LEFT, 'X'}));
    expect_screen(t.screen, 0, {">> aXbc"}, 0, 5);
}

TEST_F(Editor, HistoryAddsOnlyNewLines) {
    struct Case {
        const char* line;
        bool added;
    };
    const Case cases[] = {{"", false}, {"one", true}, {"one", false}, {"ONE", true}, {"one", true}};
    for (const Case& c : cases) {
        ScriptedTerminal t(24, 80);
        console::EditResult r = edit(t, typed(c.line) + keys({key::ENTER}));
        EXPECT_EQ(r.add_to_history, c.added) << c.line;
        if (r.add_to_history) history.lines.insert(history.lines.begin(), r.text);
    }
}

TEST_F(Editor, UpAndDownWalkTheHistory) {
    history.lines = {U"newest", U"middle", U"oldest"};
    struct Case {
        std::vector<Step> steps;
        const char* shown;
    };
    const Case cases[] = {
        {keys({key::UP}), "newest"},
        {keys({key::UP, key::UP}), "middle"},
        // The first Down after a run of Up shows the entry already on screen.
        {keys({key::UP, key::UP, key::DOWN}), "middle"},
        {keys({key::UP, key::UP, key::DOWN, key::DOWN}), "newest"},
        {keys({key::UP, key::UP, key::DOWN, key::DOWN, key::DOWN}), ""},
        {keys({key::UP, key::UP, key::UP, key::UP}), ""},
        {keys({key::DOWN}), ""},
        {keys({16, 16, 14}), "middle"},
    };
    for (const Case& c : cases) {
        ScriptedTerminal t(24, 80);
        console::EditResult r = edit(t, c.steps + keys({key::ENTER}));
        EXPECT_EQ(utf8(r.text), c.shown);
        EXPECT_EQ(t.screen.row(0), *c.shown ? ">> " + std::string(c.shown) : ">>");
    }
}

// Hidden input: stars on the screen, the prompt in clear, no history, and
// TAB a character: the completer is never asked.
TEST_F(Editor, HiddenInputShowsStarsAndNeverCompletes) {
    editor.completer = [](std::u32string_view line, size_t, console::Completions& out) {
        out.texts = {std::u32string(line) + U"-one", U"a", U"b"};
    };
    ScriptedTerminal t(24, 80);
    console::EditResult r = edit(t, typed("pw") + keys({key::TAB, 'd', key::ENTER}), "Password: ", true);
    EXPECT_EQ(utf8(r.text), "pw\td");
    EXPECT_FALSE(r.add_to_history);
    EXPECT_EQ(t.screen.row(0), "Password: *******");
}

// Hidden input measures what it draws: one cell per star, whatever the
// width of the character behind it.
TEST_F(Editor, HiddenWideCharactersTakeOneCellEach) {
    ScriptedTerminal t(4, 80);
    edit(t,
         typed("\xE4\xB8\xAD\xF0\x9F\x8C\x80"
               "a") +
             keys({key::LEFT}),
         "P: ", true);
    expect_screen(t.screen, 0, {"P: ***"}, 0, 5);
}

TEST_F(Editor, CompletionWithOneCandidateReplacesTheLine) {
    editor.completer = [](std::u32string_view, size_t, console::Completions& out) {
        out.texts = {U"print"};
        out.cursor = 5;
    };
    ScriptedTerminal t(24, 80);
    console::EditResult r = edit(t, typed("pr") + keys({key::TAB, ' ', '1', key::ENTER}));
    EXPECT_EQ(utf8(r.text), "print 1");
    EXPECT_EQ(t.screen.row(0), ">> print 1");
}

// The completer of these tests: "zq" has two candidates, "zqx-b" one.
void two_candidates(std::u32string_view line, size_t cursor, console::Completions& out) {
    std::u32string before(line.substr(0, cursor));
    if (before.ends_with(U"zq")) {
        out.texts = {before.substr(0, before.size() - 2) + U"zqx-" + std::u32string(line.substr(cursor)), U"zqx-alpha",
                     U"zqx-beta"};
        out.cursor = cursor + 2;
    } else if (before.ends_with(U"zqx-b")) {
        out.texts = {before + U"eta" + std::u32string(line.substr(cursor))};
        out.cursor = cursor + 3;
    }
}

// Several candidates are listed on the prompt's row, each followed by a
// blank; the edit goes on below with the completed line and its cursor,
// and ends only when Enter is typed.
TEST_F(Editor, ACompletionWithSeveralCandidatesListsThemAndGoesOn) {
    editor.completer = two_candidates;
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> rows;
        int cursor_row, cursor_column;
        const char* line;  // after Enter
    };
    const Case cases[] = {
        {"the listing, then the completed line",
         typed("zq") + keys({key::TAB}),
         {">> zqx-alpha zqx-beta", ">> zqx-"},
         1,
         7,
         "zqx-"},
        {"editing goes on",
         typed("zq") + keys({key::TAB, 'b', key::TAB}),
         {">> zqx-alpha zqx-beta", ">> zqx-beta"},
         1,
         11,
         "zqx-beta"},
        {"the text after the cursor stays after it",
         typed("[zq 5]") + keys({key::LEFT, key::LEFT, key::LEFT, key::TAB}),
         {">> zqx-alpha zqx-beta", ">> [zqx- 5]"},
         1,
         8,
         "[zqx- 5]"},
        {"a second listing goes below the first",
         typed("zq") + keys({key::TAB, ' ', 'z', 'q', key::TAB}),
         {">> zqx-alpha zqx-beta", ">> zqx-alpha zqx-beta", ">> zqx- zqx-"},
         2,
         12,
         "zqx- zqx-"},
    };
    for (const Case& c : cases) {
        ScriptedTerminal t(6, 40);
        console::EditResult r = edit(t, c.steps);
        EXPECT_EQ(r.exit, EditExit::QUIT) << c.name << ": only the end of the key script ends the edit";
        expect_screen(t.screen, 0, c.rows, c.cursor_row, c.cursor_column, c.name);
        ScriptedTerminal e(6, 40);
        console::EditResult done = edit(e, c.steps + keys({key::ENTER}));
        EXPECT_EQ(done.exit, EditExit::ENTER) << c.name;
        EXPECT_EQ(utf8(done.text), c.line) << c.name;
    }
    // The listing ends with a blank after the last candidate.
    ScriptedTerminal t(6, 40);
    edit(t, typed("zq") + keys({key::TAB}));
    std::string all;
    for (const std::string& w : t.writes) all += w;
    EXPECT_NE(all.find("zqx-alpha zqx-beta \r"), std::string::npos) << all;
    // A continuation prompt leads the completed line as it led the listing,
    // and nothing of the edit is left for the next one.
    ScriptedTerminal cue(6, 40);
    EXPECT_EQ(utf8(edit(cue, typed("zq") + keys({key::TAB, key::ENTER}), "[    ").text), "zqx-");
    expect_screen(cue.screen, 0, {"[    zqx-alpha zqx-beta", "[    zqx-"}, 1, 0);
    ScriptedTerminal next(6, 40);
    EXPECT_EQ(utf8(edit(next, keys({key::ENTER})).text), "");
}

// Layouts on the screen, each checked against the rows and cursor the VT
// model shows after the edit's last key.
TEST_F(Editor, LayoutOnTheScreen) {
    struct Case {
        const char* name;
        int columns;
        const char* prompt;
        std::vector<Step> steps;
        std::vector<std::string> rows;
        int cursor_row, cursor_column;
    };
    const std::string forty(40, 'x');
    const Case cases[] = {
        {"a TAB is four blanks", 80, ">> ", typed("a\tb"), {">> a    b"}, 0, 9},
        {"colour sequences in the prompt take no cells",
         80,
         "\x1b[1;32m>>\x1b[0m ",
         typed("ab") + keys({key::LEFT}),
         {">> ab"},
         0,
         4},
        // The wide character would start in the last column: that cell stays
        // blank and the character starts the next row.
        {"a wide character at the last column",
         10,
         ">> ",
         typed("123456\xE4\xB8\xAD"),
         {">> 123456", "\xE4\xB8\xAD"},
         1,
         2},
        {"the cursor on a moved wide character",
         10,
         ">> ",
         typed("123456\xE4\xB8\xAD") + keys({key::LEFT}),
         {">> 123456", "\xE4\xB8\xAD"},
         1,
         0},
        {"inserting before a moved wide character",
         10,
         ">> ",
         typed("12345\xE4\xB8\xAD") + keys({key::LEFT, 'y'}),
         {">> 12345y", "\xE4\xB8\xAD"},
         1,
         0},
        {"an emoji counts two cells", 12, ">> ", typed("1234\xF0\x9F\x8C\x80z"), {">> 1234\xF0\x9F\x8C\x80z"}, 0, 10},
        // Exactly full: the cursor stands at the start of the next row.
        {"a line that fills its row exactly", 10, ">> ", typed("abcdefg"), {">> abcdefg", ""}, 1, 0},
        {"a long line wraps", 10, ">> ", typed("abcdefghijklmnop"), {">> abcdefg", "hijklmnop"}, 1, 9},
        {"moving back over the wrap",
         10,
         ">> ",
         typed("abcdefghijklmnop") + keys({key::HOME}),
         {">> abcdefg", "hijklmnop"},
         0,
         3},
        {"editing in the middle of a wrapped line",
         10,
         ">> ",
         typed("abcdefghijklmnop") + keys({key::HOME, key::RIGHT, key::DELETE, key::DELETE}),
         {">> adefghi", "jklmnop"},
         0,
         4},
        {"a shorter line erases the longer one",
         10,
         ">> ",
         typed("abcdefghijklmnop") + keys({key::HOME, 11}),
         {">>", ""},
         0,
         3},
    };
    for (const Case& c : cases) {
        ScriptedTerminal t(6, c.columns);
        edit(t, c.steps, c.prompt);
        expect_screen(t.screen, 0, c.rows, c.cursor_row, c.cursor_column, c.name);
    }
}

// Control characters never reach the terminal as commands: a line from
// redirected input keeps its CR, and Up shows it in caret form.
TEST_F(Editor, ControlCharactersShowInCaretForm) {
    history.lines = {U"a\rb\u0085"};
    ScriptedTerminal t(4, 80);
    console::EditResult r = edit(t, keys({key::UP, key::ENTER}));
    EXPECT_EQ(r.text, U"a\rb\u0085");
    EXPECT_EQ(t.screen.row(0), ">> a^Mb\xEF\xBF\xBD");
}

// A line longer than the rows left below the prompt scrolls the screen; the
// redraws still find the prompt's row, which has moved up.
TEST_F(Editor, ALineThatScrollsKeepsItsPrompt) {
    ScriptedTerminal t(4, 10);
    t.screen.feed("one\r\ntwo\r\nthree\r\n");
    edit(t, typed("abcdefghijklmnopqrstu") + keys({key::HOME, 'X', key::END}), ">> ", false, 0);
    EXPECT_EQ(t.screen.scrolled(), 2);
    expect_screen(t.screen, 0, {"three", ">> Xabcdef", "ghijklmnop", "qrstu"}, 3, 5);
}

// The prompt starts where earlier output left the cursor.
TEST_F(Editor, ThePromptStartsAtTheOutputColumn) {
    ScriptedTerminal t(4, 20);
    t.screen.feed("Name? ");
    edit(t, typed("ab") + keys({key::LEFT, 'c'}), "", false, 6);
    expect_screen(t.screen, 0, {"Name? acb"}, 0, 8);
    // Output that filled its row leaves the terminal waiting to wrap: the
    // prompt goes to the next row, and redraws find it there.
    ScriptedTerminal w(4, 10);
    w.screen.feed("0123456789");
    edit(w, typed("ab") + keys({key::HOME, 'c'}), "> ", false, 10);
    expect_screen(w.screen, 0, {"0123456789", "> cab"}, 1, 3);
}

// After the window changes size the redraw keeps the prompt where it was:
// the prompt's row is found from the cursor's place in the text under the
// new width, never taken from where the cursor stands.
TEST_F(Editor, AResizeRedrawsOnThePromptRow) {
    ScriptedTerminal t(6, 40);
    t.screen.feed("before\r\n");
    edit(t, typed("abcdefghij") + resize_to(20) + keys({key::LEFT, 'k'}) + resize_to(30) + keys({'l'}));
    expect_screen(t.screen, 0, {"before", ">> abcdefghiklj", ""}, 1, 14);
}

// Typing at the end writes only the new character; moving only moves.
TEST_F(Editor, TypingAtTheEndWritesOneCharacter) {
    ScriptedTerminal t(4, 80);
    edit(t, typed("ab") + keys({key::LEFT}));
    ASSERT_EQ(t.writes.size(), 4u);
    EXPECT_EQ(t.writes[0], ">> ");
    EXPECT_EQ(t.writes[1], "a");
    EXPECT_EQ(t.writes[2], "b");
    EXPECT_EQ(t.writes[3], "\x1b[5G");
}

}  // namespace
}  // namespace kel::test
