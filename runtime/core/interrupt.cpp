#include "runtime/core/interrupt.h"

namespace kel::interrupt {

volatile sig_atomic_t requested = 0;
volatile sig_atomic_t session_kept = 0;
int32_t armed = 0;

void keep_session() { session_kept = 1; }

bool on_signal() {
    if (!session_kept) return false;
    requested = 1;
    return true;
}

}  // namespace kel::interrupt
