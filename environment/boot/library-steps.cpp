#include "environment/boot/library-steps.h"

#include <cstdlib>
#include <cstring>

#include "console/routines.h"
#include "environment/boot/console-stage.h"
#include "environment/boot/object-field.h"
#include "environment/boot/routine-table.h"
#include "environment/build-info.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/stack.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/process.h"
#include "runtime/text/unicode.h"
#include "view/recorder.h"
#include "view/terminal/draw-routines.h"
#include "view/terminal/platform-routines.h"
#include "view/terminal/routines.h"
#include "view/terminal/terminal-modes.h"
#include "view/view-routines.h"

namespace kel::library {

namespace {

Cell global_value(const char* name) { return *context::get(word::make(symbol::make(name))); }

// The object at a path of fields from `system` ("state/GC").
Cell system_object(const char* path) {
    Cell obj = global_value("system");
    std::string rest = path;
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string name = rest.substr(0, slash);
        obj = *field_slot(obj, name.c_str());
        rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
    }
    return obj;
}

// Sets each routine of the table into the field its word names under
// `system`.
void set_system_routines() {
    for (const RoutineDef& def : system_routines()) {
        std::string path = def.word;
        size_t slash = path.rfind('/');
        Cell obj = system_object(path.substr(0, slash).c_str());
        Rooted keep(obj);
        Cell* saved = stack::top();
        Cell* r = routines::push(def);
        *field_slot(obj, path.substr(slash + 1).c_str()) = *r;
        stack::pop(uint32_t(stack::top() - saved));
    }
}

// What the runtime made that `system` holds: the global context as
// system/words, the error catalog and prototype, the routines of its
// sub-objects and the command line in system/script/args; and what the
// runtime reads of it: system/state for error reports.
void install_system() {
    Cell system = global_value("system");
    Rooted keep(system);
    Cell words{TYPE_OBJECT, context::global(), uint32_t(-1), 0};
    *context::owner_of(context::global()) = words;
    *field_slot(system, "words") = words;
    *field_slot(*field_slot(system, "catalog"), "errors") = error::catalog();
    *field_slot(*field_slot(system, "standard"), "error") = error::prototype();
    Cell state = *field_slot(system, "state");
    error::install_state(state);
    set_system_routines();
    Cell* saved = stack::top();
    Cell* text = push_utf8(platform::get_command_line());
    *field_slot(*field_slot(system, "script"), "args") = *text;
    stack::pop(uint32_t(stack::top() - saved));
}

// system/options/args from argv itself: every argument after the program
// path, exactly as the shell gave it.
void install_argv() {
    Cell* saved = stack::top();
    Cell* args = stack::push(make_none());
    block::make_at(*args, sys.argc);
    args->header = TYPE_BLOCK;
    for (int i = 1; i < sys.argc; ++i) {
        Cell* text = push_utf8(sys.argv[i]);
        block::append_cell(*args, *text);
        stack::pop(1);
    }
    *field_slot(*field_slot(global_value("system"), "options"), "args") = *args;
    stack::pop(uint32_t(stack::top() - saved));
}

// The build metadata the configure step captured (build-info.h): the build
// and commit dates in UTC, and build-basename as a string. A build made
// outside a repository has no commit: system/build/git is none there, so
// readers (about) tell "no repository information" from an empty record.
void install_build() {
    Cell system = global_value("system");
    Rooted keep(system);
    Cell* saved = stack::top();
    *field_slot(*field_slot(system, "build"), "date") = date::of_instant(build_info::BUILD_TIME, 0.0, 0);
    Cell config = *field_slot(*field_slot(system, "build"), "config");
    *field_slot(config, "build-basename") = *push_utf8(build_info::BASENAME);
    stack::pop(uint32_t(stack::top() - saved));
    if (!build_info::GIT_COMMIT[0]) {
        *field_slot(*field_slot(system, "build"), "git") = none_value;
        return;
    }
    Cell git = *field_slot(*field_slot(system, "build"), "git");
    Rooted keep_git(git);
    *field_slot(git, "branch") = *push_utf8(build_info::GIT_BRANCH);
    *field_slot(git, "message") = *push_utf8(build_info::GIT_MESSAGE);
    *field_slot(git, "ahead") = make_integer(build_info::GIT_AHEAD);
    if (build_info::GIT_DATE) *field_slot(git, "date") = date::of_instant(build_info::GIT_DATE, 0.0, 0);
    *field_slot(git, "commit") = word::issue_of(build_info::GIT_COMMIT);
    stack::pop(uint32_t(stack::top() - saved));
}

void install_null_handle() {
    Cell w = context::add_global(symbol::make("null-handle"), false, true);
    context::set(w, handle::make_cell(0, 0));
}

// system/console/init: the console's routine that names the window and
// reads its size.
void install_console_init() {
    Cell console = *field_slot(global_value("system"), "console");
    Rooted keep(console);
    Cell* saved = stack::top();
    Cell* r = console::push_init_routine();
    *field_slot(console, "init") = *r;
    stack::pop(uint32_t(stack::top() - saved));
}

// The context that a library function's body reaches through the word
// `name` (the first such word of its body, which is bound to it): how
// start-up finds a context that no global word holds.
NodeId context_through(const char* function_word, const char* name) {
    Cell fn = global_value(function_word);
    if (type_of(fn) != TYPE_FUNCTION) internal_fault();
    Cell body = memory::buffer_of(fn.data3)->cells()[0];
    int32_t sym = symbol::make(name);
    SeriesBuffer* b = block::buffer(body);
    for (const Cell* c = b->cells(); c < b->cells() + b->cell_count(); ++c)
        if (type_of(*c) == TYPE_WORD && symbol::resolve(int32_t(c->data2)) == symbol::resolve(sym) &&
            c->data1 != context::global())
            return c->data1;
    internal_fault();
}

// Sets each routine of the table into the field its word names in the
// context.
void set_context_routines(NodeId ctx, std::span<const RoutineDef> defs) {
    for (const RoutineDef& def : defs) {
        Cell* saved = stack::top();
        Cell* r = routines::push(def);
        int32_t index = context::find_word(ctx, symbol::make(def.word), false);
        if (index < 0) internal_fault();
        context::values_of(*context::cell_of(ctx))[index] = *r;
        stack::pop(uint32_t(stack::top() - saved));
    }
}

// The routines of the JSON and CSV contexts, found through load-json,
// to-json and load-csv.
void install_codec_routines() {
    std::span<const RoutineDef> routines = codec_routines();
    set_context_routines(context_through("load-json", "stack"), routines.subspan(0, 2));
    set_context_routines(context_through("to-json", "init-state"), routines.subspan(2, 1));
    set_context_routines(context_through("load-csv", "_csv"), routines.subspan(3, 1));
}

// The context of the codec object under the name in system/codecs.
NodeId codec_context(const char* name) {
    Cell codecs = *field_slot(global_value("system"), "codecs");
    const Cell* codec = map::lookup(codecs, word::make(symbol::make(name)), COMP_EQUAL);
    if (!codec || type_of(*codec) != TYPE_OBJECT) internal_fault();
    return codec->data1;
}

// The routines of the image codec objects and of the kelbin one.
void install_image_codecs() {
    for (const CodecRoutines& c : image_codec_routines()) set_context_routines(codec_context(c.codec), c.routines);
}

void install_kelbin_routines() { set_context_routines(codec_context("kelbin"), kelbin_routines()); }

// The terminal backend's routines in system/view/platform, or the recording
// platform's with KEL_VIEW=record.
void install_view_platform() {
    const char* kind = std::getenv("KEL_VIEW");
    if (kind && std::strcmp(kind, "record") == 0)
        view::install_recorder();
    else
        gui::install_platform();
}

}  // namespace

Cell* push_utf8(const std::string& text) {
    Cell* s = stack::push(make_none());
    string::ks_make_at(*s, int32_t(text.size()) + 1);
    if (!text.empty())
        unicode::load_utf8_into(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()), *s, nullptr);
    return s;
}

void run_step(const char* name, const Cell*) {
    struct Step {
        const char* name;
        void (*run)();
    };
    static const Step steps[] = {
        {"routines", [] { routines::make_words(general_routines()); }},
        {"null-handle", install_null_handle},
        {"fix-arities", native::fix_arities},
        {"type-predicates", [] { routines::make_words(type_predicates()); }},
        {"system", install_system},
        {"build", install_build},
        {"argv", install_argv},
        {"console-routines", install_console_routines},
        {"image-codecs", install_image_codecs},
        {"console-init", install_console_init},
        {"codec-routines", install_codec_routines},
        {"kelbin-routines", install_kelbin_routines},
        {"event-routines", [] { routines::make_words(gui::event_routines()); }},
        {"view-routines", [] { routines::make_words(view::view_routines()); }},
        {"terminal-backend", gui::init},
        {"view-platform", install_view_platform},
        {"draw", gui::start_draw},
    };
    for (const Step& s : steps)
        if (std::strcmp(s.name, name) == 0) return s.run();
    internal_fault();
}

}  // namespace kel::library
