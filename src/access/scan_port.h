#pragma once
// The product scan's reading of one answer: everything that arrives within a window, kept up to
// a capacity, for the families' probes.
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <string_view>

#include "access/port.h"
#include "access/serial_port.h"

namespace logwell {

// Reads for `window` (or until `capacity` bytes are kept or a read fails) and returns what
// arrived; with `dropFlowControl` the XON/XOFF bytes are taken out.
std::string ReadScanResponse(Port& port, std::chrono::milliseconds window, std::size_t capacity,
                             bool dropFlowControl);

// Opens a port for a probe at `baudRate`, lets the line settle for 100 ms and drops what was
// pending. When it cannot be opened, "COM port open error" goes to `status` and the probe
// waits a second before it gives up (nothing is returned).
std::unique_ptr<SerialPort> OpenProbePort(const std::string& devicePath, int baudRate, bool xonXoff,
                                          const std::function<void(std::string_view)>& status);

// Writes a request during a probe; false when the write failed.
bool WriteProbeRequest(Port& port, std::string_view request);

// A probe's question in one call: opens the port at `baudRate` without flow control (as
// OpenProbePort), sends `request` and returns what arrives within `window` (up to `capacity`
// bytes). Nothing when the port cannot be opened or written: `status` then shows "COM port open
// error" or "COM port write error" and the call pauses 1000 ms.
std::optional<std::string> AskScanPort(const std::string& devicePath, int baudRate,
                                       std::string_view request, std::chrono::milliseconds window,
                                       std::size_t capacity,
                                       const std::function<void(std::string_view)>& status);

}  // namespace logwell
