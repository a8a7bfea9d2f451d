// Fuzz target: the MLR sentence parsers on the same input, split at line feeds: the product
// answer, the transfer count, $GPRMC/$GPGGA pairs and $GPWPL. A waypoint that parses must come
// back through the upload sentence at the same place.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "access/nmea.h"
#include "devices/mlr/mlr_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::mlr;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  FixInProgress fix;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string line(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    const auto fields = logwell::SplitNmeaSentence(line, 20);
    if (fields.empty()) continue;
    ProductData product;
    if (!ParseProductAnswer(fields, product) && ProductText(product).empty()) std::abort();
    (void)ParseTransferCount(fields);
    logwell::TrackPoint point;
    if (fix.pending) {
      (void)ParseGga(fields, fix, point);
    } else {
      (void)ParseRmc(fields, fix);
    }
    logwell::Waypoint waypoint;
    if (!ParseWaypoint(fields, waypoint)) {
      if (waypoint.Id().empty()) waypoint.SetId("X");
      std::string sentence;
      if (WaypointSentence(waypoint, sentence) == 0) {
        std::string back = sentence.substr(0, sentence.size() - 2);
        logwell::Waypoint again;
        if (ParseWaypoint(logwell::SplitNmeaSentence(back, 20), again)) std::abort();
        if (std::llabs(static_cast<long long>(again.latitude) - waypoint.latitude) > 200) std::abort();
      }
    }
  }
  return 0;
}
