#include "app/job_runner.h"

#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "app/file_commands.h"
#include "app/unattended.h"
#include "base/text.h"
#include "geo/units.h"
#include "track/track_takeover.h"

namespace logwell {
namespace {

// LOGFILE and CHKKML: file jobs without an instrument.
JobOutcome RunFileJob(const CommandLineOptions& options, JobHost& host) {
  Ui& ui = *host.ui;
  switch (options.action) {
    case CommandAction::LogFile:
      if (kml::ReadCommandLineTrackFile(*host.log, options, ui) != 0) return {kExitFailed};
      ui.ShowProduct(options.fileName);
      return {kExitOk};
    case CommandAction::CheckKml:
      return {kml::CheckKmlFile(options.fileName, ui)};
    default:
      // A command line with settings but no action has nothing to run.
      return {kExitOk};
  }
}

// The program's completion targets while a job runs: the runner keeps its own copy of the
// waypoints a download delivers (to save them) and learns when the access has ended.
class JobTargets {
 public:
  explicit JobTargets(CompletionTargets& targets) : targets_(targets), saved_(targets) {
    targets_.replaceWaypoints = [this](WaypointDownload&& download) {
      waypoints = download.waypoints;
      if (saved_.replaceWaypoints) saved_.replaceWaypoints(std::move(download));
    };
    targets_.takeOverAirspace = [this](AccessBlock& block) {
      if (saved_.takeOverAirspace) saved_.takeOverAirspace(block);
    };
    targets_.postUnattendedDone = [this](bool success) {
      std::lock_guard lock(mutex_);
      done_ = success;
      posted_.notify_all();
    };
  }
  ~JobTargets() {
    // The flags the run set stay: a run without EXIT goes on as the run that was started.
    const bool unattended = targets_.unattended;
    const bool exitAfterRun = targets_.exitAfterRun;
    targets_ = saved_;
    targets_.unattended = unattended;
    targets_.exitAfterRun = exitAfterRun;
  }
  JobTargets(const JobTargets&) = delete;
  JobTargets& operator=(const JobTargets&) = delete;

  bool WaitForDone() {
    std::unique_lock lock(mutex_);
    posted_.wait(lock, [this] { return done_.has_value(); });
    return *done_;
  }

  std::vector<Waypoint> waypoints;

 private:
  CompletionTargets& targets_;
  const CompletionTargets saved_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::optional<bool> done_;
};

}  // namespace

JobOutcome RunCommandLineJob(CommandLineOptions& options, JobHost& host) {
  if (!UnattendedAccessFor(options)) return RunFileJob(options, host);
  AccessFramework& framework = *host.framework;
  JobTargets targets(framework.targets);

  UnattendedProgram program;
  program.options = &options;
  program.ui = host.ui;
  program.framework = &framework;
  program.log = host.log;
  program.waypoints = &targets.waypoints;
  program.showWaypoints = host.showWaypoints;
  program.showAirspace = host.showAirspace;
  if (RunUnattended(program) < 0 || framework.exitCode != 0) {
    framework.WaitForGpsAccessEnd();
    return {kExitFailed, program.saveFailed};
  }
  OnUnattendedDone(program, targets.WaitForDone());
  framework.WaitForGpsAccessEnd();
  return {framework.exitCode != 0 || program.saveFailed ? kExitFailed : kExitOk,
          program.saveFailed};
}

FamilyEnvironment EnvironmentFor(const CommandLineOptions* options, bool competitionMode) {
  FamilyEnvironment environment;
  environment.competitionMode = competitionMode;
  if (options == nullptr) return environment;
  environment.unattended = true;
  environment.notify = [options](std::string_view text) { NotifyExternal(options, text); };
  environment.reportPosition = [options, last = std::make_shared<GarminTime>(0)](
                                   const TrackPoint& p) {
    // "Pos=" reports for the program that follows the run, at most one per SENDLOG seconds.
    if (options->sendLogSeconds <= 0 || !options->notifyWindow.IsOpen()) return;
    if (*last != 0 && p.time < *last + static_cast<GarminTime>(options->sendLogSeconds)) return;
    *last = p.time;
    NotifyExternal(options, FormatText("Pos=%.6f,%.6f,%d", SemicirclesToDegrees(p.latitude),
                                       SemicirclesToDegrees(p.longitude),
                                       static_cast<int>(std::lround(p.gpsAltitude / 10.0))));
  };
  for (const int track : options->trackNumbers) {
    if (track >= 0) environment.commandLineTracks.push_back(track);
  }
  return environment;
}

int RunHeadlessJob(CommandLineOptions& options, Ui& ui) {
  AccessTable table;
  RegisterInstrumentFamilies(table, EnvironmentFor(&options, false));
  AccessFramework framework(table);
  framework.InitGpsAccess();
  AirspaceList airspace;

  CompletionTargets& targets = framework.targets;
  targets.takeOverTrackLog = [&ui](TrackDownload&& download) {
    TakeOverDownload(CurrentTrackLog(), std::move(download.log), ui);
  };
  targets.takeOverAirspace = [&airspace](AccessBlock& block) {
    airspace = std::move(block.airspace);
    block.airspace.clear();
  };

  JobHost host;
  host.ui = &ui;
  host.framework = &framework;
  host.log = &CurrentTrackLog();
  return RunCommandLineJob(options, host).exitCode;
}

}  // namespace logwell
