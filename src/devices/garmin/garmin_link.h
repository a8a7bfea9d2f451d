#pragma once
// The packet link of one access to a Garmin receiver on a serial port: frames packets out,
// assembles them from the bytes read, and keeps the bytes read past the end of one packet for
// the next receive.
#include <chrono>
#include <cstdint>

#include "access/access_block.h"
#include "access/connect.h"
#include "wire/garmin/garmin_protocol.h"

namespace logwell::garmin {

enum class Receive { Packet, TimedOut, PortError, Aborted };

class SerialLink {
 public:
  explicit SerialLink(AccessBlock& block);

  // Writes the packet's frame in one piece. A write failure is not reported: the packet is
  // then simply not answered and the receive that follows times out.
  void Send(const Packet& packet);
  void SendAck(std::uint8_t acknowledged) { Send(AckPacket(acknowledged)); }
  void SendCommand(std::uint16_t command) { Send(CommandPacket(command)); }

  // Waits for one complete packet; the time-out counts from the call. A packet with a wrong
  // checksum or broken framing is dropped and the wait goes on.
  Receive Next(std::chrono::milliseconds timeout);
  const Packet& Last() const { return parser_.Last(); }
  void ResetParser() { parser_.Reset(); }

  AccessBlock& Block() { return block_; }

 private:
  AccessBlock& block_;
  ChunkReader reader_;
  PacketParser parser_;
};

// True when `packet` acknowledges the packet ID `id`.
bool IsAckOf(const Packet& packet, std::uint8_t id);

}  // namespace logwell::garmin
