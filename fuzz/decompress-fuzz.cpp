// libFuzzer target: every input through each decompressor
// (fuzz/decompress-drive.h).
#include <cstdio>
#include <cstdlib>

#include "environment/boot/start.h"
#include "fuzz/decompress-drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        kel::start_runtime();
        return true;
    }();
    (void)started;
    if (!kel::fuzz::drive_decompress(data, size)) {
        std::fprintf(stderr, "a decompressor answered outside its contract\n");
        std::abort();
    }
    return 0;
}
