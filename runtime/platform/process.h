// Process start-up: fault handlers, the UTF-8 argument vector and the command
// line made from it, and the large machine stack on which Kel code runs.
#pragma once
#include <cstddef>
#include <string>

namespace kel::platform {

// Kel code runs on a thread with this much stack, so that the language's own
// depth limits raise their errors long before the machine stack ends.
inline constexpr size_t KEL_STACK_SIZE = size_t(1) << 30;

// Installs the fault handlers and copies the arguments (already UTF-8 on
// this system) into heap blocks held by the system record.
void init_process(int argc, char** argv);

// The command line rebuilt from the arguments init_process copied, the
// program path first, joined by one blank. An argument holding a blank, TAB,
// LF or double quote is wrapped in double quotes and an empty one is written
// as two double quotes, so splitting the line again keeps every argument.
std::string get_command_line();

// Runs fn(arg) on a new thread with `stack_size` bytes of stack and waits for
// it. When the thread cannot be made, the process ends with a line that says
// why and status 94 "out of memory": Kel code never runs on a stack whose
// bounds the fault handlers do not know.
void run_on_stack(void (*fn)(void*), void* arg, size_t stack_size);
// run_on_stack with KEL_STACK_SIZE.
void run_on_large_stack(void (*fn)(void*), void* arg);

}  // namespace kel::platform
