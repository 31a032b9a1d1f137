// do: every kind of value, /next, the services of files and /expand, loop
// control through do, and do/trace, which always ends its trace before
// anything leaves it.
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/native-services.h"
#include "tests/natives/natives-fixture.h"

namespace kel::test {
namespace {

using Do = NativesTest;

TEST_F(Do, Values) {
    expect_cases({
        {"do [1 + 2]", "3"},
        {"do []", "unset"},
        {"do \"1 + 2\"", "3"},
        {"do \"\"", "unset"},
        {"do 5", "5"},
        {"x: 10 do 'x", "10"},
        {"f: does [7] do :f", "7"},
        {"b: [1 2] do 'b/2", "2"},
        {"do \"never-set-do-string\"", "error script/no-value"},
        {"do \"[1\"", "error syntax/missing"},
        {"do/next [1 + 2 3] 'p", "3"},
        {"do/next [1 + 2 3] 'p p", "[3]"},
        {"do/next [] 'p p", "[]"},
        {"do/next \"4 5\" 'p p", "[5]"},
    });
}

TEST_F(Do, ErrorValuesAreRaised) {
    expect_cases({
        {"e: try [never-set-do-error] do e", "error script/no-value"},
        {"e: try [never-set-do-error] try [do e]", "error value script/no-value"},
        // An error! that a block evaluates to is the block's value.
        {"do [try [never-set-do-error]]", "error value script/no-value"},
    });
}

TEST_F(Do, LoopControlThroughDo) {
    expect_cases({
        {"loop 3 [do [break/return 5]]", "5"},
        {"n: 0 loop 3 [n: n + 1 do [continue] n: 100] n", "3"},
        {"f: func [] [do [return 4] 5] f", "4"},
        {"do [break]", "error throw/break"},
    });
}

TEST_F(Do, FilesAndExpandGoThroughTheirServices) {
    Cell* file = stack::push(make_none());
    string::ks_make_at(*file, 8);
    string::append_c_string(*file, "x.kel");
    file->header = TYPE_FILE;
    set_global("a-file", *file);
    // The library's services: the script file is looked for, the block is
    // expanded by the preprocessor.
    expect_cases({
        {"do a-file", "error access/cannot-open"},
        {"do/expand [1]", "1"},
    });
    {
        // Without them the natives report what is missing.
        Restore<decltype(natives::services().do_file)> do_file(natives::services().do_file);
        Restore<decltype(natives::services().expand)> expand(natives::services().expand);
        natives::services().do_file = nullptr;
        natives::services().expand = nullptr;
        expect_cases({
            {"do a-file", "error internal/not-done"},
            {"do/expand [1]", "error internal/not-done"},
        });
    }
    set_global("a-file", none_value);
}

// A tracer that records the event words in `log`.
constexpr const char* TRACER = "log: copy [] t: func [event code offset value ref frame] [append log event] ";

std::string with_tracer(const char* code) { return outcome((std::string(TRACER) + code).c_str()); }

void expect_trace_off() {
    EXPECT_FALSE(interpreter::state.trace);
    EXPECT_FALSE(interpreter::state.tracing);
    EXPECT_EQ(type_of(interpreter::state.tracer), TYPE_UNSET);
}

TEST_F(Do, TraceRunsAndEnds) {
    EXPECT_EQ(with_tracer("do/trace [1 + 2] :t"), "3");
    expect_trace_off();
    EXPECT_EQ(outcome("log/1"), "init");
    EXPECT_EQ(with_tracer("do/trace [1] :t log/(length? log)"), "end");
    // A nested do/trace runs under the outer tracer; the inner one is never
    // called.
    EXPECT_EQ(with_tracer("t2-calls: 0 t2: func [a b c d e f] [t2-calls: t2-calls + 1] "
                          "do/trace [do/trace [1] :t2] :t t2-calls"),
              "0");
    expect_trace_off();
}

TEST_F(Do, TraceOfAnErrorEndsTheTraceFirst) {
    // The error is raised after the clean-up: tracing is off, the end event
    // was sent and the caller's frame carries no return mark.
    uint32_t frames = stack::calls.top;
    EXPECT_EQ(with_tracer("e: try [never-set-do-error] do/trace e :t"), "error script/no-value");
    expect_trace_off();
    EXPECT_EQ(stack::calls.top, frames);
    EXPECT_EQ(outcome("log/(length? log)"), "end");
    // So is an error raised by the traced code.
    EXPECT_EQ(with_tracer("do/trace [never-set-do-error] :t"), "error script/no-value");
    expect_trace_off();
    EXPECT_EQ(outcome("log/(length? log)"), "end");
    // And a tracer that fails while the error travels does not replace it.
    EXPECT_EQ(outcome("bad: func [a b c d e f] [if a = 'end [never-set-in-tracer]] "
                      "do/trace [never-set-do-error] :bad"),
              "error script/no-value");
    expect_trace_off();
}

TEST_F(Do, TraceAndReturn) {
    EXPECT_EQ(with_tracer("f: func [] [do/trace [return 4] :t 5] f"), "4");
    expect_trace_off();
    // Outside a function the return has no target once the trace is over.
    EXPECT_EQ(with_tracer("do/trace [return 1] :t"), "error throw/return");
    expect_trace_off();
    EXPECT_EQ(with_tracer("loop 2 [do/trace [break/return 9] :t]"), "9");
    expect_trace_off();
}

}  // namespace
}  // namespace kel::test
