// Fuzzes the MapSource binary reader.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "waypoints/waypoint_formats.h"
#include "waypoints_fuzz_ui.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  logwell::fuzzing::SilentUi ui;
  logwell::WaypointReadContext context{ui, false, 0};
  std::vector<logwell::Waypoint> waypoints;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const int count = logwell::ReadMapSourceWaypoints(bytes, context, waypoints);
  if (count > 0 && static_cast<std::size_t>(count) != waypoints.size()) __builtin_trap();
  return 0;
}
