// The process frame: thrown codes and the catchers that select them, the
// system record, and the end of the process (system-quit and its report).
#pragma once
#include <cstdint>
#include <exception>
#include <new>

#include "runtime/core/exit-status.h"

namespace kel {

// Codes thrown through the catch chain. A catcher of level L admits every code
// C with C <= L (unsigned).
namespace thrown {
inline constexpr uint32_t ERROR = 0x7FFFFFFF;
inline constexpr uint32_t BREAK = 0x7FFFFFFE;
inline constexpr uint32_t CONTINUE = 0x7FFFFFFD;
inline constexpr uint32_t RETURN = 0x7FFFFFFC;
inline constexpr uint32_t EXIT = 0x7FFFFFFB;
inline constexpr uint32_t THROW = 0x7FFFFFFA;
inline constexpr uint32_t INT_OVERFLOW = 0x7FFFFFF9;
inline constexpr uint32_t MEMORY = 0x7FFFFFF8;
inline constexpr uint32_t PAGE_ALLOC = 0x7FFFFFF7;
inline constexpr uint32_t PAGE_FREE = 0x7FFFFFF6;
inline constexpr uint32_t QUIT = 0x0BADCAFE;
inline constexpr uint32_t LEXER_ESCAPE = 10;
}  // namespace thrown

// Catch levels of the usual catchers.
namespace catch_level {
inline constexpr uint32_t ERRORS = 0x7FFFFFFF;
inline constexpr uint32_t LOOP = 0x7FFFFFFE;
inline constexpr uint32_t THROW = 0x7FFFFFFA;
inline constexpr uint32_t INT_POWER = 0x7FFFFFF9;
inline constexpr uint32_t MEMORY = 0x7FFFFFF8;
inline constexpr uint32_t ROOT = 0xFFFFFFFF;
}  // namespace catch_level

// The one exception type of the runtime. It carries the thrown code; the
// code is also kept in the system record while the throw is in flight.
struct Thrown {
    uint32_t code;
};

// One per process.
struct SystemRecord {
    int argc = 0;
    char** argv = nullptr;  // UTF-8 arguments, null-terminated vector
    uint32_t thrown = 0;  // 0 whenever no throw is in flight
};
extern SystemRecord sys;

// Stores the code and unwinds to the innermost catcher whose level admits it.
// A code of 0 is no throw: the call simply returns.
void system_throw(uint32_t code);

// A protected region: runs body; a throw whose code the level admits stops
// here and its code is returned (0 when body ended normally). The code stays
// in the system record: a caller that handles it stores 0 there
// (`handled()`); one that does not calls `system_throw` again. Codes above the
// level pass through untouched; C++ destructors do the clean-up on the way.
template <class Body>
uint32_t protect(uint32_t level, Body&& body) {
    try {
        body();
        return 0;
    } catch (const Thrown& t) {
        if (t.code > level) throw;
        return t.code;
    }
}

// Clears the code of a throw that the caller has handled.
inline void handled() { sys.thrown = 0; }

// A code address for the report: the address relative to the executable's
// load base, truncated to 32 bits.
uint32_t relative_address(const void* address);

// A code position inside the function that calls it (the return address of
// this call), relative to the load base: the address reported for failures
// the runtime detects itself.
[[gnu::noinline]] uint32_t caller_location();

// Ends the process with a status (runtime/core/exit-status.h). A status other
// than 0 first prints the runtime error report (message from the status
// table, address as eight upper-case hex digits and "h"). Heap blocks are
// released before the exit.
[[noreturn]] void system_quit(int32_t status, uint32_t address);

// The one way out of the process: releases the heap blocks and exits with the
// status, printing nothing. `system_quit` ends through it after its report,
// the uncaught-error exit after the error report.
[[noreturn]] void end_process(int32_t status);

// A function that every end of the process runs first: `end_process` and
// the fault and interrupt handlers call it, so it must be async-signal-safe.
// The console installs the terminal's restore of its saved mode here.
using ExitHook = void (*)();
void set_exit_hook(ExitHook hook);
void run_exit_hook();

// Message of a runtime error status; "unknown error code!" for one not in the
// table, nullptr for 0.
const char* runtime_error_message(int32_t status);

// What the root catcher does with a code no other frame took: the quit request
// ends with 0, an error with no catcher ends with -2 (UNCAUGHT_ERROR) after its
// report, anything else with 95 "no CATCH for THROW".
[[noreturn]] void root_catch_handler(uint32_t code);

// Runs `body` under the root catcher, which admits every code. The
// runtime's own tables grow through the C++ library: when that runs out of
// memory the process ends as a failed heap block does, with status 94.
template <class Body>
void with_root_catch(Body&& body) {
    uint32_t code = 0;
    try {
        code = protect(catch_level::ROOT, body);
    } catch (const std::bad_alloc&) {
        system_quit(exit_status::OUT_OF_MEMORY, caller_location());
    }
    if (code != 0) root_catch_handler(code);
}

// The runtime's own failures. Each reports the code position it was called
// from and ends the process through `system_quit`.
//
// A dispatch over a tagged value (a unit size, a hash-table kind) that meets
// a tag outside its table: the record is corrupted.
[[noreturn]] void no_case_matched();  // status 100
[[noreturn]] void no_switch_matched();  // status 101
// A broken invariant of the runtime itself: a table that grows before it
// fills is full, a caller passed a value the callee never takes, a library
// conversion that cannot fail failed. Status 98 "assertion failed".
[[noreturn]] void internal_fault();

// Makes std::terminate (a C++ exception other than `Thrown` and
// std::bad_alloc that nothing caught, a throw out of a noexcept function)
// end through `system_quit` with status 99 "unknown error". Installed by the
// platform start-up with the fault handlers.
void install_terminate_handler();

}  // namespace kel
