#include "runtime/evaluator/fast-ops.h"

#include "runtime/datatypes/float.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/logic.h"

namespace kel::interpreter::fast::detail {

Cell compare_mixed(int32_t op, const Cell& left, const Cell& right) {
    int32_t r = type_of(left) == TYPE_INTEGER ? integer::compare(left, right, op) : float_::compare(left, right, op);
    bool answer;
    switch (op) {
    case COMP_EQUAL: case COMP_STRICT_EQUAL: answer = r == 0; break;
    case COMP_NOT_EQUAL: answer = r != 0; break;
    case COMP_LESSER: answer = r < 0; break;
    case COMP_LESSER_EQUAL: answer = r <= 0; break;
    case COMP_GREATER: answer = r > 0; break;
    default: answer = r >= 0; break;
    }
    return logic::make_cell(answer);
}

}  // namespace kel::interpreter::fast::detail
