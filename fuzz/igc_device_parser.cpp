// Fuzz target: the instruments' IGC line parser, fed line by line as a protocol module does.
// The first byte chooses the instrument family.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "track/igc/igc_device_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::igc;
  if (size == 0) return 0;
  const IgcDeviceVariant variant = static_cast<IgcDeviceVariant>(data[0] % 3);
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  IgcDeviceLineParser parser(variant);
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    const int result = parser.ParseLine(line);
    if (result > 0 || result < -29) std::abort();
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return 0;
}
