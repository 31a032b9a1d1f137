#include "runtime/datatypes/email.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/string-span.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/actions.h"
#include "runtime/memory/roots.h"

namespace kel::email {

namespace {

enum class Part { none, user, host };

// `user` or `host`, in any case.
Part part_named(const Cell& word) {
    uint32_t n = 0;
    const uint8_t* p = symbol::spelling(int32_t(word.data2), &n);
    auto is = [&](const char* name) {
        for (uint32_t i = 0; i < 4; ++i)
            if (i >= n || (p[i] | 0x20) != uint8_t(name[i])) return false;
        return n == 4;
    };
    return is("user") ? Part::user : is("host") ? Part::host : Part::none;
}

// The text as it is, as form writes it.
int64_t mold(Cell value, Cell target, const MoldOptions& options) {
    return actions::slot_for<ACTION_FORM>(TYPE_STRING)(value, target, options.part, options.limit);
}

}  // namespace

// An integer! element picks and pokes as for a string!; `user` and `host`
// read or change the text before or after the first "@".
static void eval_path(Cell* out, Cell* parent, Cell* element, Cell* value, const PathStep& step) {
    if (type_of(*element) == TYPE_INTEGER) {
        actions::slot_for<ACTION_EVAL_PATH>(TYPE_STRING)(out, parent, element, value, step);
        return;
    }
    Part part = type_of(*element) == TYPE_WORD ? part_named(*element) : Part::none;
    if (part == Part::none) fire(ErrorId::script_invalid_path, {step.path ? *step.path : make_none(), *element});
    Cell mail = *parent;
    Rooted keep(mail);
    string::Span s = string::span_from_head(mail);
    int64_t at = 0;
    while (at < s.count && s.at(at) != '@') ++at;
    int64_t head = int64_t(s.p - string::buffer(mail)->head_ptr()) / s.unit;
    int64_t start = part == Part::user ? 0 : (at < s.count ? at + 1 : s.count);
    int64_t length = part == Part::user ? at : s.count - start;
    Cell piece = mail;
    piece.data1 = uint32_t(int32_t(head + start));
    if (value) {
        Cell v = *value;
        Rooted keep_value(v);
        AppendOptions o;
        o.part = int32_t(length);
        Cell ignored = make_none();
        Rooted keep_ignored(ignored);
        actions::slot_for<ACTION_CHANGE>(TYPE_STRING)(&ignored, &piece, &v, o);
        *out = v;
        return;
    }
    Cell text{};
    string::ks_make_at(text, int32_t(length));
    Rooted keep_text(text);
    string::copy_into(text, piece, int32_t(length), true);
    *out = text;
}

void init() {
    datatype::Record r(TYPE_EMAIL, TYPE_STRING, "email!");
    r.own<ACTION_EVAL_PATH>(eval_path)
        .own<ACTION_MOLD>(mold)
        .inherit_all<ACTION_MAKE, ACTION_REFLECT, ACTION_TO, ACTION_FORM, ACTION_COMPARE, ACTION_APPEND, ACTION_AT,
                     ACTION_BACK, ACTION_CHANGE, ACTION_CLEAR, ACTION_COPY, ACTION_FIND, ACTION_HEAD, ACTION_HEAD_Q,
                     ACTION_INDEX_Q, ACTION_INSERT, ACTION_LENGTH_Q, ACTION_MOVE, ACTION_NEXT, ACTION_PICK, ACTION_POKE,
                     ACTION_REMOVE, ACTION_REVERSE, ACTION_SELECT, ACTION_SKIP, ACTION_SWAP, ACTION_TAIL, ACTION_TAIL_Q,
                     ACTION_TAKE, ACTION_MODIFY>();
    datatype::register_type(r);
}

}  // namespace kel::email
