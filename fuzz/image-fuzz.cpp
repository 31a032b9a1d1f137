// libFuzzer target: every input through image/load-binary, then the five
// encoders and the lossless decoders back (fuzz/image-drive.h).
#include <cstdio>
#include <cstdlib>

#include "environment/boot/start.h"
#include "fuzz/image-drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        kel::start_runtime();
        return true;
    }();
    (void)started;
    if (!kel::fuzz::drive_image(data, size)) {
        std::fprintf(stderr, "image decoding answered outside its contract\n");
        std::abort();
    }
    return 0;
}
