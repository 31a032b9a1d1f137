// Processor faults and interrupts end the process with a runtime error
// report, written with async-signal-safe calls only.
#pragma once
#include <csignal>
#include <cstddef>
#include <cstdint>

namespace kel::faults {

// Installs the handlers on an alternate signal stack: SIGSEGV (1, or 19 for a
// stack overflow), SIGBUS (2), SIGILL (17, 15 for a privileged opcode),
// SIGTRAP (3, 4 for a single step), SIGFPE (13 integer divide, 14 integer
// overflow, 7-10 and 12 float, 5 subscript out of range), SIGABRT (99);
// SIGINT ends quietly with 130. Also makes std::terminate end with 99
// (`install_terminate_handler`).
void install();

// Records the machine stack of the thread that runs Kel code, so that a fault
// near its limit reads as a stack overflow. Also gives that thread its own
// alternate signal stack.
void set_stack_bounds(const void* low, size_t size);

// The status (runtime/core/exit-status.h) a fault signal and its si_code map
// to; UNKNOWN_ERROR (99) for any other signal or code. SIGINT has a handler of
// its own and never comes here.
int32_t status_for(int signal, int code, bool stack_overflow);

}  // namespace kel::faults
