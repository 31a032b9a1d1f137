#include "environment/boot/object-field.h"

#include "runtime/core/system.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"

namespace kel::library {

Cell* field_slot(const Cell& obj, const char* name) {
    if (type_of(obj) != TYPE_OBJECT) internal_fault();
    int32_t index = object::find_field(obj, symbol::make(name));
    if (index < 0) internal_fault();
    return context::values_of(*context::cell_of(obj.data1)) + index;
}

void set_routine_fields(const Cell& obj_in, std::span<const routines::Entry> entries) {
    Cell obj = obj_in;
    if (type_of(obj) != TYPE_OBJECT) internal_fault();
    Rooted keep(obj);
    for (const routines::Entry& def : entries) {
        Cell* saved = stack::top();
        Cell* r = routines::push(def);
        *field_slot(obj, def.word) = *r;
        stack::pop(uint32_t(stack::top() - saved));
    }
}

}  // namespace kel::library
