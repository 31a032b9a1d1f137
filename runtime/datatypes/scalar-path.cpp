#include "runtime/datatypes/scalar-path.h"

#include "runtime/datatypes/object.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/ownership.h"

namespace kel::scalar_path {

int32_t field_of(const Cell& word, std::initializer_list<words::Sym> names) {
    if (!word::is_any_word(type_of(word))) return 0;
    int32_t position = 1;
    for (words::Sym name : names) {
        if (words::is(word::symbol_of(word), name)) return position;
        ++position;
    }
    return 0;
}

void tell_owner(const PathStep& step, const Cell& old_value, const Cell& new_value, const Cell& part, int32_t index) {
    if (!step.grand_parent) return;
    Cell owner = *step.grand_parent;
    if (type_of(owner) == TYPE_OBJECT) {
        if (step.event && step.previous) object::fire_on_change(owner, *step.previous, old_value, new_value);
        return;
    }
    Cell set = part;
    ownership::check(owner, words::word(words::Word::set_path), &set, index, 1);
}

}  // namespace kel::scalar_path
