#include "runtime/evaluator/system-fields.h"

#include "runtime/datatypes/context.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/runtime-words.h"
#include "runtime/datatypes/word.h"

namespace kel::system_fields {

Cell get(std::initializer_list<int32_t> path) {
    Cell value = *context::get(word::make(words::symbol(words::Sym::system)));
    for (int32_t name : path) {
        if (type_of(value) != TYPE_OBJECT || object::find_field(value, name) < 0) return none_value;
        value = object::field_value(value, name);
    }
    return value;
}

}  // namespace kel::system_fields
