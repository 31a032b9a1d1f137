#pragma once

namespace kel {

// Brings the runtime's modules up in their start-up order and enables the
// collector. Runs once; later calls do nothing (tests call it freely).
// KEL_GC_STRESS starts at its end, unless defer_stress leaves that to the
// caller (the executable starts it once the library is built).
void start_runtime(bool defer_stress = false);

}  // namespace kel
