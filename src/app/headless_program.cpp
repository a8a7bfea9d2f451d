#include "app/headless_program.h"

#include <cmath>
#include <numbers>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "access/access_framework.h"
#include "app/unattended.h"
#include "devices/flytec/flytec_workers.h"
#include "geo/units.h"
#include "base/text.h"
#include "track/track_takeover.h"

namespace logwell {
namespace {

double Degrees(std::int32_t semicircles) { return SemicirclesToRadians(semicircles) * 180.0 / std::numbers::pi; }

// Every instrument family fills its cells of the run's table.
void RegisterFamilies(AccessTable& table, const CommandLineOptions& options) {
  {
    flytec::FlytecContext flytecContext;
    flytecContext.notify = [&options](std::string_view text) { NotifyExternal(&options, text); };
    flytecContext.reportPosition = [&options, last = std::make_shared<GarminTime>(0)](const TrackPoint& p) {
      // "Pos=" reports for the program that follows the run, at most one per SENDLOG seconds.
      if (options.sendLogSeconds <= 0 || !options.notifyWindow.IsOpen()) return;
      if (*last != 0 && p.time < *last + static_cast<GarminTime>(options.sendLogSeconds)) return;
      *last = p.time;
      NotifyExternal(&options, FormatText("Pos=%.6f,%.6f,%d", Degrees(p.latitude), Degrees(p.longitude),
                                          static_cast<int>(std::lround(p.gpsAltitude / 10.0))));
    };
    for (const int track : options.trackNumbers) {
      if (track >= 0) flytecContext.commandLineTracks.push_back(track);
    }
    flytecContext.unattended = true;
    flytec::RegisterFlytecWorkers(table, flytecContext);
  }
}

}  // namespace

int RunHeadlessUnattended(CommandLineOptions& options, Ui& ui) {
  AccessTable table;
  RegisterFamilies(table, options);
  AccessFramework framework(table);
  framework.InitGpsAccess();
  std::vector<Waypoint> waypoints;
  AirspaceList airspace;
  std::mutex mutex;
  std::condition_variable posted;
  std::optional<bool> done;

  CompletionTargets& targets = framework.targets;
  targets.takeOverTrackLog = [&ui](TrackDownload&& download) {
    TakeOverDownload(CurrentTrackLog(), std::move(download.log), ui);
  };
  targets.replaceWaypoints = [&waypoints](WaypointDownload&& download) {
    waypoints = std::move(download.waypoints);
  };
  targets.takeOverAirspace = [&airspace](AccessBlock& block) {
    airspace = std::move(block.airspace);
    block.airspace.clear();
  };
  targets.postUnattendedDone = [&](bool success) {
    std::lock_guard lock(mutex);
    done = success;
    posted.notify_all();
  };

  UnattendedProgram program;
  program.options = &options;
  program.ui = &ui;
  program.framework = &framework;
  program.log = &CurrentTrackLog();
  program.waypoints = &waypoints;
  program.airspace = &airspace;
  if (RunUnattended(program) < 0 || framework.exitCode != 0) {
    return kExitFailed;
  }
  bool success = false;
  {
    std::unique_lock lock(mutex);
    posted.wait(lock, [&] { return done.has_value(); });
    success = *done;
  }
  OnUnattendedDone(program, success);
  framework.WaitForGpsAccessEnd();
  return framework.exitCode != 0 || program.saveFailed ? kExitFailed : kExitOk;
}

}  // namespace logwell
