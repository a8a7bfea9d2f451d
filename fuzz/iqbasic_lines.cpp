// Fuzz target: the IQ Basic / Flytec 6015 answer parsers on the same input, split at line
// feeds: the product parameters, the flight list line and the waypoint line. A waypoint that
// parses must come back the same through the upload line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "devices/iqbasic/iqbasic_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::iqbasic;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    (void)KindOf(line);
    const auto serial = ParameterBytes(line, 0);
    if (serial) {
      ProductData product;
      const std::vector<std::uint8_t> type{1}, software{0x53, 0x04};
      if (!ReadProduct(*serial, type, software, product) && ProductText(product).empty()) std::abort();
    }
    int index = -1;
    logwell::TrackListEntry entry;
    if (!ParseFlightListLine(line, index, entry) && (index < 0 || index >= kMaxFlights)) std::abort();
    if (const auto waypoint = ParseWaypointLine(line)) {
      logwell::Waypoint w;
      w.SetDescription(waypoint->name);
      w.latitude = waypoint->latitude;
      w.longitude = waypoint->longitude;
      w.altitude = waypoint->altitude;
      const auto back = ParseWaypointLine(WaypointUploadLine(w));
      if (!back) std::abort();
      if (std::abs(static_cast<long long>(back->latitude) - waypoint->latitude) > 200) std::abort();
    }
  }
  return 0;
}
