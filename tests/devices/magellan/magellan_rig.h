#pragma once
// A virtual Magellan receiver on a pseudo-terminal and a program that talks to it through the
// real access framework, the real serial code and the family's registered workers.
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "devices/magellan/magellan_workers.h"
#include "sim/magellan/magellan_model.h"
#include "sim/virtual_instrument.h"
#include "support/scripted_ui.h"
#include "track/track_log.h"
#include "track/track_takeover.h"

namespace logwell::testing {

class MagellanRig {
 public:
  explicit MagellanRig(sim::MagellanModelConfig config) {
    auto owned = std::make_unique<sim::MagellanModel>(std::move(config));
    model = owned.get();
    instrument = std::make_unique<sim::VirtualInstrument>(std::move(owned));
    model->Attach(instrument.get());
    framework.selectedPortName = [this] { return instrument->DevicePath(); };
    framework.targets.takeOverTrackLog = [this](TrackDownload&& download) {
      TakeOverDownload(log, std::move(download.log), ui);
    };
    framework.targets.replaceWaypoints = [this](WaypointDownload&& download) {
      waypoints = std::move(download.waypoints);
    };
    magellan::RegisterMagellanWorkers(table, context);
  }
  ~MagellanRig() { instrument.reset(); }

  int Run(AccessType access, AccessCompletion completion, std::vector<Waypoint>* upload = nullptr) {
    std::promise<int> done;
    auto finished = done.get_future();
    const int started = framework.StartCommandAccess(
        "Test", &ui, access, ProtocolType::Magellan, 0,
        [&done, completion](AccessBlock& block) {
          const int result = block.result;
          if (completion) completion(block);
          done.set_value(result);
        },
        upload, nullptr);
    if (started != 0) return -1000;
    const int result = finished.get();
    framework.WaitForGpsAccessEnd();
    return result;
  }
  int ReadTrackLog() { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead); }
  int ReadWaypoints() { return Run(AccessType::ReadWaypoints, CompleteWaypointsRead); }

  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const UiEvent& e : ui.Boxes()) {
      if (e.kind == UiEventKind::Error) texts.push_back(e.text);
    }
    return texts;
  }

  AccessTable table;
  ScriptedUi ui;
  AccessFramework framework{table};
  TrackLog log;
  std::vector<Waypoint> waypoints;
  FamilyEnvironment context;
  sim::MagellanModel* model = nullptr;
  std::unique_ptr<sim::VirtualInstrument> instrument;
};

}  // namespace logwell::testing
