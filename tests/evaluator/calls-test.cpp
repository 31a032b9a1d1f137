// Calls: argument fetching by kind, type checks, refinements from paths,
// unused refinement arguments, locals, and the errors of each.
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

using Calls = Evaluator;

// The arguments of the error in flight, formed.
std::string error_arg(int i) { return formed(error_in_flight().args[i]); }

TEST_F(Calls, MissingAndMistypedArguments) {
    EXPECT_EQ(fails("f: func [a b] [a] f 1"), id(ErrorId::script_no_arg));
    EXPECT_EQ(error_arg(0), "f");
    EXPECT_EQ(error_arg(1), "b");
    EXPECT_EQ(fails("f: func [a [integer!]] [a] f 1.5"), id(ErrorId::script_expect_arg));
    EXPECT_EQ(error_arg(0), "f");
    EXPECT_EQ(datatype::type_of_value(error_in_flight().args[1]), TYPE_FLOAT);
    EXPECT_EQ(error_arg(2), "a");
    EXPECT_EQ(fails("if 1 2"), id(ErrorId::script_expect_arg));
    EXPECT_EQ(error_arg(0), "if");
    EXPECT_EQ(error_arg(2), "then-blk");
    // A quoted argument that allows unset gets unset at the end of the code.
    EXPECT_EQ(type_of(run("f: func ['a [any-type!]] [:a] f")), TYPE_UNSET);
    EXPECT_EQ(fails("f: func ['a] [:a] f"), id(ErrorId::script_no_arg));
}

TEST_F(Calls, ArgumentKinds) {
    // A get-word argument takes the cell as it is; a lit-word argument
    // quotes words but evaluates parens and get-words.
    EXPECT_EQ(type_of(run("f: func [:a] [:a] f (1 + 2)")), TYPE_PAREN);
    EXPECT_EQ(type_of(run("f: func ['a] [:a] f word")), TYPE_WORD);
    EXPECT_EQ(integer_of(run("f: func ['a] [:a] f (1 + 2)")), 3);
    EXPECT_EQ(integer_of(run("v: 4 f: func ['a] [:a] f :v")), 4);
}

TEST_F(Calls, RefinementsThroughPaths) {
    const char* f = "f: func [a /twice b /thrice c] [either twice [a + b] [either thrice [a * c] [a]]] ";
    auto with_f = [f](const char* rest) { return std::string(f) + rest; };
    EXPECT_EQ(integer_of(run(with_f("f/twice 1 2").c_str())), 3);
    EXPECT_EQ(integer_of(run(with_f("f/thrice 2 5").c_str())), 10);
    // A get-word element names the refinement and gives its truth; given
    // false, its argument is still evaluated, and dropped.
    const char* g = "g: func [a /t b] [either t [a + b] [a]] ";
    EXPECT_EQ(integer_of(run((std::string(g) + "t: true g/:t 1 2").c_str())), 3);
    EXPECT_EQ(integer_of(run((std::string(g) + "n: 0 t: false r: g/:t 1 (n: 9) r + n").c_str())), 10);
    EXPECT_EQ(type_of(run("g: func [a /r b] [b] g 1")), TYPE_NONE);
    EXPECT_EQ(fails(with_f("f/twice/twice 1 2 3").c_str()), id(ErrorId::script_dup_refine));
    EXPECT_EQ(fails(with_f("f/nope 1").c_str()), id(ErrorId::script_no_refine));
    EXPECT_EQ(error_arg(0), "f");
    EXPECT_EQ(error_arg(1), "nope");
    EXPECT_EQ(fails(with_f("f/1 1").c_str()), id(ErrorId::script_bad_refine));
    // Natives and actions get refinement indexes.
    EXPECT_EQ(integer_of(run("loop 2 [break/return 3]")), 3);
    EXPECT_EQ(fails("loop 1 [break/return/return 3 4]"), id(ErrorId::script_dup_refine));
    EXPECT_EQ(fails("try/nope [1]"), id(ErrorId::script_no_refine));
    // An action made with a spec naming fewer refinements than its slot
    // reads: every refinement it does not name arrives as unused, through
    // the general call path and the plain one alike.
    EXPECT_EQ(formed(run("f: make action! [[series value] 31] f [1 2 3] 2")), "2 3");
    EXPECT_EQ(formed(run("f: make action! [[series value /part n] 31] f/part [1 2 3] 3 2")), "none");
    EXPECT_EQ(formed(run("f: make action! [[series value /part n] 31] f/part [1 2 3] 2 2")), "2 3");
}

// A callee whose spec has refinements, called without any: its first call
// builds the arity cache through the general call path, the later ones take
// the plain path. Both give the same values (false and none for a
// function's unused refinements, -1 indexes for a native's) and the same
// errors naming the same argument.
TEST_F(Calls, UnusedRefinementsOnThePlainPathAsOnTheGeneralOne) {
    struct Case {
        const char* define;
        const char* call;
        const char* formed;
    };
    const Case cases[] = {
        {"g: func [a /r b /s] [x: make block! 4 append x a append x r append x b append x s x]", "g 1",
         "1 false none false"},
        {"g: func [a /r b /local c] [c: a * 2 x: make block! 4 append x r append x b append x c x]", "g 4",
         "false none 8"},
        {"g: func ['a /r] [x: make block! 2 append x :a append x r x]", "g word", "word false"},
        {"g: func [a b /r c] [a - b]", "g 7 2", "5"},
        {"g: make action! [[series value /part n] 31]", "g [1 2 3] 2", "2 3"},
        {"g: :append", "g make block! 1 [2 3]", "2 3"},
    };
    for (const Case& c : cases) {
        run(c.define);
        std::string code = std::string("equal? (") + c.call + ") (" + c.call + ")";
        EXPECT_EQ(formed(run(code.c_str())), "true") << c.define << " " << c.call;
        EXPECT_EQ(formed(run(c.call)), c.formed) << c.define << " " << c.call;
    }
    struct Failing {
        const char* define;
        const char* call;
        ErrorId error;
        int argument;  // the error's argument that names the spec word
        const char* word;
    };
    const Failing failing[] = {
        {"g: func [a [integer!] /r b] [a]", "g \"x\"", ErrorId::script_expect_arg, 2, "a"},
        {"g: func [a b [integer!] /r c] [a]", "g 1 \"x\"", ErrorId::script_expect_arg, 2, "b"},
        {"g: func [a b /r c] [a]", "g 1", ErrorId::script_no_arg, 1, "b"},
    };
    for (const Failing& f : failing) {
        run(f.define);
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(fails(f.call), id(f.error)) << f.define << " round " << round;
            EXPECT_EQ(error_arg(0), "g");
            EXPECT_EQ(error_arg(f.argument), f.word) << f.define;
        }
    }
}

TEST_F(Calls, RecursionSeesItsOwnArguments) {
    EXPECT_EQ(integer_of(run("fib: func [n] [either n < 2 [n] [(fib n - 1) + (fib n - 2)]] fib 15")), 610);
    EXPECT_EQ(integer_of(run("f: func [n /local m] [m: n * 2 if n > 0 [f n - 1] m] f 5")), 10);
}

}  // namespace
}  // namespace kel::test
