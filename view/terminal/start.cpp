// The backend's start: the colour depth that the library's
// TUI-helpers/check-color-support answers, the print hooks, the terminal's
// size and the dispatch's part in the widgets' services.
#include "runtime/core/fire.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/gui-hooks.h"
#include "view/terminal/dispatch.h"
#include "view/terminal/event-loop.h"
#include "view/terminal/system-view.h"
#include "view/terminal/terminal-modes.h"
#include "view/terminal/tui-helpers.h"

namespace kel::gui {

int32_t check_colour_support() {
    Cell fn = tui_helper("check-color-support");
    Rooted keep(fn);
    Cell depth = interpreter::call_function(fn, nullptr, 0, word::make(symbol::make("check-color-support")));
    return type_of(depth) == TYPE_INTEGER ? int32_t(depth.data2) : 4;
}

void start() {
    static bool started = false;
    if (started) return;
    set_colour_depth(check_colour_support());
    static const Backend hooks{on_before_output, on_after_output, run_events_once};
    install_backend(&hooks);
    started = true;
}

void init() {
    start();
    install_tui_helpers();
    install_dispatch_services();
    measure();
}

}  // namespace kel::gui
