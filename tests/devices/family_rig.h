#pragma once
// A virtual instrument of any family on a pseudo-terminal, and a program that talks to it
// through the real access framework, the real serial code and the family's registered workers.
#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "devices/family.h"
#include "sim/virtual_instrument.h"
#include "devices/fault_runs.h"
#include "support/scripted_ui.h"
#include "track/track_log.h"
#include "track/track_takeover.h"

namespace logwell::testing {

template <typename Model>
class FamilyRig {
 public:
  using Registration = bool (*)(AccessTable&, const FamilyEnvironment&);

  FamilyRig(std::unique_ptr<Model> owned, ProtocolType protocolType, Registration registration)
      : protocol(protocolType), registration_(registration) {
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
    framework.targets.takeOverAirspace = [this](AccessBlock& block) {
      airspace = std::move(block.airspace);
      block.airspace.clear();
    };
    context.notify = [this](std::string_view text) {
      std::lock_guard lock(mutex_);
      notified.emplace_back(text);
    };
  }
  ~FamilyRig() { instrument.reset(); }

  // Runs one access to its end; returns the block's result. The workers are registered with
  // the context as it is at the first run.
  int Run(AccessType access, AccessCompletion completion, int parameter = 0,
          std::vector<Waypoint>* upload = nullptr, const PilotData* pilotData = nullptr,
          AirspaceList* airspaceUpload = nullptr) {
    if (!registered_) {
      registered_ = true;
      registration_(table, context);
    }
    std::promise<int> done;
    auto finished = done.get_future();
    const int started = framework.StartCommandAccess(
        "Test", &ui, access, protocol, parameter,
        [&done, completion](AccessBlock& block) {
          const int result = block.result;
          if (completion) completion(block);
          done.set_value(result);
        },
        upload, airspaceUpload, pilotData);
    if (started != 0) return -1000;
    const int result = finished.get();
    framework.WaitForGpsAccessEnd();
    return result;
  }

  // The modules' error messages: the first line of each error box (the words under a numbered
  // message are access/error_words' own, tested there and in the hang-up cases).
  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const auto& e : ui.Boxes()) {
      if (e.kind == UiEventKind::Error) texts.push_back(e.text.substr(0, e.text.find("\r\n")));
    }
    return texts;
  }
  // Waits until the status line has shown `text` (true), or `limit` has passed (false).
  bool WaitForStatus(std::string_view text, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    return testing::WaitForStatus(ui, [text](const std::string& shown) { return shown == text; }, limit);
  }
  std::vector<std::string> Notified() {
    std::lock_guard lock(mutex_);
    return notified;
  }

  AccessTable table;
  ScriptedUi ui;
  AccessFramework framework{table};
  TrackLog log;
  FamilyEnvironment context;
  Model* model = nullptr;
  std::unique_ptr<sim::VirtualInstrument> instrument;
  std::vector<Waypoint> waypoints;             // received
  std::vector<AirspaceRecord> airspace;       // received
  std::vector<std::string> notified;
  ProtocolType protocol;  // the access table's column the runs use

 private:
  Registration registration_;
  bool registered_ = false;
  std::mutex mutex_;
};

}  // namespace logwell::testing
