// libFuzzer target for one codec (KEL_CODEC: json or csv, one executable
// each): the bytes read by the C++ codec against its Kel reference, and
// values written and read back (fuzz/codec-drive.h).
#include <cstdio>
#include <cstdlib>

#include "environment/boot/start.h"
#include "fuzz/codec-drive.h"

#define KEL_DRIVE_OF(codec) kel::fuzz::drive_##codec
#define KEL_DRIVE(codec) KEL_DRIVE_OF(codec)
#define KEL_TEXT_OF(codec) #codec
#define KEL_TEXT(codec) KEL_TEXT_OF(codec)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        kel::start_runtime();
        return true;
    }();
    (void)started;
    if (!KEL_DRIVE(KEL_CODEC)(data, size, KEL_SOURCE_DIR)) {
        std::fprintf(stderr, "the %s codec differs from its Kel reference\n", KEL_TEXT(KEL_CODEC));
        std::abort();
    }
    return 0;
}
