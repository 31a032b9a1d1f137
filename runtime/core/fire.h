// fire: the one entry point through which the runtime raises a language error.
#pragma once
#include <initializer_list>

#include "runtime/core/cell.h"
#include "runtime/core/error-ids.h"

namespace kel {

// The error in flight while code thrown::ERROR travels: its identity and up to
// three arguments (absent ones have count below their position).
struct PendingError {
    ErrorId id{};
    int argc = 0;
    Cell args[3]{};
};
extern PendingError pending_error;

// Raises the error and never returns: throws thrown::ERROR to the nearest
// catcher of errors.
[[noreturn]] void fire(ErrorId id, std::initializer_list<Cell> args = {});

// script/bad-make-arg with the type and the value.
[[noreturn]] void fire_bad_make_arg(uint32_t type, const Cell& value);

}  // namespace kel
