#include "runtime/datatypes/tag.h"

#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/memory/roots.h"

namespace kel::tag {

// "<", the text, ">"; the budget loses the text's length and 2.
static int64_t form(Cell value, Cell target, bool part, int64_t limit) {
    Rooted keep_value(value);
    Rooted keep_target(target);
    int64_t length = string::span_from_head(value).count;
    int64_t room = part ? limit : INT64_MAX;
    if (room > 0) string::append_char(string::buffer(target), '<');
    if (room > 1) string::copy_into(target, value, room - 1 > length ? -1 : int32_t(room - 1), true);
    if (room > length + 1) string::append_char(string::buffer(target), '>');
    return limit - (length + 2);
}

static int64_t mold(Cell value, Cell target, const MoldOptions& options) {
    return form(value, target, options.part, options.limit);
}

void init() {
    datatype::Record r(TYPE_TAG, TYPE_STRING, "tag!");
    r.own<ACTION_FORM>(form)
        .own<ACTION_MOLD>(mold)
        .inherit_all<ACTION_MAKE, ACTION_REFLECT, ACTION_TO, ACTION_EVAL_PATH, ACTION_COMPARE, ACTION_APPEND, ACTION_AT,
                     ACTION_BACK, ACTION_CHANGE, ACTION_CLEAR, ACTION_COPY, ACTION_FIND, ACTION_HEAD, ACTION_HEAD_Q,
                     ACTION_INDEX_Q, ACTION_INSERT, ACTION_LENGTH_Q, ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE,
                     ACTION_REMOVE, ACTION_REVERSE, ACTION_SELECT, ACTION_SKIP, ACTION_SWAP, ACTION_TAIL, ACTION_TAIL_Q,
                     ACTION_TAKE, ACTION_MODIFY>();
    datatype::register_type(r);
}

}  // namespace kel::tag
