#include "access/scan_port.h"

#include <vector>

#include "access/connect.h"

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

}  // namespace logwell
