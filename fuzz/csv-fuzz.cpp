// libFuzzer target: bytes read by the CSV codec against its Kel reference,
// and values written and read back (fuzz/codec-drive.h).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "environment/boot/start.h"
#include "fuzz/codec-drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        kel::start_runtime();
        return true;
    }();
    (void)started;
    if (!kel::fuzz::drive_csv(data, size, KEL_SOURCE_DIR)) {
        std::fprintf(stderr, "the CSV codec differs from its Kel reference\n");
        std::abort();
    }
    return 0;
}
