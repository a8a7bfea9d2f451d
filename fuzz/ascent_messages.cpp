// Fuzz target: the Ascent message assembler on any bytes, as the line delivers them, the
// payload readers on each message it completes, and the track memory decoder on the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "wire/ascent/ascent_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::ascent;
  MessageAssembler assembler;
  for (std::size_t i = 0; i < size; ++i) {
    if (assembler.Feed(data[i]) != MessageAssembler::Status::Complete) continue;
    const Message& message = assembler.Current();
    if (message.payload.size() > kMaxPayload) std::abort();
    if (EncodeMessage(message).size() != kHeaderSize + message.payload.size() + 1) std::abort();
    if (const auto product = ReadProduct(message.payload)) {
      if (ProductPayload(*product) != message.payload) std::abort();
    }
    (void)ReadMemoryInfo(message.payload);
    (void)ReadFlight(message.payload);
    (void)ReadSectorsLeft(message.payload);
  }
  const MemoryDecode decoded = DecodeMemory(std::span(data, size));
  if (!decoded.Ok() && (!decoded.points.empty() || !decoded.flights.empty())) std::abort();
  if (decoded.points.size() > size / kFixSize) std::abort();
  if (decoded.Ok() && !decoded.points.empty() && decoded.points.front().segmentStart != 1) std::abort();
  return 0;
}
