#pragma once
// The Magellan receivers' cells of the access table: track log download, waypoint download and
// waypoint upload, at 9600 baud without flow control.
#include "access/access_block.h"
#include "devices/family.h"

namespace logwell::magellan {

int RunReadTrackLog(AccessBlock& block, const FamilyEnvironment& environment);
int RunReadWaypoints(AccessBlock& block, const FamilyEnvironment& environment);
int RunWriteWaypoints(AccessBlock& block, const FamilyEnvironment& environment);

bool RegisterMagellanWorkers(AccessTable& table, const FamilyEnvironment& environment);

}  // namespace logwell::magellan
