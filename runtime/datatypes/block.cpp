// block! registration, the services of later modules, and the helpers the
// block! action files share.
#include "runtime/datatypes/block-internal.h"
#include "runtime/evaluator/actions.h"

namespace kel::block {

namespace {

// The copy action as copy_nested calls it.
void copy_value(Cell* value, bool deep, const Cell& kind) {
    CopyOptions options;
    options.deep = deep;
    options.types = deep ? &kind : nullptr;
    actions::copy(value, value, options);
}

}  // namespace

Services& services() {
    static Services s;
    return s;
}

void init() {
    datatype::Record r(TYPE_BLOCK, TYPE_SERIES, "block!");
    r.own<ACTION_MAKE>(make)
        .own<ACTION_TO>(to)
        .own<ACTION_FORM>(form)
        .own<ACTION_MOLD>(mold)
        .own<ACTION_EVAL_PATH>(eval_path)
        .own<ACTION_COMPARE>(compare)
        .own<ACTION_APPEND>(append)
        .own<ACTION_CHANGE>(change)
        .own<ACTION_COPY>(copy)
        .own<ACTION_FIND>(find)
        .own<ACTION_INSERT>(append)
        .own<ACTION_PUT>(put)
        .own<ACTION_SELECT>(select)
        .own<ACTION_SORT>(sort)
        .own<ACTION_SWAP>(swap)
        .own<ACTION_TAKE>(take)
        .own<ACTION_TRIM>(trim)
        .inherit_all<ACTION_RANDOM, ACTION_REFLECT, ACTION_AT, ACTION_BACK, ACTION_CLEAR, ACTION_HEAD, ACTION_HEAD_Q,
                     ACTION_INDEX_Q, ACTION_LENGTH_Q, ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE, ACTION_REMOVE,
                     ACTION_REVERSE, ACTION_SKIP, ACTION_TAIL, ACTION_TAIL_Q, ACTION_MODIFY>();
    datatype::register_type(r);
    set_copy_action(copy_value);
}

}  // namespace kel::block
