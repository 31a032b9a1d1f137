#include "runtime/datatypes/scalar-path.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/ownership.h"
#include "runtime/memory/roots.h"

namespace kel::scalar_path {

namespace {
ObjectChange object_change = nullptr;
}  // namespace

int32_t field_of(const Cell& word, std::initializer_list<words::Sym> names) {
    if (!word::is_any_word(type_of(word))) return 0;
    int32_t position = 1;
    for (words::Sym name : names) {
        if (words::is(word::symbol_of(word), name)) return position;
        ++position;
    }
    return 0;
}

ObjectChange install_object_change(ObjectChange handler) {
    ObjectChange previous = object_change;
    object_change = handler;
    return previous;
}

void tell_owner(const PathStep& step, const Cell& old_value, const Cell& new_value, const Cell& part, int32_t index) {
    if (!step.grand_parent) return;
    Cell owner = *step.grand_parent;
    if (type_of(owner) == TYPE_OBJECT) {
        if (!step.event) return;
        if (!object_change) fire(ErrorId::internal_not_done);
        Cell field = step.previous ? *step.previous : none_value;
        Cell before = old_value, after = new_value;
        Rooted keep_owner(owner), keep_field(field), keep_before(before), keep_after(after);
        object_change(owner, field, before, after);
        return;
    }
    Cell set = part;
    ownership::check(owner, words::word(words::Word::set_path), &set, index, 1);
}

}  // namespace kel::scalar_path
