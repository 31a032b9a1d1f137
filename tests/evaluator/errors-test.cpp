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
    // An error in an operator's right operand names the operator, whether
    // the operator's arithmetic is taken inline or not.
    EXPECT_EQ(fails("x: 1 f: func [] [x + (never-set-14)] f"), id(ErrorId::script_no_value));
    EXPECT_EQ(formed(interpreter::raised.where), "+");
    EXPECT_EQ(fails("x: 1 f: func [] [x + never-set-15] f"), id(ErrorId::script_no_value));
    EXPECT_EQ(formed(interpreter::raised.where), "+");
    // An assignment taken inline opens no frame and leaves none; an error in
    // an assignment's value names its set-word.
    EXPECT_EQ(fails("f: func [] [y: 1 + 2 z: never-set-16] g: func [] [f] g"), id(ErrorId::script_no_value));
    EXPECT_EQ(formed(interpreter::raised.where), "z");
    EXPECT_EQ(stack_line(), "g f ");
    // An action's error names the action.
    EXPECT_EQ(fails("f: func [x] [negate x] f none"), id(ErrorId::script_expect_arg));
    EXPECT_EQ(formed(interpreter::raised.where), "negate");
}

// Blocks whose first expression needs no call are taken without setting
// up their evaluation; the Near of a later error still shows the failing
// expression, in the failing block.
TEST_F(Errors, NearAfterBlocksTakenWhole) {
    struct Case {
        const char* code;
        const char* near;
        const char* where;
    };
    const Case cases[] = {
        {"f: func [] [either true [1] [2] never-set-40] f", "never-set-40", "f"},
        {"f: func [] [x: 1 + 1 never-set-41] f", "never-set-41", "f"},
        {"f: func [] [if true [y: 2] never-set-42] f", "never-set-42", "f"},
        {"f: func [] [loop 2 [z: 3] never-set-43] f", "never-set-43", "f"},
        {"f: func [] [loop 2 [z: 3 never-set-44]] f", "never-set-44", "loop"},
        {"f: func [] [either 1 < 2 [3 never-set-45] [4]] f", "never-set-45", "either"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fails(c.code), id(ErrorId::script_no_value)) << c.code;
        Cell near = interpreter::raised.near;
        EXPECT_EQ(formed(*block::ks_abs_at(near, int32_t(near.data1))), c.near) << c.code;
        EXPECT_EQ(formed(interpreter::raised.where), c.where) << c.code;
    }
}

// The report of a raised error shows the three lines.
TEST_F(Errors, TheReportShowsWhereNearAndStack) {
    EXPECT_EQ(fails("f: func [] [1 never-set-10 2] g: func [] [f] g"), id(ErrorId::script_no_value));
    std::string report = text_of(*error::report(error_in_flight().value));
    EXPECT_NE(report.find("*** Where: f"), std::string::npos) << report;
    EXPECT_NE(report.find("*** Near : never-set-10 2"), std::string::npos) << report;
    EXPECT_NE(report.find("*** Stack: g f"), std::string::npos) << report;
}

// An error inside a paren shows the paren's failing expression as its
// Near, as one inside a block does (it used to show none).
TEST_F(Errors, NearInsideAParen) {
    EXPECT_EQ(fails("f: func [] [1 + (2 never-set-13 3)] f"), id(ErrorId::script_no_value));
    std::string report = text_of(*error::report(error_in_flight().value));
    EXPECT_NE(report.find("*** Near : never-set-13 3\n"), std::string::npos) << report;
    // The right operand is evaluated in the frame the op's call opens.
    EXPECT_NE(report.find("*** Where: +"), std::string::npos) << report;
}

// Near molds the failing expression and what follows within 40
// characters: the value that crosses the budget is the last one shown.
TEST_F(Errors, NearIsCutAfterFortyCharacters) {
    EXPECT_EQ(fails("f: func [] [1 never-set-11 aaaaaaaaaa bbbbbbbbbb cccccccccc dddddddddd eeeeeeeeee] f"),
              id(ErrorId::script_no_value));
    std::string report = text_of(*error::report(error_in_flight().value));
    EXPECT_NE(report.find("*** Near : never-set-11 aaaaaaaaaa bbbbbbbbbb cccccccccc\n"), std::string::npos) << report;
}

// try/keep turns the error's stack height into the names of the calls that
// led to it, read before later calls reuse their records.
TEST_F(Errors, TryKeepCapturesTheCalls) {
    run("f: func [] [never-set-12] g: func [] [f]");
    EXPECT_EQ(formed(error::field(run("try/keep [g]"), error::STACK)), "g f");
    EXPECT_EQ(type_of(error::field(run("try [g]"), error::STACK)), TYPE_INTEGER);
    // The frame of k is named by a word of an object that nothing reaches
    // once the error has left make: its context must outlive the capture.
    Cell e = run("try/keep [make object! [k: func [] [make object! [h: func [] [never-set-13] h]] k]]");
    EXPECT_EQ(formed(error::field(e, error::STACK)), "k h");
}

// Defines a function from its definition text and gives its global word
// the library flag, as the boot library's functions carry it.
void define_library_function(const char* word, const std::string& definition) {
    run(definition.c_str());
    Cell fn = global_value(word);
    fn.header |= interpreter::FLAG_SYSTEM;
    set_global(word, fn);
}

// A library function (system flag) leaves the current-block cell alone: the
// Near of an error inside it shows the caller's code.
// The branches a library function runs (literal blocks taken at the call
// site, blocks given through words, loops) are library code too.
TEST_F(Errors, LibraryFunctionsShowTheCallersCode) {
    const char* bodies[] = {
        "[1 never-set-9]",
        "[if true [never-set-9]]",
        "[either true [never-set-9] [0]]",
        "[either false [0] [never-set-9]]",
        "[b: [never-set-9] either true b [0]]",
        "[b: [never-set-9] if true b]",
        "[unless false [never-set-9]]",
        "[loop 1 [never-set-9]]",
    };
    for (const char* body : bodies) {
        define_library_function("lib", std::string("lib: func [/local b] ") + body);
        Cell* code = load("0 lib");
        EXPECT_EQ(error_of([code] { (void)interpreter::eval(*code, false); }), id(ErrorId::script_no_value)) << body;
        EXPECT_EQ(interpreter::raised.near.data2, code->data2) << body;
        EXPECT_EQ(interpreter::raised.near.data1, 1u) << body;
    }
    define_library_function("lib", "lib: func [] [1 never-set-9]");
    (void)error_of([] { (void)interpreter::eval(*load("0 lib"), false); });
    EXPECT_EQ(formed(interpreter::raised.where), "lib");
    // Called through an op made from it, the function is library code too;
    // the error made inside it keeps that Near.
    define_library_function("lib-pair", "lib-pair: func [a b] [a never-set-9]");
    run("+lib: make op! :lib-pair");
    Cell* code = load("0 1 +lib 2");
    EXPECT_EQ(error_of([code] { (void)interpreter::eval(*code, false); }), id(ErrorId::script_no_value));
    Cell near = error::field(error_in_flight().value, error::NEAR);
    EXPECT_EQ(near.data2, code->data2);
    EXPECT_EQ(near.data1, 1u);
    EXPECT_EQ(formed(interpreter::raised.where), "+lib");
}

// A block the caller hands to a library function is the caller's code, run
// where (do, a branch, a loop) the library runs it: its error shows its own
// Near. The library's own blocks around it stay library code.
TEST_F(Errors, CallersBlocksInLibraryCodeShowTheirOwnNear) {
    const char* bodies[] = {
        "[do b]",
        "[if true [do b]]",
        "[loop 1 [if true b]]",
        "[either false [0] b]",
    };
    for (const char* body : bodies) {
        define_library_function("lib-run", std::string("lib-run: func [b] ") + body);
        Cell* code = load("lib-run [1 never-set-8 2]");
        EXPECT_EQ(error_of([code] { (void)interpreter::eval(*code, false); }), id(ErrorId::script_no_value)) << body;
        EXPECT_EQ(formed(*block::ks_abs_at(interpreter::raised.near, int32_t(interpreter::raised.near.data1))),
                  "never-set-8")
            << body;
        EXPECT_EQ(interpreter::state.interp_frame, stack::FRAME_INTERP) << body;
    }
}

// Messages name an argument by its place among the spec's words,
// refinements counted, so that a refinement's argument is reached too;
// past the last word, or when the call's word holds no callable, <anon>.
TEST_F(Errors, ArgumentWordsCountRefinements) {
    run("arg-words: func [a /r b :c /s 'd] [] not-callable: 1");
    const char* want[] = {"a", "r", "b", "c", "s", "d", "<anon>"};
    {
        stack::OpenFrame frame(global_word("arg-words"), stack::KIND_FUNCTION);
        for (int n = 1; n <= 7; ++n) EXPECT_EQ(formed(stack::call_arg_word(n)), want[n - 1]) << n;
    }
    stack::OpenFrame frame(global_word("not-callable"), stack::KIND_NATIVE);
    EXPECT_EQ(formed(stack::call_arg_word(1)), "<anon>");
}

}  // namespace
}  // namespace kel::test
