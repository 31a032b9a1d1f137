#include "view/terminal/widget-kinds.h"

#include <algorithm>

#include "runtime/core/types.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/text/char-width.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/render.h"
#include "view/terminal/screen.h"
#include "view/terminal/state.h"
#include "view/terminal/text-layout.h"
#include "view/terminal/widget-services.h"

namespace kel::gui {

RichTextStyles rich_text_styles = nullptr;

namespace {

constexpr int32_t KEY_UP = -20, KEY_DOWN = -21, KEY_RIGHT = -22, KEY_LEFT = -23;
constexpr uint32_t STYLE_TEXT = ATTR_ESCAPES;  // 0x1000
constexpr uint32_t STYLE_UI_ONLY = ATTR_NO_TEXT | ATTR_ESCAPES;  // 0x3000

int32_t width_of(uint32_t cp) { return std::max(0, unicode::char_width(cp)); }
int32_t box_width(const Widget& w) { return std::max(0, to_cells(double(w.right) - double(w.left))); }
int32_t box_height(const Widget& w) { return std::max(0, to_cells(double(w.bottom) - double(w.top))); }
bool focused(const Widget& w) { return w.flags & WIDGET_FOCUSED; }

void redraw(WidgetId id) { services().request_redraw(id); }

// Calls a function of TUI-helpers with the face; answers its result.
Cell call_helper(const char* name, const Cell& face_in) {
    Cell face = face_in;
    Rooted keep(face);
    Cell helpers = *context::get(word::make(symbol::make("TUI-helpers")));
    if (type_of(helpers) != TYPE_OBJECT) return make_none();
    Cell fn = object::field_value(helpers, symbol::make(name));
    if (type_of(fn) == TYPE_NONE) return make_none();
    Rooted keep_fn(fn);
    return interpreter::call_function(fn, &face, 1, word::make(symbol::make(name)));
}

// Runs a Kel UI maker; a string it answers becomes the UI string.
void run_maker(WidgetId id, const char* maker) {
    Cell face = face_of(id);
    Rooted keep(face);
    Cell ui = call_helper(maker, face);
    if (type_of(ui) == TYPE_STRING)
        if (Widget* w = find_widget(id)) w->ui_string = cell_node(ui);
}

void render_nothing(int32_t, int32_t, WidgetId) {}

// The face's text as a string: a text that is none or another type becomes
// a new empty string first.
Cell field_text(const Cell& face) {
    Cell text = facet(face, Facet::text);
    if (type_of(text) == TYPE_STRING) return text;
    Cell* fresh = stack::push(make_none());
    string::ks_make_at(*fresh, 16);
    text = *fresh;
    if (Cell* slot = facet_slot(face, Facet::text)) *slot = text;
    stack::pop(1);
    return text;
}

// --- window ------------------------------------------------------------

void init_window(WidgetId id, Widget& w) {
    if (w.flags & WIDGET_FULL_SCREEN) state().full_screen = true;
    w.kind_data.window = std::make_unique<WindowRecord>();
    w.kind_data.window->widget = id;
    w.render = render_nothing;
    WidgetPointers& p = pointers();
    p.windows.push_back(id);
    if (!find_widget(p.focused)) {
        p.focused = id;
        w.flags |= WIDGET_FOCUSED;
    }
}

// --- base --------------------------------------------------------------

// Calls visit with each face that a caret option of the options names.
template <typename Visit>
void caret_faces(const Cell& options, Visit visit) {
    if (type_of(options) != TYPE_BLOCK) return;
    int32_t n = block::ks_length(options), head = int32_t(options.data1);
    if (n % 2 != 0) return;
    for (int32_t i = 0; i + 1 < n; i += 2)
        if (is_word(*block::ks_abs_at(options, head + i), "caret")) visit(*block::ks_abs_at(options, head + i + 1));
}

void render_base(int32_t x, int32_t y, WidgetId id) {
    Widget* w = find_widget(id);
    if (!(w->flags & WIDGET_CARET_HOST)) return render_face(x, y, id, STYLE_TEXT);
    caret_faces(facet(w->face, Facet::options), [&](const Cell& target) {
        Widget* t = find_widget(face_handle(target));
        if (t && focused(*t)) {
            state().caret_column = x;
            state().caret_row = y;
        }
    });
}

void init_base(WidgetId, Widget& w) {
    caret_faces(facet(w.face, Facet::options), [&](const Cell& target) {
        w.flags |= WIDGET_CARET_HOST;
        WidgetId t = face_handle(target);
        Widget* tw = find_widget(t);
        if (!tw || (tw->flags & WIDGET_CARET)) return;
        tw->flags |= WIDGET_CARET;
        if (WindowRecord* r = window_record(window_of(t))) ++r->caret_widgets;
    });
    w.render = render_base;
}

// --- field -------------------------------------------------------------

void render_field(int32_t x, int32_t y, WidgetId id) {
    Widget* w = find_widget(id);
    w->bottom = w->top + 1;
    render_face(x, y, id, (w->flags & WIDGET_PASSWORD) ? STYLE_TEXT | ATTR_PASSWORD : STYLE_TEXT);
    if ((w = find_widget(id)) && focused(*w)) {
        state().caret_column = x + w->kind_data.field.caret_column;
        state().caret_row = y;
    }
}

int32_t field_event(WidgetId id, int32_t type, EventRecord& record) {
    if (type != int32_t(EVENT_KEY) && type != int32_t(EVENT_CLICK)) return 0;
    Cell face = face_of(id);
    Rooted keep(face);
    Cell text = field_text(face);
    Rooted keep_text(text);
    Widget* w = find_widget(id);
    if (!w) return 2;
    FieldEdit& e = w->kind_data.field;
    int32_t head = int32_t(text.data1), length = text_length(text);
    e.index = std::clamp(e.index, 0, length);
    if (type == int32_t(EVENT_CLICK)) {
        TextMeasure m = measure_text(text_of(text), std::max(0, to_cells(record.x)));
        e.index = m.count;
        e.caret_column = m.width;
        redraw(id);
        return 0;
    }
    int32_t key = record.key_or_picked;
    if (key == 0 || key == 9 || key == 13) return 0;
    if (key == 2 || key == KEY_LEFT) {
        if (e.index > 0) {
            --e.index;
            e.caret_column -= width_of(string::get_char_at(text, head + e.index));
        }
    } else if (key == 6 || key == KEY_RIGHT) {
        if (e.index < length) {
            e.caret_column += width_of(string::get_char_at(text, head + e.index));
            ++e.index;
        }
    } else if (key == 8 || key == 127) {
        if (e.index > 0) {
            --e.index;
            int32_t wd = width_of(string::get_char_at(text, head + e.index));
            string::remove_char(text, head + e.index);
            e.caret_column -= wd;
            e.text_width -= wd;
        }
    } else if (key >= 32) {
        int32_t wd = width_of(uint32_t(key));
        if (box_width(*w) - wd >= e.text_width) {
            int32_t at = head + e.index;
            string::insert_char(string::buffer(text), at, uint32_t(key));
            if ((w = find_widget(id))) {
                ++w->kind_data.field.index;
                w->kind_data.field.caret_column += wd;
                w->kind_data.field.text_width += wd;
            }
        }
    }
    redraw(id);
    return 0;
}

void init_field(WidgetId, Widget& w) {
    w.flags |= WIDGET_CARET;
    w.render = render_field;
    w.event = field_event;
    Cell text = facet(w.face, Facet::text);
    if (type_of(text) == TYPE_STRING) {
        TextMeasure m = measure_text(text_of(text), box_width(w));
        w.kind_data.field = FieldEdit{m.count, m.width, m.width};
    }
}

// --- button ------------------------------------------------------------

void render_button(int32_t x, int32_t y, WidgetId id) {
    render_face(x, y, id, focused(*find_widget(id)) ? STYLE_TEXT | ATTR_REVERSE : STYLE_TEXT);
}

int32_t button_event(WidgetId id, int32_t type, EventRecord& record) {
    if (type != int32_t(EVENT_KEY)) return 0;
    int32_t result = 0;
    if (record.key_or_picked == ' ' && services().mouse_event(EVENT_CLICK, id, 0, 0, 0) == 2) result = 2;
    redraw(id);
    return result;
}

// --- progress ----------------------------------------------------------

void progress_ui(WidgetId id) { run_maker(id, "make-progress-ui"); }

void render_plain(int32_t x, int32_t y, WidgetId id) { render_face(x, y, id, 0); }

// --- text-list ---------------------------------------------------------

int32_t item_count(const Cell& data) {
    if (type_of(data) == TYPE_BLOCK || type_of(data) == TYPE_HASH) return std::max(0, block::ks_length(data));
    if (type_of(data) == TYPE_MAP) return map::key_count(data);
    return 0;
}

bool same_series(const Cell& a, const Cell& b) {
    return type_of(a) == type_of(b) && a.data1 == b.data1 && a.data2 == b.data2;
}

void text_list_ui(WidgetId id) {
    Widget* w = find_widget(id);
    Cell data = facet(w->face, Facet::data);
    if (!same_series(data, w->saved_data)) {
        w->saved_data = data;
        w->kind_data.first_line = 0;
    }
    if ((type_of(data) == TYPE_BLOCK || type_of(data) == TYPE_HASH) &&
        w->kind_data.first_line >= block::ks_length(data))
        w->kind_data.first_line = 0;
    run_maker(id, "make-text-list-ui");
}

int32_t text_list_event(WidgetId id, int32_t type, EventRecord& record) {
    Cell face = face_of(id);
    Rooted keep(face);
    Widget* w = find_widget(id);
    Cell old = facet(face, Facet::selected);
    int32_t sel = type_of(old) == TYPE_INTEGER ? cell_integer(old) : 0;
    int32_t& first = w->kind_data.first_line;
    if (type == int32_t(EVENT_KEY)) {
        int32_t key = record.key_or_picked;
        if (key == KEY_UP) {
            if (sel > 1) --sel;
            if (sel - 1 < first && first > 0) --first;
        } else if (key == KEY_DOWN) {
            if (sel < item_count(facet(face, Facet::data))) ++sel;
            if (first < sel - box_height(*w)) ++first;
        } else {
            return 0;
        }
    } else if (type == int32_t(EVENT_FOCUS)) {
        w->ui_hook(id);
        redraw(id);
        return 0;
    } else if (type == int32_t(EVENT_CLICK)) {
        sel = first + std::max(0, to_cells(record.y)) + 1;
        // A click below the last item selects nothing.
        if (sel > item_count(facet(face, Facet::data))) return 0;
    } else {
        return 0;
    }
    if (type_of(old) == TYPE_INTEGER && sel == cell_integer(old)) return 0;
    int32_t sent = services().select_event(EVENT_SELECT, id, sel);
    if (sent == 2) return 2;
    Cell now = facet(face, Facet::selected);
    if (!(type_of(now) == type_of(old) && now.data2 == old.data2)) return 0;  // the actor chose
    if (Cell* slot = facet_slot(face, Facet::selected)) *slot = make_integer(sel);
    if (!(w = find_widget(id))) return 2;
    w->ui_hook(id);
    redraw(id);
    if (sent == 0 && services().select_event(EVENT_CHANGE, id, sel) == 2) return 2;
    return 0;
}

// --- rich-text ---------------------------------------------------------

void rich_text_ui(WidgetId id) {
    Widget* w = find_widget(id);
    Cell text = facet(w->face, Facet::text);
    if (type_of(text) != TYPE_STRING) return;
    std::u32string chars = text_of(text);
    CellRun& cells = w->kind_data.cells;
    cells.resize(chars.size());
    w->text_source = cell_node(text);
    if (chars.empty()) return;
    uint32_t background = face_colour(facet(w->face, Facet::color));
    for (size_t i = 0; i < chars.size(); ++i) cells[i] = ScreenCell{chars[i], background, 0, 0};
    if (type_of(facet(w->face, Facet::data)) == TYPE_BLOCK && rich_text_styles) rich_text_styles(id);
}

// --- group-box ---------------------------------------------------------

void render_group_box(int32_t x, int32_t y, WidgetId id) {
    render_face(x, y, id, ATTR_NO_TEXT);
    Widget* w = find_widget(id);
    if (!w) return;
    Cell face = w->face;
    Cell options = facet(face, Facet::options);
    bool round = false;
    uint32_t border = 0;
    if (type_of(options) == TYPE_BLOCK) {
        int32_t head = int32_t(options.data1), n = block::ks_length(options);
        for (int32_t i = 0; i + 1 < n; ++i) {
            Cell key = *block::ks_abs_at(options, head + i), value = *block::ks_abs_at(options, head + i + 1);
            if (is_word(key, "border-corners")) round = is_word(value, "round");
            if (is_word(key, "border-color")) border = face_colour(value);
        }
    }
    ClipRect clip = clip_box(x, y, id);
    int32_t right = x + box_width(*w) - 1, bottom = y + box_height(*w) - 1;
    ScreenBuffer& b = screen();
    auto put = [&](int32_t column, int32_t row, uint32_t glyph) {
        if (column < clip.x1 || column >= clip.x2 || row < clip.y1 || row >= clip.y2) return;
        ScreenCell& c = b.at(column, row);
        c.code_point = glyph;
        c.attributes &= ~ATTR_CONTINUATION;
        if (border) c.foreground = border;
    };
    for (int32_t column = x + 1; column < right; ++column) {
        put(column, y, GLYPH_HORIZONTAL);
        put(column, bottom, GLYPH_HORIZONTAL);
    }
    for (int32_t row = y + 1; row < bottom; ++row) {
        put(x, row, GLYPH_VERTICAL);
        put(right, row, GLYPH_VERTICAL);
    }
    put(x, y, round ? GLYPH_ROUND_TOP_LEFT : GLYPH_TOP_LEFT);
    put(right, y, round ? GLYPH_ROUND_TOP_RIGHT : GLYPH_TOP_RIGHT);
    put(x, bottom, round ? GLYPH_ROUND_BOTTOM_LEFT : GLYPH_BOTTOM_LEFT);
    put(right, bottom, round ? GLYPH_ROUND_BOTTOM_RIGHT : GLYPH_BOTTOM_RIGHT);
    Cell text = facet(face, Facet::text);
    if (type_of(text) == TYPE_STRING) {
        RenderStyle style;
        style.attributes = STYLE_TEXT;
        Cell font = facet(face, Facet::font);
        if (type_of(font) == TYPE_OBJECT) style.foreground = face_colour(font_field(font, FontField::color));
        layout_text(text_of(text), x + 1, y, clip, style);
    }
}

// --- check and radio ---------------------------------------------------

void check_ui(WidgetId id) { run_maker(id, "make-checkbox-ui"); }
void radio_ui(WidgetId id) { run_maker(id, "make-radio-ui"); }

void render_toggle(int32_t x, int32_t y, WidgetId id) {
    render_face(x, y, id, focused(*find_widget(id)) ? STYLE_UI_ONLY | ATTR_REVERSE : STYLE_UI_ONLY);
}

// A set radio cleared the other radios of its pane: their looks are made
// again at once, whether or not their faces report the change.
void refresh_radios(const Cell& face) {
    Cell parent = facet(face, Facet::parent);
    Rooted keep(parent);
    for (int32_t i = 0;; ++i) {
        Cell pane = facet(parent, Facet::pane);
        if (type_of(pane) != TYPE_BLOCK || i >= block::ks_length(pane)) break;
        Cell other = *block::ks_abs_at(pane, int32_t(pane.data1) + i);
        if (type_of(other) != TYPE_OBJECT || other.data1 == face.data1) continue;
        WidgetId id = face_handle(other);
        Widget* w = find_widget(id);
        if (w && w->type == symbol_of("radio")) w->ui_hook(id);
    }
}

int32_t toggle_event(WidgetId id, int32_t type, EventRecord& record, bool radio) {
    if (type == int32_t(EVENT_FOCUS)) {
        redraw(id);
        return 0;
    }
    bool toggles = type == int32_t(EVENT_CLICK) || (type == int32_t(EVENT_KEY) && record.key_or_picked == ' ');
    if (!toggles) return 0;
    Cell face = face_of(id);
    Rooted keep(face);
    Cell* data = facet_slot(face, Facet::data);
    if (!data) return 0;
    if (radio || type_of(*data) == TYPE_NONE)
        *data = logic::make_cell(true);
    else if (type_of(*data) == TYPE_LOGIC)
        *data = logic::make_cell(data->data1 == 0);
    else
        *data = logic::make_cell(false);
    Widget* w = find_widget(id);
    if (!w) return 2;
    w->ui_hook(id);
    if (radio) refresh_radios(face);
    redraw(id);
    return services().select_event(EVENT_CHANGE, id, 0) == 2 ? 2 : 0;
}

int32_t check_event(WidgetId id, int32_t type, EventRecord& record) { return toggle_event(id, type, record, false); }
int32_t radio_event(WidgetId id, int32_t type, EventRecord& record) { return toggle_event(id, type, record, true); }

}  // namespace

void init_kind(WidgetId id) {
    Widget* w = find_widget(id);
    if (!w) return;
    int32_t type = w->type;
    if (type == symbol_of("window")) {
        init_window(id, *w);
    } else if (type == symbol_of("base")) {
        init_base(id, *w);
    } else if (type == symbol_of("field")) {
        init_field(id, *w);
    } else if (type == symbol_of("button")) {
        w->render = render_button;
        w->event = button_event;
    } else if (type == symbol_of("progress")) {
        w->ui_hook = progress_ui;
        w->render = render_plain;
        progress_ui(id);
    } else if (type == symbol_of("group-box")) {
        w->render = render_group_box;
    } else if (type == symbol_of("check") || type == symbol_of("radio")) {
        bool radio = type == symbol_of("radio");
        w->ui_hook = radio ? radio_ui : check_ui;
        w->render = render_toggle;
        w->event = radio ? radio_event : check_event;
        w->ui_hook(id);
    } else if (type == symbol_of("text-list")) {
        w->ui_hook = text_list_ui;
        w->event = text_list_event;
        text_list_ui(id);
    } else if (type == symbol_of("rich-text")) {
        w->ui_hook = rich_text_ui;
        w->render = render_plain;
        rich_text_ui(id);
    }
}

}  // namespace kel::gui
