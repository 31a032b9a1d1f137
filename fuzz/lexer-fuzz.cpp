// libFuzzer target: every input through the lexer's modes (fuzz/lexer-drive.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "environment/boot/start.h"
#include "fuzz/lexer-drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        kel::start_runtime();
        return true;
    }();
    (void)started;
    if (!kel::fuzz::drive_input(data, size)) {
        std::fprintf(stderr, "an error other than a syntax error escaped the lexer\n");
        std::abort();
    }
    return 0;
}
