#include "view/terminal/system-view.h"

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "view/terminal/face-fields.h"

namespace kel::gui {

namespace {

Cell field_of(const Cell& obj, const char* name) {
    if (type_of(obj) != TYPE_OBJECT) return make_none();
    int32_t index = object::find_field(obj, symbol::make(name));
    if (index < 0) return make_none();
    return context::values_of(*context::cell_of(obj.data1))[index];
}

}  // namespace

Cell system_view_field(const char* name) {
    Cell system = *context::get(word::make(symbol::make("system")));
    return field_of(field_of(system, "view"), name);
}

Cell tui_helper(const char* name) {
    Cell helpers = *context::get(word::make(symbol::make("TUI-helpers")));
    if (type_of(helpers) != TYPE_OBJECT) fire(ErrorId::internal_not_done);
    return field_of(helpers, name);
}

Cell platform_field(const char* name) { return field_of(system_view_field("platform"), name); }

bool platform_mouse_event() {
    Cell flag = platform_field("mouse-event?");
    return type_of(flag) == TYPE_LOGIC && flag.data1 != 0;
}

void set_screen_size(ScreenSize size) {
    Cell screens = system_view_field("screens");
    if (type_of(screens) != TYPE_BLOCK || block::ks_length(screens) < 1) return;
    Cell screen = *block::ks_abs_at(screens, int32_t(screens.data1));
    if (Cell* slot = facet_slot(screen, Facet::size)) *slot = pair::make_cell(size.columns, size.rows);
}

}  // namespace kel::gui
