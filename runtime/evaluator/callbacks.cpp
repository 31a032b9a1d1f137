#include "runtime/evaluator/callbacks.h"

#include "runtime/core/fire.h"

namespace kel::callbacks {

namespace {
Runner installed = nullptr;
}  // namespace

Runner install(Runner runner) {
    Runner previous = installed;
    installed = runner;
    return previous;
}

Cell call_function(const Cell& fn, std::span<const Cell> args, Callback kind) {
    if (!installed) fire(ErrorId::internal_not_done);
    return installed(fn, args, kind);
}

int32_t comparator_order(const Cell& result) {
    switch (type_of(result)) {
    case TYPE_LOGIC:
        return result.data1 ? 1 : -1;
    case TYPE_INTEGER: {
        // The sign of -n: no negation, so the smallest integer is safe.
        int32_t n = cell_integer(result);
        return (n < 0) - (n > 0);
    }
    case TYPE_FLOAT: {
        double d = cell_double(result);
        return d > 0.0 ? -1 : d < 0.0 ? 1 : 0;  // NaN compares false both ways
    }
    case TYPE_NONE:
        return -1;
    default:
        return 1;
    }
}

}  // namespace kel::callbacks
