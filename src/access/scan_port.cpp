#include "access/scan_port.h"

#include <thread>
#include <vector>

#include "access/connect.h"
#include "access/serial_port.h"

namespace logwell {

std::string ReadScanResponse(Port& port, std::chrono::milliseconds window, std::size_t capacity,
                             bool dropFlowControl) {
  std::string text;
  std::vector<std::uint8_t> chunk(capacity);
  const auto deadline = std::chrono::steady_clock::now() + window;
  while (text.size() < capacity && std::chrono::steady_clock::now() < deadline) {
    const std::size_t room = capacity - text.size();
    const int n = port.Read(std::span<std::uint8_t>(chunk.data(), room));
    if (n < 0) break;
    const auto received = std::span<std::uint8_t>(chunk.data(), static_cast<std::size_t>(n));
    const std::size_t kept = dropFlowControl ? DropFlowControlBytes(received) : received.size();
    text.append(reinterpret_cast<const char*>(chunk.data()), kept);
  }
  return text;
}

std::optional<std::string> AskScanPort(const std::string& devicePath, int baudRate,
                                       std::string_view request, std::chrono::milliseconds window,
                                       std::size_t capacity,
                                       const std::function<void(std::string_view)>& status) {
  const auto fail = [&](std::string_view text) {
    if (status) status(text);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    return std::optional<std::string>();
  };
  int error = 0;
  std::unique_ptr<SerialPort> port = SerialPort::Open(devicePath, error);
  if (!port || !port->Configure(baudRate, false)) return fail("COM port open error");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  port->Purge();
  if (status) status("Requesting product info");
  if (!port->Write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(request.data()),
                                                 request.size()))) {
    return fail("COM port write error");
  }
  return ReadScanResponse(*port, window, capacity, false);
}

}  // namespace logwell
