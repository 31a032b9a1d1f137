// The boot environment: what runs after the runtime has started (stages 8-12
// of start-up). The type, native and action words get their values; the
// embedded library is evaluated in the order of its manifest (the boot
// library, then the console stage); library functions are insulated from
// later redefinitions of global words; the console's launch runs; the
// process ends with status 0 when launch returns.
#pragma once
#include <cstdint>

#include "runtime/core/cell.h"

namespace kel::boot {

// Runs stages 8-12; returns only when launch returns.
[[noreturn]] void run();
// Stages 8-10 and the insulation snapshot: the environment as a script finds
// it, without launching (tests build it in their own process). Runs once;
// later calls do nothing.
void build();

// The value a library function sees for a function word: its value in the
// insulation snapshot (none before the snapshot or for a word not in it).
Cell insulated(const char* word);

// Start-up's split, in nanoseconds: runtime start, library lexing, library
// evaluation. The executable prints it to standard error when
// KEL_BOOT_TIMES is set (bench/compare reads it).
struct Times {
    int64_t runtime = 0;
    int64_t lex = 0;
    int64_t eval = 0;
};
Times& times();
int64_t now_ns();

}  // namespace kel::boot
