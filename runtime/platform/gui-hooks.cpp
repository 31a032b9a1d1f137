#include "runtime/platform/gui-hooks.h"

namespace kel::gui {

namespace {
const Backend* backend = nullptr;
}

const Backend* install_backend(const Backend* b) {
    const Backend* previous = backend;
    backend = b;
    return previous;
}

void before_output() {
    if (backend && backend->before_output) backend->before_output();
}

void after_output() {
    if (backend && backend->after_output) backend->after_output();
}

void do_events_once() {
    if (backend && backend->do_events_once) backend->do_events_once();
}

}  // namespace kel::gui
