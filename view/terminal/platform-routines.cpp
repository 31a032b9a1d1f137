#include "view/terminal/platform-routines.h"

#include <cstring>
#include <vector>

#include "environment/boot/object-field.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/core/types.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/image.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/object.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/series.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "view/recorder.h"
#include "view/terminal/dispatch.h"
#include "view/terminal/event-loop.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/system-view.h"
#include "view/terminal/terminal-modes.h"
#include "view/terminal/text-layout.h"
#include "view/terminal/view-lifecycle.h"

namespace kel::gui {

namespace {

using routines::Arg;
using routines::Result;

// The frame's first cell, where a routine leaves its answer.
Result answer(const Cell& value) {
    Cell* out = stack::state.arguments;
    if (stack::state.top == out) stack::push(make_none());
    *out = value;
    return {};
}
Result none() { return answer(make_none()); }

[[noreturn]] void invalid_type(const Cell& value) {
    fire(ErrorId::script_invalid_type, {datatype::make(type_of(value))});
}

WidgetId widget_of_handle(const Cell& h) { return WidgetId(handle::value_of(h)); }

Result make_null_handle(const Arg*, int32_t) { return answer(handle::make_cell(0, handle::CLASS_NULL)); }

Result fetch_all_screens(const Arg*, int32_t) { return none(); }

Result get_screen_size(const Arg*, int32_t) {
    ScreenSize size = measure();
    return answer(pair::make_cell(size.columns, size.rows));
}

Result size_text(const Arg* a, int32_t) {
    const Cell& value = *a[1].cell;
    if (type_of(value) != TYPE_STRING && type_of(value) != TYPE_NONE) invalid_type(value);
    Cell text = type_of(value) == TYPE_STRING ? value : facet(*a[0].cell, Facet::text);
    return answer(type_of(text) == TYPE_STRING ? get_text_size(text) : make_none());
}

Result on_change_facet(const Arg* a, int32_t) {
    Cell added = type_of(*a[4].cell) == TYPE_NONE ? make_unset() : *a[4].cell;
    Rooted keep(added);
    OS_update_facet(*a[0].cell, *a[1].cell, *a[2].cell, *a[3].cell, added, a[5].integer, a[6].integer);
    return none();
}

Result update_text(const Arg* a, int32_t) {
    get_text_alt(*a[0].cell);
    return none();
}

Result update_font_of(const Arg* a, int32_t) {
    update_font(*a[0].cell, a[1].integer);
    return none();
}

Result update_para_of(const Arg* a, int32_t) {
    update_para(*a[0].cell, a[1].integer);
    return none();
}

Result destroy_view(const Arg* a, int32_t) {
    OS_destroy_view(*a[0].cell, a[1].integer != 0);
    return none();
}

Result detach_image(const Arg* a, int32_t) {
    if (auto set_owner = series::services().set_owner) set_owner(*a[0].cell, nullptr, nullptr);
    return none();
}

bool is_screen(const Cell& face) { return is_word(facet(face, Facet::type), "screen"); }

// Every value of a block is tested before any face is updated.
Result update_view(const Arg* a, int32_t) {
    const Cell& faces = *a[0].cell;
    if (type_of(faces) == TYPE_BLOCK) {
        int32_t n = block::ks_length(faces);
        for (int32_t i = 0; i < n; ++i) {
            const Cell& v = *block::ks_abs_at(faces, int32_t(faces.data1) + i);
            if (type_of(v) != TYPE_OBJECT) invalid_type(v);
        }
        // By index, the length read again: an update runs Kel code.
        for (int32_t i = 0; i < block::ks_length(faces); ++i) {
            Cell face = *block::ks_abs_at(faces, int32_t(faces.data1) + i);
            Rooted keep(face);
            if (type_of(face) == TYPE_OBJECT && type_of(facet(face, Facet::state)) == TYPE_BLOCK) OS_update_view(face);
        }
    } else if (type_of(faces) == TYPE_OBJECT) {
        if (!is_screen(faces)) OS_update_view(faces);
    } else {
        invalid_type(faces);
    }
    return none();
}

Result refresh_window(const Arg* a, int32_t) {
    request_redraw(widget_of_handle(*a[0].cell));
    return none();
}

Result redraw(const Arg* a, int32_t) {
    if (WidgetId id = face_handle(*a[0].cell)) request_redraw(id);
    return none();
}

Result show_window(const Arg* a, int32_t) {
    OS_show_window(widget_of_handle(*a[0].cell));
    return none();
}

Result make_view(const Arg* a, int32_t) {
    WidgetId id = OS_make_view(*a[0].cell, widget_of_handle(*a[1].cell));
    return answer(handle::make_cell(int32_t(id), handle::CLASS_WINDOW));
}

// `draw` has checked the block and told the image's owner (draw-on-image);
// the grid changes no pixel, so nothing is left to do here.
Result draw_image(const Arg*, int32_t) { return none(); }

// A face's draw block is drawn with the face: nothing to do here.
Result draw_face(const Arg* a, int32_t) {
    get_flags(facet(*a[0].cell, Facet::flags));
    if (face_handle(*a[0].cell)) OS_draw_face(*a[0].cell);
    return none();
}

Result do_event_loop(const Arg* a, int32_t) { return {do_events(a[0].integer != 0) ? 1 : 0}; }

Result exit_event_loop(const Arg*, int32_t) {
    post_quit_msg();
    return none();
}

Result request_font(const Arg* a, int32_t) { return answer(*a[0].cell); }

// The terminal's requesters (TUI-helpers) with every argument the caller
// gave: the title, the name or directory, the filter and the two flags.
Result requester(const char* name, const Arg* a) {
    Cell fn = tui_helper(name);
    Rooted keep(fn);
    Cell* args = stack::push(*a[0].cell);
    stack::push(*a[1].cell);
    stack::push(*a[2].cell);
    stack::push(logic::make_cell(a[3].integer != 0));
    stack::push(logic::make_cell(a[4].integer != 0));
    Cell result = interpreter::call_function(fn, args, 5, word::make(symbol::make(name)));
    return answer(result);
}

Result request_file(const Arg* a, int32_t) { return requester("request-file", a); }
Result request_dir(const Arg* a, int32_t) { return requester("request-dir", a); }

Result request_color(const Arg* a, int32_t) { return answer(OS_request_color(*a[0].cell)); }

Result text_box_metrics_of(const Arg* a, int32_t) {
    const Cell& box = *a[0].cell;
    Cell type = facet(box, Facet::type);
    if (!is_word(type, "rich-text")) fire(ErrorId::script_face_type, {type});
    if (type_of(facet(box, Facet::text)) != TYPE_STRING) return none();
    return answer(text_box_metrics(box, *a[1].cell, a[2].integer));
}

Result update_scroller_of(const Arg* a, int32_t) {
    update_scroller(*a[0].cell, a[1].integer);
    return none();
}

Result set_dark_mode_of(const Arg* a, int32_t) {
    set_dark_mode(*a[0].cell, a[1].integer != 0);
    return none();
}

Result support_dark_mode(const Arg*, int32_t) { return {0}; }

Result toggle_gpu(const Arg*, int32_t) { return none(); }

// Each routine by the word of its field. The specs are the platform's, the
// same texts the recording platform declares.
struct Named {
    const char* word;
    routines::Routine fn;
};
const Named FUNCTIONS[] = {
    {"make-null-handle", make_null_handle},
    {"fetch-all-screens", fetch_all_screens},
    {"get-screen-size", get_screen_size},
    {"size-text", size_text},
    {"on-change-facet", on_change_facet},
    {"update-text", update_text},
    {"update-font", update_font_of},
    {"update-para", update_para_of},
    {"destroy-view", destroy_view},
    {"detach-image", detach_image},
    {"update-view", update_view},
    {"refresh-window", refresh_window},
    {"redraw", redraw},
    {"show-window", show_window},
    {"make-view", make_view},
    {"draw-image", draw_image},
    {"draw-face", draw_face},
    {"do-event-loop", do_event_loop},
    {"exit-event-loop", exit_event_loop},
    {"request-font", request_font},
    {"request-file", request_file},
    {"request-dir", request_dir},
    {"request-color", request_color},
    {"text-box-metrics", text_box_metrics_of},
    {"update-scroller", update_scroller_of},
    {"set-dark-mode", set_dark_mode_of},
    {"support-dark-mode?", support_dark_mode},
    {"toggle-GPU", toggle_gpu},
};

std::vector<routines::Entry> make_entries() {
    std::vector<routines::Entry> entries;
    for (const routines::Entry& spec : view::recorder_routines())
        for (const Named& n : FUNCTIONS)
            if (std::strcmp(n.word, spec.word) == 0) entries.push_back({spec.word, spec.spec, spec.result_type, n.fn});
    if (entries.size() != std::size(FUNCTIONS)) internal_fault();
    return entries;
}

const std::vector<routines::Entry>& entries() {
    static const std::vector<routines::Entry> table = make_entries();
    return table;
}

}  // namespace

std::span<const routines::Entry> platform_routines() { return entries(); }

void install_platform() { library::set_routine_fields(system_view_field("platform"), entries()); }

}  // namespace kel::gui
