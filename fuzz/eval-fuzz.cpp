// libFuzzer target: programs spelled by the input's bytes that call the
// natives, actions and library functions with arguments of every datatype,
// in the environment a script finds (fuzz/eval-drive.h).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "environment/boot/start.h"
#include "fuzz/eval-drive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool started = [] {
        kel::start_runtime();
        // What the programs print goes nowhere (libFuzzer reports on
        // standard error).
        if (!std::getenv("KEL_FUZZ_SHOW")) {
            int null = open("/dev/null", O_WRONLY);
            if (null < 0 || dup2(null, STDOUT_FILENO) < 0) std::abort();
            close(null);
        }
        kel::fuzz::start_eval_drive();
        return true;
    }();
    (void)started;
    if (!kel::fuzz::drive_eval(data, size)) {
        std::fprintf(stderr, "something other than a language error left the program\n");
        std::abort();
    }
    return 0;
}
