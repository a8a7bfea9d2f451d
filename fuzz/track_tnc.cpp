// Fuzz target: the Top Navigator / XC Trainer log reader on the whole input, and the start
// record, point line and waypoint line parsers (which the downloads use) on each of its lines.
// A point or waypoint line that parses must come back the same through the writer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/headless_ui.h"
#include "base/text.h"
#include "track/formats/tnc_log.h"
#include "wire/topnav/topnav_waypoints.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace logwell;
  static std::FILE* const sink = std::fopen("/dev/null", "w");
  static HeadlessUi ui(sink, sink, true);
  std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)ReadTncLog(text, ui);
  int index = 0;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    TncHeader header;
    if (ParseTncHeader(line, header) == TncLineError::None) {
      TncHeader again;
      if (ParseTncHeader(FormatTncHeader(header).substr(0, kTncHeaderLength), again) != TncLineError::None) std::abort();
      if (again.start != header.start || again.count != header.count) std::abort();
      (void)TncTrackPoint(header, TncPoint{});
    }
    TncPoint point;
    if (ParseTncPoint(line, index, point) == TncLineError::None) {
      const std::string back = FormatTncPoint(point);
      if (!EqualsIgnoringCase(back.substr(0, kTncPointLength - 2), line.substr(0, kTncPointLength - 2))) std::abort();
      (void)TncTrackPoint(header, point, -86400);
      ++index;
    }
    (void)topnav::ParseWaypointStart(line);
    Waypoint waypoint;
    if (!topnav::ParseWaypointLine(line, 0, waypoint)) {
      Waypoint again;
      const std::string back = topnav::FormatWaypointLine(waypoint, 0);
      if (topnav::ParseWaypointLine(std::string_view(back).substr(0, back.size() - 2), 0, again)) std::abort();
      if (again.latitude != waypoint.latitude || again.longitude != waypoint.longitude ||
          again.altitude != waypoint.altitude) {
        std::abort();
      }
    }
  }
  return 0;
}
