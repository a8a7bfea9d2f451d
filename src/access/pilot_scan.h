#pragma once
// Competition mode: before a track log is downloaded, the workers read the waypoints stored in
// the instrument and look for the pilot's identities among them ("COMPID" and "CIVLID" waypoints
// whose positions spell the numbers, or "-NNN" names when the program carries IDs that way).
// What is found goes into the block's foundCompId and foundCivlId.
#include <string_view>

#include "access/access_block.h"
#include "model/waypoint.h"

namespace logwell {

// Whether the track-log access of `block` scans the instrument's waypoints first: the program
// that started it runs in competition mode.
bool ScansForPilotIds(const AccessBlock& block);

// Looks at one waypoint read during that scan; shows "Comp ID = %, CIVL ID = %" (or the one
// found) once something is found.
void ScanForPilotIds(AccessBlock& block, const Waypoint& waypoint);

// After the scan, before the track is requested: whether the program takes the IDs found (a
// refusal has been said; the worker then ends the access without asking for the track).
bool PilotIdsAccepted(AccessBlock& block);

}  // namespace logwell
