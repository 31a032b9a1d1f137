#include "view/terminal/widget-services.h"

#include "view/terminal/state.h"

namespace kel::gui {

namespace {

void plain_set_focus(WidgetId widget) {
    WidgetId window = window_of(widget);
    WindowRecord* record = window_record(window);
    if (!record) return;
    record->focus = widget;
    WidgetPointers& p = pointers();
    if (p.current_window != 0 && p.current_window != window) return;
    if (Widget* old = find_widget(p.focused)) old->flags &= ~WIDGET_FOCUSED;
    p.focused = widget;
    if (Widget* w = find_widget(widget)) w->flags |= WIDGET_FOCUSED;
}

void plain_pick_current_window() {
    WidgetPointers& p = pointers();
    for (size_t i = p.windows.size(); i-- > 0;) {
        Widget* w = find_widget(p.windows[i]);
        if (w && !(w->flags & WIDGET_HIDDEN)) {
            p.current_window = p.windows[i];
            return;
        }
    }
    p.current_window = 0;
}

void plain_request_redraw(WidgetId) { state().redraw = true; }
void no_rate(WidgetId, const Cell&) {}
void no_timer(WidgetId) {}
void no_quit() {}
int32_t no_mouse_event(uint32_t, WidgetId, float, float, uint32_t) { return 0; }
int32_t no_select_event(uint32_t, WidgetId, int32_t) { return 0; }

template <typename F>
void fill(F& member, F plain) {
    if (!member) member = plain;
}

WidgetServices with_defaults(WidgetServices s) {
    fill(s.set_focus, plain_set_focus);
    fill(s.pick_current_window, plain_pick_current_window);
    fill(s.request_redraw, plain_request_redraw);
    fill(s.set_rate, no_rate);
    fill(s.remove_timer, no_timer);
    fill(s.post_quit_msg, no_quit);
    fill(s.mouse_event, no_mouse_event);
    fill(s.select_event, no_select_event);
    return s;
}

WidgetServices& current() {
    static WidgetServices s = with_defaults({});
    return s;
}

}  // namespace

WidgetServices& services() { return current(); }

WidgetServices install_services(const WidgetServices& replacement) {
    WidgetServices old = current();
    current() = with_defaults(replacement);
    return old;
}

}  // namespace kel::gui
