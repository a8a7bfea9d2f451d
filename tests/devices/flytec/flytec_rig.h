#pragma once
// A Flytec/Brauniger instrument on a pseudo-terminal and a program that talks to it through
// the real access framework, the real serial code and the family's registered workers.
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "access/access_completion.h"
#include "access/access_framework.h"
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

class FlytecRig {
 public:
  explicit FlytecRig(sim::FlytecModelConfig config) {
    auto owned = std::make_unique<sim::FlytecModel>(std::move(config));
    model = owned.get();
    instrument = std::make_unique<sim::VirtualInstrument>(std::move(owned));
    model->Attach(instrument.get());
    framework.selectedPortName = [this] { return instrument->DevicePath(); };
    framework.targets.takeOverTrackLog = [this](TrackDownload&& download) {
      TakeOverDownload(log, std::move(download.log), ui);
    };
    framework.targets.takeOverAirspace = [this](AccessBlock& block) {
      airspaceReceived = std::move(block.airspace);
      block.airspace.clear();
    };
    framework.targets.replaceWaypoints = [this](WaypointDownload&& download) {
      waypointsReceived = std::move(download.waypoints);
    };
    context.notify = [this](std::string_view text) {
      std::lock_guard lock(notifyMutex);
      notified.emplace_back(text);
    };
  }
  ~FlytecRig() { instrument.reset(); }

  // Runs one access to its end; returns the block's result.
  int Run(AccessType access, AccessCompletion completion, std::vector<Waypoint>* upload = nullptr,
          AirspaceList* airspaceUpload = nullptr) {
    if (!registered) {
      registered = true;
      flytec::RegisterFlytecWorkers(table, context);
    }
    std::promise<int> done;
    auto finished = done.get_future();
    const int started = framework.StartCommandAccess(
        "Test", &ui, access, protocol, 0,
        [&done, completion](AccessBlock& block) {
          const int result = block.result;
          if (completion) completion(block);
          done.set_value(result);
        },
        upload, airspaceUpload);
    if (started != 0) return -1000;
    const int result = finished.get();
    framework.WaitForGpsAccessEnd();
    return result;
  }
  int ReadTrackLog() { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead); }

  std::vector<std::string> Notified() {
    std::lock_guard lock(notifyMutex);
    return notified;
  }

  AccessTable table;
  ScriptedUi ui;
  AccessFramework framework{table};
  TrackLog log;
  FamilyEnvironment context;
  ProtocolType protocol = ProtocolType::Flytec;
  sim::FlytecModel* model = nullptr;
  std::unique_ptr<sim::VirtualInstrument> instrument;
  std::vector<Waypoint> waypointsReceived;
  AirspaceList airspaceReceived;
  bool registered = false;
  std::mutex notifyMutex;
  std::vector<std::string> notified;
};

}  // namespace logwell::testing
