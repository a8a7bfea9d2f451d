#pragma once
// Pilot identities carried as waypoints: a competition number or CIVL ID is written into an
// instrument as a pseudo-waypoint whose position spells out the number's digits in degrees,
// minutes and seconds of arc, and read back from there after a competition download.
#include <cstdint>
#include <string>
#include <vector>

#include "geo/units.h"
#include "model/waypoint.h"

namespace logwell {

// The position that carries a non-negative identity number: latitude d2 degrees d1 minutes d0
// seconds north, longitude (N div 100000) degrees d4 minutes d3 seconds east.
SemicirclePoint EncodeIdAsPosition(std::int32_t id);

// The number carried by a position, or -1 when the position cannot carry one.
std::int32_t DecodeIdFromPosition(SemicirclePoint position);

// The identity waypoints for a pilot (-1 means no number): "COMPID", "CIVLID" and, with
// dashName, the "-NNN" waypoint at 0/0.
std::vector<Waypoint> BuildPilotIdentityWaypoints(std::int32_t compId, std::int32_t civlId,
                                                  bool dashName, GarminTime now);

struct FoundPilotIdentity {
  std::int32_t compId = -1;
  std::int32_t civlId = -1;
};

// Looks at one waypoint received during a competition download and records the identity it
// carries. Returns true when it carried one.
bool RecognisePilotIdentity(const Waypoint& waypoint, bool dashName, FoundPilotIdentity& found);

// "Comp ID = %, CIVL ID = %", "Comp ID = %" or "CIVL ID = %"; empty when nothing was found.
std::string PilotIdentityStatusText(const FoundPilotIdentity& found);

// Whether instruments of this protocol type can take the identity waypoints.
bool ProtocolTakesPilotIdentity(int protocolType);

}  // namespace logwell
