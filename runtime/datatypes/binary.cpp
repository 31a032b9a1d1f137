// binary! registration: its own slots, and those it inherits from string!
// (make, eval-path, find, select, sort, swap, take) and, through string!,
// from series! (positions, access, copy, move, remove, reverse, modify).
// string!'s make hands every spec but a number to binary!'s to.
#include "runtime/datatypes/binary.h"

#include "runtime/datatypes/binary-internal.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/string.h"

namespace kel::binary {

Services& services() {
    static Services s;
    return s;
}

void init() {
    datatype::Record r(TYPE_BINARY, TYPE_STRING, "binary!");
    r.own<ACTION_TO>(to)
        .own<ACTION_FORM>(form)
        .own<ACTION_MOLD>(mold)
        .own<ACTION_COMPARE>(compare)
        .own<ACTION_AND_T>(and_t)
        .own<ACTION_COMPLEMENT>(complement)
        .own<ACTION_OR_T>(or_t)
        .own<ACTION_XOR_T>(xor_t)
        .own<ACTION_APPEND>(append)
        .own<ACTION_CHANGE>(change)
        .own<ACTION_INSERT>(append)
        .own<ACTION_TRIM>(trim)
        .inherit_all<ACTION_MAKE, ACTION_RANDOM, ACTION_REFLECT, ACTION_EVAL_PATH, ACTION_AT, ACTION_BACK, ACTION_CLEAR,
                     ACTION_COPY, ACTION_FIND, ACTION_HEAD, ACTION_HEAD_Q, ACTION_INDEX_Q, ACTION_LENGTH_Q, ACTION_MOVE,
                     ACTION_NEXT, ACTION_PICK, ACTION_POKE, ACTION_REMOVE, ACTION_REVERSE, ACTION_SELECT, ACTION_SORT,
                     ACTION_SKIP, ACTION_SWAP, ACTION_TAIL, ACTION_TAIL_Q, ACTION_TAKE, ACTION_MODIFY>();
    datatype::register_type(r);
    // make binary! of anything but a number converts as to does.
    string::services().binary_to = to;
}

}  // namespace kel::binary
