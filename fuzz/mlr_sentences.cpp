// Fuzz target: the MLR decoders on the same input: the whole input as tracklog bytes, then split
// at line feeds, the identification, the waypoint count and $GPWPL. A waypoint that parses must
// come back through the upload sentence at the same place.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "access/nmea.h"
#include "devices/mlr/mlr_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell::mlr;
  TracklogReader reader;
  for (std::size_t i = 0; i < size; ++i) {
    const TracklogReader::Status status = reader.Feed(data[i]);
    if (status == TracklogReader::Status::Fault && reader.Fault().empty()) std::abort();
    if (status != TracklogReader::Status::More) break;
  }
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string line(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    const auto fields = logwell::SplitNmeaSentence(line, 20);
    if (fields.empty()) continue;
    ProductData product;
    if (!ParseProductAnswer(fields, product) && ProductText(product).empty()) std::abort();
    (void)ParseTransferCount(fields);
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
