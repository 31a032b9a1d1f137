// The type check the platform services run on values handed to them (the
// image! layer among them): the value passes when it is of the type, else
// script/invalid-arg is raised with the value.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/fire.h"

namespace kel::platform {

inline void check_type(const Cell& value, uint32_t type) {
    if (type_of(value) != type) fire(ErrorId::script_invalid_arg, {value});
}

}  // namespace kel::platform
