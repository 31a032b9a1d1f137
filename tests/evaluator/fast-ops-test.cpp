// The interpreter's inline arithmetic gives exactly what the actions give:
// the same type and the same bits, over integers and floats at their edges.
#include <cmath>
#include <limits>

#include "runtime/datatypes/float.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/dispatch.h"
#include "runtime/evaluator/fast-ops.h"
#include "tests/evaluator/evaluator-fixture.h"

namespace kel::test {
namespace {

using FastOps = Evaluator;

std::vector<Cell> edge_values() {
    std::vector<Cell> v;
    for (int32_t i : {0, 1, -1, 2, 7, 65535, 65536, -65536, 46341, INT32_MAX, INT32_MIN, INT32_MAX - 1, INT32_MIN + 1})
        v.push_back(make_integer(i));
    const double inf = std::numeric_limits<double>::infinity();
    for (double d : {0.0, -0.0, 1.0, -1.5, 0.1, 0.30000000000000004, 2147483647.0, 2147483648.0, -2147483649.0, 1e308,
                     -1e308, 5e-324, inf, -inf, std::nan("")})
        v.push_back(float_::make_cell(d));
    return v;
}

// What the action (math) or the comparison layer (comparisons) answers.
Cell by_action(int32_t code, const Cell& a, const Cell& b) {
    Frame f({a, b});
    if (code >= interpreter::fast::COMPARE_BASE) {
        actions::compare_to_logic(code - interpreter::fast::COMPARE_BASE);
    } else {
        const int action = code == MATH_ADD ? ACTION_ADD : code == MATH_SUBTRACT ? ACTION_SUBTRACT : ACTION_MULTIPLY;
        int32_t none[1] = {-1};
        actions::stack_form(action)(none);
    }
    return f[0];
}

TEST_F(FastOps, SameTypeAndBitsAsTheActions) {
    std::vector<Cell> values = edge_values();
    const int32_t codes[] = {MATH_ADD,
                             MATH_SUBTRACT,
                             MATH_MULTIPLY,
                             interpreter::fast::COMPARE_BASE + COMP_EQUAL,
                             interpreter::fast::COMPARE_BASE + COMP_NOT_EQUAL,
                             interpreter::fast::COMPARE_BASE + COMP_STRICT_EQUAL,
                             interpreter::fast::COMPARE_BASE + COMP_LESSER,
                             interpreter::fast::COMPARE_BASE + COMP_LESSER_EQUAL,
                             interpreter::fast::COMPARE_BASE + COMP_GREATER,
                             interpreter::fast::COMPARE_BASE + COMP_GREATER_EQUAL};
    for (int32_t code : codes)
        for (const Cell& a : values)
            for (const Cell& b : values) {
                Cell fast;
                ASSERT_TRUE(interpreter::fast::compute(code, a, b, fast));
                Cell slow = by_action(code, a, b);
                EXPECT_EQ(fast.header, slow.header) << code << " " << formed(a) << " " << formed(b);
                EXPECT_EQ(fast.data1, slow.data1) << code << " " << formed(a) << " " << formed(b);
                EXPECT_EQ(fast.data2, slow.data2) << code << " " << formed(a) << " " << formed(b);
                EXPECT_EQ(fast.data3, slow.data3) << code << " " << formed(a) << " " << formed(b);
            }
}

// pick and the series moves give the actions' results, inline for blocks
// (every head, past the tail included) and through the actions otherwise.
TEST_F(FastOps, PickAndSeriesOpsAsTheActions) {
    Cell* blk = stack::push(run("[10 20 30]"));
    Cell* text = stack::push(run("{abc}"));
    std::vector<Cell> values;
    for (uint32_t head : {0u, 1u, 3u, 5u}) {
        Cell b = *blk;
        b.data1 = head;
        values.push_back(b);
    }
    values.push_back(*text);
    Cell name = word::make(symbol::make("fast-op"));
    auto same = [](const Cell& a, const Cell& b) {
        return a.header == b.header && a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3;
    };
    for (const Cell& v : values) {
        for (int32_t index : {-1, 0, 1, 2, 3, 4}) {
            Cell fast = *interpreter::fast::pick(v, index, name);
            Frame f({v, make_integer(index)});
            actions::stack_form(ACTION_EVAL_PATH)(nullptr);
            EXPECT_TRUE(same(fast, f[0])) << formed(v) << " head " << v.data1 << " pick " << index;
        }
        const int actions_of[] = {0,           ACTION_LENGTH_Q, ACTION_INDEX_Q, ACTION_HEAD_Q, ACTION_TAIL_Q,
                                  ACTION_NEXT, ACTION_BACK,     ACTION_HEAD,    ACTION_TAIL};
        for (int32_t op = interpreter::fast::LENGTH_Q; op <= interpreter::fast::TAIL; ++op) {
            Cell fast = *interpreter::fast::series_op(v, op, name);
            Frame f({v});
            int32_t none[1] = {-1};
            actions::stack_form(actions_of[op])(none);
            EXPECT_TRUE(same(fast, f[0]))
                << formed(v) << " head " << v.data1 << " op " << op << ": " << molded(fast) << " vs " << molded(f[0]);
        }
    }
}

// Keyed on the op's wrapped index: an op over another function is not
// taken inline, and operands of other types fall back.
TEST_F(FastOps, OnlyTheKnownOpsOnNumbers) {
    EXPECT_GE(interpreter::fast::op_code(global_value("+")), 0);
    EXPECT_GE(interpreter::fast::op_code(global_value("<=")), interpreter::fast::COMPARE_BASE);
    Cell out;
    EXPECT_FALSE(interpreter::fast::compute(MATH_ADD, make_integer(1), make_none(), out));
    EXPECT_LT(interpreter::fast::op_code(Cell{TYPE_OP | (TYPE_ACTION << 16), ACTION_DIVIDE, 0, 0}), 0);
    EXPECT_LT(interpreter::fast::op_code(Cell{TYPE_OP | (TYPE_FUNCTION << 16), ACTION_ADD, 0, 0}), 0);
}

TEST_F(FastOps, ARedefinedPlusGetsItsOwnFunction) {
    run("plus-fn: func [a b] [add a * 100 b]");
    Cell* saved = stack::state.top;
    Cell* fn = stack::push(global_value("plus-fn"));
    Cell proto = datatype::make(TYPE_OP);
    Cell* op = stack::push(make_none());
    actions::make(op, &proto, fn);
    Cell old_plus = global_value("+");
    set_global("+", *op);
    stack::state.top = saved;
    Cell r = run("1 + 2");
    set_global("+", old_plus);
    EXPECT_EQ(integer_of(r), 102);
    EXPECT_EQ(integer_of(run("1 + 2")), 3);
}

TEST_F(FastOps, TheSummingLoopPassesTwoToTheThirtyOneOnFloats) {
    Cell r = run("s: 0 i: 0 while [i < 65537] [s: s + i i: i + 1] s");
    ASSERT_EQ(type_of(r), TYPE_FLOAT);
    EXPECT_EQ(cell_double(r), 65536.0 * 65537.0 / 2.0);
    EXPECT_EQ(type_of(run("s: 0 repeat i 65535 [s: s + i] s")), TYPE_INTEGER);
}

}  // namespace
}  // namespace kel::test
