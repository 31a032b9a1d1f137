#include "runtime/evaluator/native-services.h"

#include "runtime/core/fire.h"

namespace kel::natives {

namespace {

[[noreturn]] void not_done() { fire(ErrorId::internal_not_done); }

Services installed{
    [](const Cell&, const Cell&) -> bool { not_done(); },
    [](Cell*, const Cell&, int32_t) { not_done(); },
    [](const Cell&, const Cell&, bool) { not_done(); },
    [](const Cell&) -> bool { not_done(); },
    [](const Cell&, int32_t, const Cell&) { not_done(); },
    [](Cell*, const Cell&, const Cell&) { not_done(); },
    [](const Cell&) { not_done(); },
};

}  // namespace

Services& services() { return installed; }

}  // namespace kel::natives
