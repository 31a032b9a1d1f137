#include "environment/launch.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "environment/boot.h"
#include "environment/library-steps.h"
#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/interpreter-state.h"
#include "runtime/evaluator/interpreter.h"
#include "runtime/evaluator/stack.h"
#include "runtime/io/simple-io.h"
#include "runtime/memory/roots.h"
#include "runtime/text/unicode.h"

namespace kel::library {

namespace {

using routines::Arg;
using routines::Result;

inline constexpr int32_t SCRIPT_FAILED = 1;

std::string read_stdin() {
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(0, buffer, sizeof buffer);
        if (n > 0) text.append(buffer, size_t(n));
        else if (n == 0 || errno != EINTR) break;
    }
    return text;
}

bool is_header(const Cell& loaded) {
    if (type_of(loaded) != TYPE_BLOCK || block::ks_length(loaded) < 2) return false;
    const Cell* c = block::ks_abs_at(loaded, int32_t(loaded.data1));
    return type_of(c[0]) == TYPE_WORD && symbol::resolve(int32_t(c[0].data2)) == symbol::resolve(symbol::make("Kel")) &&
           type_of(c[1]) == TYPE_BLOCK;
}

void run_source(const char* script) {
    Cell* source = stack::push(make_none());
    if (script) {
        simple_io::ReadOptions binary;
        binary.binary = true;
        if (!simple_io::read_file(source, script, binary)) fire(ErrorId::access_cannot_open, {*push_utf8(script)});
    } else {
        *source = *push_utf8(read_stdin());
    }
    Cell load = boot::insulated("load");
    Rooted keep_load(load);
    Cell code = interpreter::call_function(load, source, 1, word::make(symbol::make("load")));
    Rooted keep_code(code);
    if (script) {
        if (!is_header(code)) fire(ErrorId::syntax_no_header, {*push_utf8(script)});
        code.data1 += 2;
    }
    if (type_of(code) != TYPE_BLOCK) return;
    // The script is interpreted code: its calls are marked as such.
    struct Interpreted {
        uint32_t saved = interpreter::state.interp_frame;
        Interpreted() { interpreter::state.interp_frame = stack::FRAME_INTERP; }
        ~Interpreted() { interpreter::state.interp_frame = saved; }
    } interpreted;
    (void)interpreter::eval(code, false);
}

Result bootstrap(const Arg*, int32_t) {
    const char* script = nullptr;
    for (int i = 1; i < sys.argc; ++i) {
        if (std::strncmp(sys.argv[i], "--", 2) == 0) continue;
        script = sys.argv[i];
        break;
    }
    uint32_t code = protect(catch_level::ERRORS, [script] { run_source(script); });
    if (code == thrown::ERROR) {
        print_error_in_flight();
        end_process(SCRIPT_FAILED);
    }
    if (code) system_throw(code);
    return {};
}

const RoutineDef BOOTSTRAP{"bootstrap", "", -1, bootstrap};

}  // namespace

const RoutineDef& bootstrap_launch() { return BOOTSTRAP; }

}  // namespace kel::library
