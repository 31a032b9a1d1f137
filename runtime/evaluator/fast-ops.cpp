#include "runtime/evaluator/fast-ops.h"

#include "runtime/core/system.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/dispatch.h"

namespace kel::interpreter::fast::detail {

Cell compare_mixed(int32_t op, const Cell& left, const Cell& right) {
    int32_t r = type_of(left) == TYPE_INTEGER ? integer::compare(left, right, op) : float_::compare(left, right, op);
    bool answer;
    switch (op) {
    case COMP_EQUAL:
    case COMP_STRICT_EQUAL:
        answer = r == 0;
        break;
    case COMP_NOT_EQUAL:
        answer = r != 0;
        break;
    case COMP_LESSER:
        answer = r < 0;
        break;
    case COMP_LESSER_EQUAL:
        answer = r <= 0;
        break;
    case COMP_GREATER:
        answer = r > 0;
        break;
    default:
        answer = r >= 0;
        break;
    }
    return logic::make_cell(answer);
}

bool push_inline_infix(const Cell* cells, int32_t tail, const Cell* left, int32_t i, int32_t& index) {
    // The value is computed in its stack cell (pushed now, dropped when the
    // chain gives up): a copy through a temporary stalls on the partial
    // stores the arithmetic makes.
    Cell* value = push_value(*left);
    do {
        const Cell* op = peek(cells[i]);
        if (!op || type_of(*op) != TYPE_OP) break;
        int32_t fast_code = op_code(*op);
        const Cell* right = nullptr;
        if (fast_code >= 0 && is_number(type_of(*value)) && i + 1 < tail) {
            right = cells + i + 1;
            if (type_of(*right) == TYPE_WORD) right = peek(*right);
        }
        if (!right || !compute(fast_code, *value, *right, *value)) {
            stack::state.top = value;
            return false;
        }
        i += 2;
    } while (i < tail && type_of(cells[i]) == TYPE_WORD);
    index = i;
    return true;
}

}  // namespace kel::interpreter::fast::detail

namespace kel::interpreter::fast {

namespace {

// The action's stack form over the operands, in a native frame named by
// `name`; the result is pushed.
Cell* by_action(int action, const Cell& name, std::initializer_list<Cell> operands) {
    Cell* result = stack::state.top;
    stack::OpenFrame frame(name, stack::KIND_NATIVE);
    for (const Cell& c : operands) push_value(c);
    Refinements refinements;
    actions::stack_form(action)(refinements);
    frame.keep();
    return result;
}

// The cells from a block's head to its tail (negative: head past the tail).
int64_t cells_after_head(const Cell& block) { return int64_t(code_tail(cell_node(block))) - int32_t(block.data1); }

}  // namespace

Cell* pick(const Cell& value, int32_t index, const Cell& name) {
    // An index below 1 counts back from the head in the action (-1 is the
    // cell before a moved head): the action answers it.
    if (type_of(value) != TYPE_BLOCK || index < 1)
        return by_action(ACTION_EVAL_PATH, name, {value, make_integer(index)});
    if (index > cells_after_head(value)) return push_value(none_value);
    return push_value(*code_at(cell_node(value), int32_t(value.data1) + index - 1));
}

Cell* series_op(const Cell& value, int32_t op, const Cell& name) {
    static constexpr int ACTIONS[] = {0,           ACTION_LENGTH_Q, ACTION_INDEX_Q, ACTION_HEAD_Q, ACTION_TAIL_Q,
                                      ACTION_NEXT, ACTION_BACK,     ACTION_HEAD,    ACTION_TAIL};
    if (op < LENGTH_Q || op > TAIL) internal_fault();
    if (type_of(value) != TYPE_BLOCK) return by_action(ACTIONS[op], name, {value});
    int64_t n = cells_after_head(value);
    int32_t head = int32_t(value.data1);
    Cell moved = value;
    switch (op) {
    case LENGTH_Q:
        return push_value(make_integer(n < 0 ? 0 : int32_t(n)));
    case INDEX_Q:
        return push_value(make_integer(head + 1));
    case HEAD_Q:
        return push_value(logic::make_cell(head == 0));
    case TAIL_Q:
        return push_value(logic::make_cell(n <= 0));
    case NEXT:
        if (n > 0) moved.data1 = uint32_t(head + 1);
        break;
    case BACK:
        if (head > 0) moved.data1 = uint32_t(head - 1);
        break;
    case HEAD:
        moved.data1 = 0;
        break;
    default:
        moved.data1 = uint32_t(int64_t(head) + n);
        break;
    }
    return push_value(moved);
}

}  // namespace kel::interpreter::fast
