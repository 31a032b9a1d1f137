#include "view/terminal/view-lifecycle.h"

#include <algorithm>

#include "runtime/core/types.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory/roots.h"
#include "view/terminal/draw.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/render.h"
#include "view/terminal/screen.h"
#include "view/terminal/widget-kinds.h"
#include "view/terminal/widget-services.h"

namespace kel::gui {

namespace {

bool is_true(const Cell& v) { return type_of(v) == TYPE_LOGIC && v.data1 != 0; }

// A pair or point2D as two floats; false for anything else.
bool planar(const Cell& v, float& x, float& y) {
    if (type_of(v) == TYPE_PAIR) {
        x = float(pair::x_of(v));
        y = float(pair::y_of(v));
        return true;
    }
    if (type_of(v) == TYPE_POINT2D) {
        x = point::axis(v, 0);
        y = point::axis(v, 1);
        return true;
    }
    return false;
}

uint32_t widget_flags_of(uint32_t face_flags) {
    uint32_t flags = 0;
    if (face_flags & FACE_ALL_OVER) flags |= WIDGET_ALL_OVER;
    if (face_flags & FACE_PASSWORD) flags |= WIDGET_PASSWORD;
    if (face_flags & FACE_FOCUSABLE) flags |= WIDGET_FOCUSABLE;
    if (face_flags & FACE_FULLSCREEN) flags |= WIDGET_FULL_SCREEN;
    return flags;
}

// The face's state block, or null.
Cell* state_block(const Cell& face) {
    Cell* state = facet_slot(face, Facet::state);
    return state && type_of(*state) == TYPE_BLOCK ? state : nullptr;
}

// The slot of a field of system/view, or null.
Cell* system_view_slot(const char* name) {
    Cell system = *context::get(word::make(symbol::make("system")));
    if (type_of(system) != TYPE_OBJECT) return nullptr;
    Cell view = object::field_value(system, symbol::make("view"));
    if (type_of(view) != TYPE_OBJECT) return nullptr;
    int32_t index = object::find_field(view, symbol::make(name));
    return index < 0 ? nullptr : context::values_of(*context::cell_of(view.data1)) + index;
}

// Removes the first value of the block that is this very object.
void remove_object(const Cell& list, const Cell& obj) {
    if (type_of(list) != TYPE_BLOCK) return;
    int32_t head = int32_t(list.data1), n = block::ks_length(list);
    for (int32_t i = 0; i < n; ++i) {
        Cell* c = block::ks_abs_at(list, head + i);
        if (type_of(*c) != TYPE_OBJECT || c->data1 != obj.data1) continue;
        for (int32_t k = i; k + 1 < n; ++k) *block::ks_abs_at(list, head + k) = *block::ks_abs_at(list, head + k + 1);
        block::truncate_at(list, head + n - 1);
        return;
    }
}

// Clears every backend pointer to the widget, then marks it dead.
void free_widget(WidgetId id) {
    Widget* w = find_widget(id);
    if (!w) return;
    WidgetPointers& p = pointers();
    WidgetId window = window_of(id);
    if (p.hovered == id) p.hovered = 0;
    if (p.pressed == id) p.pressed = 0;
    if (p.last_made == id) p.last_made = 0;
    std::erase(p.pressed_list, id);
    if (WindowRecord* record = window_record(window); record && record->focus == id) record->focus = 0;
    if (p.focused == id) {
        p.focused = window == id ? 0 : window;
        if (Widget* holder = find_widget(p.focused)) holder->flags |= WIDGET_FOCUSED;
    }
    bool is_window = w->kind_data.window != nullptr;
    w->kind_data = KindData{};
    w->image_cells = CellRun{};
    w->ui_string = w->text_source = 0;
    w->face = w->saved_data = make_none();
    mark_widget_dead(id);
    if (is_window) {
        std::erase(p.windows, id);
        if (p.current_window == id) p.current_window = 0;
        services().pick_current_window();
    }
}

void destroy_tree(const Cell& face_in) {
    if (type_of(face_in) != TYPE_OBJECT) return;
    Cell face = face_in;
    Rooted keep(face);
    WidgetId id = face_handle(face);
    if (id) {
        if (type_of(facet(face, Facet::rate)) != TYPE_NONE) services().remove_timer(id);
        Cell font = facet(face, Facet::font);
        if (type_of(font) == TYPE_OBJECT) {
            Cell parents = font_field(font, FontField::parent);
            remove_object(parents, face);
            if (type_of(parents) == TYPE_BLOCK && block::ks_length(parents) <= 0)
                if (Cell* state = font_slot(font, FontField::state)) *state = make_none();
        }
        Cell para = facet(face, Facet::para);
        if (type_of(para) == TYPE_OBJECT) remove_object(para_field(para, ParaField::parent), face);
    }
    // Every face of the pane, whether or not this face still had a widget,
    // so that the whole tree's state is cleared.
    for (int32_t i = 0;; ++i) {
        Cell pane = facet(face, Facet::pane);
        if (type_of(pane) != TYPE_BLOCK || i >= block::ks_length(pane)) break;
        destroy_tree(*block::ks_abs_at(pane, int32_t(pane.data1) + i));
    }
    free_widget(id);
    if (Cell* state = facet_slot(face, Facet::state)) *state = make_none();
}

// Grows the window's extent to hold a direct child's box.
void grow_extent(WindowRecord& r, const Widget& child) {
    r.x1 = std::min(r.x1, child.left);
    r.y1 = std::min(r.y1, child.top);
    r.x2 = std::max(r.x2, child.right);
    r.y2 = std::max(r.y2, child.bottom);
}

void apply_visible(WidgetId id, const Cell& face) {
    Widget* w = find_widget(id);
    if (is_true(facet(face, Facet::visible))) {
        bool was_hidden = w->flags & WIDGET_HIDDEN;
        w->flags &= ~WIDGET_HIDDEN;
        if (was_hidden && w->kind_data.window) {
            WidgetPointers& p = pointers();
            std::erase(p.windows, id);
            p.windows.push_back(id);
        }
    } else {
        w->flags |= WIDGET_HIDDEN;
    }
}

// Gives the focus to the widget of the face in a window's `selected` (the
// window itself for none).
void apply_window_selected(WidgetId id, const Cell& face) {
    Cell selected = facet(face, Facet::selected);
    if (type_of(selected) == TYPE_NONE) {
        services().set_focus(id);
    } else if (type_of(selected) == TYPE_OBJECT) {
        if (WidgetId target = face_handle(selected)) services().set_focus(target);
    }
}

}  // namespace

WidgetId OS_make_view(const Cell& face_in, WidgetId parent) {
    Cell face = face_in;
    Rooted keep(face);
    uint32_t flags = widget_flags_of(get_flags(facet(face, Facet::flags)));
    float left = 0, top = 0, width = 0, height = 0;
    Cell offset = facet(face, Facet::offset);
    if (type_of(offset) == TYPE_PAIR) {
        offset = point::make2(float(pair::x_of(offset)), float(pair::y_of(offset)));
        if (Cell* slot = facet_slot(face, Facet::offset)) *slot = offset;
    }
    planar(offset, left, top);
    planar(facet(face, Facet::size), width, height);
    if (!is_true(facet(face, Facet::visible))) flags |= WIDGET_HIDDEN;
    if (!is_true(facet(face, Facet::enabled))) flags |= WIDGET_DISABLED;
    int32_t type = face_type(face);
    if (type == symbol_of("window")) {
        left = top = 0;
        if (Cell* slot = facet_slot(face, Facet::offset)) *slot = pair::make_cell(0, 0);
    }

    WidgetId id = make_widget();
    Widget* w = find_widget(id);
    w->parent = find_widget(parent) ? parent : 0;
    w->flags = flags;
    w->left = left;
    w->top = top;
    w->right = left + width;
    w->bottom = top + height;
    w->face = face;
    w->type = type;
    pointers().last_made = id;

    init_kind(id);

    if ((w = find_widget(id)) && w->parent) {
        WidgetId window = window_of(w->parent);
        WindowRecord* record = window_record(window);
        if (record && window == w->parent) grow_extent(*record, *w);
        if (record && (w->flags & WIDGET_CARET)) ++record->caret_widgets;
        if (record && (w->flags & WIDGET_FOCUSABLE) && !find_widget(record->focus)) services().set_focus(id);
        Cell image = facet(face, Facet::image);
        if (type_of(image) == TYPE_IMAGE) make_image_cells(id, image);
    }
    Cell rate = facet(face, Facet::rate);
    if (type_of(rate) != TYPE_NONE && find_widget(id)) services().set_rate(id, rate);
    return id;
}

void OS_update_view(const Cell& face_in) {
    Cell face = face_in;
    Rooted keep(face);
    Cell* state = state_block(face);
    if (!state) return;
    int32_t n = block::ks_length(*state);
    int32_t head = int32_t(state->data1);
    WidgetId id = 0;
    uint32_t mask = 0;
    if (n >= 1 && type_of(*block::ks_abs_at(*state, head)) == TYPE_HANDLE)
        id = WidgetId(block::ks_abs_at(*state, head)->data2);
    if (n >= 2) {
        Cell* m = block::ks_abs_at(*state, head + 1);
        if (type_of(*m) == TYPE_INTEGER) mask = uint32_t(cell_integer(*m));
        *m = make_integer(0);
    }
    Widget* w = find_widget(id);
    if (!w) return;

    // A draw block changed, in place or for another: its error, if it still
    // has one, is printed again.
    if (mask & DIRTY_DRAW) draw::forget_error(id);
    if (mask & DIRTY_RATE) {
        services().remove_timer(id);
        Cell rate = facet(face, Facet::rate);
        if (type_of(rate) != TYPE_NONE) services().set_rate(id, rate);
    }
    if (!(w = find_widget(id))) return;
    float x, y;
    if ((mask & DIRTY_OFFSET) && planar(facet(face, Facet::offset), x, y)) {
        float width = w->right - w->left, height = w->bottom - w->top;
        w->left = x;
        w->top = y;
        w->right = x + width;
        w->bottom = y + height;
    }
    if ((mask & DIRTY_SIZE) && planar(facet(face, Facet::size), x, y)) {
        w->right = w->left + x;
        w->bottom = w->top + y;
        if (WindowRecord* record = w->kind_data.window.get()) {
            *record = WindowRecord{
                w->left, w->top, w->right, w->bottom, record->widget, record->focus, record->caret_widgets};
            if (pointers().current_window == id) size_buffer(record->x1, record->y1, record->x2, record->y2);
        }
    }
    if (mask & DIRTY_SELECTED) {
        if (w->kind_data.window) apply_window_selected(id, face);
        if (face_handle(face) != id) return;  // a handler destroyed it
    }
    if (!(w = find_widget(id))) return;
    if (mask & DIRTY_ENABLED) {
        if (is_true(facet(face, Facet::enabled)))
            w->flags &= ~WIDGET_DISABLED;
        else
            w->flags |= WIDGET_DISABLED;
    }
    if (mask & DIRTY_VISIBLE) apply_visible(id, face);
    if (mask & DIRTY_FLAGS) {
        uint32_t now = widget_flags_of(get_flags(facet(face, Facet::flags)));
        if ((w = find_widget(id)))
            w->flags = (w->flags & ~(WIDGET_ALL_OVER | WIDGET_PASSWORD)) | (now & (WIDGET_ALL_OVER | WIDGET_PASSWORD));
    }
    if (mask & DIRTY_IMAGE) {
        if ((w = find_widget(id))) w->image_cells.clear();
        make_image_cells(id, facet(face, Facet::image));
    }

    if ((w = find_widget(id))) {
        Cell* sync = system_view_slot("auto-sync?");
        Cell saved = sync ? *sync : make_none();
        if (sync) *sync = logic::make_cell(false);
        struct RestoreSync {
            Cell saved;
            ~RestoreSync() {
                if (Cell* s = system_view_slot("auto-sync?")) *s = saved;
            }
        } restore{saved};
        Rooted keep_saved(restore.saved);
        w->ui_hook(id);
    }
    if (!find_widget(id)) return;
    services().request_redraw(id);
    Widget* now = find_widget(id);
    if ((mask & DIRTY_VISIBLE) && now && now->kind_data.window && (now->flags & WIDGET_HIDDEN) &&
        pointers().current_window == id) {
        services().pick_current_window();
        services().request_redraw(0);
    }
}

void OS_update_facet(const Cell& face, const Cell& word, const Cell& value, const Cell& action, const Cell&,
                     int32_t index, int32_t part) {
    if (!is_word(word, "data")) return OS_update_view(face);
    WidgetId id = face_handle(face);
    Widget* w = find_widget(id);
    if (!w) return;
    if (w->type == symbol_of("text-list")) {
        if (type_of(value) != TYPE_BLOCK) return OS_update_view(face);
        if (!is_word(action, "remove") && !is_word(action, "take") && !is_word(action, "clear"))
            return OS_update_view(face);
        Cell data = facet(face, Facet::data);
        int32_t len = type_of(data) == TYPE_BLOCK || type_of(data) == TYPE_HASH ? block::ks_length(data) : 0;
        int32_t a = std::max(0, index - int32_t(data.data1));
        int32_t& first = w->kind_data.first_line;
        first = std::min(first, a);
        if (a == 0 && part >= len) first = 0;
        Cell* selected = facet_slot(face, Facet::selected);
        if (selected && type_of(*selected) == TYPE_INTEGER)
            *selected = make_integer(std::max(0, std::min(cell_integer(*selected), len - part)));
        return;
    }
    if (w->type == symbol_of("drop-list") || w->type == symbol_of("drop-down")) {
        if (part != 0) OS_update_view(face);
        return;
    }
    OS_update_view(face);
}

void OS_destroy_view(const Cell& face, bool empty) {
    destroy_tree(face);
    if (empty) services().post_quit_msg();
    if (!pointers().windows.empty()) services().request_redraw(pointers().focused);
}

void update_font(const Cell& font, int32_t field) {
    if (field == 0 || field == 1 || field == 2 || field == 4 || field == 6)
        if (Cell* state = font_slot(font, FontField::state)) *state = make_none();
}

void update_para(const Cell& face, int32_t) {
    Cell* state = state_block(face);
    if (!state || block::ks_length(*state) < 2) return;
    Cell* mask = block::ks_abs_at(*state, int32_t(state->data1) + 1);
    if (type_of(*mask) == TYPE_INTEGER) mask->data2 |= DIRTY_PARA;
}

bool has_focus(WidgetId widget) {
    Widget* w = find_widget(widget);
    return w && (w->flags & WIDGET_FOCUSED);
}

int32_t widget_data(WidgetId widget) {
    Widget* w = find_widget(widget);
    return w && w->type == symbol_of("text-list") ? w->kind_data.first_line : 0;
}

void set_widget_ui(WidgetId widget, NodeId string_node) {
    if (Widget* w = find_widget(widget)) w->ui_string = string_node;
}

void OS_draw_face(const Cell&) {}
void update_scroller(const Cell&, int32_t) {}
void set_dark_mode(const Cell&, bool) {}
Cell get_text_alt(const Cell&) { return make_none(); }
Cell OS_request_color(const Cell&) { return make_none(); }

bool face_to_image(const Cell&, Cell*) { return false; }

}  // namespace kel::gui
