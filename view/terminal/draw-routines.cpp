#include "view/terminal/draw-routines.h"

#include "runtime/core/system.h"
#include "runtime/core/types.h"
#include "runtime/datatypes/image.h"
#include "runtime/evaluator/stack-state.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "view/terminal/draw-symbols.h"
#include "view/terminal/draw-walk.h"
#include "view/terminal/draw.h"
#include "view/terminal/face-fields.h"
#include "view/terminal/render.h"
#include "view/terminal/widget-kinds.h"
#include "view/terminal/widgets.h"

namespace kel::gui {

namespace {

using routines::Arg;
using routines::Result;

// The routine's result, none, in the frame's first cell (which held the
// first argument: read the arguments before).
void answer_none() {
    Cell* out = stack::state.arguments;
    if (stack::state.top == out) stack::push(make_none());
    *out = make_none();
}

Result draw_on_image_routine(const Arg* a, int32_t) {
    draw_on_image(*a[0].cell, *a[1].cell);
    answer_none();
    return {};
}

const routines::Entry ENTRIES[] = {
    {"draw-on-image", R"~(image [image!] cmds [block!])~", -1, draw_on_image_routine},
};

// The rich-text widget's hook: its `data` styles its cell run. The error of
// a malformed block reaches the code that changed the face; a silent stop
// ends here.
void rich_text_block(WidgetId widget) {
    Widget* w = find_widget(widget);
    if (!w) return;
    Cell data = facet(w->face, Facet::data), text = facet(w->face, Facet::text);
    Rooted keep_data(data), keep_text(text);
    if (protect(draw::STOPPED, [&] { draw::parse_text_styles(w->kind_data.cells, data, text, false); })) handled();
    draw::take_silent_stop();
}

}  // namespace

std::span<const routines::Entry> draw_routines() { return ENTRIES; }

void draw_on_image(const Cell& image_in, const Cell& cmds_in) {
    Cell img = image_in, cmds = cmds_in;
    Rooted keep_img(img), keep_cmds(cmds);
    if (image::width(img) == 0 || image::height(img) == 0) return;
    draw::do_draw(cmds, false);
    // No pixel changes on the grid; the owner still hears of the drawing.
    image::acquire_data(img);
    image::release_data(img, true);
}

void start_draw() {
    draw_words::intern();
    routines::make_words(ENTRIES);
    draw_face_block = draw::render_face_block;
    rich_text_styles = rich_text_block;
}

}  // namespace kel::gui
