#pragma once
// The one runner of command-line jobs, shared by both programs: an instrument job starts its
// access, waits for it to end and saves what it delivered (the unattended run); the file jobs
// (LOGFILE, CHKKML) run at once. `logwell-cli` runs it on its only thread; the window program
// runs it on a thread of its own while the window's event loop shows what happens.
#include <functional>
#include <string_view>
#include <vector>

#include "access/access_framework.h"
#include "airspace/airspace_record.h"
#include "app/command_line.h"
#include "app/competition_mode.h"
#include "base/ui.h"
#include "devices/family.h"
#include "model/waypoint.h"
#include "track/track_log.h"

namespace logwell {

// What the program that runs a job lends it.
struct JobHost {
  Ui* ui = nullptr;
  // The program's framework, its table filled by RegisterInstrumentFamilies. Its completion
  // targets belong to the program: they take downloads over and show them. The runner adds
  // what it needs for the length of the job and puts the program's own targets back.
  AccessFramework* framework = nullptr;
  TrackLog* log = nullptr;
  // Where a run that goes on as an interactive run shows the waypoints or airspaces it
  // uploaded; empty where there is nothing to show them in.
  std::function<void(const std::vector<Waypoint>&)> showWaypoints;
  std::function<void(const AirspaceList&)> showAirspace;
  // Where a job's own output goes, one line at a time (logwell-cli: stdout); empty: nowhere.
  std::function<void(std::string_view line)> print;
  // The program's competition mode (COMP_LOG, COMP_FS); none: the program has none.
  CompetitionState* competition = nullptr;
};

struct JobOutcome {
  int exitCode = kExitOk;
  // A file could not be written: the window program becomes visible and stays open so that
  // the user sees why.
  bool stayOpen = false;
};

// Runs the job of a parsed command line to its end.
JobOutcome RunCommandLineJob(CommandLineOptions& options, JobHost& host);

// What the families' workers get from a program started with `options` (none: an interactive
// run): the notify channel, the position reports, the command line's tracks.
FamilyEnvironment EnvironmentFor(const CommandLineOptions* options);

// logwell-cli: one framework with every family, the process-wide track log, the job run to its
// end. Returns the process exit code.
int RunHeadlessJob(CommandLineOptions& options, Ui& ui, CompetitionState& competition);

}  // namespace logwell
