// Every routine spec text start-up lexes on the source path, for the boot
// image (environment/boot/routine-table.h).
#include "console/routines.h"
#include "environment/boot/console-stage.h"
#include "environment/boot/routine-table.h"
#include "view/recorder.h"
#include "view/terminal/draw-routines.h"
#include "view/terminal/routines.h"
#include "view/terminal/tui-helpers.h"
#include "view/view-routines.h"

namespace kel::library {

std::vector<const char*> routine_spec_texts() {
    std::vector<const char*> texts;
    auto add = [&](std::span<const RoutineDef> defs) {
        for (const RoutineDef& def : defs) texts.push_back(def.spec);
    };
    add(general_routines());
    add(type_predicates());
    add(system_routines());
    add(codec_routines());
    add(kelbin_routines());
    for (const CodecRoutines& c : image_codec_routines()) add(c.routines);
    add(gui::event_routines());
    add(gui::draw_routines());
    add(view::view_routines());
    add(view::recorder_routines());
    add(gui::tui_helper_routines());
    add(console::console_routines());
    add(console_stage_routines());
    for (const routines::Entry& e : gui::event_routines()) texts.push_back(e.spec);
    texts.push_back(console::INIT_ROUTINE_SPEC);
    return texts;
}

}  // namespace kel::library
