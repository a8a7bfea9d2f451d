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

std::unique_ptr<SerialPort> OpenProbePort(const std::string& devicePath, int baudRate, bool xonXoff,
                                          const std::function<void(std::string_view)>& status) {
  using std::chrono::milliseconds;
  int error = 0;
  std::unique_ptr<SerialPort> port = SerialPort::Open(devicePath, error);
  if (!port || !port->Configure(baudRate, xonXoff)) {
    if (status) status("COM port open error");
    std::this_thread::sleep_for(milliseconds(1000));
    return nullptr;
  }
  std::this_thread::sleep_for(milliseconds(100));
  port->Purge();
  return port;
}

bool WriteProbeRequest(Port& port, std::string_view request) {
  return port.Write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(request.data()),
                                                  request.size()));
}

std::optional<std::string> AskScanPort(const std::string& devicePath, int baudRate,
                                       std::string_view request, std::chrono::milliseconds window,
                                       std::size_t capacity,
                                       const std::function<void(std::string_view)>& status) {
  std::unique_ptr<SerialPort> port = OpenProbePort(devicePath, baudRate, false, status);
  if (!port) return std::nullopt;
  if (status) status("Requesting product info");
  if (!WriteProbeRequest(*port, request)) {
    if (status) status("COM port write error");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    return std::nullopt;
  }
  return ReadScanResponse(*port, window, capacity, false);
}

}  // namespace logwell
