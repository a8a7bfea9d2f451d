// Fuzz target: the Flymaster line parsers on the same input, split at line feeds: the product
// answer of both generations and the $PFMWPL waypoint line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "devices/flymaster/flymaster_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::flymaster;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    for (const Generation generation : {Generation::Current, Generation::Older}) {
      ProductData product;
      const int code = ParseProductAnswer(line, generation, product);
      if (code > 0 || code < -6) std::abort();
    }
    logwell::Waypoint waypoint;
    const int code = ParseWaypointLine(line, 0, waypoint);
    if (code < 0 || code > 11) std::abort();
  }
  return 0;
}
