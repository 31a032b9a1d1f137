// print and prin through the console, the print buffer shared by nested
// prints, reduce with and without /into, and compose.
#include "tests/natives/natives-fixture.h"

namespace kel::test {
namespace {

using Print = NativesTest;

struct OutputCase {
    const char* code;
    const char* output;
};

void expect_output(std::initializer_list<OutputCase> cases) {
    for (const OutputCase& c : cases) {
        std::string result;
        std::string out = console_output([&] { result = outcome(c.code); });
        EXPECT_EQ(out, c.output) << c.code << " (" << result << ")";
    }
}

TEST_F(Print, Output) {
    expect_output({
        {"print [1 + 2 \"a\"]", "3 a\n"},
        {"prin \"x\"", "x"},
        {"print []", "\n"},
        {"print 42", "42\n"},
        {"print \"caf\u00e9\"", "caf\u00e9\n"},
        {"prin [1] prin [2]", "12"},
        {"print next \"abc\"", "bc\n"},
        // A print inside a printed block writes its line first; the outer
        // values stay intact.
        {"print [1 do [print [2 3] 4] 5]", "2 3\n1 4 5\n"},
        {"print [\"a\" do [print [\"b\" do [print \"c\" \"d\"]] \"e\"] \"f\"]", "c\nb d\na e f\n"},
        // An error while the block is reduced leaves the buffer clean.
        {"try [print [1 never-set-print]] print [7]", "7\n"},
        {"loop 1 [print [1 break 2]] print [8 9]", "8 9\n"},
    });
    EXPECT_EQ(outcome("print 1"), "unset");
}

TEST_F(Print, Reduce) {
    expect_cases({
        {"reduce [1 + 1 2 * 3]", "[2 6]"},
        {"reduce []", "[]"},
        {"x: 5 reduce 'x", "5"},
        {"reduce 7", "7"},
        {"f: does [1] g: reduce :f :g = :f", "true"},
        // New-line markers do not survive.
        {"reduce [\n1\n2\n]", "[1 2]"},
        // /into at the tail appends and answers the position of the first
        // added value; at another position inserts and answers the position
        // after them.
        {"b: [9] reduce/into [1 2] tail b", "[1 2]"},
        {"b: [9] reduce/into [1 2] tail b b", "[9 1 2]"},
        {"b: [9] reduce/into [1 2] b", "[9]"},
        {"b: [9] reduce/into [1 2] b b", "[1 2 9]"},
        {"b: [9] reduce/into 3 b b", "[3 9]"},
        {"b: copy [] reduce/into [1 + 1] b", "[2]"},
        // Into itself: the block is read as it was when the call began.
        {"b: [1 2] reduce/into b b b", "[1 2 1 2]"},
        {"b: [1 2] reduce/into next b b b", "[2 1 2]"},
        {"b: [1 2] reduce/into b tail b b", "[1 2 1 2]"},
        {"b: append/dup copy [] 1 100 reduce/into b tail b length? b", "200"},
        {"reduce [1 never-set-reduce]", "error script/no-value"},
        {"loop 2 [reduce [1 break/return 5]]", "5"},
    });
}

// reduce takes an expression that needs no call (a value, a word holding
// one, operators on numbers) without entering the expression evaluator: the
// values are the actions' (each row against the same operation called as a
// function), and anything else still goes through the evaluator.
TEST_F(Print, ReduceInlineExpressionsMatchTheActions) {
    outcome("rx: 2147483647 ry: 0.5 rb: [1 2]");
    const Case same[] = {
        {"reduce [rx + 1 rx * 2 rx - -1 ry + 1 rx < 3 1 = 1.0 rx]",
         "reduce [add rx 1 multiply rx 2 subtract rx -1 add ry 1 lesser? rx 3 equal? 1 1.0 rx]"},
        {"reduce [1 + 2 * 3 rb ry * ry + 1]", "reduce [multiply add 1 2 3 rb add multiply ry ry 1]"},
        // The chain gives up at an operand to evaluate or a call.
        {"reduce [1 + (2 * 3) 1 + negate 2 1 + length? rb]", "reduce [add 1 6 add 1 -2 add 1 2]"},
        // An operator over a value that is no number is called as its
        // function, error and all.
        {"reduce [1 + rb]", "add 1 rb"},
        {"reduce [rb + 1]", "add rb 1"},
    };
    for (const Case& c : same) EXPECT_EQ(outcome(c.code), outcome(c.expected)) << c.code;
    EXPECT_EQ(outcome("reduce [rx + 1 ry < 1 1 + 1 * 2]"), "[2147483648.0 true 4]");
    // A redefined operator is seen by the next reduce of the same block.
    EXPECT_EQ(
        outcome("code: [2 + 3] plus: :+ a: reduce code +: make op! :multiply b: reduce code +: :plus reduce [a b]"),
        outcome("[[5] [6]]"));
}

TEST_F(Print, Compose) {
    expect_cases({
        {"compose [a (1 + 1) ([b c]) ([]) (unset 'zz)]", "[a 2 b c]"},
        {"compose/only [a (1 + 1) ([b c]) ([]) (unset 'zz)]", "[a 2 [b c] []]"},
        {"compose [[(1)] ()]", "[[(1)]]"},
        {"compose/deep [[(1)] ((2))]", "[[1] 2]"},
        {"compose/deep/only [[([1])]]", "[[[1]]]"},
        {"b: [x] compose/into [(1) 2] tail b", "[1 2]"},
        {"b: [x] compose/into [(1) 2] tail b b", "[x 1 2]"},
        {"b: [x] compose/into [(1) 2] b", "[x]"},
        {"b: [x] compose/into [(1) 2] b b", "[1 2 x]"},
        {"b: [x (1)] compose/into b b b", "[x 1 x (1)]"},
        {"b: [x (1)] compose/into b tail b b", "[x (1) x 1]"},
        {"compose 5", "error script/expect-arg"},
        {"compose [(never-set-compose)]", "error script/no-value"},
        {"loop 2 [compose [(break/return 6)]]", "6"},
    });
}

}  // namespace
}  // namespace kel::test
