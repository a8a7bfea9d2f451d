#include "app/job_runner.h"

#include <cmath>
#include <cstdio>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "app/file_commands.h"
#include "app/gps_table.h"
#include "app/unattended.h"
#include "base/text.h"
#include "geo/units.h"
#include "track/track_takeover.h"

namespace logwell {
namespace {

constexpr std::string_view kAllFlightsCaption = "Download every flight";
constexpr std::string_view kOneTrackLog =
    "This instrument keeps one track log: TRACK=ALL saves it as one flight";

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
    case CommandAction::None:
      // A command line with settings but no action has nothing to run.
      return {kExitOk};
    default:
      // An instrument action whose GPS has no access for it: said so, never a silent success.
      ui.ShowErrorBox("Unsupported access function", "GPS access");
      return {kExitFailed};
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
    targets_.takeOverTrackLog = [this](TrackDownload&& download) {
      foundCompId = download.foundCompId;
      foundCivlId = download.foundCivlId;
      if (saved_.takeOverTrackLog) saved_.takeOverTrackLog(std::move(download));
    };
    targets_.takeOverAirspace = [this](AccessBlock& block) {
      if (saved_.takeOverAirspace) saved_.takeOverAirspace(block);
    };
    targets_.takeOverFlightList = [this](const AccessBlock& block) {
      flights.clear();
      for (std::size_t index = 0; index < block.trackList.size(); ++index) {
        if (block.trackList[index].startTime != 0) {
          flights.push_back({static_cast<int>(index), block.trackList[index]});
        }
      }
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

  // Waits for the end of the access that was started last.
  bool WaitForDone() {
    std::unique_lock lock(mutex_);
    posted_.wait(lock, [this] { return done_.has_value(); });
    const bool success = *done_;
    done_.reset();
    return success;
  }

  std::vector<Waypoint> waypoints;
  int foundCompId = -1;  // the pilot IDs a competition download found on the instrument
  int foundCivlId = -1;
  struct StoredFlight {
    int index = 0;  // its TRACK number
    TrackListEntry entry;
  };
  std::vector<StoredFlight> flights;  // what a flight-list read delivered

 private:
  CompletionTargets& targets_;
  const CompletionTargets saved_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::optional<bool> done_;
};

UnattendedProgram ProgramFor(CommandLineOptions& options, JobHost& host, JobTargets& targets) {
  UnattendedProgram program;
  program.options = &options;
  program.ui = host.ui;
  program.framework = host.framework;
  program.log = host.log;
  program.waypoints = &targets.waypoints;
  program.showWaypoints = host.showWaypoints;
  program.showAirspace = host.showAirspace;
  program.competition = host.competition;
  return program;
}

// What the saves of one access did with their files.
struct SaveCounts {
  std::size_t written = 0;
  std::size_t alreadySaved = 0;  // files that held the flight already and were kept
};

// One access of the run, from its start to the saves of what it delivered.
JobOutcome RunOneAccess(CommandLineOptions& options, JobHost& host, JobTargets& targets,
                        SaveCounts* counts = nullptr) {
  AccessFramework& framework = *host.framework;
  UnattendedProgram program = ProgramFor(options, host, targets);
  // The pilot check of a competition download refers to this run's program.
  struct ForgetPilotCheck {
    CompletionTargets& targets;
    ~ForgetPilotCheck() { targets.identifyPilot = nullptr; }
  } forget{framework.targets};
  if (RunUnattended(program) < 0 || framework.exitCode != 0) {
    framework.WaitForGpsAccessEnd();
    return {kExitFailed, program.saveFailed};
  }
  const bool success = targets.WaitForDone();
  program.foundCompId = targets.foundCompId;
  program.foundCivlId = targets.foundCivlId;
  OnUnattendedDone(program, success);
  framework.WaitForGpsAccessEnd();
  if (counts != nullptr) *counts = {program.written.size(), program.alreadySaved.size()};
  return {framework.exitCode != 0 || program.saveFailed ? kExitFailed : kExitOk,
          program.saveFailed};
}

// "2023-05-28  11:00:00  0:10:00": a stored flight's start (UTC) and duration.
std::string FlightText(const TrackListEntry& entry) {
  const CalendarTime t = GarminTimeToCalendar(entry.startTime);
  const std::uint32_t d = entry.durationSeconds;
  return FormatText("%04d-%02d-%02d  %02d:%02d:%02d  %d:%02d:%02d", t.year, t.month, t.day, t.hour,
                    t.minute, t.second, static_cast<int>(d / 3600), static_cast<int>(d / 60 % 60),
                    static_cast<int>(d % 60));
}

// FLIGHTLIST with nobody listening on a notify channel: the list goes to the program's output.
void PrintFlights(const JobTargets& targets, const JobHost& host) {
  host.print("TRACK  Date        Start     Duration (UTC)");
  for (const auto& flight : targets.flights) {
    host.print(FormatText("%-5d  %s", flight.index, FlightText(flight.entry).c_str()));
  }
}

// TRACK=ALL: the flight list first, then each stored flight downloaded and saved on its own.
// A flight that cannot be read or saved is reported and the others are still saved.
JobOutcome RunEveryFlight(CommandLineOptions& options, JobHost& host, JobTargets& targets) {
  AccessFramework& framework = *host.framework;
  Ui& ui = *host.ui;
  {
    UnattendedProgram program = ProgramFor(options, host, targets);
    if (!SaveFoldersUsable(program)) return {kExitFailed};
  }
  if (!GpsAccessFor(options.gpsCode, GpsColumn::FlightList, options.useUsb)) {
    // No flight list: what the instrument holds comes as one track log, saved as one flight.
    ui.ShowStatus(kOneTrackLog);
    return RunOneAccess(options, host, targets);
  }
  const CommandAction saveAction = options.action;
  const bool exitWhenDone = options.exitWhenDone;
  const ShowCommand showCommand = options.showCommand;
  options.action = CommandAction::FlightList;
  const JobOutcome listed = RunOneAccess(options, host, targets);
  options.action = saveAction;
  if (listed.exitCode != kExitOk) return listed;
  if (targets.flights.empty()) {
    ui.ShowErrorBox("No flights stored in the instrument", kAllFlightsCaption);
    return {kExitFailed};
  }

  JobOutcome outcome;
  int saved = 0;
  int skipped = 0;  // flights every save of which was there already
  const int count = static_cast<int>(targets.flights.size());
  for (int n = 0; n < count; ++n) {
    const auto& flight = targets.flights[static_cast<std::size_t>(n)];
    options.trackNumbers = NoTrackNumbers();
    options.trackNumbers[0] = flight.index;
    options.exitWhenDone = exitWhenDone;
    options.showCommand = showCommand;
    framework.exitCode = 0;
    ui.ShowStatus(FormatText("Flight %d of %d (TRACK=%d, %s)", n + 1, count, flight.index,
                             FlightText(flight.entry).c_str()));
    SaveCounts counts;
    const JobOutcome one = RunOneAccess(options, host, targets, &counts);
    if (one.exitCode == kExitOk) {
      if (counts.written == 0 && counts.alreadySaved > 0) {
        ++skipped;
        ui.ShowStatus(FormatText("Flight TRACK=%d (%s) already saved, skipped", flight.index,
                                 FlightText(flight.entry).c_str()));
      } else {
        ++saved;
      }
      continue;
    }
    outcome.exitCode = kExitFailed;
    outcome.stayOpen |= one.stayOpen;
    ui.ShowErrorBox(FormatText("Flight TRACK=%d (%s) not saved; the other flights go on",
                               flight.index, FlightText(flight.entry).c_str()),
                    kAllFlightsCaption);
  }
  options.trackNumbers = NoTrackNumbers();
  framework.exitCode = outcome.exitCode;
  ui.ShowStatus(skipped == 0 ? FormatText("%d of %d flights saved", saved, count)
                             : FormatText("%d of %d flights saved, %d already saved before", saved,
                                          count, skipped));
  return outcome;
}

}  // namespace

JobOutcome RunCommandLineJob(CommandLineOptions& options, JobHost& host) {
  if (options.action == CommandAction::CompLog && !options.compLogFile.empty()) {
    UnattendedProgram program;
    program.options = &options;
    program.ui = host.ui;
    program.framework = host.framework;
    program.log = host.log;
    program.competition = host.competition;
    return {FileForCompetition(program), program.saveFailed};
  }
  if (!UnattendedAccessFor(options)) return RunFileJob(options, host);
  JobTargets targets(host.framework->targets);
  if (options.allTracks) return RunEveryFlight(options, host, targets);
  const JobOutcome outcome = RunOneAccess(options, host, targets);
  if (options.action == CommandAction::FlightList && !options.notifyWindow.IsOpen() && host.print &&
      outcome.exitCode == kExitOk) {
    PrintFlights(targets, host);
  }
  return outcome;
}

FamilyEnvironment EnvironmentFor(const CommandLineOptions* options) {
  FamilyEnvironment environment;
  if (options == nullptr) return environment;
  environment.unattended = true;
  environment.commandLinePowerOff = options->powerOff;
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
  environment.commandLineTracks = [options] {
    std::vector<int> tracks;
    for (const int track : options->trackNumbers) {
      if (track >= 0) tracks.push_back(track);
    }
    return tracks;
  };
  return environment;
}

int RunHeadlessJob(CommandLineOptions& options, Ui& ui, CompetitionState& competition) {
  AccessTable table;
  RegisterInstrumentFamilies(table, EnvironmentFor(&options));
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
  host.print = [](std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  };
  host.framework = &framework;
  host.log = &CurrentTrackLog();
  host.competition = &competition;
  return RunCommandLineJob(options, host).exitCode;
}

}  // namespace logwell
