// Fuzz target: the Garmin USB packet reader. The input is what the device's pipes deliver: it
// is served on the interrupt pipe in pieces of at most 64 bytes and on the bulk pipe in pieces
// whose lengths the input's first byte picks, and packets are read until the pipes run dry.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "devices/garmin/garmin_usb.h"

namespace {

using namespace logwell::garmin;

class InputPipes : public UsbPipes {
 public:
  InputPipes(std::span<const std::uint8_t> input, std::size_t bulkPiece) : input_(input), bulkPiece_(bulkPiece) {}
  bool WriteBulk(std::span<const std::uint8_t>, std::chrono::milliseconds) override { return true; }
  int ReadBulk(std::span<std::uint8_t> buffer, std::chrono::milliseconds) override {
    return Serve(buffer, std::min(buffer.size(), bulkPiece_));
  }
  int ReadInterrupt(std::span<std::uint8_t> buffer, std::chrono::milliseconds) override {
    return Serve(buffer, buffer.size());
  }
  std::optional<std::uint32_t> ApiVersion() override { return 1; }

 private:
  int Serve(std::span<std::uint8_t> buffer, std::size_t most) {
    const std::size_t n = std::min(most, input_.size());
    std::copy_n(input_.begin(), n, buffer.begin());
    input_ = input_.subspan(n);
    return static_cast<int>(n);
  }
  std::span<const std::uint8_t> input_;
  std::size_t bulkPiece_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (const auto packet = ParseUsbPacket(std::span(data, size))) {
    if (packet->data.size() > kUsbMaxPacket - kUsbHeaderSize) std::abort();
  }
  InputPipes pipes(std::span(data + 1, size - 1), std::size_t{data[0]} * 16 + 1);
  UsbLink link(pipes, {});
  link.interruptTries = 1;
  for (int reads = 0; reads < 64; ++reads) {
    UsbPacket packet;
    if (link.ReadPacket(packet) == -1 && !link.BulkPipe()) break;
    if (packet.data.size() > kUsbMaxPacket - kUsbHeaderSize) std::abort();
  }
  return 0;
}
