#pragma once

namespace kel {

// Brings the runtime's modules up in their start-up order and enables the
// collector. Runs once; later calls do nothing (tests call it freely).
void start_runtime();

}  // namespace kel
