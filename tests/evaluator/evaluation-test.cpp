// Expression and block evaluation: operators left to right, assignments,
// quoted words and paths, and the errors of misplaced values.
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

using Evaluation = Evaluator;

TEST_F(Evaluation, OperatorsAndAssignments) {
    EXPECT_EQ(type_of(run("")), TYPE_UNSET);
    EXPECT_EQ(integer_of(run("1 + 2 * 3")), 9);
    EXPECT_EQ(integer_of(run("1 + 2 + 3")), 6);
    EXPECT_EQ(integer_of(run("a: b: 1 a + b")), 2);
    EXPECT_EQ(integer_of(run("x: 5 y: x * 2 y - x")), 5);
    EXPECT_EQ(integer_of(run("(1 + 1) * (2 + 1)")), 6);
    EXPECT_EQ(integer_of(run("add 1 multiply 2 3")), 7);
    EXPECT_EQ(integer_of(run("1 + add 2 3 * 2")), 9);  // the right operand is add 2 (3 * 2)
    EXPECT_EQ(run("1 < 2").data1, 1u);
}

// Expressions the untraced evaluator takes whole without a call (operands
// that are literals or words holding them, operators computed inline) give
// what the general path gives, also when the chain meets something that
// needs a call or an evaluated operand part-way and starts over.
TEST_F(Evaluation, InlineExpressionsMatchTheGeneralPath) {
    run("ten: func [x] [x * 10] two: 2 half: 0.5 blk: [1 2]");
    struct Case {
        const char* code;
        const char* formed;
    };
    const Case cases[] = {
        {"a: two + 1 * 3 a", "9"},
        {"a: two + 1 * ten 3 a", "90"},  // the last operand is a call
        {"a: two + 1 * (two + 1) a", "9"},  // a paren operand
        {"a: two * half + 1 a", "2.0"},  // mixed integer and float
        {"a: 2147483647 + two a", "2147483649.0"},  // overflow gives a float
        {"a: two < 3 a", "true"},
        {"a: 2 = 2.0 a", "true"},
        {"a: two a: a + a a", "4"},
        {"a: blk a", "1 2"},
        {"a: two b: a + 1 c: b * b c", "9"},
        {"ten two + 1", "30"},  // an argument taken inline
        {"either two < 3 [1] [2]", "1"},
        // Assignments taken inline by a block: chained, to a function's
        // local, to an object's field (through the general path).
        {"a: b: two + 1 a + b", "6"},
        {"g: func [x /local y] [y: x + 1 y * 2] g 4", "10"},
        {"o: make object! [v: two + 1] o/v", "3"},
        {"a: 1 loop 3 [a: a * two] a", "8"},
    };
    for (const Case& c : cases) EXPECT_EQ(formed(run(c.code)), c.formed) << c.code;
    // An operator over a value that is no number is called as its function.
    EXPECT_EQ(fails("a: two + blk"), fails("add two blk"));
    EXPECT_EQ(fails("a: blk + two"), fails("add blk two"));
}

// A lit-word in code gives a word; the code keeps its lit-word, so the same
// block evaluated twice gives the same result. A word holding a lit-word
// gives the lit-word; a lit-path gives a path.
TEST_F(Evaluation, QuotedWordsAndPaths) {
    Cell* code = load("'abc 'a/b");
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(interpreter::eval(*code, false), 0u);
        EXPECT_EQ(type_of(*(stack::state.top - 1)), TYPE_PATH);
        int32_t i = 0;
        ASSERT_EQ(interpreter::eval_expression(*code, i, false, false), 0u);
        EXPECT_EQ(type_of(*(stack::state.top - 1)), TYPE_WORD);
        EXPECT_EQ(type_of(*block::ks_abs_at(*code, 0)), TYPE_LIT_WORD);
        EXPECT_EQ(type_of(*block::ks_abs_at(*code, 1)), TYPE_LIT_PATH);
    }
    Cell lit = global_word("quoted", TYPE_LIT_WORD);
    set_global("holder", lit);
    EXPECT_EQ(type_of(run("holder")), TYPE_LIT_WORD);
    EXPECT_EQ(type_of(run(":holder")), TYPE_LIT_WORD);
}

TEST_F(Evaluation, MisplacedValuesRaise) {
    struct Case {
        const char* code;
        ErrorId error;
    };
    const Case cases[] = {
        {"+ 1 2", ErrorId::script_no_op_arg},           {"x: 1 y:", ErrorId::script_need_value},
        {"never-set-word-1", ErrorId::script_no_value}, {"z: never-set-word-2", ErrorId::script_no_value},
        {"#system [a]", ErrorId::internal_kel_system},  {"#system-global [a]", ErrorId::internal_kel_system},
    };
    for (const Case& c : cases) EXPECT_EQ(fails(c.code), id(c.error)) << c.code;
    // A set-word given unset.
    set_global("nothing", make_unset());
    EXPECT_EQ(fails("q: :nothing"), id(ErrorId::script_need_value));
    // #system without a block after it is an issue like any other.
    EXPECT_EQ(type_of(run("#system 1")), TYPE_INTEGER);
    // An op! value met directly, not through a word.
    Cell* code = load("1");
    *block::ks_abs_at(*code, 0) = global_value("+");
    EXPECT_EQ(error_of([code] { (void)interpreter::eval(*code, false); }), id(ErrorId::internal_not_done));
}

TEST_F(Evaluation, PassiveValuesAreNotCalled) {
    Cell* code = load("1");
    *block::ks_abs_at(*code, 0) = global_value("add");
    int32_t i = 0;
    ASSERT_EQ(interpreter::eval_expression(*code, i, false, true), 0u);
    EXPECT_EQ(type_of(*(stack::state.top - 1)), TYPE_ACTION);
}

}  // namespace
}  // namespace kel::test
