// Processor faults and interrupts end the process with a runtime error
// report, written with async-signal-safe calls only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <csignal>

namespace kel::faults {

// Installs the handlers on an alternate signal stack: SIGSEGV (1, or 19 for a
// stack overflow), SIGBUS (2), SIGILL (17), SIGTRAP (3), SIGFPE (13 integer
// divide, 14 integer overflow, 7-12 float); SIGINT ends quietly with 130.
void install();

// Records the machine stack of the thread that runs Kel code, so that a fault
// near its limit reads as a stack overflow. Also gives that thread its own
// alternate signal stack.
void set_stack_bounds(const void* low, size_t size);

// The status a signal maps to (0 for SIGINT handled elsewhere).
int32_t status_for(int signal, int code, bool stack_overflow);

}  // namespace kel::faults
