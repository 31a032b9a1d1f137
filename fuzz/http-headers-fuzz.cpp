// libFuzzer target: every input as the raw header text of an HTTP response
// (fuzz/http-headers-drive.h).
#include <cstdio>
#include <cstdlib>

#include "environment/boot/start.h"
#include "fuzz/http-headers-drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        kel::start_runtime();
        return true;
    }();
    (void)started;
    if (!kel::fuzz::drive_headers(data, size)) {
        std::fprintf(stderr, "the header parser answered outside its contract\n");
        std::abort();
    }
    return 0;
}
