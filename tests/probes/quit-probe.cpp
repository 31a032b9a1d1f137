// Drives the process-exit paths for the tests: each mode ends the process the
// way the runtime does and the test reads the output and the exit status.
// Built without sanitizer checks: its faults are raised on purpose.
//
//   quit-probe MODE [ARGUMENT]          one way to end, see `run`
//   quit-probe blocks MODE [ARGUMENT]   the same, then prints how many heap
//                                       blocks were still live at the exit
//   quit-probe no-thread                the runtime thread cannot be made
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <vector>

#include "runtime/core/fire.h"
#include "runtime/core/system.h"
#include "runtime/platform/faults.h"
#include "runtime/platform/heap.h"
#include "runtime/platform/process.h"

namespace {

const char* mode;
const char* argument;

[[gnu::noinline]] int recurse(int n) {
    volatile char pad[4096];
    pad[0] = char(n);
    if (n < 0) return 0;  // never: keeps the recursion well-formed
    return recurse(n + 1) + pad[0];
}

// Each prints where it starts, then fails: the report must name a position
// inside it, not one inside the function that reports.
template <void (*Fail)()>
[[gnu::noinline]] void failing_site() {
    std::printf("site %08X\n", kel::relative_address(reinterpret_cast<const void*>(&failing_site<Fail>)));
    std::fflush(stdout);
    Fail();
}

void run(void*) {
    using namespace kel;
    with_root_catch([] {
        if (!std::strcmp(mode, "quit")) system_quit(std::atoi(argument), 0x0041AD77);
        if (!std::strcmp(mode, "throw")) system_throw(uint32_t(std::strtoul(argument, nullptr, 16)));
        if (!std::strcmp(mode, "fire")) fire(ErrorId::math_zero_divide);
        if (!std::strcmp(mode, "case")) failing_site<no_case_matched>();
        if (!std::strcmp(mode, "switch")) failing_site<no_switch_matched>();
        if (!std::strcmp(mode, "assert")) failing_site<internal_fault>();
        if (!std::strcmp(mode, "segv")) {
            volatile int* p = nullptr;
            *p = 1;
        }
        if (!std::strcmp(mode, "divide")) {
            volatile int zero = 0, numerator = 7;
            volatile int r = numerator / zero;
            (void)r;
        }
        if (!std::strcmp(mode, "overflow")) recurse(0);
        if (!std::strcmp(mode, "interrupt")) raise(SIGINT);
        if (!std::strcmp(mode, "bad-alloc")) throw std::bad_alloc();
        if (!std::strcmp(mode, "out-of-range")) {
            std::vector<int> empty;
            std::printf("%d\n", empty.at(size_t(std::atoi(argument))));
        }
        if (!std::strcmp(mode, "terminate")) std::terminate();
        if (!std::strcmp(mode, "abort")) std::abort();
        if (!std::strcmp(mode, "args")) {
            for (int i = 1; i < sys.argc; ++i) std::printf("[%s]\n", sys.argv[i]);
            std::printf("%s\n", sys.argv[sys.argc] == nullptr ? "end" : "no end");
            std::fflush(stdout);
        }
    });
}

void print_live_blocks() { dprintf(STDOUT_FILENO, "heap blocks at exit: %zu\n", kel::heap::live_blocks()); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    int first = 1;
    if (!std::strcmp(argv[1], "blocks") && argc > 2) {
        std::atexit(print_live_blocks);
        first = 2;
    }
    mode = argv[first];
    argument = argc > first + 1 ? argv[first + 1] : "0";
    kel::platform::init_process(argc, argv);
    if (!std::strcmp(mode, "no-thread")) {
        // More stack than the address space holds: the thread is never made.
        kel::platform::run_on_stack(run, nullptr, size_t(1) << 50);
    } else if (!std::strcmp(mode, "overflow")) {
        // The overflow is met the same way on any stack: a small one reaches
        // it without first touching the gigabyte of the executable's.
        kel::platform::run_on_stack(run, nullptr, size_t(8) << 20);
    } else {
        kel::platform::run_on_large_stack(run, nullptr);
    }
    kel::system_quit(kel::exit_status::NORMAL, 0);
}
