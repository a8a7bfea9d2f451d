#pragma once
// A virtual Magellan receiver on a pseudo-terminal and a program that talks to it through the
// real access framework, the real serial code and the family's registered workers.
#include <memory>
#include <vector>

#include "devices/family_rig.h"
#include "devices/magellan/magellan_workers.h"
#include "sim/magellan/magellan_model.h"

namespace logwell::testing {

class MagellanRig : public FamilyRig<sim::MagellanModel> {
 public:
  explicit MagellanRig(sim::MagellanModelConfig config)
      : FamilyRig(std::make_unique<sim::MagellanModel>(std::move(config)), ProtocolType::Magellan,
                  magellan::RegisterMagellanWorkers) {}

  int Run(AccessType access, AccessCompletion completion, std::vector<Waypoint>* upload = nullptr) {
    return FamilyRig::Run(access, std::move(completion), 0, upload);
  }
  int ReadTrackLog() { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead); }
  int ReadWaypoints() { return Run(AccessType::ReadWaypoints, CompleteWaypointsRead); }
};

}  // namespace logwell::testing
