#pragma once
// The product scan's reading of one answer: everything that arrives within a window, kept up to
// a capacity, for the families' probes.
#include <chrono>
#include <cstddef>
#include <string>

#include "access/port.h"

namespace logwell {

// Reads for `window` (or until `capacity` bytes are kept or a read fails) and returns what
// arrived; with `dropFlowControl` the XON/XOFF bytes are taken out.
std::string ReadScanResponse(Port& port, std::chrono::milliseconds window, std::size_t capacity,
                             bool dropFlowControl);

}  // namespace logwell
