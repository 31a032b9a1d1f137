// Control-C (SIGINT) and who takes it.
//
// By default an interrupt ends the process quietly with status 130 (the
// handler installed with the fault handlers), which is what a shell expects
// of a script. The interactive console keeps its session instead: once
// `keep_session` has run, the handler only sets `requested`. The evaluator
// polls the flag (one load) at every block it enters past its fast path and
// at every turn of a loop native and of parse (runtime/evaluator/
// interrupt-check.h); while a command typed at the console is evaluated
// (`Armed`), a request is taken there as `halt`. A request that comes while
// nothing is armed (between commands, while the console prints) is dropped.
#pragma once
#include <csignal>
#include <cstdint>

namespace kel::interrupt {

// Set by the signal handler, cleared by the evaluator when it takes it.
extern volatile sig_atomic_t requested;
// True once the console keeps its session on Control-C.
extern volatile sig_atomic_t session_kept;
// Nesting count of evaluations that a request halts.
extern int32_t armed;

// From now on Control-C sets `requested` instead of ending the process.
void keep_session();

// Async-signal-safe: what SIGINT does. Answers false when the process is
// to end (status 130).
bool on_signal();

// A command evaluation that Control-C halts; a request left from before it
// is dropped as it starts.
struct Armed {
    Armed() {
        if (armed++ == 0) requested = 0;
    }
    ~Armed() { --armed; }
    Armed(const Armed&) = delete;
    Armed& operator=(const Armed&) = delete;
};

}  // namespace kel::interrupt
