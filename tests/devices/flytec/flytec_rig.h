#pragma once
// A Flytec/Brauniger instrument on a pseudo-terminal and a program that talks to it through
// the real access framework, the real serial code and the family's registered workers.
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "devices/family_rig.h"
#include "devices/flytec/flytec_workers.h"
#include "sim/flight_generator.h"
#include "sim/flytec/flytec_model.h"
#include "sim/virtual_instrument.h"
#include "support/scripted_ui.h"
#include "track/track_log.h"
#include "track/track_takeover.h"

namespace logwell::testing {

// A generated flight of `minutes` starting at `start` (UTC), one fix every `interval` s.
inline std::vector<TrackPoint> Flight(GarminTime start, int minutes, int interval = 5,
                                      std::uint32_t seed = 1) {
  sim::FlightPlan plan;
  plan.seed = seed;
  plan.startTime = start;
  plan.duration = std::chrono::minutes(minutes);
  plan.fixInterval = std::chrono::seconds(interval);
  plan.courseLengthKm = 10.0;
  return sim::GenerateFlight(plan);
}

class FlytecRig : public FamilyRig<sim::FlytecModel> {
 public:
  explicit FlytecRig(sim::FlytecModelConfig config)
      : FamilyRig(std::make_unique<sim::FlytecModel>(std::move(config)), ProtocolType::Flytec,
                  flytec::RegisterFlytecWorkers) {}

  // Runs one access to its end; returns the block's result.
  int Run(AccessType access, AccessCompletion completion, std::vector<Waypoint>* upload = nullptr,
          AirspaceList* airspaceUpload = nullptr) {
    return FamilyRig::Run(access, std::move(completion), 0, upload, nullptr, airspaceUpload);
  }
  int ReadTrackLog() { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead); }
};

}  // namespace logwell::testing
