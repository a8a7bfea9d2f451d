#include "sim/instrument_model.h"

#include <algorithm>

namespace logwell::sim {

bool DeviceLink::SendPaced(std::span<const std::uint8_t> bytes, int baudRate) {
  if (baudRate <= 0) {
    Send(bytes);
    return true;
  }
  // Small slices keep a stop or a fault close to the byte it concerns.
  constexpr std::size_t kSlice = 64;
  const auto start = std::chrono::steady_clock::now();
  const double secondsPerByte = 10.0 / baudRate;
  for (std::size_t at = 0; at < bytes.size(); at += kSlice) {
    const std::size_t n = std::min(kSlice, bytes.size() - at);
    Send(bytes.subspan(at, n));
    const auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                 std::chrono::duration<double>(secondsPerByte * static_cast<double>(at + n)));
    if (!WaitUntil(due)) return false;
  }
  return true;
}

}  // namespace logwell::sim
