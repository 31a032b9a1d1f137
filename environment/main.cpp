// Entry point of the kel executable: the platform start-up, then the runtime
// on a thread with a large stack, under the root catcher.
#include "environment/start.h"
#include "runtime/platform/process.h"
#include "runtime/core/system.h"

int main(int argc, char** argv) {
    kel::platform::init_process(argc, argv);
    kel::platform::run_on_large_stack([](void*) { kel::with_root_catch(kel::start_runtime); }, nullptr);
    kel::system_quit(kel::exit_status::NORMAL, 0);
}
