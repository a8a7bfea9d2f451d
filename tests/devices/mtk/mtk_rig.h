#pragma once
// A virtual MTK logger on a pseudo-terminal and a program that talks to it through the real
// access framework, the real serial code and the family's registered workers.
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "access/access_completion.h"
#include "access/access_framework.h"
#include "devices/mtk/mtk_workers.h"
#include "sim/mtk/mtk_model.h"
#include "sim/virtual_instrument.h"
#include "support/scripted_ui.h"
#include "track/track_log.h"
#include "track/track_takeover.h"

namespace logwell::testing {

class MtkRig {
 public:
  explicit MtkRig(sim::MtkModelConfig config) {
    auto owned = std::make_unique<sim::MtkModel>(std::move(config));
    model = owned.get();
    instrument = std::make_unique<sim::VirtualInstrument>(std::move(owned));
    model->Attach(instrument.get());
    framework.selectedPortName = [this] { return instrument->DevicePath(); };
    framework.targets.takeOverTrackLog = [this](TrackDownload&& download) {
      TakeOverDownload(log, std::move(download.log), ui);
    };
    mtk::RegisterMtkWorkers(table, context);
  }
  ~MtkRig() { instrument.reset(); }

  int Run(AccessType access, AccessCompletion completion, int baud = 115200) {
    std::promise<int> done;
    auto finished = done.get_future();
    const int started = framework.StartCommandAccess(
        "Test", &ui, access, ProtocolType::Mtk, baud, [&done, completion](AccessBlock& block) {
          const int result = block.result;
          if (completion) completion(block);
          done.set_value(result);
        });
    if (started != 0) return -1000;
    const int result = finished.get();
    framework.WaitForGpsAccessEnd();
    return result;
  }
  int ReadTrackLog(int baud = 115200) { return Run(AccessType::ReadTrackLog, CompleteTrackLogRead, baud); }

  std::vector<UiEvent> Errors() const {
    std::vector<UiEvent> errors;
    for (const UiEvent& e : ui.Boxes()) {
      if (e.kind == UiEventKind::Error) errors.push_back(e);
    }
    return errors;
  }

  AccessTable table;
  ScriptedUi ui;
  AccessFramework framework{table};
  TrackLog log;
  FamilyEnvironment context;
  sim::MtkModel* model = nullptr;
  std::unique_ptr<sim::VirtualInstrument> instrument;
};

}  // namespace logwell::testing
