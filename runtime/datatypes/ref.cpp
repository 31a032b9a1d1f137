#include "runtime/datatypes/ref.h"

#include "runtime/datatypes/string.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"

namespace kel::ref {

namespace {

int64_t mold(Cell value, Cell target, const MoldOptions& options) {
    Rooted keep_value(value);
    Rooted keep_target(target);
    string::append_char(string::buffer(target), '@');
    return actions::slot_for<ACTION_FORM>(TYPE_STRING)(value, target, options.part, options.limit - 1);
}

}  // namespace

void init() {
    datatype::Record r(TYPE_REF, TYPE_STRING, "ref!");
    r.own<ACTION_MOLD>(mold)
        .inherit_all<ACTION_MAKE, ACTION_REFLECT, ACTION_TO, ACTION_FORM, ACTION_COMPARE, ACTION_AT, ACTION_BACK,
                     ACTION_CHANGE, ACTION_CLEAR, ACTION_COPY, ACTION_FIND, ACTION_HEAD, ACTION_HEAD_Q, ACTION_INDEX_Q,
                     ACTION_INSERT, ACTION_LENGTH_Q, ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE, ACTION_REMOVE,
                     ACTION_REVERSE, ACTION_SELECT, ACTION_SKIP, ACTION_SWAP, ACTION_TAIL, ACTION_TAIL_Q, ACTION_TAKE,
                     ACTION_MODIFY>();
    datatype::register_type(r);
}

}  // namespace kel::ref
