#include "runtime/core/system.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/core/fire.h"
#include "runtime/core/print.h"
#include "runtime/platform/console.h"
#include "runtime/platform/heap.h"

extern "C" char __executable_start;  // first byte of the executable's image

namespace kel {

SystemRecord sys;

void system_throw(uint32_t code) {
    if (code == 0) return;
    sys.thrown = code;
    throw Thrown{code};
}

const char* runtime_error_message(int32_t status) {
    static const char* const faults[] = {"access violation",
                                         "invalid alignment",
                                         "breakpoint",
                                         "single step",
                                         "bounds exceeded",
                                         "float denormal operan",
                                         "float divide by zero",
                                         "float inexact result",
                                         "float invalid operation",
                                         "float overflow",
                                         "float stack check",
                                         "float underflow",
                                         "integer divide by zero",
                                         "integer overflow",
                                         "privileged instruction",
                                         "invalid virtual address",
                                         "illegal instruction",
                                         "non-continuable exception",
                                         "stack error or overflow",
                                         "invalid disposition",
                                         "guard page",
                                         "invalid handle",
                                         "illegal operand",
                                         "illegal addressing mode",
                                         "illegal trap",
                                         "coprocessor error",
                                         "non-existent physical address",
                                         "object specific hardware error",
                                         "hardware memory error consumed AR",
                                         "hardware memory error consumed AO",
                                         "privileged register",
                                         "segmentation fault",
                                         "FPU error",
                                         "Bus error"};
    using namespace exit_status;
    static_assert(sizeof faults / sizeof faults[0] == LAST_FAULT - FIRST_FAULT + 1);
    if (status == NORMAL) return nullptr;
    if (status >= FIRST_FAULT && status <= LAST_FAULT) return faults[status - FIRST_FAULT];
    switch (status) {
    case OUTPUT_FAILED:
        return "output failed";
    case OUT_OF_MEMORY:
        return "out of memory";
    case NO_CATCH:
        return "no CATCH for THROW";
    case ASSERTION_FAILED:
        return "assertion failed";
    case UNKNOWN_ERROR:
        return "unknown error";
    case NO_CASE_MATCHED:
        return "no value matched in CASE";
    case NO_SWITCH_MATCHED:
        return "no value matched in SWITCH";
    default:
        return "unknown error code!";
    }
}

void system_quit(int32_t status, uint32_t address) {
    if (status != exit_status::NORMAL) {
        print_line({PrintItem::text("\n*** Runtime Error "), PrintItem::integer(status), PrintItem::text(": "),
                    PrintItem::text(runtime_error_message(status))});
        print_line({PrintItem::text("*** at: "), PrintItem::hex(address), PrintItem::text("h")});
    }
    end_process(status);
}

namespace {
// Read by signal handlers: a plain pointer whose stores are atomic.
volatile ExitHook exit_hook = nullptr;
}  // namespace

void set_exit_hook(ExitHook hook) { exit_hook = hook; }

void run_exit_hook() {
    ExitHook hook = exit_hook;
    if (hook) hook();
}

void end_process(int32_t status) {
    run_exit_hook();
    if (status == exit_status::NORMAL) {
        if (int error = console::output_failure()) {
            // Standard output is what failed, so the reason goes to
            // standard error.
            const char* reason = std::strerror(error);
            std::string line = std::string("*** Output Error: standard output could not be written: ") + reason + "\n";
            (void)!::write(STDERR_FILENO, line.data(), line.size());
            status = exit_status::OUTPUT_FAILED;
        }
    }
    heap::free_all();
    std::exit(status);
}

// An error that no frame caught: its full report, then the exit status.
[[noreturn]] static void report_uncaught_error() {
    print_error_in_flight();
    end_process(exit_status::UNCAUGHT_ERROR);
}

void root_catch_handler(uint32_t code) {
    if (code == thrown::QUIT) system_quit(exit_status::NORMAL, 0);
    if (code == thrown::ERROR) report_uncaught_error();
    system_quit(exit_status::NO_CATCH, relative_address(reinterpret_cast<const void*>(&root_catch_handler)));
}

uint32_t relative_address(const void* address) {
    return uint32_t(reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(&__executable_start));
}

uint32_t caller_location() { return relative_address(__builtin_return_address(0)); }

// These report where they were called from: the dispatch or the check that
// failed, not a position inside themselves.
[[gnu::noinline]] void no_case_matched() {
    system_quit(exit_status::NO_CASE_MATCHED, relative_address(__builtin_return_address(0)));
}
[[gnu::noinline]] void no_switch_matched() {
    system_quit(exit_status::NO_SWITCH_MATCHED, relative_address(__builtin_return_address(0)));
}
[[gnu::noinline]] void internal_fault() {
    system_quit(exit_status::ASSERTION_FAILED, relative_address(__builtin_return_address(0)));
}

namespace {

// The report of a terminate that happens while the report of another is
// printed would never end: the second one leaves at once.
std::atomic<bool> terminating{false};

[[noreturn]] void on_terminate() {
    if (terminating.exchange(true)) _exit(exit_status::exit_code(exit_status::UNKNOWN_ERROR));
    system_quit(exit_status::UNKNOWN_ERROR, relative_address(reinterpret_cast<const void*>(&on_terminate)));
}

}  // namespace

void install_terminate_handler() { std::set_terminate(on_terminate); }

}  // namespace kel
