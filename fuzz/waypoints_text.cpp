// Fuzzes the waypoint file detection and every text reader (GEO, UTM, Ozi, SeeYou, CompeGPS,
// WinPilot, GPX, KML). The first byte picks the entry point and whether questions are asked;
// whatever is read is written back out in every format and read again.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "waypoints/waypoint_files.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints_fuzz_ui.h"

using namespace logwell;

namespace {

using Reader = int (*)(std::string_view, WaypointReadContext&, std::vector<Waypoint>&);

constexpr Reader kReaders[] = {
    DecodeWaypointFile,    ReadGeoWaypoints,      ReadUtmWaypoints,
    ReadOziWaypoints,      ReadSeeYouWaypoints,   ReadCompeGpsWaypoints,
    ReadWinPilotWaypoints, ReadGpxWaypoints,      ReadKmlWaypoints,
};
constexpr std::size_t kReaderCount = sizeof kReaders / sizeof kReaders[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t selector = data[0];
  // Seed files start with their own first byte; most selectors run the detection on the whole
  // input so that the seeds reach their readers.
  const bool whole = selector % 2 == 0;
  const std::string_view text(reinterpret_cast<const char*>(data) + (whole ? 0 : 1),
                              size - (whole ? 0 : 1));
  const Reader reader = whole ? DecodeWaypointFile : kReaders[(selector / 2) % kReaderCount];
  fuzzing::SilentUi ui;
  WaypointReadContext context{ui, (selector & 0x40) != 0, 12345};
  std::vector<Waypoint> waypoints;
  const int count = reader(text, context, waypoints);
  if (count > 0 && static_cast<std::size_t>(count) != waypoints.size()) __builtin_trap();
  for (int format = 0; count > 0 && format <= static_cast<int>(WaypointFileFormat::CompeGps);
       ++format) {
    const std::string written =
        EncodeWaypointFile(static_cast<WaypointFileFormat>(format), waypoints, 0);
    std::vector<Waypoint> again;
    WaypointReadContext quiet{ui, false, 0};
    DecodeWaypointFile(written, quiet, again);
  }
  return 0;
}
