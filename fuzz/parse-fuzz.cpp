// libFuzzer target: rule blocks spelled by the input's bytes, run by the
// parse engine under a step budget (fuzz/parse-drive.h).
#include <cstdio>
#include <cstdlib>

#include "environment/boot/start.h"
#include "fuzz/parse-drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        kel::start_runtime();
        return true;
    }();
    (void)started;
    if (!kel::fuzz::drive_parse(data, size)) {
        std::fprintf(stderr, "something other than a language error left the parse\n");
        std::abort();
    }
    return 0;
}
