#include "view/terminal/tui-helpers.h"

#include "environment/boot/object-field.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/core/types.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "view/terminal/view-lifecycle.h"

namespace kel::gui {

namespace {

using routines::Arg;
using routines::Result;

Result focused_q(const Arg* a, int32_t) { return {has_focus(face_handle(*a[0].cell)) ? 1 : 0}; }

Result widget_data_of(const Arg* a, int32_t) { return {widget_data(face_handle(*a[0].cell))}; }

Result set_face_ui(const Arg* a, int32_t) {
    set_widget_ui(face_handle(*a[0].cell), cell_node(*a[1].cell));
    Cell* out = stack::state.arguments;
    *out = make_none();
    return {};
}

const routines::Entry ENTRIES[] = {
    {"focused?", R"~(face [object!] return: [logic!])~", TYPE_LOGIC, focused_q},
    {"widget-data", R"~(face [object!] return: [integer!])~", TYPE_INTEGER, widget_data_of},
    {"set-face-ui", R"~(face [object!] ui [string!])~", -1, set_face_ui},
};

}  // namespace

std::span<const routines::Entry> tui_helper_routines() { return ENTRIES; }

void install_tui_helpers() {
    library::set_routine_fields(*context::get(word::make(symbol::make("TUI-helpers"))), ENTRIES);
}

}  // namespace kel::gui
