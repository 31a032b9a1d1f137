#include "view/recorder.h"

#include <unordered_set>
#include <vector>

#include "environment/boot/object-field.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/core/types.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/actions.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/text/char-width.h"
#include "view/terminal/system-view.h"

namespace kel::view {

namespace {

using routines::Arg;
using routines::Result;

// The recorder object (or none), held by a cell of the root block.
Cell* recorder = nullptr;
// The value of the last handle made: handles are never reused.
int32_t last_handle = 0;
// Running event loops, and whether the innermost one was asked to end.
int32_t loop_depth = 0;
bool quit_requested = false;

// The slot of an object's field, or null; re-read after any allocation.
Cell* field(const Cell& obj, const char* name) {
    if (type_of(obj) != TYPE_OBJECT) return nullptr;
    int32_t index = object::find_field(obj, symbol::make(name));
    if (index < 0) return nullptr;
    return context::values_of(*context::cell_of(obj.data1)) + index;
}

Cell global_value(const char* name) { return *context::get(word::make(symbol::make(name))); }

Cell system_view_field(const char* name) {
    Cell* view = field(global_value("system"), "view");
    Cell* slot = view ? field(*view, name) : nullptr;
    return slot ? *slot : make_none();
}

// The frame's first cell, where a routine leaves its answer.
void answer(const Cell& value) {
    Cell* out = stack::state.arguments;
    if (stack::state.top == out) stack::push(make_none());
    *out = value;
}

// Appends [name arg ...] to the recorder's log. A block argument is logged
// as a copy, so the entry shows what was passed even when the caller
// empties it later.
void record(const char* name, std::initializer_list<Cell> args) {
    if (!recorder || type_of(*recorder) != TYPE_OBJECT) return;
    if (Cell* log = field(*recorder, "log"); !log || type_of(*log) != TYPE_BLOCK) return;
    std::vector<Cell> values(args);
    Cell* saved = stack::top();
    for (const Cell& v : values) stack::push(v);  // reachable while the entry is made
    Cell* first = saved;
    Cell* entry = stack::push(make_none());
    block::make_at(*entry, int32_t(values.size()) + 1);
    entry->header = TYPE_BLOCK;
    block::append_cell(*entry, word::make(symbol::make(name)));
    for (size_t i = 0; i < values.size(); ++i) {
        Cell* v = first + i;
        if (type_of(*v) == TYPE_BLOCK) {
            Cell* copy = stack::push(make_none());
            actions::copy(copy, v, {});
            block::append_cell(*entry, *copy);
            stack::pop(1);
        } else {
            block::append_cell(*entry, *v);
        }
    }
    if (Cell* log = field(*recorder, "log"); log && type_of(*log) == TYPE_BLOCK) block::append_cell(*log, *entry);
    stack::pop(uint32_t(stack::top() - saved));
}

Cell logic(int32_t flag) { return logic::make_cell(flag != 0); }

// A face's state block, or null.
Cell* state_block(const Cell& face) {
    Cell* state = field(face, "state");
    return state && type_of(*state) == TYPE_BLOCK ? state : nullptr;
}

// Sets state to none on the face and on every face of its pane tree; a
// face met twice (a pane holding an ancestor) is done once.
void clear_state(const Cell& face, std::unordered_set<NodeId>& seen) {
    if (type_of(face) != TYPE_OBJECT || !seen.insert(face.data1).second) return;
    if (Cell* state = field(face, "state")) *state = make_none();
    Cell* pane = field(face, "pane");
    if (!pane || type_of(*pane) != TYPE_BLOCK) return;
    Cell children = *pane;
    int32_t n = block::ks_length(children);
    for (int32_t i = 0; i < n && i < block::ks_length(children); ++i)
        clear_state(*block::ks_abs_at(children, int32_t(children.data1) + i), seen);
}

void clear_dirty(const Cell& face) {
    Cell* state = state_block(face);
    if (!state || block::ks_length(*state) < 2) return;
    *block::ks_abs_at(*state, int32_t(state->data1) + 1) = make_integer(0);
}

bool is_screen(const Cell& face) {
    Cell* type = field(face, "type");
    return type && type_of(*type) == TYPE_WORD &&
        symbol::resolve(word::symbol_of(*type)) == symbol::resolve(symbol::make("screen"));
}

// The text a routine measures: the string given, the face's own text for
// none; any other argument type raises invalid-type.
Cell measured_text(const Cell& face, const Cell& value) {
    if (type_of(value) == TYPE_STRING) return value;
    if (type_of(value) != TYPE_NONE) fire(ErrorId::script_invalid_type, {datatype::make(type_of(value))});
    Cell* text = field(face, "text");
    return text ? *text : make_none();
}

// Display columns of the widest line, and the number of lines.
Cell text_size(const Cell& text) {
    int32_t head = int32_t(text.data1), end = string::ks_abs_length(text);
    int32_t width = 0, line = 0, lines = 1;
    for (int32_t i = head; i < end; ++i) {
        uint32_t cp = string::get_char_at(text, i);
        if (cp == '\n') {
            ++lines;
            line = 0;
            continue;
        }
        line += unicode::char_width(cp);
        if (line > width) width = line;
    }
    return point::make2(float(width), float(lines));
}

float planar_x(const Cell& p) {
    if (type_of(p) == TYPE_PAIR) return float(int32_t(p.data2));
    if (type_of(p) == TYPE_POINT2D) return point::axis(p, 0);
    fire(ErrorId::script_invalid_type, {datatype::make(type_of(p))});
}

Result make_null_handle(const Arg*, int32_t) {
    record("make-null-handle", {});
    answer(handle::make_cell(0, handle::CLASS_NULL));
    return {};
}

Result fetch_all_screens(const Arg*, int32_t) {
    record("fetch-all-screens", {});
    answer(make_none());
    return {};
}

Result get_screen_size(const Arg* a, int32_t) {
    record("get-screen-size", {make_integer(a[0].integer)});
    Cell* size = recorder ? field(*recorder, "screen-size") : nullptr;
    answer(size && (type_of(*size) == TYPE_PAIR) ? *size : pair::make_cell(80, 24));
    return {};
}

Result size_text(const Arg* a, int32_t) {
    record("size-text", {*a[0].cell, *a[1].cell});
    Cell text = measured_text(*a[0].cell, *a[1].cell);
    answer(type_of(text) == TYPE_STRING ? text_size(text) : make_none());
    return {};
}

Result on_change_facet(const Arg* a, int32_t) {
    record("on-change-facet",
           {*a[0].cell, *a[1].cell, *a[2].cell, *a[3].cell, *a[4].cell, make_integer(a[5].integer),
            make_integer(a[6].integer)});
    answer(make_none());
    return {};
}

// The routines that only record: one argument cell, then none.
template <const char* NAME>
Result record_one(const Arg* a, int32_t) {
    record(NAME, {*a[0].cell});
    answer(make_none());
    return {};
}
template <const char* NAME>
Result record_cell_integer(const Arg* a, int32_t) {
    record(NAME, {*a[0].cell, make_integer(a[1].integer)});
    answer(make_none());
    return {};
}
template <const char* NAME>
Result record_two(const Arg* a, int32_t) {
    record(NAME, {*a[0].cell, *a[1].cell});
    answer(make_none());
    return {};
}
template <const char* NAME>
Result record_none(const Arg*, int32_t) {
    record(NAME, {});
    answer(make_none());
    return {};
}

constexpr char UPDATE_TEXT[] = "update-text";
constexpr char UPDATE_FONT[] = "update-font";
constexpr char UPDATE_PARA[] = "update-para";
constexpr char DETACH_IMAGE[] = "detach-image";
constexpr char REFRESH_WINDOW[] = "refresh-window";
constexpr char REDRAW[] = "redraw";
constexpr char SHOW_WINDOW[] = "show-window";
constexpr char DRAW_IMAGE[] = "draw-image";
constexpr char DRAW_FACE[] = "draw-face";
constexpr char UPDATE_SCROLLER[] = "update-scroller";
constexpr char TOGGLE_GPU[] = "toggle-GPU";

Result destroy_view(const Arg* a, int32_t) {
    record("destroy-view", {*a[0].cell, logic(a[1].integer)});
    std::unordered_set<NodeId> seen;
    clear_state(*a[0].cell, seen);
    if (a[1].integer && loop_depth > 0) quit_requested = true;
    answer(make_none());
    return {};
}

Result update_view(const Arg* a, int32_t) {
    Cell face = *a[0].cell;
    record("update-view", {face});
    if (type_of(face) == TYPE_BLOCK) {
        int32_t n = block::ks_length(face);
        for (int32_t i = 0; i < n; ++i) {
            const Cell& v = *block::ks_abs_at(face, int32_t(face.data1) + i);
            if (type_of(v) != TYPE_OBJECT) fire(ErrorId::script_invalid_type, {datatype::make(type_of(v))});
        }
        for (int32_t i = 0; i < n; ++i) clear_dirty(*block::ks_abs_at(face, int32_t(face.data1) + i));
    } else if (type_of(face) == TYPE_OBJECT) {
        if (!is_screen(face)) clear_dirty(face);
    } else {
        fire(ErrorId::script_invalid_type, {datatype::make(type_of(face))});
    }
    answer(make_none());
    return {};
}

Result make_view(const Arg* a, int32_t) {
    record("make-view", {*a[0].cell, *a[1].cell});
    answer(handle::make_cell(++last_handle, handle::CLASS_WINDOW));
    return {};
}

// The newest window: the last value of the first screen's pane.
Cell newest_window() {
    Cell screens = system_view_field("screens");
    if (type_of(screens) != TYPE_BLOCK || block::ks_length(screens) < 1) return make_none();
    Cell screen = *block::ks_abs_at(screens, int32_t(screens.data1));
    Cell* pane = field(screen, "pane");
    if (!pane || type_of(*pane) != TYPE_BLOCK || block::ks_length(*pane) < 1) return make_none();
    return *block::ks_abs_at(*pane, int32_t(pane->data1) + block::ks_length(*pane) - 1);
}

// Takes the next step from the queue, or answers false when it is empty.
bool take_step(Cell* out) {
    Cell* steps = recorder ? field(*recorder, "steps") : nullptr;
    if (!steps || type_of(*steps) != TYPE_BLOCK || block::ks_length(*steps) < 1) return false;
    Cell* series = stack::push(*steps);
    actions::take(out, series, {});
    stack::pop(1);
    return true;
}

// Marks the loop entered for its lifetime, on every way out.
struct LoopScope {
    LoopScope() {
        ++loop_depth;
        quit_requested = false;
    }
    ~LoopScope() {
        --loop_depth;
        quit_requested = false;
    }
};

Result do_event_loop(const Arg* a, int32_t) {
    record("do-event-loop", {logic(a[0].integer)});
    LoopScope scope;
    bool ran = false;
    Cell name = word::make(symbol::make("do-event-loop"));
    Cell* saved = stack::top();
    while (!quit_requested) {
        Cell* step = stack::push(make_none());
        if (!take_step(step)) break;
        ran = true;
        Cell* window = stack::push(newest_window());
        Cell* event = stack::push(interpreter::call_function(*step, window, 1, name));
        if (type_of(*event) == TYPE_BLOCK) {
            Cell* proto = stack::push(datatype::make(TYPE_EVENT));
            Cell* made = stack::push(make_none());
            actions::make(made, proto, event);
            event = made;
        }
        if (type_of(*event) == TYPE_EVENT) {
            Cell* awake = stack::push(system_view_field("awake"));
            interpreter::call_function(*awake, event, 1, name);
        }
        stack::pop(uint32_t(stack::top() - saved));
    }
    stack::pop(uint32_t(stack::top() - saved));
    return {ran ? 1 : 0};
}

Result exit_event_loop(const Arg*, int32_t) {
    record("exit-event-loop", {});
    if (loop_depth > 0) quit_requested = true;
    answer(make_none());
    return {};
}

Result request_font(const Arg* a, int32_t) {
    Cell font = *a[0].cell;
    record("request-font", {font, *a[1].cell, logic(a[2].integer)});
    answer(font);
    return {};
}

// The file and directory requesters are the terminal's own dialogs
// (TUI-helpers), called with every argument the caller gave, so that
// recorder steps drive them as they drive any window.
Result requester(const char* name, const Arg* a) {
    record(name, {*a[0].cell, *a[1].cell, *a[2].cell, logic(a[3].integer), logic(a[4].integer)});
    Cell fn = gui::tui_helper(name);
    Rooted keep(fn);
    Cell* args = stack::push(*a[0].cell);
    stack::push(*a[1].cell);
    stack::push(*a[2].cell);
    stack::push(logic(a[3].integer));
    stack::push(logic(a[4].integer));
    answer(interpreter::call_function(fn, args, 5, word::make(symbol::make(name))));
    return {};
}

Result request_file(const Arg* a, int32_t) { return requester("request-file", a); }
Result request_dir(const Arg* a, int32_t) { return requester("request-dir", a); }

Result request_color(const Arg* a, int32_t) {
    record("request-color", {*a[0].cell, *a[1].cell});
    answer(make_none());
    return {};
}

// One line of monospace text: a caret index is a column, a column an index.
Result text_box_metrics(const Arg* a, int32_t) {
    Cell box = *a[0].cell, arg = *a[1].cell;
    int32_t mode = a[2].integer;
    record("text-box-metrics", {box, arg, make_integer(mode)});
    Cell* type = field(box, "type");
    Cell type_word = type ? *type : make_none();
    if (type_of(type_word) != TYPE_WORD ||
        symbol::resolve(word::symbol_of(type_word)) != symbol::resolve(symbol::make("rich-text")))
        fire(ErrorId::script_face_type, {type_word});
    Cell* text = field(box, "text");
    if (!text || type_of(*text) != TYPE_STRING) {
        answer(make_none());
        return {};
    }
    Cell content = *text;
    int32_t length = string::ks_length(content);
    switch (mode) {
    case 0:
    case 6: {
        if (type_of(arg) != TYPE_INTEGER) fire(ErrorId::script_invalid_type, {datatype::make(type_of(arg))});
        int32_t pos = int32_t(arg.data2);
        pos = pos < 1 ? 1 : pos > length + 1 ? length + 1 : pos;
        answer(point::make2(float(pos - 1), mode == 6 ? 1.0f : 0.0f));
        break;
    }
    case 1:
    case 5: {
        float x = planar_x(arg);
        // NaN and negative columns give the first index.
        int32_t column = !(x >= 0) ? 0 : x > float(length) ? length : int32_t(x);
        answer(make_integer(column + 1));
        break;
    }
    default:
        answer(text_size(content));
    }
    return {};
}

Result set_dark_mode(const Arg* a, int32_t) {
    record("set-dark-mode", {*a[0].cell, logic(a[1].integer)});
    answer(make_none());
    return {};
}

Result support_dark_mode(const Arg*, int32_t) {
    record("support-dark-mode?", {});
    return {0};
}

const routines::Entry ENTRIES[] = {
    {"make-null-handle", "", -1, make_null_handle},
    {"fetch-all-screens", "", -1, fetch_all_screens},
    {"get-screen-size", "id [integer!]", -1, get_screen_size},
    {"size-text", "face [object!] value [any-type!]", -1, size_text},
    {"on-change-facet",
     "owner [object!] word [any-word!] value [any-type!] action [word!] new [any-type!] index [integer!] part "
     "[integer!]",
     -1, on_change_facet},
    {"update-text", "face [object!]", -1, record_one<UPDATE_TEXT>},
    {"update-font", "font [object!] flags [integer!]", -1, record_cell_integer<UPDATE_FONT>},
    {"update-para", "face [object!] flags [integer!]", -1, record_cell_integer<UPDATE_PARA>},
    {"destroy-view", "face [object!] empty? [logic!]", -1, destroy_view},
    {"detach-image", "img [image!]", -1, record_one<DETACH_IMAGE>},
    {"update-view", "face [any-type!]", -1, update_view},
    {"refresh-window", "h [handle!]", -1, record_one<REFRESH_WINDOW>},
    {"redraw", "face [object!]", -1, record_one<REDRAW>},
    {"show-window", "id [handle!]", -1, record_one<SHOW_WINDOW>},
    {"make-view", "face [object!] parent [handle!]", -1, make_view},
    {"draw-image", "image [image!] cmds [block!]", -1, record_two<DRAW_IMAGE>},
    {"draw-face", "face [object!] cmds [block!]", -1, record_two<DRAW_FACE>},
    {"do-event-loop", "no-wait? [logic!]", TYPE_LOGIC, do_event_loop},
    {"exit-event-loop", "", -1, exit_event_loop},
    {"request-font", "font [object!] selected [any-type!] mono? [logic!]", -1, request_font},
    {"request-file", "title [any-type!] name [any-type!] filter [any-type!] save? [logic!] multi? [logic!]", -1,
     request_file},
    {"request-dir", "title [any-type!] dir [any-type!] filter [any-type!] keep? [logic!] multi? [logic!]", -1,
     request_dir},
    {"request-color", "color [tuple!] recent [block!]", -1, request_color},
    {"text-box-metrics", "box [object!] arg0 [any-type!] type [integer!]", -1, text_box_metrics},
    {"update-scroller", "scroller [object!] flags [integer!]", -1, record_cell_integer<UPDATE_SCROLLER>},
    {"set-dark-mode", "face [object!] dark? [logic!]", -1, set_dark_mode},
    {"support-dark-mode?", "return: [logic!]", TYPE_LOGIC, support_dark_mode},
    {"toggle-GPU", "", -1, record_none<TOGGLE_GPU>},
};

}  // namespace

std::span<const routines::Entry> recorder_routines() { return ENTRIES; }

void install_recorder() {
    if (!recorder) recorder = roots::append(make_none());
    Cell held = global_value("view-recorder");
    *recorder = type_of(held) == TYPE_OBJECT ? held : make_none();
    library::set_routine_fields(system_view_field("platform"), ENTRIES);
}

}  // namespace kel::view
