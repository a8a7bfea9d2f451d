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

bool PilotIdsAccepted(AccessBlock& block) {
  if (block.framework == nullptr || !block.framework->targets.identifyPilot) return true;
  if (block.framework->targets.identifyPilot(block.foundCompId, block.foundCivlId)) return true;
  ShowAccessStatus(block, "Pilot not identified: track not requested");
  return false;
}

}  // namespace logwell
