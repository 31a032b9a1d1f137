// Tracing events through C++ callbacks installed as the callback runner,
// and the `transcode` front end.
#include "tests/lexer/lexer-fixture.h"

#include <functional>
#include <vector>

#include "runtime/datatypes/block.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"

namespace kel::test {
namespace {

// One event as the callback saw it.
struct Seen {
    std::string event;
    std::string type;
    int32_t line;
    std::string token;
};

// The C++ side of a callback: sees the five arguments, may change the input
// argument, answers true or false.
using Handler = std::function<bool(Seen&, Cell& input)>;
thread_local Handler* current = nullptr;

Cell run_handler(const Cell&, std::span<Cell> args) {
    Seen s;
    s.event = spelling_of(args[0]);
    s.type = type_of(args[2]) == TYPE_NONE ? "none" : show(args[2]);
    s.line = int32_t(args[3].data2);
    s.token = show(args[4]);
    bool r = (*current)(s, args[1]);
    return Cell{TYPE_LOGIC, r ? 1u : 0u, 0, 0};
}

class Events : public Lexer {
protected:
    void SetUp() override { previous_ = lexer::install_callback_runner(run_handler); }
    void TearDown() override {
        lexer::install_callback_runner(previous_);
        current = nullptr;
    }

    // Loads the text (as a string! source) with the handler as callback.
    std::string traced(std::string_view text, Handler h, lexer::Options o = {}, const Cell* callback = nullptr) {
        current = &h;
        Cell str{};
        string::import_at(bytes_of(text), int32_t(text.size()), &str, string::ENCODING_UTF8);
        Rooted keep(str);
        Cell any = make_integer(1);
        o.callback = callback ? callback : &any;
        std::string r;
        int e = error_of([&] {
            Cell out = make_none();
            Rooted keep_out(out);
            lexer::scan_string(&out, str, -1, o);
            r = type_of(out) == TYPE_BLOCK ? show_cells(out, " ") : show(out);
        });
        if (e >= 0) r = "error " + std::to_string(e);
        return r;
    }

private:
    lexer::CallbackRunner previous_ = nullptr;
};

TEST_F(Events, EveryEventOfALoadInOrder) {
    std::vector<std::string> seen;
    std::string r = traced("a [1]", [&](Seen& s, Cell&) {
        seen.push_back(s.event + " " + s.type + " " + s.token);
        return true;
    });
    EXPECT_EQ(r, "a [1]");
    std::vector<std::string> want = {
        "prescan word! 1x2",    "scan word! 1x2",    "load word! a",    "prescan block! 3x3", "open block! 3x4",
        "prescan integer! 4x5", "scan integer! 4x5", "load integer! 1", "prescan block! 5x5", "close block! 3x6",
    };
    EXPECT_EQ(seen, want);
}

// Structural tokens report the entry of the exit-states table at their
// handler's position: a word for a comment, datatypes for the brackets.
TEST_F(Events, StructuralTokensReportTheirExitState) {
    std::vector<std::string> seen;
    traced("; x\n(1) {s}", [&](Seen& s, Cell&) {
        if (s.event == "prescan") seen.push_back(s.type);
        return true;
    });
    std::vector<std::string> want = {"comment", "paren!", "integer!", "paren!", "string!"};
    EXPECT_EQ(seen, want);
    ASSERT_EQ(lexer::EXIT_STATE_COUNT, 34);
    EXPECT_STREQ(lexer::exit_states[0].word, "eof");
    EXPECT_EQ(lexer::exit_states[33].type, TYPE_REF);
    EXPECT_EQ(type_of(lexer::exit_state(35)), TYPE_NONE);
    EXPECT_EQ(type_of(lexer::exit_state(0)), TYPE_NONE);
}

TEST_F(Events, APointLiteralIsReportedWholeInScanMode) {
    std::vector<std::string> seen;
    lexer::Options scan;
    scan.scan = true;
    traced(
        "(1, 2) a",
        [&](Seen& s, Cell&) {
            seen.push_back(s.event + " " + s.type + " " + s.token);
            return true;
        },
        scan);
    std::vector<std::string> want = {"prescan point2D! 1x7", "scan point2D! 1x7", "prescan word! 8x9",
                                     "scan word! 8x9"};
    EXPECT_EQ(seen, want);
}

TEST_F(Events, TheBlockOpeningTheBodyChoosesTheEvents) {
    // A function! whose body starts with [open close].
    Cell inner = make_none(), body = make_none(), spec = make_none();
    Rooted k1(inner), k2(body), k3(spec);
    block::make_at(inner, 2);
    block::append_cell(inner, word::make_global("open"));
    block::append_cell(inner, word::make_global("close"));
    block::make_at(body, 2);
    block::append_cell(body, inner);
    block::make_at(spec, 1);
    Cell* saved = stack::top();
    function::push(spec, &body, 0, 0);
    Cell fn = *(stack::top() - 1);
    stack::state.top = saved;
    Rooted k4(fn);
    EXPECT_EQ(lexer::event_mask_of(fn), lexer::event::OPEN | lexer::event::CLOSE);
    std::vector<std::string> seen;
    std::string r = traced(
        "a (b) 1x",
        [&](Seen& s, Cell&) {
            seen.push_back(s.event);
            return true;
        },
        {}, &fn);
    EXPECT_EQ(r, "error " + std::to_string(id(ErrorId::syntax_invalid)));
    EXPECT_EQ(seen, (std::vector<std::string>{"open", "close"}));
    EXPECT_EQ(lexer::event_mask_of(make_integer(1)), lexer::event::ALL);
}

TEST_F(Events, AFalseAnswerRefusesWhatTheEventAnnounces) {
    auto refuse = [](const char* event, const char* token) {
        return [=](Seen& s, Cell&) { return !(s.event == event && (token[0] == 0 || s.token == token)); };
    };
    // prescan and scan: the token is skipped; load: the value is dropped.
    EXPECT_EQ(traced("a b c", refuse("prescan", "3x4")), "a c");
    EXPECT_EQ(traced("a b c", refuse("scan", "3x4")), "a c");
    EXPECT_EQ(traced("a b c", refuse("load", "b")), "a c");
    EXPECT_EQ(traced("a/b c", refuse("load", "b")), "path:a c");
    // open: nothing opens, so the closing bracket has nothing to close.
    EXPECT_EQ(traced("[a] b", refuse("open", "")), "error " + std::to_string(id(ErrorId::syntax_missing)));
    EXPECT_EQ(traced("[a] b", [](Seen& s, Cell&) { return s.event != "open" && s.event != "close"; }), "a b");
    // close: the series stays open, and the end of the input finds it so.
    EXPECT_EQ(traced("[a] b", refuse("close", "")), "error " + std::to_string(id(ErrorId::syntax_missing)));
    // error: loading goes on after the bad token.
    EXPECT_EQ(traced("a 1a b", refuse("error", "")), "a b");
    EXPECT_EQ(traced("a } b", refuse("error", "")), "a b");
    EXPECT_EQ(traced("a \"b", refuse("error", "")), "a");
    lexer::Options one;
    one.one = true;
    EXPECT_EQ(traced("1a b", refuse("error", ""), one), "");
}

// A refused error skips only the bad token, wherever it was found, and
// leaves no open-series marker among the values.
TEST_F(Events, ARefusedErrorSkipsTheBadTokenAlone) {
    auto refuse_errors = [](Seen& s, Cell&) { return s.event != "error"; };
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"a 256.1.1 c d", "a c d"},  // refused by the loader, after the scan
        {"a 1.#Q c", "a c"},        {"a 1x c d", "a c d"},   {"a 1a b", "a b"},  // refused by the scanner
        {"a [1 2", "a [1 2]"},  // missing at the end: closed
        {"a [b (c", "a [b (c)]"},   {"[1 2) 3]", "[1 2 3]"},  // the wrong closing bracket
        {"a ] b", "a b"},
    };
    for (const Case& c : cases) EXPECT_EQ(traced(c.text, refuse_errors), c.want) << c.text;
    lexer::Options one;
    one.one = true;
    EXPECT_EQ(traced("[[1 256.1.1", refuse_errors, one), "[1]");
}

TEST_F(Events, ACallbackMayScanAgainInside) {
    std::vector<std::string> inner;
    std::string r = traced("a b", [&](Seen& s, Cell&) {
        if (s.event == "load" && s.token == "a") {
            lexer::Options plain;
            Cell out = make_none();
            Rooted keep(out);
            lexer::scan(&out, bytes_of("x [y z]"), 7, plain);
            inner.push_back(show(out));
        }
        return true;
    });
    EXPECT_EQ(r, "a b");
    EXPECT_EQ(inner, (std::vector<std::string>{"[x [y z]]"}));
}

TEST_F(Events, AMovedPositionStaysInsideTheInput) {
    bool moved = false;
    // Before the start: the scan goes back to the start, once.
    EXPECT_EQ(traced("a b",
                     [&](Seen& s, Cell& input) {
                         if (s.event == "load" && !moved) {
                             moved = true;
                             input.data1 = uint32_t(-100);
                         }
                         return true;
                     }),
              "a a b");
    // Past the end: the scan ends there.
    EXPECT_EQ(traced("a b c",
                     [&](Seen& s, Cell& input) {
                         if (s.event == "load" && s.token == "a") input.data1 = 1000;
                         return true;
                     }),
              "a");
    // Forward by characters of a string source (é is one character).
    EXPECT_EQ(traced("\xC3\xA9 b c",
                     [&](Seen& s, Cell& input) {
                         if (s.event == "load" && s.token == "\xC3\xA9") input.data1 = 3;
                         return true;
                     }),
              "\xC3\xA9 c");
}

TEST_F(Events, ABinarySourceMovesUnderTheCollectorDuringItsScan) {
    // Many values, so that the value stack grows too.
    std::string text;
    for (int i = 0; i < int(scaled(3000, 300)); i++)
        text += "w" + std::to_string(i) + ": [" + std::to_string(i) + " \"s\"] ";
    Cell expected = load_text(text);
    Rooted k1(expected);
    NodeId node = memory::alloc_bytes(text.size());
    SeriesBuffer* b = memory::buffer_of(node);
    std::memcpy(b->data() + b->offset, text.data(), text.size());
    b->tail = b->offset + text.size();
    Cell bin{TYPE_BINARY, 0, node, 0};
    Rooted k2(bin);
    Handler h = [&](Seen&, Cell&) {
        for (int k = 0; k < 4; k++) {
            Cell junk{};
            string::import_at(bytes_of("junk junk junk"), 14, &junk, string::ENCODING_UTF8);
        }
        return true;
    };
    current = &h;
    Cell any = make_integer(1);
    lexer::Options o;
    o.callback = &any;
    Cell out = make_none();
    Rooted k3(out);
    lexer::scan_binary(&out, bin, -1, o);
    EXPECT_EQ(show(out), show(expected));
}

struct Transcoded {
    const char* text;
    lexer::TranscodeOptions options;
    std::string result;
};

std::string transcoded(const Cell& source, const lexer::TranscodeOptions& o) {
    std::string r;
    int e = error_of([&] {
        Cell out = make_none();
        Rooted keep(out);
        lexer::transcode(&out, source, o);
        if (type_of(out) == TYPE_BLOCK && o.next && memory::buffer_of(cell_node(out))->cell_count() == 2) {
            Cell* cells = memory::buffer_of(cell_node(out))->cells();
            r = "[" + show(cells[0]) + " @" + std::to_string(int32_t(cells[1].data1)) + "]";
        } else {
            r = show(out);
        }
    });
    return e >= 0 ? "error " + std::to_string(e) : r;
}

Cell text_of(const char* t) {
    Cell str{};
    string::import_at(bytes_of(t), int32_t(std::strlen(t)), &str, string::ENCODING_UTF8);
    return str;
}

TEST_F(Lexer, TranscodeRefinements) {
    auto with = [](auto set) {
        lexer::TranscodeOptions o;
        set(o);
        return o;
    };
    Cell two = make_integer(2), minus = make_integer(-3);
    const Transcoded cases[] = {
        {"12", with([](auto& o) { o.scan = true; }), "integer!"},
        {"12a", with([](auto& o) { o.scan = true; }), "error!"},
        {"", with([](auto& o) { o.scan = true; }), "none"},
        {"  ; only a comment", with([](auto& o) { o.scan = true; }), "none"},
        {"[a b] c", with([](auto& o) { o.prescan = true; }), "block!"},
        {"", with([](auto& o) { o.prescan = true; }), "none"},
        {"1 2", with([](auto& o) { o.next = true; }), "[1 @1]"},
        {"", with([](auto& o) { o.next = true; }), "[[] @0]"},
        {" ; comment", with([](auto& o) { o.next = true; }), "[[] @10]"},
        {"1 2", with([](auto& o) { o.one = true; }), "1"},
        {"", with([](auto& o) { o.one = true; }), "[]"},
        {"12 b", with([](auto& o) { o.next = true, o.scan = true; }), "[integer! @2]"},
        {"1 2", with([](auto& o) { o.next = true, o.one = true; }), "1"},
        {"1 2 3", with([&](auto& o) { o.part = &two; }), "[1]"},
        {"1 2 3", with([&](auto& o) { o.part = &minus; }), "[]"},
        {"a [b", {}, "error " + std::to_string(id(ErrorId::syntax_missing))},
    };
    for (const Transcoded& c : cases) {
        Cell src = text_of(c.text);
        Rooted keep(src);
        EXPECT_EQ(transcoded(src, c.options), c.result) << "`" << c.text << "`";
    }
}

TEST_F(Lexer, TranscodePartIntoAndByteOrderMark) {
    Cell src = text_of("1 2 3 4");
    Rooted k1(src);
    // /part as a position in the same series.
    Cell at = src;
    at.data1 = 3;
    lexer::TranscodeOptions part;
    part.part = &at;
    EXPECT_EQ(transcoded(src, part), "[1 2]");
    // A position in a series of another type.
    Cell other = make_integer(0);
    Cell bin{};
    string::import_at(bytes_of("x"), 1, &bin, string::ENCODING_UTF8);
    Rooted k2(bin);
    set_type(bin, TYPE_BINARY);
    part.part = &bin;
    EXPECT_EQ(transcoded(src, part), "error " + std::to_string(id(ErrorId::script_not_same_type)));
    (void)other;
    // /into appends to the block given.
    Cell into = load_text("x");
    Rooted k3(into);
    lexer::TranscodeOptions o;
    o.into = &into;
    EXPECT_EQ(transcoded(src, o), "[x 1 2 3 4]");
    // A binary that starts with EF BB BF loads as if they were absent.
    const char bom[] =
        "\xEF\xBB\xBF"
        "a 1";
    NodeId node = memory::alloc_bytes(6);
    SeriesBuffer* b = memory::buffer_of(node);
    std::memcpy(b->data() + b->offset, bom, 6);
    b->tail = b->offset + 6;
    Cell binary{TYPE_BINARY, 0, node, 0};
    Rooted k4(binary);
    EXPECT_EQ(transcoded(binary, {}), "[a 1]");
    lexer::TranscodeOptions next;
    next.next = true;
    EXPECT_EQ(transcoded(binary, next), "[a @4]");
}

}  // namespace
}  // namespace kel::test
