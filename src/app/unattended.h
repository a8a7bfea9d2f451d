#pragma once
// The unattended run: once the program is ready, the command line's action starts its access
// (or file job); when the access ends, what it delivered is saved under a name built from the
// log's date and time, the program that follows the run is told, and the run ends with its
// exit code or goes on as an interactive run.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "access/access_framework.h"
#include "airspace/airspace_record.h"
#include "app/command_line.h"
#include "app/competition_mode.h"
#include "base/ui.h"
#include "track/track_log.h"
#include "model/waypoint.h"

namespace logwell {

// What an unattended run works on: the parsed command line, the program's data and its one
// access framework.
struct UnattendedProgram {
  CommandLineOptions* options = nullptr;  // none: not an unattended run
  Ui* ui = nullptr;
  AccessFramework* framework = nullptr;
  TrackLog* log = nullptr;
  std::vector<Waypoint>* waypoints = nullptr;  // what a waypoint download delivered
  // A run that goes on as an interactive run shows what it uploaded here; empty: not shown.
  std::function<void(const std::vector<Waypoint>&)> showWaypoints;
  std::function<void(const AirspaceList&)> showAirspace;
  // A file could not be written: the window program becomes visible and stays open so that
  // the user sees why; the headless program ends with exit code 1.
  bool saveFailed = false;
  std::vector<std::filesystem::path> written;  // files saved by this run
  // Files that already held the flight and were kept as its save (nothing new was needed).
  std::vector<std::filesystem::path> alreadySaved;
  // Competition mode's state (COMP_LOG); none where the program has no competition mode.
  CompetitionState* competition = nullptr;
  // The pilot IDs found on the instrument by a competition download (-1: none).
  int foundCompId = -1;
  int foundCivlId = -1;
};

// A save into a folder that is not there or cannot be written would fail only after the whole
// download: checks every save's folder that the name fixes, before anything is asked of the
// instrument. False (reported, exit code set) when one is missing or not writable.
bool SaveFoldersUsable(UnattendedProgram& program);

// 0 when files can be created in `folder`, else the reason (ENOENT, ENOTDIR, EACCES, EROFS, ...).
int SaveFolderProblem(const std::filesystem::path& folder);

// Starts the action's access. Returns 0, or -1 when the program must close at once (the start
// failed and the run ends when done).
int RunUnattended(UnattendedProgram& program);

// LOGFILE with COMP_LOG: the track file (a phone's or another program's) is read and saved for
// the competition with the checks of a download (pilot, task day, same flight, signature); no
// instrument is asked. Returns the exit code.
int FileForCompetition(UnattendedProgram& program);

// The completion step of the run's access: saves what it delivered and reports to the notify
// channel. Returns 1 when the program must now close.
int OnUnattendedDone(UnattendedProgram& program, bool success);

// Replaces every "$date" in `fileName` by the date as YYYYMMDD and every "$time" by hhmmss,
// keeping the name within 260 characters.
void ExpandNameMacros(std::string& fileName, GarminTime time);

}  // namespace logwell
