#pragma once

namespace kel {

// Brings the runtime's modules up in their start-up order.
void start_runtime();

}  // namespace kel
