// Arbitrary bytes as received NMEA lines: the assembler, the checksum check and the field split
// must stay inside their buffers on any input.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "access/nmea.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The whole input as one line, with a small and a large field array.
  std::vector<char> line(data, data + size);
  std::vector<char> copy = line;
  std::array<std::size_t, 4> few{};
  std::array<std::size_t, 64> many{};
  const int fewCount = logwell::ParseNmeaSentence(line, few);
  const int manyCount = logwell::ParseNmeaSentence(copy, many);
  if (fewCount > static_cast<int>(few.size()) || manyCount > static_cast<int>(many.size())) __builtin_trap();
  for (int i = 0; i < manyCount; ++i) {
    if (many[static_cast<std::size_t>(i)] > copy.size()) __builtin_trap();
    (void)logwell::NmeaField(copy, many[static_cast<std::size_t>(i)]);
  }

  // The same bytes as a stream, line by line.
  logwell::NmeaLineAssembler assembler;
  for (std::size_t i = 0; i < size; ++i) {
    if (!assembler.Feed(data[i])) continue;
    std::vector<char> received(assembler.Line().begin(), assembler.Line().end());
    (void)logwell::ParseNmeaSentence(received, many);
    (void)logwell::AppendNmeaChecksum(assembler.Line());
  }
  return 0;
}
