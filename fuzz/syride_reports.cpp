// Fuzz target: the Syride report decoder. The first byte picks the command whose answer is
// expected; the rest is cut into 64-byte reports as the HID device delivers them, put together
// into a message and, once complete, decoded by that command's record decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "wire/syride/syride_reports.h"

using namespace logwell::syride;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto command = static_cast<Command>(data[0] % 7 + 1);
  MessageAssembler assembler(command);
  std::span<const std::uint8_t> rest(data + 1, size - 1);
  while (!rest.empty() && !assembler.Complete()) {
    const std::size_t n = rest.size() < kReportSize ? rest.size() : kReportSize;
    if (assembler.Feed(rest.first(n))) return 0;
    rest = rest.subspan(n);
  }
  if (!assembler.Complete()) return 0;
  const auto& payload = assembler.Payload();
  switch (command) {
    case Command::Product: {
      ProductData product;
      if (!DecodeProduct(payload, product) && ProductText(product).empty()) std::abort();
      break;
    }
    case Command::FlightList: {
      std::vector<FlightEntry> flights;
      DecodeFlightList(payload, flights);
      break;
    }
    case Command::Flight: {
      std::vector<logwell::TrackPoint> points;
      if (!DecodeFlight(payload, points) && points.size() * kFixSize + 4 != payload.size()) std::abort();
      break;
    }
    case Command::Task: {
      std::vector<NamedPoint> task;
      if (!DecodeTask(payload, task)) {
        std::vector<logwell::TrackPoint> fixes(1);
        RouteOfTask(task, fixes, 0);
      }
      break;
    }
    case Command::Waypoints:
    case Command::WriteWaypoints: {
      std::vector<NamedPoint> points;
      if (!DecodeWaypoints(payload, points)) {
        for (const NamedPoint& point : points) {
          if (point.name.size() > kNameSize) std::abort();
          WaypointOf(point, 0);
        }
      }
      break;
    }
    case Command::EraseWaypoints: {
      std::uint16_t count = 0;
      DecodeCount(payload, count);
      break;
    }
  }
  return 0;
}
