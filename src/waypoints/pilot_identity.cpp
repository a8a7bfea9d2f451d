#include "waypoints/pilot_identity.h"

#include <array>
#include <cmath>

#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

constexpr double kRadiansPerArcSecond = 4.848136811095e-6;
constexpr double kArcSecondsPerRadian = 206264.8062471;

SemicirclePoint FromArcSeconds(std::int64_t latitude, std::int64_t longitude) {
  return {RadiansToSemicircles(static_cast<double>(latitude) * kRadiansPerArcSecond),
          RadiansToSemicircles(static_cast<double>(longitude) * kRadiansPerArcSecond)};
}

// Whole seconds of arc of a coordinate, or -1 for a negative one.
std::int64_t ToArcSeconds(std::int32_t semicircles) {
  if (semicircles < 0) return -1;
  return static_cast<std::int64_t>(SemicirclesToRadians(semicircles) * kArcSecondsPerRadian + 0.5);
}

Waypoint IdentityWaypoint(const std::string& id, const std::string& description,
                          SemicirclePoint position, GarminTime now) {
  Waypoint waypoint;
  waypoint.SetId(id);
  waypoint.SetDescription(description);
  waypoint.latitude = position.latitude;
  waypoint.longitude = position.longitude;
  waypoint.time = now;
  return waypoint;
}

bool IsDashNumber(std::string_view id) {
  if (id.size() < 2 || id.front() != '-') return false;
  for (char c : id.substr(1)) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

SemicirclePoint EncodeIdAsPosition(std::int32_t id) {
  if (id < 0) return {};
  std::array<std::int64_t, 5> digit{};
  std::int64_t rest = id;
  for (auto& d : digit) {
    d = rest % 10;
    rest /= 10;
  }
  const std::int64_t latitude = digit[2] * 3600 + digit[1] * 60 + digit[0];
  const std::int64_t longitude = rest * 3600 + digit[4] * 60 + digit[3];
  return FromArcSeconds(latitude, longitude);
}

std::int32_t DecodeIdFromPosition(SemicirclePoint position) {
  const std::int64_t latitude = ToArcSeconds(position.latitude);
  const std::int64_t longitude = ToArcSeconds(position.longitude);
  if (latitude < 0 || longitude < 0) return -1;
  const std::int64_t latDegrees = latitude / 3600, latMinutes = latitude / 60 % 60,
                     latSeconds = latitude % 60;
  const std::int64_t lonDegrees = longitude / 3600, lonMinutes = longitude / 60 % 60,
                     lonSeconds = longitude % 60;
  if (latDegrees >= 10 || lonDegrees >= 180) return -1;
  if (latMinutes >= 10 || latSeconds >= 10 || lonMinutes >= 10 || lonSeconds >= 10) return -1;
  const std::int64_t id =
      ((((lonDegrees * 10 + lonMinutes) * 10 + lonSeconds) * 10 + latDegrees) * 10 + latMinutes) *
          10 +
      latSeconds;
  return static_cast<std::int32_t>(id);
}

std::vector<Waypoint> BuildPilotIdentityWaypoints(std::int32_t compId, std::int32_t civlId,
                                                  bool dashName, GarminTime now) {
  std::vector<Waypoint> waypoints;
  if (compId >= 0) {
    waypoints.push_back(IdentityWaypoint("COMPID", Printf("COMPID %d", compId),
                                         EncodeIdAsPosition(compId), now));
  }
  if (civlId >= 0) {
    waypoints.push_back(IdentityWaypoint("CIVLID", Printf("CIVLID %d", civlId),
                                         EncodeIdAsPosition(civlId), now));
  }
  if (compId >= 0 && dashName) {
    const std::string name = Printf("-%d", compId);
    waypoints.push_back(IdentityWaypoint(name, name, {}, now));
  }
  return waypoints;
}

bool RecognisePilotIdentity(const Waypoint& waypoint, bool dashName, FoundPilotIdentity& found) {
  const std::string_view id = waypoint.Id();
  if (dashName) {
    if (!IsDashNumber(id)) return false;
    const auto number = ParseWholeInteger(id.substr(1));
    if (!number) return false;
    found.compId = *number;
    return true;
  }
  const bool civl = id.starts_with("CIVLID");
  if (!civl && !id.starts_with("COMPID")) return false;
  const std::int32_t number = DecodeIdFromPosition({waypoint.latitude, waypoint.longitude});
  if (number < 0) return false;
  (civl ? found.civlId : found.compId) = number;
  return true;
}

std::string PilotIdentityStatusText(const FoundPilotIdentity& found) {
  if (found.compId >= 0 && found.civlId >= 0) {
    return Printf("Comp ID = %d, CIVL ID = %d", found.compId, found.civlId);
  }
  if (found.compId >= 0) return Printf("Comp ID = %d", found.compId);
  if (found.civlId >= 0) return Printf("CIVL ID = %d", found.civlId);
  return {};
}

bool ProtocolTakesPilotIdentity(int protocolType) {
  constexpr std::array<int, 11> kTypes = {0, 1, 2, 4, 6, 7, 8, 12, 16, 17, 20};
  for (int type : kTypes) {
    if (type == protocolType) return true;
  }
  return false;
}

}  // namespace logwell
