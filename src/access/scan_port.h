#pragma once
// The product scan's reading of one answer: everything that arrives within a window, kept up to
// a capacity, for the families' probes.
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "access/port.h"

namespace logwell {

// Reads for `window` (or until `capacity` bytes are kept or a read fails) and returns what
// arrived; with `dropFlowControl` the XON/XOFF bytes are taken out.
std::string ReadScanResponse(Port& port, std::chrono::milliseconds window, std::size_t capacity,
                             bool dropFlowControl);

// A probe's question: opens the port at `baudRate` without flow control, pauses 100 ms, sends
// `request` and returns what arrives within `window` (up to `capacity` bytes). Nothing when the
// port cannot be opened or written: `status` then shows "COM port open error" or "COM port
// write error" and the call pauses 1000 ms.
std::optional<std::string> AskScanPort(const std::string& devicePath, int baudRate,
                                       std::string_view request, std::chrono::milliseconds window,
                                       std::size_t capacity,
                                       const std::function<void(std::string_view)>& status);

}  // namespace logwell
