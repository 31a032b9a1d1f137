// Entry point of the kel executable: the platform start-up, then on a thread
// with a large stack and under the root catcher the runtime (stages 1-7) and
// the boot environment (stages 8-12: the library, the console stage, launch).
// When launch returns the process ends with status 0.
#include <unistd.h>

#include "environment/boot/boot.h"
#include "environment/boot/start.h"
#include "runtime/core/system.h"
#include "runtime/memory/memory.h"
#include "runtime/platform/process.h"

int main(int argc, char** argv) {
    kel::platform::init_process(argc, argv);
    // Linux grants address space it cannot back: without a ceiling a script
    // that asks for more series memory than the machine has is ended by the
    // system's out-of-memory killer instead of getting internal/no-memory.
    long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && page > 0) kel::memory::set_page_limit(uint64_t(pages) * uint64_t(page));
    kel::platform::run_on_large_stack(
        [](void*) {
            kel::with_root_catch([] {
                int64_t start = kel::boot::now_ns();
                kel::start_runtime(true);
                kel::boot::times().runtime = kel::boot::now_ns() - start;
                kel::boot::run();
            });
        },
        nullptr);
    kel::system_quit(kel::exit_status::NORMAL, 0);
}
