// Where an error was raised: the innermost named call (Where), the
// expression being evaluated (Near) and the calls that led there (Stack),
// recorded before anything unwinds.
#include "runtime/evaluator/raised.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

using Errors = Evaluator;

std::string stack_line() {
    Cell* text = new_buffer();
    stack::form_calls(1, interpreter::raised.stack, *text, 1000);
    return text_of(*text);
}

TEST_F(Errors, WhereNearAndStack) {
    EXPECT_EQ(fails("f: func [] [1 never-set-8] g: func [] [f] g"), id(ErrorId::script_no_value));
    EXPECT_EQ(formed(interpreter::raised.where), "f");
    Cell near = interpreter::raised.near;
    EXPECT_EQ(near.data1, 1u);  // the second expression of f's body
    EXPECT_EQ(formed(*block::ks_abs_at(near, int32_t(near.data1))), "never-set-8");
    // The call list skips <body> and <anon> frames and names functions only.
    EXPECT_EQ(stack_line(), "g f ");
    // An action's error names the action.
    EXPECT_EQ(fails("f: func [x] [negate x] f none"), id(ErrorId::script_expect_arg));
    EXPECT_EQ(formed(interpreter::raised.where), "negate");
}

// The report of a raised error shows the three lines.
TEST_F(Errors, TheReportShowsWhereNearAndStack) {
    EXPECT_EQ(fails("f: func [] [1 never-set-10 2] g: func [] [f] g"), id(ErrorId::script_no_value));
    std::string report = text_of(*error::report(error_in_flight().value));
    EXPECT_NE(report.find("*** Where: f"), std::string::npos) << report;
    EXPECT_NE(report.find("*** Near : never-set-10 2"), std::string::npos) << report;
    EXPECT_NE(report.find("*** Stack: g f"), std::string::npos) << report;
}

// A library function (system flag) leaves the current-block cell alone: the
// Near of an error inside it shows the caller's code.
TEST_F(Errors, LibraryFunctionsShowTheCallersCode) {
    run("lib: func [] [1 never-set-9]");
    Cell lib = global_value("lib");
    lib.header |= interpreter::FLAG_SYSTEM;
    set_global("lib", lib);
    Cell* code = load("0 lib");
    EXPECT_EQ(error_of([code] { (void)interpreter::eval(*code, false); }), id(ErrorId::script_no_value));
    EXPECT_EQ(interpreter::raised.near.data2, code->data2);
    EXPECT_EQ(interpreter::raised.near.data1, 1u);
    EXPECT_EQ(formed(interpreter::raised.where), "lib");
}

}  // namespace
}  // namespace kel::test
