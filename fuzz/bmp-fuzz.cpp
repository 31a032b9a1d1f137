// libFuzzer target: every input through our BMP decoder alone
// (fuzz/image-drive.h).
#include <cstdio>
#include <cstdlib>

#include "fuzz/image-drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!kel::fuzz::drive_bmp(data, size)) {
        std::fprintf(stderr, "the BMP decoder answered outside its contract\n");
        std::abort();
    }
    return 0;
}
