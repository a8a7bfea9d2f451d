#include "app/gps_table.h"

#include <algorithm>

#include "base/text.h"

namespace logwell {

std::optional<int> FindGpsCode(std::string_view name) {
  const auto sameIgnoringCase = [name](const GpsTypeEntry& entry) {
    return EqualsIgnoringCase(entry.name, name);
  };
  const auto* found = std::ranges::find_if(kGpsTypes, sameIgnoringCase);
  if (found == kGpsTypes.end()) return std::nullopt;
  return found->code;
}

std::optional<GpsAccess> GpsAccessFor(int gpsCode, GpsColumn column, bool useUsb) {
  if (gpsCode < 0 || gpsCode >= kGpsCodeCount) return std::nullopt;
  const GpsTypeEntry& entry = kGpsTypes[static_cast<std::size_t>(gpsCode)];
  std::optional<GpsAccess> access;
  switch (column) {
    case GpsColumn::TrackLogRead: access = entry.trackLogRead; break;
    case GpsColumn::WaypointRead: access = entry.waypointRead; break;
    case GpsColumn::WaypointWrite: access = entry.waypointWrite; break;
    case GpsColumn::FlightList: access = entry.flightList; break;
    case GpsColumn::CtrWrite: access = entry.ctrWrite; break;
    case GpsColumn::PilotDataWrite: access = entry.pilotDataWrite; break;
  }
  if (access && gpsCode == kGpsGarmin && useUsb) access->protocol = ProtocolType::GarminUsb;
  return access;
}

}  // namespace logwell
