#pragma once
// The completion routines a command handler chooses for its access. Each runs on the worker
// thread with the block still complete, after `result` has been set, and decides from the
// framework's busy flag whether the result is still wanted: the abort button clears the flag
// first, so the result of an aborted access is dropped and freed with its block.
//
// The routines reach the program's data only through CompletionTargets, which the program
// fills once at start-up (the current track log, the waypoint list, the airspace list, the
// views, the messages to the main window). An empty target is skipped.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "access/access_block.h"
#include "model/access_types.h"
#include "model/track_point.h"
#include "track/track_takeover.h"
#include "model/track_types.h"
#include "model/waypoint.h"

namespace logwell {

struct InstrumentTexts {
  std::string name;  // empty: keep the current one
  std::string text;
  std::string id;
};

// A finished track-log download, moved out of the block for the current track log.
struct TrackDownload {
  DownloadResult log;
  int foundCompId = -1;  // identities found on the instrument in competition mode
  int foundCivlId = -1;
};

struct WaypointDownload {
  std::vector<Waypoint> waypoints;
  InstrumentTexts instrument;
};

enum class AccessView { TrackLog, Waypoints, Airspace };

struct CompletionTargets {
  // Replaces the current track log by the download: releases the previous points, task, raw
  // IGC text and LogIt data as the new source requires, runs the download filters that are
  // switched on (with their "points removed" box) and takes the points over.
  std::function<void(TrackDownload&&)> takeOverTrackLog;
  std::function<void(WaypointDownload&&)> replaceWaypoints;
  // Moves the airspace list received into the block over to the program's airspace list.
  std::function<void(AccessBlock&)> takeOverAirspace;
  // The flight list the instrument sent (the block's track list), after a flight-list read.
  std::function<void(const AccessBlock&)> takeOverFlightList;
  // Competition mode: the current pilot's identities are now on the instrument.
  std::function<void()> markPilotIdsWritten;
  std::function<void(AccessView)> showView;
  // Tell the main window that an access of an unattended run ended, or that a track log was
  // read in competition mode; the flag says whether it succeeded.
  std::function<void(bool success)> postUnattendedDone;
  std::function<void(bool success)> postCompetitionDone;
  // Competition mode: after the waypoint scan and before the track is requested, the IDs found
  // (-1: none) are put to the program, which names the pilot or refuses (and says why); a
  // refusal ends the access without asking for the track. None: every download goes on.
  std::function<bool(int compId, int civlId)> identifyPilot;

  // How the program runs; changed only while no access is current.
  bool unattended = false;       // an unattended run from the command line
  bool exitAfterRun = false;     // that run ends the program when done (no view is shown)
  bool competitionMode = false;
  // Competition mode carries the competition ID in waypoint names made of "-" and the number.
  bool competitionDashNames = false;
};

// Read track log (access 1).
void CompleteTrackLogRead(AccessBlock& block);
// Read waypoints (access 0): any non-zero result is a failure.
void CompleteWaypointsRead(AccessBlock& block);
// Write waypoints, including the pilot identities of competition mode (access 3).
void CompleteWaypointsWritten(AccessBlock& block);
// Read airspace (access 8).
void CompleteCtrRead(AccessBlock& block);
// Read the flight list (access 9); the worker has already shown the list.
void CompleteFlightListRead(AccessBlock& block);
// Erase waypoints (access 10).
void CompleteWaypointsErased(AccessBlock& block);
// Waypoints sent as a Garmin track log, airspace uploaded (accesses 6 and 7).
void CompleteDone(AccessBlock& block);
// Any access started by an unattended run that has no routine of its own.
void CompleteUnattendedDone(AccessBlock& block);

}  // namespace logwell
