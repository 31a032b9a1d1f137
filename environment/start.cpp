#include "environment/start.h"

#include "runtime/externals.h"
#include "runtime/hooks.h"
#include "runtime/platform/console.h"
#include "runtime/memory.h"

namespace kel {

void start_runtime() {
    hooks::init();
    console::init();
    memory::init();
    externals::init();
    memory::init_frames();
}

}  // namespace kel
