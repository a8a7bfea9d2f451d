// Fuzz target: the Flymaster track readers on the same input, as the instrument's bytes would
// reach them: the binary track parser (the input padded to a valid length with its check, so
// that the record walk is reached, and as it came) and the packet parser with the packet
// decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "devices/flymaster/flymaster_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::flymaster;
  const std::span<const std::uint8_t> input(data, size);
  BinaryTrack asSent;
  (void)ParseBinaryTrack(input, 0, asSent);
  std::vector<std::uint8_t> padded(input.begin(), input.end());
  padded.resize(((padded.size() + 4095) / 4096 + (padded.empty() ? 1 : 0)) * 4096, 0);
  const auto check = BinaryCheck(padded);
  padded.insert(padded.end(), check.begin(), check.end());
  BinaryTrack track;
  if (ParseBinaryTrack(padded, 0, track).has_value()) std::abort();  // length and check hold
  PacketParser parser;
  PacketTrack packets;
  for (const std::uint8_t byte : input) {
    if (parser.Feed(byte) == PacketParser::Event::Packet) {
      if (ApplyPacket(parser.Id(), parser.Data(), packets).has_value()) packets = PacketTrack{};
    }
  }
  return 0;
}
