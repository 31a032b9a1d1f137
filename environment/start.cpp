#include "environment/start.h"

#include "runtime/externals.h"
#include "runtime/memory.h"

namespace kel {

void start_runtime() {
    memory::init();
    externals::init();
    memory::init_frames();
}

}  // namespace kel
