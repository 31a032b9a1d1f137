// The evaluator's side of Control-C (runtime/core/interrupt.h): `poll` is
// one load of the request flag where the evaluator already takes a step of
// its own (a block entered past its fast path, a turn of a loop native, a
// step of parse). A request taken while a console command is armed throws
// what `halt` throws (the word 'halt-request, named 'console), so it ends
// where `halt` ends: "(halted)" and the console prompt. Unarmed, the request
// is dropped.
#pragma once
#include "runtime/core/interrupt.h"

namespace kel::interpreter {

[[gnu::cold, gnu::noinline]] void take_interrupt();

inline void poll_interrupt() {
    if (interrupt::requested) [[unlikely]]
        take_interrupt();
}

}  // namespace kel::interpreter
