#include "devices/garmin/garmin_link.h"

namespace logwell::garmin {

namespace {
constexpr std::size_t kReadPiece = 100;
}

SerialLink::SerialLink(AccessBlock& block)
    : block_(block), reader_(kReadPiece, TraceForm::HexDump, FlowControlBytes::Keep) {}

void SerialLink::Send(const Packet& packet) {
  const std::vector<std::uint8_t> frame = FramePacket(packet.id, packet.data);
  // A serial line keeps no error state to clear; a failed write shows as the missing answer.
  (void)WritePortBytes(block_, frame);
}

Receive SerialLink::Next(std::chrono::milliseconds timeout) {
  const ReadResult end =
      reader_.ReadUntil(block_, timeout, [this](std::uint8_t byte) { return parser_.Feed(byte); });
  switch (end) {
    case ReadResult::Complete: return Receive::Packet;
    case ReadResult::TimedOut: return Receive::TimedOut;
    case ReadResult::ReadError: return Receive::PortError;
    case ReadResult::Aborted: return Receive::Aborted;
  }
  return Receive::PortError;
}

bool IsAckOf(const Packet& packet, std::uint8_t id) {
  return packet.id == kPidAck && packet.data.size() >= 1 && packet.data[0] == id &&
         (packet.data.size() < 2 || packet.data[1] == 0);
}

}  // namespace logwell::garmin
