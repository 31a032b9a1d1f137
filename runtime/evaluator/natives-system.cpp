#include "runtime/evaluator/natives-system.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/file.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word.h"
#include "runtime/evaluator/native-frame.h"
#include "runtime/evaluator/native-services.h"
#include "runtime/io/os-path.h"
#include "runtime/memory/collector.h"
#include "runtime/memory/memory-stats.h"
#include "runtime/memory/roots.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/environment.h"
#include "runtime/platform/gui-hooks.h"
#include "runtime/text/unicode.h"

extern char** environ;

namespace kel::natives::system_natives {

namespace {

using frame::args;
using frame::keep_first;
using frame::result;
using frame::used;

// stats and recycle -------------------------------------------------------------

Cell* stats_block() {
    Cell* b = stack::push(make_none());
    block::make_at(*b, 5);
    b->header = TYPE_BLOCK;
    memory::append_stats(*b);
    return b;
}

uint32_t stats_native(bool, const int32_t* r) {
    if (used(r, 0)) {
        auto show = need(services().show_memory_stats);
        show(*stats_block());
        result(unset_value);
    } else if (used(r, 1)) {
        result(*stats_block());
    } else {
        result(memory::amount_cell(memory::bytes_in_use()));
    }
    return 0;
}

uint32_t recycle_native(bool, const int32_t* r) {
    if (used(r, 0) || used(r, 1)) {
        collector::set_active(used(r, 0));
        result(unset_value);
        return 0;
    }
    collector::do_cycle();
    result(memory::amount_cell(memory::bytes_in_use()));
    return 0;
}

// wait --------------------------------------------------------------------------------

uint32_t wait_native(bool, const int32_t*) {
    const Cell& v = args()[0];
    double seconds = 0;
    switch (type_of(v)) {
    case TYPE_INTEGER:
        seconds = double(cell_integer(v));
        break;
    case TYPE_FLOAT:
    case TYPE_TIME:
        seconds = cell_double(v);
        break;
    default:
        fire(ErrorId::script_invalid_arg, {v});
    }
    platform::wait(seconds);
    gui::do_events_once();
    result(none_value);
    return 0;
}

// The environment -------------------------------------------------------------------------

// The UTF-8 text of a string-family value from its index, or of a word's
// spelling; nothing when it holds NUL or a value beyond Unicode (no such name
// or value reaches the system).
std::optional<std::string> text_of(const Cell& v) {
    std::string out;
    if (word::is_any_word(type_of(v))) {
        uint32_t n = 0;
        const uint8_t* p = symbol::spelling(word::symbol_of(v), &n);
        out.assign(reinterpret_cast<const char*>(p), n);
    } else {
        SeriesBuffer* b = string::buffer(v);
        uint32_t unit = b->unit();
        for (uint64_t at = b->offset + uint64_t(int32_t(v.data1)) * unit; at < b->tail; at += unit) {
            uint32_t cp = string::get_char(b->data() + at, unit);
            if (cp > 0x10FFFF) return std::nullopt;
            uint8_t bytes[4];
            out.append(reinterpret_cast<const char*>(bytes), size_t(unicode::encode_utf8_char(cp, bytes)));
        }
    }
    if (out.find('\0') != std::string::npos) return std::nullopt;
    return out;
}

// A variable name the system can take: not empty, no "=".
std::optional<std::string> env_name(const Cell& var) {
    std::optional<std::string> name = text_of(var);
    if (!name || name->empty() || name->find('=') != std::string::npos) return std::nullopt;
    return name;
}

// A failure is silent but not reported as success: a name or value the
// system cannot take (empty, "=" in the name, NUL in either) or a refusal
// answers none instead of the value.
//
// Values are read as the file layer reads names: UTF-8, each byte that
// starts no valid sequence as U+DC80-U+DCFF; set-env writes those code
// points back as their bytes, so any value the system holds round-trips.
uint32_t set_env_native(bool, const int32_t*) {
    Cell* a = args();
    bool set = false;
    if (std::optional<std::string> name = env_name(a[0])) {
        if (type_of(a[1]) == TYPE_NONE) {
            set = platform::set_env(name->c_str(), nullptr);
        } else if (std::string value; os_path::from_text(a[1], value)) {
            set = platform::set_env(name->c_str(), value.c_str());
        }
    }
    result(set ? a[1] : none_value);
    return 0;
}

uint32_t get_env_native(bool, const int32_t*) {
    std::optional<std::string> name = env_name(args()[0]);
    std::optional<std::string> value = name ? platform::get_env(name->c_str()) : std::nullopt;
    if (!value) {
        result(none_value);
        return 0;
    }
    Cell* out = stack::push(make_none());
    os_path::make_name(*out, *value, TYPE_STRING, false);
    result(*out);
    return 0;
}

uint32_t list_env_native(bool, const int32_t*) {
    Cell* pairs = stack::push(make_none());
    block::make_at(*pairs, 64);
    pairs->header = TYPE_BLOCK;
    // A name ends at the first "=" after its first character, so a name
    // that starts with "=" keeps it.
    for (char** e = environ; e && *e; ++e) {
        const char* eq = **e ? std::strchr(*e + 1, '=') : nullptr;
        if (!eq) continue;
        Cell* top = stack::top();
        Cell* name = stack::push(make_none());
        os_path::make_name(*name, std::string(*e, size_t(eq - *e)), TYPE_STRING, false);
        block::append_cell(*pairs, *name);
        Cell* value = stack::push(make_none());
        os_path::make_name(*value, std::string(eq + 1), TYPE_STRING, false);
        block::append_cell(*pairs, *value);
        stack::pop(uint32_t(stack::top() - top));
    }
    Cell* out = stack::push(make_none());
    map::make_at(*out, pairs, 0);
    result(*out);
    return 0;
}

// now -------------------------------------------------------------------------------------

enum NowRefinement { YEAR, MONTH, DAY, TIME, ZONE, DATE, WEEKDAY, YEARDAY, PRECISE, UTC };

uint32_t now_native(bool, const int32_t* r) {
    // At most one of /year ... /precise, except /time with /precise; /utc
    // goes with any.
    int chosen = 0;
    for (int k = YEAR; k <= PRECISE; ++k) chosen += used(r, k) ? 1 : 0;
    bool time_precise = chosen == 2 && used(r, TIME) && used(r, PRECISE);
    if (chosen > 1 && !time_precise) fire(ErrorId::script_bad_refines);
    // One reading of the clock, seen in the local zone (or UTC).
    platform::Instant instant = platform::get_instant();
    uint32_t zone = used(r, UTC) ? 0 : platform::pack_zone(instant.offset_minutes);
    double fraction = used(r, PRECISE) ? double(instant.nanoseconds) / 1e9 : 0.0;
    Cell now = date::of_instant(instant.seconds, fraction, zone);
    if (used(r, DATE)) {
        result(date::make_cell(now.data1 & ~(date::TIME_FLAG | date::ZONE_MASK), 0.0));
        return 0;
    }
    if (used(r, YEARDAY))
        now = make_integer(date::day_of_year(now.data1));
    else if (used(r, YEAR))
        now = date::field(now, 2);
    else if (used(r, MONTH))
        now = date::field(now, 3);
    else if (used(r, DAY))
        now = date::field(now, 4);
    else if (used(r, ZONE))
        now = date::field(now, 5);
    else if (used(r, TIME))
        now = date::field(now, 6);
    else if (used(r, WEEKDAY))
        now = date::field(now, 10);
    result(now);
    return 0;
}

// call and browse ------------------------------------------------------------------------------

// The text a file! stands for on this system (through the file! module),
// or the string as it is.
Cell local_form(const Cell& v) {
    if (type_of(v) != TYPE_FILE) return v;
    Cell* target = stack::push(make_none());
    file::to_local_file(target, v, false);
    return *target;
}

uint32_t call_native(bool, const int32_t* r) {
    Cell* a = args();
    if (string::ks_tail_q(a[0])) {
        result(make_integer(0));
        return 0;
    }
    auto run = need(services().run_command);
    // A file! stays a file! in its local form: the layer runs it as one
    // program path instead of splitting it.
    Cell command = local_form(a[0]);
    if (type_of(a[0]) == TYPE_FILE) command.header = TYPE_FILE;
    Rooted keep(command);
    CallOptions options;
    options.wait = used(r, 0);
    options.show = used(r, 1);
    options.console = used(r, 2);
    options.shell = used(r, 3);
    options.input = used(r, 4) ? &a[r[4]] : nullptr;
    options.output = used(r, 5) ? &a[r[5]] : nullptr;
    options.error = used(r, 6) ? &a[r[6]] : nullptr;
    result(make_integer(run(command, options)));
    return 0;
}

uint32_t browse_native(bool, const int32_t*) {
    Cell target = local_form(args()[0]);
    if (std::optional<std::string> text = text_of(target)) open_with_system(*text);
    result(unset_value);
    return 0;
}

}  // namespace

void open_with_system(const std::string& target) {
    // The opener runs as a grandchild: the child spawns it and ends at once,
    // so waiting for the child here is short and the opener, adopted by
    // init, never stays a zombie of this process.
    pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (int fd = 0; fd <= 2; ++fd)
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
        std::string program = "xdg-open";
        char* argv[] = {program.data(), const_cast<char*>(target.c_str()), nullptr};
        pid_t opener;
        int failed = posix_spawnp(&opener, "xdg-open", &actions, nullptr, argv, environ);
        _exit(failed ? 1 : 0);
    }
    int status;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
}

void register_natives(Entry* table) {
    table[STATS] = {stats_native, "stats",
                    R"spec("Returns interpreter statistics"
                       /show "TBD:"
                       /info "Return detailed info: nodes/series/big x free/used/total, total, low-level heap"
                       return: [integer! block!])spec"};
    table[RECYCLE] = {recycle_native, "recycle",
                      R"spec("Recycles unused memory and returns memory amount still in use"
                         /on "Turns on garbage collector; returns nothing"
                         /off "Turns off garbage collector; returns nothing"
                         return: [integer! unset!])spec"};
    table[WAIT] = {wait_native, "wait",
                   R"spec("Waits for a duration in seconds or specified time"
                      value [number! time! block! none!]
                      /all "Returns all events in a block")spec"};
    table[SET_ENV] = {set_env_native, "set-env",
                      R"spec("Sets the value of an operating system environment variable (for current process)"
                         var [any-string! any-word!] "Variable to set"
                         value [string! none!] "Value to set, or NONE to unset it")spec"};
    table[GET_ENV] = {get_env_native, "get-env",
                      R"spec("Returns the value of an OS environment variable (for current process)"
                         var [any-string! any-word!] "Variable to get"
                         return: [string! none!])spec"};
    table[LIST_ENV] = {list_env_native, "list-env",
                       R"spec("Returns a map of OS environment variables (for current process)" return: [map!])spec"};
    table[NOW] = {now_native, "now",
                  R"spec("Returns date and time"
                     /year "Returns year only"
                     /month "Returns month only"
                     /day "Returns day of the month only"
                     /time "Returns time only"
                     /zone "Returns time zone offset from UTC (GMT) only"
                     /date "Returns date only"
                     /weekday "Returns day of the week as integer (Monday is day 1)"
                     /yearday "Returns day of the year (Julian)"
                     /precise "High precision time"
                     /utc "Universal time (no zone)"
                     return: [date! time! integer!])spec"};
    table[CALL] = {call_native, "call",
                   R"spec("Executes a shell command to run another process"
                      cmd [string! file!] "A shell command or an executable file"
                      /wait "Runs command and waits for exit"
                      /show "Force the display of system's shell window (Windows only)"
                      /console "Runs command with I/O redirected to console (CLI console only at present)"
                      /shell "Forces command to be run from shell"
                      /input "Redirects in to stdin" in [string! file! binary!]
                      /output "Redirects stdout to out" out [string! file! binary!]
                      /error "Redirects stderr to err" err [string! file! binary!]
                      return: [integer!] "0 if success, -1 if error, or a process ID")spec"};
    table[BROWSE] = {
        browse_native, "browse",
        R"spec("Opens the URL in a web browser or the file in the associated application" url [url! file!])spec"};
}

}  // namespace kel::natives::system_natives
