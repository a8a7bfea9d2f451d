// Fuzz target: the Digifly sentence parsers on the same input, split at line feeds: the product
// answer, the counts, flight list entries, fixes and waypoints. A waypoint that parses must come
// back through the upload sentence with the same set and place, and its name as the upload
// writes it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "access/nmea.h"
#include "devices/digifly/digifly_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::digifly;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string line(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    const auto fields = logwell::SplitNmeaSentence(line, 12);
    if (fields.empty()) continue;
    ProductData product;
    if (!ParseProductAnswer(fields, product) && ProductText(product).size() < 8) std::abort();
    for (const std::string_view tag : {kFlightListTag, kFlightTag, kWaypointTag}) {
      if (const auto count = ParseCount(fields, tag); count && *count < 0) std::abort();
    }
    int index = 0;
    logwell::TrackListEntry entry;
    if (!ParseFlightListEntry(fields, index, entry) && (index < 0 || index >= kMaxFlights)) std::abort();
    logwell::TrackPoint point;
    (void)ParseFix(fields, point);
    int set = 0;
    logwell::Waypoint waypoint;
    if (!ParseWaypoint(fields, set, waypoint)) {
      const auto sentence = WaypointSentence(waypoint, set);
      if (!sentence) std::abort();
      std::string back = sentence->substr(0, sentence->size() - 2);
      int againSet = -1;
      logwell::Waypoint again;
      if (ParseWaypoint(logwell::SplitNmeaSentence(back, 12), againSet, again)) std::abort();
      if (againSet != set || again.Description() != UploadName(waypoint.Description())) std::abort();
      if (std::llabs(static_cast<long long>(again.latitude) - waypoint.latitude) > 200) std::abort();
      if (std::llabs(static_cast<long long>(again.longitude) - waypoint.longitude) > 200) std::abort();
    }
  }
  return 0;
}
