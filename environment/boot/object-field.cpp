#include "environment/boot/object-field.h"

#include "runtime/core/system.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/symbol.h"

namespace kel::library {

Cell* field_slot(const Cell& obj, const char* name) {
    if (type_of(obj) != TYPE_OBJECT) internal_fault();
    int32_t index = object::find_field(obj, symbol::make(name));
    if (index < 0) internal_fault();
    return context::values_of(*context::cell_of(obj.data1)) + index;
}

}  // namespace kel::library
