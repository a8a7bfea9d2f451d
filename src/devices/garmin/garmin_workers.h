#pragma once
// The Garmin workers of the serial protocol (protocol type 0): read waypoints, read the track
// log (with the competition identity scan first), write waypoints, send waypoints as a track
// log, and upload the selected CTRs each as a track log of its own.
#include "access/access_block.h"
#include "access/access_table.h"
#include "devices/family.h"

namespace logwell::garmin {

int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& environment);
int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment);
int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& environment);
int RunWaypointsAsTrackLog(AccessBlock& block, const FamilyEnvironment& environment);
int RunUploadCtr(AccessBlock& block, const FamilyEnvironment& environment);

bool RegisterGarminWorkers(AccessTable& table, const FamilyEnvironment& environment);

}  // namespace logwell::garmin
