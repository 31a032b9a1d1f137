#include "runtime/core/fire.h"

#include "runtime/core/system.h"

namespace kel {

PendingError pending_error;

void fire(ErrorId id, std::initializer_list<Cell> args) {
    pending_error = PendingError{};
    pending_error.id = id;
    for (const Cell& a : args) {
        if (pending_error.argc == 3) break;
        pending_error.args[pending_error.argc++] = a;
    }
    system_throw(thrown::ERROR);
    __builtin_unreachable();
}

void fire_bad_make_arg(uint32_t type, const Cell& value) {
    fire(ErrorId::script_bad_make_arg, {Cell{TYPE_DATATYPE, type, 0, 0}, value});
}

}  // namespace kel
