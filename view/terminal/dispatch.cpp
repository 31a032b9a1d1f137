#include "view/terminal/dispatch.h"

#include <algorithm>
#include <vector>

#include "runtime/core/system.h"
#include "runtime/core/types.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/event.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "view/terminal/event-loop.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/state.h"
#include "view/terminal/system-view.h"
#include "view/terminal/terminal-modes.h"
#include "view/terminal/timers.h"
#include "view/terminal/widget-services.h"

namespace kel::gui {

namespace {

constexpr uint32_t EVENT_DBL_CLICK = 10;
constexpr uint32_t EVENT_WHEEL = event::WHEEL;
constexpr uint32_t EVENT_KEY_DOWN = event::KEY_DOWN;
constexpr uint32_t EVENT_RESIZE = event::RESIZE;
constexpr int32_t DOUBLE_CLICK_MS = 500;

// The pointer's last position in the window (from the last move).
float last_x = 0, last_y = 0;

bool is_down(uint32_t type) { return type == event::DOWN || type == event::MID_DOWN || type == event::ALT_DOWN; }
bool is_up(uint32_t type) { return type == event::UP || type == event::MID_UP || type == event::ALT_UP; }

uint32_t widget_flags(WidgetId id) {
    Widget* w = find_widget(id);
    return w ? w->flags : 0;
}
void set_flag(WidgetId id, uint32_t flag, bool on) {
    if (Widget* w = find_widget(id)) w->flags = on ? w->flags | flag : w->flags & ~flag;
}
bool has_face(WidgetId id) {
    Widget* w = find_widget(id);
    return w && type_of(w->face) == TYPE_OBJECT;
}

// The widget's own handler; 2 when the widget is gone afterwards.
int32_t own_handler(WidgetId id, uint32_t type, EventRecord& record) {
    Widget* w = find_widget(id);
    if (!w) return DESTROYED;
    EventCallback handler = w->event;
    int32_t result = handler ? handler(id, int32_t(type), record) : 0;
    return result == DESTROYED || !find_widget(id) ? DESTROYED : NOT_HANDLED;
}

// The event to the widget's handler, then to awake.
int32_t handler_then_awake(uint32_t type, WidgetId id, EventRecord& record, uint32_t flags) {
    if (own_handler(id, type, record) == DESTROYED) return DESTROYED;
    return has_face(id) ? awake_event(type, record, flags) : NOT_HANDLED;
}

// The point in the coordinates of the widget from the window's.
void to_widget(WidgetId id, float& x, float& y) {
    for (int32_t guard = 0; guard < 1 << 20; ++guard) {
        Widget* w = find_widget(id);
        if (!w || w->kind_data.window) return;
        x -= w->left;
        y -= w->top;
        id = w->parent;
    }
}

// The child of the widget under the point (the widget's coordinates): its
// pane from the last face to the first, hidden widgets skipped.
WidgetId hit_child(WidgetId id, float x, float y) {
    Cell pane = facet(face_of(id), Facet::pane);
    if (type_of(pane) != TYPE_BLOCK) return 0;
    int32_t head = int32_t(pane.data1);
    for (int32_t i = block::ks_length(pane) - 1; i >= 0; --i) {
        WidgetId child = face_handle(*block::ks_abs_at(pane, head + i));
        Widget* c = find_widget(child);
        if (!c || child == id || (c->flags & WIDGET_HIDDEN)) continue;
        if (c->left <= x && x < c->right && c->top <= y && y < c->bottom) return child;
    }
    return 0;
}

bool in_pressed_list(WidgetId id) {
    const std::vector<WidgetId>& list = pointers().pressed_list;
    return std::find(list.begin(), list.end(), id) != list.end();
}

int32_t capture_event(uint32_t type, float x, float y, uint32_t flags, int64_t mask) {
    WidgetPointers& p = pointers();
    WidgetId pressed = p.pressed;
    if (!find_widget(pressed)) return NOT_HANDLED;
    to_widget(pressed, x, y);
    if (type == EVENT_OVER) {
        if (p.hovered == pressed || is_within(p.hovered, pressed)) {
            set_flag(pressed, WIDGET_AWAY, false);
            return NOT_HANDLED;
        }
        if (!(widget_flags(pressed) & WIDGET_AWAY)) {
            set_flag(pressed, WIDGET_AWAY, true);
            if (mouse_event(EVENT_OVER, pressed, x, y, flags | event::FLAG_AWAY) == DESTROYED) return DESTROYED;
        }
    }
    uint32_t own = widget_flags(pressed);
    if ((own & WIDGET_AWAY) && (mask == -1 || (own & uint32_t(mask)))) return mouse_event(type, pressed, x, y, flags);
    return NOT_HANDLED;
}

// Packs a button result: the type sent last, the click result, the own one.
int32_t pack(uint32_t type, int32_t click, int32_t own) { return int32_t(type << 16) | (click << 8) | own; }

int32_t button_event(uint32_t type, WidgetId id, float x, float y, uint32_t flags) {
    WidgetPointers& p = pointers();
    State& s = state();
    int32_t own = 0, click = 0;
    bool child_double = false;
    WidgetId child = hit_child(id, x, y);
    if (child) {
        Widget* c = find_widget(child);
        int32_t r = button_event(type, child, x - c->left, y - c->top, flags);
        own = r & 0xFF;
        click = (r >> 8) & 0xFF;
        child_double = uint32_t(r >> 16) == EVENT_DBL_CLICK;
        if (own == DESTROYED || click == DESTROYED) return r;
    } else if (is_down(type)) {
        set_flag(id, WIDGET_AWAY, false);
        p.pressed = id;
        if (p.hovered != id && over_event(EVENT_OVER, id, x, y, flags, false) == DESTROYED)
            return pack(type, 0, DESTROYED);
    }
    if (!find_widget(id)) return pack(type, click, DESTROYED);
    if (own == NOT_HANDLED) {
        own = mouse_event(type, id, x, y, flags);
        if (own == DESTROYED) return pack(type, click, own);
    }
    uint32_t sent = type;
    if (is_down(type)) {
        p.pressed_list.push_back(id);
    } else if (type == event::UP && click == NOT_HANDLED && in_pressed_list(id)) {
        bool dbl = child_double || (s.click_state == 2 && s.double_click_ms < DOUBLE_CLICK_MS);
        click = mouse_event(EVENT_CLICK, id, x, y, flags);
        if (click == DESTROYED) return pack(EVENT_CLICK, click, own);
        if (dbl) {
            s.click_state = 10;
            int32_t again = mouse_event(EVENT_DBL_CLICK, id, x, y, flags);
            click = std::max(click, again);
            sent = EVENT_DBL_CLICK;
            if (click == DESTROYED) return pack(sent, click, own);
        }
        uint32_t f = widget_flags(id);
        if (!child && (f & WIDGET_FOCUSABLE) && !(f & WIDGET_FOCUSED)) set_focus(id);
    }
    return pack(sent, click, own);
}

class FaceDispatch final : public Dispatch {
public:
    void key(int32_t code, bool special) override { key_event(0, code, special); }
    void button(uint32_t type, float x, float y, uint32_t flags) override { button_action(type, x, y, flags); }
    void over(float x, float y, uint32_t flags) override {
        if (WidgetId window = pointers().current_window) over_event(EVENT_OVER, window, x, y, flags, true);
    }
    void wheel(float x, float y, float delta, uint32_t flags) override {
        if (WidgetId window = pointers().current_window) wheel_event(delta, window, x, y, flags);
    }
    void resize(int32_t columns, int32_t rows) override {
        // A copy: a handler may close windows.
        std::vector<WidgetId> windows = pointers().windows;
        for (WidgetId window : windows) {
            const std::vector<WidgetId>& now = pointers().windows;
            if (std::find(now.begin(), now.end(), window) == now.end()) continue;
            EventRecord record{window, float(columns), float(rows), 0, 0};
            handler_then_awake(EVENT_RESIZE, window, record, 0);
        }
    }
    void cursor_report(int32_t, int32_t) override {}
};

}  // namespace

Dispatch& backend_dispatch() {
    static FaceDispatch dispatch;
    return dispatch;
}

int32_t awake_event(uint32_t type, EventRecord& record, uint32_t flags) {
    Cell* saved = stack::top();
    Cell* face = stack::push(face_of(record.widget));
    Cell* awake = stack::push(system_view_field("awake"));
    uint32_t t = type_of(*awake);
    if (t != TYPE_FUNCTION && t != TYPE_NATIVE && t != TYPE_ACTION && t != TYPE_ROUTINE) {
        stack::state.top = saved;
        return NOT_HANDLED;
    }
    Cell* ev = stack::push(make_none());
    event::make_backend(ev, type, event::BackendRecord{*face, record.x, record.y, record.key_or_picked, record.wheel},
                        flags);
    Cell answer = make_none();
    uint32_t code = protect(catch_level::ERRORS, [&] {
        answer = interpreter::call_function(*awake, ev, 1, word::make(symbol::make("awake")));
    });
    if (code != 0 && code != thrown::ERROR) {
        stack::state.top = saved;
        system_throw(code);
    }
    if (code != 0) handled();
    int32_t result = code == 0 && type_of(answer) == TYPE_WORD && is_word(answer, "done") ? HANDLED : NOT_HANDLED;
    if (face_handle(*face) != record.widget) result = DESTROYED;
    stack::state.top = saved;
    return result;
}

void key_event(WidgetId widget, int32_t key, bool special) {
    if (!widget) widget = pointers().focused;
    if (!find_widget(widget) || (widget_flags(widget) & WIDGET_DISABLED)) return;
    uint32_t flags = 0;
    if (special && key == 10) {
        key = 9;
        flags = event::FLAG_SHIFT;
    } else if (special) {
        flags = event::FLAG_SPECIAL_KEY;
    }
    if (key == 0) return;
    EventRecord record{widget, 0, 0, key, 0};
    int32_t result = awake_event(EVENT_KEY_DOWN, record, flags);
    if (result == NOT_HANDLED) result = awake_event(EVENT_KEY, record, flags);
    if (result == NOT_HANDLED) own_handler(widget, EVENT_KEY, record);
}

int32_t mouse_event(uint32_t type, WidgetId widget, float x, float y, uint32_t flags) {
    WidgetPointers& p = pointers();
    if (type == EVENT_OVER && (flags & event::FLAG_DOWN) && p.pressed && p.pressed != widget) return NOT_HANDLED;
    if (!find_widget(widget) || (widget_flags(widget) & WIDGET_DISABLED)) return NOT_HANDLED;
    EventRecord record{widget, x, y, 0, 0};
    return handler_then_awake(type, widget, record, flags);
}

void button_action(uint32_t type, float x, float y, uint32_t flags) {
    WidgetPointers& p = pointers();
    bool pressed_away = find_widget(p.pressed) && (widget_flags(p.pressed) & WIDGET_AWAY);
    if (!(is_up(type) && pressed_away) && find_widget(p.current_window))
        button_event(type, p.current_window, x, y, flags);
    if (!is_up(type)) return;
    if (find_widget(p.pressed) && (widget_flags(p.pressed) & WIDGET_AWAY)) capture_event(type, x, y, flags, -1);
    WidgetId hovered = p.hovered, pressed = p.pressed;
    if (find_widget(hovered) && hovered != pressed && !is_within(hovered, pressed)) {
        float hx = last_x, hy = last_y;
        to_widget(hovered, hx, hy);
        mouse_event(EVENT_OVER, hovered, hx, hy, 0);
    }
    p.pressed = 0;
    p.pressed_list.clear();
    State& s = state();
    s.click_state = s.click_state == 10 ? 0 : 2;
    s.double_click_ms = 0;
}

int32_t over_event(uint32_t type, WidgetId widget, float x, float y, uint32_t flags, bool top) {
    WidgetPointers& p = pointers();
    if (top) {
        last_x = x;
        last_y = y;
    }
    int32_t result = NOT_HANDLED;
    bool sent = false;
    if (!find_widget(p.hovered)) {
        result = mouse_event(type, widget, x, y, flags);
        if (result == DESTROYED) return result;
        sent = true;
    }
    if (WidgetId child = hit_child(widget, x, y)) {
        Widget* c = find_widget(child);
        result = over_event(type, child, x - c->left, y - c->top, flags, false);
        if (result == DESTROYED) return result;
    } else if (widget != p.hovered) {
        WidgetId old = p.hovered;
        if (find_widget(old) && !is_within(widget, old)) {
            if (old == p.pressed) set_flag(old, WIDGET_AWAY, true);
            float ox = last_x, oy = last_y;
            to_widget(old, ox, oy);
            if (mouse_event(type, old, ox, oy, flags | event::FLAG_AWAY) == DESTROYED) return DESTROYED;
        }
        if (!is_within(old, widget) && !sent) {
            set_flag(widget, WIDGET_AWAY, false);
            result = mouse_event(type, widget, x, y, flags);
            if (result == DESTROYED) return result;
            sent = true;
        }
        if (find_widget(widget)) p.hovered = widget;
    }
    if (result == NOT_HANDLED && !sent && (widget_flags(widget) & WIDGET_ALL_OVER)) {
        result = mouse_event(type, widget, x, y, flags);
        if (result == DESTROYED) return result;
    }
    if (top) capture_event(type, x, y, flags, WIDGET_ALL_OVER);
    return result;
}

int32_t wheel_event(float delta, WidgetId widget, float x, float y, uint32_t flags) {
    if (WidgetId child = hit_child(widget, x, y)) {
        Widget* c = find_widget(child);
        int32_t r = wheel_event(delta, child, x - c->left, y - c->top, flags);
        if (r != NOT_HANDLED) return r;
    }
    if (!has_face(widget) || (widget_flags(widget) & WIDGET_DISABLED)) return NOT_HANDLED;
    EventRecord record{widget, x, y, 0, delta};
    return awake_event(EVENT_WHEEL, record, flags);
}

void time_event(WidgetId widget) {
    if (!find_widget(widget) || (widget_flags(widget) & WIDGET_DISABLED)) return;
    EventRecord record{widget, 0, 0, 0, 0};
    handler_then_awake(EVENT_TIME, widget, record, 0);
}

int32_t select_event(uint32_t type, WidgetId widget, int32_t value) {
    if (!has_face(widget) || (widget_flags(widget) & WIDGET_DISABLED)) return NOT_HANDLED;
    EventRecord record{widget, 0, 0, value, 0};
    return awake_event(type, record, 0);
}

void set_focus(WidgetId widget) {
    WidgetId window = window_of(widget);
    WindowRecord* rec = window_record(window);
    if (!rec) return;
    WidgetPointers& p = pointers();
    if (window != p.current_window) {
        rec->focus = widget;
        return;
    }
    WidgetId old = p.focused;
    if (old == widget && (widget_flags(widget) & WIDGET_FOCUSED)) return;
    if (old && old != widget) {
        set_flag(old, WIDGET_FOCUSED, false);
        p.focused = 0;
        if (find_widget(old)) {
            EventRecord record{old, 0, 0, 0, 0};
            handler_then_awake(EVENT_UNFOCUS, old, record, 0);
        }
        rec = window_record(window);
        if (!rec) return;
        if (!find_widget(widget)) {
            if (!p.focused) {
                p.focused = window;
                set_flag(window, WIDGET_FOCUSED, true);
            }
            return;
        }
        if (p.focused != 0 || p.current_window != window) {
            if (rec->focus == old) rec->focus = widget;
            return;
        }
    }
    rec->focus = widget;
    p.focused = widget;
    set_flag(widget, WIDGET_FOCUSED, true);
    EventRecord record{widget, 0, 0, 0, 0};
    handler_then_awake(EVENT_FOCUS, widget, record, 0);
}

void activate_window(WidgetId window) {
    WindowRecord* rec = window_record(window);
    if (!rec) return;
    WidgetPointers& p = pointers();
    WidgetId target = find_widget(rec->focus) ? rec->focus : window;
    std::erase(p.windows, window);
    p.windows.push_back(window);
    p.current_window = window;
    state().redraw = true;
    set_focus(target);
    rec = window_record(window);
    if (!rec) return;
    if (rec->caret_widgets == 0 && state().active) hide_cursor();
    p.hovered = 0;
    p.pressed = 0;
    p.pressed_list.clear();
}

void pick_current_window() {
    WidgetPointers& p = pointers();
    for (size_t i = p.windows.size(); i-- > 0;) {
        if (find_widget(p.windows[i]) && !(widget_flags(p.windows[i]) & WIDGET_HIDDEN)) {
            if (p.windows[i] != p.current_window) activate_window(p.windows[i]);
            return;
        }
    }
    if (std::find(p.windows.begin(), p.windows.end(), p.current_window) != p.windows.end()) return;
    if (p.windows.empty()) {
        p.current_window = 0;
        state().redraw = false;
    } else {
        activate_window(p.windows.back());
    }
}

void OS_show_window(WidgetId widget) {
    WidgetPointers& p = pointers();
    auto at = std::find(p.windows.begin(), p.windows.end(), widget);
    if (at == p.windows.end()) return;
    if (widget != p.current_window) {
        auto current = std::find(p.windows.begin(), p.windows.end(), p.current_window);
        if (current == p.windows.end() || current < at) activate_window(widget);
    }
    request_redraw(widget);
}

void request_redraw(WidgetId widget) {
    WidgetPointers& p = pointers();
    if (!widget) widget = p.focused ? p.focused : p.current_window;
    if (widget && window_of(widget) == p.current_window) state().redraw = true;
}

bool no_windows() { return pointers().windows.empty(); }

void reset_windows() { pointers() = WidgetPointers{}; }

void set_face_rate(WidgetId widget, const Cell& rate) { set_rate(widget, rate, time_event); }

void install_dispatch_services() {
    WidgetServices s;
    s.set_focus = set_focus;
    s.pick_current_window = pick_current_window;
    s.request_redraw = request_redraw;
    s.set_rate = set_face_rate;
    s.remove_timer = remove_timer;
    s.post_quit_msg = post_quit_msg;
    s.mouse_event = mouse_event;
    s.select_event = select_event;
    install_services(s);
}

}  // namespace kel::gui
