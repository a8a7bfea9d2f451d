#include "access/pilot_scan.h"

#include "access/access_framework.h"
#include "waypoints/pilot_identity.h"

namespace logwell {

bool ScansForPilotIds(const AccessBlock& block) {
  return block.framework != nullptr && block.framework->targets.competitionMode;
}

void ScanForPilotIds(AccessBlock& block, const Waypoint& waypoint) {
  const bool dashNames = block.framework != nullptr && block.framework->targets.competitionDashNames;
  FoundPilotIdentity found{block.foundCompId, block.foundCivlId};
  if (!RecognisePilotIdentity(waypoint, dashNames, found)) return;
  block.foundCompId = found.compId;
  block.foundCivlId = found.civlId;
  ShowAccessStatus(block, PilotIdentityStatusText(found));
}

}  // namespace logwell
