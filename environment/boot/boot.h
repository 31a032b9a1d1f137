// The boot environment: what runs after the runtime has started (stages 8-12
// of start-up). The type, native and action words get their values; the
// embedded library is evaluated in the order of its manifest (the boot
// library, then the console stage); library functions are insulated from
// later redefinitions of global words; the console's launch runs; the
// process ends with status 0 when launch returns.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/core/cell.h"

namespace kel::boot {

// Runs stages 8-12; returns only when launch returns.
[[noreturn]] void run();
// The boot image: a compact KELBIN file (runtime/io/kelbin/kelbin.h) of
// set records for the datatype, action and native words (natives and
// actions with their spec blocks), then one literal per text entry of the
// embedded library, in manifest order: the block lexing its text gives.
// Empty on the source path.
struct Image {
    const uint8_t* data = nullptr;
    size_t size = 0;
};
// The image built into the executable (environment/boot/boot-image.h).
Image embedded_image();

// Stages 8-10 and the insulation snapshot: the environment as a script finds
// it, without launching (tests build it in their own process). From the
// image when it is not empty (the type, native and action words from its
// set records, the library's blocks from its literals), else from the
// source path (specs and library text lexed). Runs once; later calls do
// nothing. build() uses the embedded image.
void build();
void build(const Image& image);

// The boot image of this runtime and embedded library, as the build tool
// (tools/make-boot-image.cpp) writes it: sets the type, native and action
// words as the source path does, then lexes the library's text entries.
// Needs a started runtime without the library.
std::vector<uint8_t> make_image();

// The value a library function sees for a function word: its value in the
// insulation snapshot (none before the snapshot or for a word not in it).
Cell insulated(const char* word);

// Start-up's split, in nanoseconds: runtime start, image decode (with the
// marking of the library's blocks), library evaluation, library lexing (the
// source path: the library's text, the type words and the spec texts); and the texts lexed while the environment was built (on the
// image path the library's own `load` calls, timed within evaluation). The
// executable prints it to standard error when KEL_BOOT_TIMES is set
// (bench/compare reads it).
struct Times {
    int64_t runtime = 0;
    int64_t decode = 0;
    int64_t lex = 0;
    int64_t eval = 0;
    uint64_t scans = 0;
};
Times& times();
int64_t now_ns();

}  // namespace kel::boot
