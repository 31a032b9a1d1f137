#include "environment/boot/console-stage.h"

#include <cstdio>
#include <string>

#include "console/routines.h"
#include "environment/boot/routine-table.h"
#include "runtime/core/fire.h"
#include "runtime/core/interrupt.h"
#include "runtime/datatypes/unset.h"
#include "runtime/evaluator/call-stack.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/os-path.h"
#include "runtime/memory/roots.h"

namespace kel::library {

namespace {

using routines::Arg;
using routines::Result;

Result do_code(const Arg* a, int32_t) {
    Cell code = *a[0].cell;
    Rooted keep(code);
    Cell* result = stack::state.arguments;
    interpreter::FramesMarked interpreted(stack::FRAME_INTERP);
    // This routine's own frame goes unnamed while the code runs: an error
    // raised at the code's top level names the call that runs the code
    // (try-do's `catch`), not this helper.
    struct Unnamed {
        uint32_t index = stack::calls.top - 1;
        uint32_t symbol = stack::calls.frames[index].symbol;
        Unnamed() { stack::calls.frames[index].symbol = stack::detail::anon_symbol; }
        ~Unnamed() { stack::calls.frames[index].symbol = symbol; }
    } unnamed;
    Cell* base = stack::top();
    // Control-C halts this code when the console keeps its session.
    interrupt::Armed armed;
    uint32_t status = interpreter::eval(code, false);
    // The argument stack does not move: `result` is still the frame's
    // first cell.
    *result = status == 0 && stack::top() > base ? *(stack::top() - 1) : unset_value;
    return {};
}

Result replace_file(const Arg* a, int32_t) {
    std::string from, to;
    if (!os_path::from_text(*a[0].cell, from) || !os_path::from_text(*a[1].cell, to) ||
        std::rename(from.c_str(), to.c_str()) != 0)
        fire(ErrorId::access_cannot_open, {*a[1].cell});
    return {};
}

const RoutineDef CONSOLE_STAGE[] = {
    {"_do-code", R"~("Internal Use Only" code [block!])~", -1, do_code},
    {"_replace-file", R"~("Internal Use Only" from [file!] to [file!])~", -1, replace_file},
};

}  // namespace

std::span<const RoutineDef> console_stage_routines() { return CONSOLE_STAGE; }

void install_console_routines() {
    console::install_routines();
    routines::make_words(CONSOLE_STAGE);
}

}  // namespace kel::library
