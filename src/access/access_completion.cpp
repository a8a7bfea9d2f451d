#include "access/access_completion.h"

#include <utility>

#include "access/access_framework.h"

namespace logwell {

namespace {

InstrumentTexts TakeInstrumentTexts(const AccessBlock& block) {
  return {block.source.InstrumentName(), block.source.InstrumentText(), block.source.InstrumentId()};
}

TrackDownload TakeTrackDownload(AccessBlock& block) {
  TrackDownload download;
  DownloadResult& log = download.log;
  log.result = block.result;
  log.points = std::move(block.points);
  block.points.clear();
  log.source = block.source;
  log.protocol = block.protocolType;
  log.task = std::move(block.task);
  block.task.reset();
  log.rawIgc = std::move(block.rawIgc);
  block.rawIgc.reset();
  log.rawTopNavLog = std::move(block.rawTopNavLog);
  block.rawTopNavLog.clear();
  log.logItData = std::move(block.logItData);
  block.logItData.clear();
  download.foundCompId = block.foundCompId;
  download.foundCivlId = block.foundCivlId;
  return download;
}

// The view of the new data is shown unless an unattended run is about to end the program.
void ShowView(const CompletionTargets& targets, AccessView view) {
  if (targets.unattended && targets.exitAfterRun) return;
  if (targets.showView) targets.showView(view);
}

void PostUnattendedDone(const CompletionTargets& targets, bool success) {
  if (targets.unattended && targets.postUnattendedDone) targets.postUnattendedDone(success);
}

// The result is still wanted while the busy flag stands; the abort button clears it first.
bool ResultWanted(const AccessFramework& framework) { return framework.gpsBusy.load() == 1; }

}  // namespace

void CompleteTrackLogRead(AccessBlock& block) {
  AccessFramework& framework = *block.framework;
  const CompletionTargets& targets = framework.targets;
  bool success = false;
  if (block.result < 0) {
    framework.exitCode = 1;
  } else if (ResultWanted(framework)) {
    if (targets.takeOverTrackLog) targets.takeOverTrackLog(TakeTrackDownload(block));
    framework.gpsBusy = 0;
    ShowView(targets, AccessView::TrackLog);
    success = true;
  }
  framework.gpsBusy = 0;
  if (targets.unattended) {
    PostUnattendedDone(targets, success);
  } else if (targets.competitionMode && targets.postCompetitionDone) {
    targets.postCompetitionDone(success);
  }
}

void CompleteWaypointsRead(AccessBlock& block) {
  AccessFramework& framework = *block.framework;
  const CompletionTargets& targets = framework.targets;
  bool success = false;
  if (block.result != 0) {
    framework.exitCode = 1;
  } else if (ResultWanted(framework)) {
    WaypointDownload download{std::move(block.waypoints), TakeInstrumentTexts(block)};
    block.waypoints.clear();
    if (targets.replaceWaypoints) targets.replaceWaypoints(std::move(download));
    framework.gpsBusy = 0;
    ShowView(targets, AccessView::Waypoints);
    success = true;
  }
  framework.gpsBusy = 0;
  PostUnattendedDone(targets, success);
}

void CompleteWaypointsWritten(AccessBlock& block) {
  AccessFramework& framework = *block.framework;
  const CompletionTargets& targets = framework.targets;
  if (block.result < 0) {
    framework.exitCode = 1;
  } else if (targets.competitionMode && targets.markPilotIdsWritten) {
    targets.markPilotIdsWritten();
  }
  framework.gpsBusy = 0;
}

void CompleteCtrRead(AccessBlock& block) {
  AccessFramework& framework = *block.framework;
  const CompletionTargets& targets = framework.targets;
  if (block.result == 0 && ResultWanted(framework)) {
    if (targets.takeOverAirspace) targets.takeOverAirspace(block);
    ShowView(targets, AccessView::Airspace);
  }
  framework.gpsBusy = 0;
}

void CompleteFlightListRead(AccessBlock& block) {
  AccessFramework& framework = *block.framework;
  if (block.result < 0) framework.exitCode = 1;
  const bool success = block.result >= 0 && ResultWanted(framework);
  if (success && framework.targets.takeOverFlightList) framework.targets.takeOverFlightList(block);
  framework.gpsBusy = 0;
  PostUnattendedDone(framework.targets, success);
}

void CompleteWaypointsErased(AccessBlock& block) {
  AccessFramework& framework = *block.framework;
  if (block.result < 0) framework.exitCode = 1;
  framework.gpsBusy = 0;
}

void CompleteDone(AccessBlock& block) { block.framework->gpsBusy = 0; }

void CompleteUnattendedDone(AccessBlock& block) {
  AccessFramework& framework = *block.framework;
  framework.gpsBusy = 0;
  const bool success = block.result >= 0;
  if (!success) framework.exitCode = 1;
  if (framework.targets.postUnattendedDone) framework.targets.postUnattendedDone(success);
}

}  // namespace logwell
