// libFuzzer target: every input through the KELBIN decoder in both forms,
// with and without compression (fuzz/kelbin-drive.h).
#include <cstdio>
#include <cstdlib>

#include "environment/boot/start.h"
#include "fuzz/kelbin-drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        kel::start_runtime();
        return true;
    }();
    (void)started;
    if (!kel::fuzz::drive_kelbin(data, size)) {
        std::fprintf(stderr, "a decoded value did not survive its own round trip\n");
        std::abort();
    }
    return 0;
}
