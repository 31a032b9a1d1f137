// Widgets: the terminal backend's record of every face it shows, and the
// table that owns them.
//
// A widget holds the face's box in cells (relative to its parent widget),
// its backend flags, a copy of the face cell and its kind's state and
// callbacks. Widgets live in one table and are reached by 32-bit ids made
// of a slot index (low 20 bits, plus 1, so 0 is never an id) and the slot's
// generation (high 12 bits). The face's handle! of class window holds the
// id. An id whose widget was destroyed, or whose slot was taken again,
// resolves to no widget.
//
// Lifetime: destroying a widget marks it dead at once (it resolves to
// nothing from then on, and every backend pointer to it is cleared by the
// destroyer); its slot and its storage are released only by
// `release_dead_widgets`, at the end of a frame, so that no C++ frame still
// running (a dispatch, a render) is left with a dangling record. Code that
// calls into Kel holds ids, never a `Widget*`, across the call, and looks
// the id up again afterwards.
//
// The collector: one root marker marks every live widget's face cell, saved
// data cell, UI string node and text source node.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/core/cell.h"
#include "view/terminal/colour.h"
#include "view/terminal/window-record.h"

namespace kel::gui {

// Widget flags.
inline constexpr uint32_t WIDGET_HIDDEN = 0x20000;  // `visible?` not true
inline constexpr uint32_t WIDGET_DISABLED = 0x40000;  // `enabled?` not true: receives no events
inline constexpr uint32_t WIDGET_ALL_OVER = 0x100000;
inline constexpr uint32_t WIDGET_CARET = 0x200000;  // shows the terminal cursor when focused
inline constexpr uint32_t WIDGET_FOCUSABLE = 0x400000;
inline constexpr uint32_t WIDGET_AWAY = 0x1000000;  // the pointer left it while hovered or pressed
inline constexpr uint32_t WIDGET_FOCUSED = 0x2000000;
inline constexpr uint32_t WIDGET_PASSWORD = 0x10000000;
inline constexpr uint32_t WIDGET_FULL_SCREEN = 0x40000000;
inline constexpr uint32_t WIDGET_CARET_HOST = 0x80000000;  // a base that only places the caret

// Face flag bits (`get_flags` of a face's `flags` facet).
inline constexpr uint32_t FACE_ALL_OVER = 0x1;
inline constexpr uint32_t FACE_FOCUSABLE = 0x2;
inline constexpr uint32_t FACE_PASSWORD = 0x80000;
inline constexpr uint32_t FACE_FULLSCREEN = 0x200000;

// A run of screen cells (image cells, a rich-text's styled text).
using CellRun = std::vector<ScreenCell>;

// What the dispatch knows of one event for a widget's own handler.
struct EventRecord {
    WidgetId widget = 0;
    float x = 0, y = 0;  // cell coordinates in the widget
    int32_t key_or_picked = 0;
    float wheel = 0;
};

// The edit state of a field.
struct FieldEdit {
    int32_t index = 0;  // the caret's character index in the text
    int32_t caret_column = 0;  // cells from the text's start
    int32_t text_width = 0;  // cells of the whole text
};

// The kind-specific state; only the member of the widget's kind is used.
struct KindData {
    std::unique_ptr<WindowRecord> window;  // window
    FieldEdit field;  // field
    int32_t first_line = 0;  // text-list: the 0-based index of the first shown line
    CellRun cells;  // rich-text: the styled text
};

using UiHook = void (*)(WidgetId widget);
using RenderCallback = void (*)(int32_t x, int32_t y, WidgetId widget);
// Answers 0, or 2 when the widget was destroyed during the call.
using EventCallback = int32_t (*)(WidgetId widget, int32_t type, EventRecord& record);

struct Widget {
    int32_t type = 0;  // the resolved symbol of the face's type word
    uint32_t flags = 0;
    float left = 0, top = 0, right = 0, bottom = 0;  // the box, in cells, relative to the parent
    WidgetId parent = 0;  // 0 for a window
    CellRun image_cells;  // empty: none
    NodeId ui_string = 0;  // the string! node built by the kind's UI maker, or 0
    KindData kind_data;
    UiHook ui_hook;  // rebuilds the UI string
    RenderCallback render;  // draws the widget at cell x, y
    EventCallback event;  // the widget's own handling of an event
    Cell face;  // a copy of the face object cell
    Cell saved_data;  // the face's `data` as last seen (text-lists)
    NodeId text_source = 0;  // the string a rich-text cell run was made from, or 0
    bool dead = false;  // destroyed; the slot is released at the end of the frame
};

// The default callbacks: no UI, the generic render with escapes
// interpreted, no own event handling.
void no_ui(WidgetId widget);
void default_render(int32_t x, int32_t y, WidgetId widget);
int32_t no_event(WidgetId widget, int32_t type, EventRecord& record);

// A new zero-filled widget with the default callbacks (face and saved data
// none); answers its id.
WidgetId make_widget();
// The live widget of an id; null for 0, a stale id or a dead widget.
Widget* find_widget(WidgetId id);
// Marks the widget dead (it resolves to nothing from now on); its slot is
// released by the next `release_dead_widgets`. Clearing the backend's
// pointers to it is the destroyer's task.
void mark_widget_dead(WidgetId id);
// Releases the slots of the dead widgets (the end of a frame).
void release_dead_widgets();
// Releases every widget, live or dead (the backend's window state is reset;
// tests).
void release_all_widgets();
// Live widgets in the table (tests).
int32_t live_widget_count();

// The backend-wide widget pointers. Destroying a widget clears every one
// that names it.
struct WidgetPointers {
    WidgetId current_window = 0;  // the window widget that is drawn and receives input
    WidgetId focused = 0;
    WidgetId hovered = 0;
    WidgetId pressed = 0;
    WidgetId last_made = 0;  // the most recently made widget
    std::vector<WidgetId> pressed_list;  // widgets that received a press since the last release
    std::vector<WidgetId> windows;  // window widgets, the top-most last
};
WidgetPointers& pointers();

// The window record of a window widget, or null.
WindowRecord* window_record(WidgetId window);
// The nearest window widget of a widget (itself when it is a window), or 0.
WidgetId window_of(WidgetId widget);
// Whether `ancestor` is the widget or one of its parents.
bool is_within(WidgetId widget, WidgetId ancestor);

// The OR of the face flag bits of a `flags` facet: a word or a block of
// words; any other value gives 0. A word outside the table raises
// script/invalid-arg.
uint32_t get_flags(const Cell& flags);
// The widget of a face: its `state` is a block whose first value is a
// handle!, and the handle's id resolves; else 0.
WidgetId face_handle(const Cell& face);
// The same without the tests of the state (the caller knows the face has a
// view): the id the handle holds, 0 when there is none.
WidgetId get_face_handle(const Cell& face);

// The face object of a widget, or none.
Cell face_of(WidgetId widget);

}  // namespace kel::gui
