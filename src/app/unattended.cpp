#include "app/unattended.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "access/access_completion.h"
#include "app/file_commands.h"
#include "access/access_framework.h"
#include "airspace/airspace_list.h"
#include "devices/family.h"
#include "optimise/distance_analysis.h"
#include "base/atomic_file.h"
#include "base/silent_ui.h"
#include "track/igc/igc_commands.h"
#include "track/igc/igc_reader.h"
#include "track/formats/mps_track.h"
#include "track/formats/plt_track.h"
#include "kml/kml_save.h"
#include "track/formats/track_file_types.h"
#include "track/same_flight.h"
#include "kml/kml_writer.h"
#include "track/statistics.h"
#include "base/text.h"
#include "waypoints/waypoint_files.h"
#include "waypoints/waypoint_formats.h"

namespace logwell {
namespace {

constexpr std::string_view kStartCaption = "Download track log";

bool IsTrackAction(CommandAction action) {
  return action == CommandAction::KmlLog || action == CommandAction::OziLog ||
         action == CommandAction::IgcLog || action == CommandAction::MpsLog ||
         action == CommandAction::CompLog;
}

// The family of the instrument the command line names, or none when it is not built.
const InstrumentFamily* CommandLineFamily(const CommandLineOptions& options) {
  const auto access = UnattendedAccessFor(options);
  return access ? FamilyOf(access->gps.protocol) : nullptr;
}

AccessCompletion CompletionFor(AccessType access) {
  switch (access) {
    case AccessType::ReadTrackLog: return CompleteTrackLogRead;
    case AccessType::ReadWaypoints: return CompleteWaypointsRead;
    case AccessType::ReadFlightList: return CompleteFlightListRead;
    default: return CompleteUnattendedDone;
  }
}

int StartAccess(UnattendedProgram& program, const UnattendedAccess& access,
                std::vector<Waypoint>* upload = nullptr, AirspaceList* airspaceUpload = nullptr,
                const PilotData* pilotData = nullptr) {
  CommandLineOptions& options = *program.options;
  const int started = program.framework->StartCommandAccess(
      kStartCaption, program.ui, access.accessType, access.gps.protocol, access.gps.parameter,
      CompletionFor(access.accessType), upload, airspaceUpload, pilotData);
  if (started == 0) NotifyExternal(&options, "Transfer started");
  return started;
}

// Actions 6 and 7: the waypoint file is read and handed to the upload.
int StartWaypointUpload(UnattendedProgram& program, const UnattendedAccess& access) {
  const CommandLineOptions& options = *program.options;
  UploadFileOptions read;
  read.namesAndDescriptions = options.action == CommandAction::WriteWaypoints2;
  const InstrumentFamily* family = CommandLineFamily(options);
  read.shortNameInstrument = family != nullptr && family->shortWaypointNames;
  read.compId = options.compId;
  read.civlId = options.civlId;
  read.dashName = options.compSpecial;
  std::vector<Waypoint> upload;
  if (ReadWaypointsForUpload(options.fileName, read, *program.ui, upload) < 0) return -1;
  if (!options.exitWhenDone && program.showWaypoints) program.showWaypoints(upload);
  program.ui->ShowProduct(options.fileName);
  return StartAccess(program, access, &upload);
}

// Action 13: the OpenAir file is read, every airspace in it selected and uploaded.
int StartCtrUpload(UnattendedProgram& program, const UnattendedAccess& access) {
  const CommandLineOptions& options = *program.options;
  AirspaceSettings settings;
  auto records = ReadAirspacesForUpload(options.fileName, *program.ui, settings);
  if (!records) return -1;
  if (!options.exitWhenDone) {
    program.ui->ShowStatus(FormatText("%d CTRs read", static_cast<int>(records->size())));
    if (program.showAirspace) program.showAirspace(*records);
  }
  return StartAccess(program, access, nullptr, &*records);
}

// Action 11: a time window or folder the command line gives replaces the competition's, and the
// download runs in competition mode, so that the instrument's waypoints are first read for the
// pilot's IDs.
std::optional<CompetitionPilot> CompetitionPilotFor(const UnattendedProgram& program);

// The competition's time window and folder as the command line gives them; false (said) when
// the program has no competition mode or the folder cannot take the files.
bool PrepareCompetitionSave(UnattendedProgram& program) {
  const CommandLineOptions& options = *program.options;
  Ui& ui = *program.ui;
  if (program.competition == nullptr) {
    ui.ShowErrorBox("Competition mode is not available in this program", kCompetitionSaveCaption);
    return false;
  }
  CompetitionState& competition = *program.competition;
  if (options.filterStart != 0) competition.windowStart = options.filterStart;
  if (options.filterEnd != 0) competition.windowEnd = options.filterEnd;
  if (!options.compDir.empty()) competition.folder = options.compDir;
  if (const int problem = SaveFolderProblem(competition.folder); problem != 0) {
    ui.ShowFileError(problem == ENOENT || problem == ENOTDIR ? "Folder not found" : "Folder not writable",
                     kCompetitionSaveCaption, competition.folder.string(), problem);
    return false;
  }
  return true;
}

int StartCompetitionDownload(UnattendedProgram& program, const UnattendedAccess& access) {
  const CommandLineOptions& options = *program.options;
  if (!PrepareCompetitionSave(program)) return -1;
  program.framework->targets.competitionMode = true;
  // The pilot is named (or refused) from the IDs found before the track is requested: a
  // refusal costs seconds, not the flight.
  program.framework->targets.identifyPilot = [&program](int compId, int civlId) {
    program.foundCompId = compId;
    program.foundCivlId = civlId;
    return CompetitionPilotFor(program).has_value();
  };
  program.framework->targets.competitionDashNames = options.compSpecial;
  return StartAccess(program, access);
}

bool EndsWithSeparator(std::string_view name) {
  return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

// A save name without an extension gets its format's, so that the file can be read back; a
// folder is left as it is.
void AddMissingExtension(std::string& name, std::string_view extension) {
  if (name.empty() || IsFolderName(name)) return;
  if (!std::filesystem::path(name).extension().empty()) return;
  name += extension;
}

// The file a KML, OziExplorer or MapSource save writes: a folder gets a file named after the
// log's first position ("20230526-100000.kml"), the macros are expanded and a missing
// extension added.
std::string TrackFileName(const std::string& fileName, GarminTime firstTime,
                          std::string_view extension) {
  std::string name = fileName;
  if (IsFolderName(name)) {
    if (!EndsWithSeparator(name)) name += '/';
    name += "$date-$time";
  }
  ExpandNameMacros(name, firstTime);
  AddMissingExtension(name, extension);
  return name;
}

// The folder a save of `name` goes to, when the name fixes it before the download (no date or
// time macro in it): the name itself for a folder, else its parent; the working folder for a
// bare file name.
std::optional<std::filesystem::path> FixedSaveFolder(std::string_view name) {
  if (name.empty()) return std::filesystem::path(".");
  const std::size_t cut = EndsWithSeparator(name) ? name.size() - 1 : name.find_last_of("/\\");
  if (cut == std::string_view::npos) return std::filesystem::path(".");
  const std::string_view folder = name.substr(0, cut);
  if (folder.empty()) return std::filesystem::path("/");
  if (folder.find('$') != std::string_view::npos) return std::nullopt;
  return std::filesystem::path(folder);
}

// The track-log saves of a run whose action is one (KML_LOG, OZI_LOG, MPS_LOG, IGC_LOG given
// together are all written from the one download), else the action's own.
std::vector<CommandLineOptions::TrackSave> TrackSaves(const CommandLineOptions& options) {
  if (IsTrackSaveAction(options.action) && !options.trackSaves.empty()) return options.trackSaves;
  return {{options.action, options.fileName}};
}

std::vector<std::string> SaveNames(const CommandLineOptions& options) {
  std::vector<std::string> names;
  for (const auto& save : TrackSaves(options)) names.push_back(save.fileName);
  return names;
}

bool SavesAFile(CommandAction action) {
  return IsTrackAction(action) || action == CommandAction::ReadWaypoints ||
         action == CommandAction::ReadGeoWaypoints;
}

void SaveFailed(UnattendedProgram& program) {
  program.saveFailed = true;
  program.framework->exitCode = kExitFailed;
}

void SaveIgc(UnattendedProgram& program, const std::string& fileName) {
  const CommandLineOptions& options = *program.options;
  TrackLog& log = *program.log;
  igc::IgcAutoSave request;
  request.overwrite = options.overwrite;
  const InstrumentFamily* family = CommandLineFamily(options);
  request.writeRawLog = family != nullptr && family->deliversOwnIgc;
  request.pilotName = options.pilotName;
  request.gliderId = options.gliderId;
  request.outputPath = fileName;
  GarminTime nameTime = 0;
  if (request.writeRawLog && log.rawIgc) {
    nameTime = log.rawIgc->firstFixTime;
  } else if (!log.Empty()) {
    nameTime = log.points.front().time;
  }
  ExpandNameMacros(request.outputPath, nameTime);
  AddMissingExtension(request.outputPath, ".igc");
  std::filesystem::path written;
  bool alreadySaved = false;
  if (igc::AutoSaveIgc(log, request, *program.ui, &written, {}, &alreadySaved) != 0) {
    SaveFailed(program);
    return;
  }
  (alreadySaved ? program.alreadySaved : program.written).push_back(written);
}

// The recording instrument a KML track names (its "instrument" attribute), empty elsewhere.
std::string_view KmlInstrument(std::string_view text) {
  constexpr std::string_view kAttribute = "instrument=\"";
  const std::size_t at = text.find(kAttribute);
  if (at == std::string_view::npos) return {};
  const std::size_t start = at + kAttribute.size();
  const std::size_t end = text.find('"', start);
  return end == std::string_view::npos ? std::string_view{} : text.substr(start, end - start);
}

// True when the file `name` already holds the flight that `text`, a file of format `code`
// about to be written, holds: the two read back through the format's reader give the same
// fixes, and the same instrument where the format names it.
bool HoldsSameFlight(const std::string& name, TrackFileCode code, std::string_view text) {
  const ReadFileResult existing = ReadWholeFile(name);
  if (existing.status != ReadStatus::Ok) return false;
  if (code == TrackFileCode::Kml && KmlInstrument(existing.bytes) != KmlInstrument(text)) return false;
  kml::RegisterKmlAndIgcReaders();
  SilentUi silent;
  const auto before = DecodeTrackFile(code, existing.bytes, silent);
  const auto now = DecodeTrackFile(code, text, silent);
  return before && now && SameFixes(before->points, now->points);
}

enum class SaveWrite { Written, AlreadySaved, Failed };

// Creates or replaces the file of a save under the run's rules: with OVERWRITE the file is
// replaced; without it the file is created only where no file of that name exists at the moment
// of its creation (a file another program makes while this one writes is never replaced), and an
// existing file that holds the same flight (a track file of format `code`) is kept as the save;
// any other is left alone (a hidden run gives up without asking, a visible one asks).
SaveWrite WriteSaveFile(UnattendedProgram& program, const std::string& name, std::string_view bytes,
                        std::optional<TrackFileCode> code = std::nullopt) {
  const CommandLineOptions& options = *program.options;
  Ui& ui = *program.ui;
  int failure = WriteFileAtomically(name, bytes, options.overwrite ? WriteMode::Replace : WriteMode::CreateOnly);
  if (failure == EEXIST && !options.overwrite) {
    if (code && HoldsSameFlight(name, *code, bytes)) {
      ui.ShowStatus("Flight already saved as " + name);
      return SaveWrite::AlreadySaved;
    }
    if (options.showCommand == ShowCommand::Hidden) {
      ui.ShowFileError("File exists, not replaced; use /OVERWRITE", kStartCaption, name);
      return SaveWrite::Failed;
    }
    if (ui.AskYesNo("File already exists, overwrite ?", "File creation", Answer::No) != Answer::Yes) {
      return SaveWrite::Failed;
    }
    failure = WriteFileAtomically(name, bytes, WriteMode::Replace);
  }
  if (failure != 0) {
    ui.ShowFileError("Error opening file", kStartCaption, name, failure);
    return SaveWrite::Failed;
  }
  return SaveWrite::Written;
}

// The end of a track file save: the file counted as written or as holding the flight already.
void TrackFileSaved(UnattendedProgram& program, SaveWrite write, const std::string& name,
                    int positions) {
  program.log->saved = 1;
  if (write == SaveWrite::AlreadySaved) {
    program.alreadySaved.emplace_back(name);
    return;
  }
  program.ui->ShowStatus(FormatText("%d positions written", positions));
  program.ui->ShowProduct(name);
  program.written.emplace_back(name);
}

void SaveKml(UnattendedProgram& program, const std::string& fileName) {
  const CommandLineOptions& options = *program.options;
  TrackLog& log = *program.log;
  Ui& ui = *program.ui;
  if (log.Empty()) {
    ui.ShowErrorBox("No positions", kStartCaption);
    SaveFailed(program);
    return;
  }
  std::vector<TrackPoint> points = log.points;
  const std::string name = TrackFileName(fileName, points.front().time, ".kml");

  kml::KmlTrackInfo info;
  info.statistics = ComputeStatistics(points);
  AnalysisOptions analysisOptions;
  analysisOptions.skipLoops = options.noLoopOpt;
  AnalyseDistances(points, info.analysis, analysisOptions);
  info.claim = ScoreClaim(points, kDefaultContestRules);
  info.points = points;
  info.downloaded = CalendarToGarminTime(log.downloadTime);
  info.withHash = log.source.signState == SignState::Downloaded;
  info.timesAreUtc = log.source.timeIsUtc != 0;
  info.withPressureAltitude = log.source.altitudeFlag != 0;
  std::string text(kml::kKmlDocumentStart);
  const int body = kml::WriteKmlBody(text, info, kml::KmlDateDescription(points.front()),
                                     log.source.InstrumentText());
  if (body != kml::kKmlBodyOk) {
    ui.ShowErrorBox(kml::KmlBodyErrorText(body), kStartCaption);
    SaveFailed(program);
    return;
  }
  text += kml::kKmlDocumentEnd;
  const SaveWrite write = WriteSaveFile(program, name, text, TrackFileCode::Kml);
  if (write == SaveWrite::Failed) {
    SaveFailed(program);
    return;
  }
  TrackFileSaved(program, write, name, static_cast<int>(points.size()));
}

// OziExplorer track (.plt) and MapSource (.mps) saves of a downloaded track log.
void SaveTrackFile(UnattendedProgram& program, const std::string& fileName, bool mapSource) {
  TrackLog& log = *program.log;
  Ui& ui = *program.ui;
  if (log.Empty()) {
    ui.ShowErrorBox("No positions", kStartCaption);
    SaveFailed(program);
    return;
  }
  const std::string name =
      TrackFileName(fileName, log.points.front().time, mapSource ? ".mps" : ".plt");
  const std::string text =
      mapSource ? WriteMpsTrack(log.points) : WritePltTrack(log.points, CurrentUtcCalendar());
  const SaveWrite write =
      WriteSaveFile(program, name, text, mapSource ? TrackFileCode::MapSource : TrackFileCode::Ozi);
  if (write == SaveWrite::Failed) {
    SaveFailed(program);
    return;
  }
  TrackFileSaved(program, write, name, log.Count());
}

// The pilot a competition download is saved for. With a pilot list, the IDs found on the
// instrument choose the pilot, else those the command line names; IDs from both must name the
// same pilot. Without a list, the command line's pilot and IDs are taken, the IDs found on the
// instrument filling in those it does not give.
std::optional<CompetitionPilot> CompetitionPilotFor(const UnattendedProgram& program) {
  const CommandLineOptions& options = *program.options;
  const CompetitionState& competition = *program.competition;
  Ui& ui = *program.ui;
  const bool foundIds = program.foundCompId >= 0 || program.foundCivlId >= 0;
  const bool givenIds = options.compId >= 0 || options.civlId >= 0;
  if (!competition.pilots) {
    CompetitionPilot pilot{options.pilotName, options.compId, options.civlId};
    if (!givenIds) {
      pilot.compId = program.foundCompId;
      pilot.civlId = program.foundCivlId;
    }
    return pilot;
  }
  if (!foundIds && !givenIds) {
    ui.ShowErrorBox("Pilot not identified: no pilot ID on the instrument or the command line",
                    kCompetitionSaveCaption);
    return std::nullopt;
  }
  const PilotList& pilots = *competition.pilots;
  const PilotIdentification found =
      foundIds ? IdentifyPilot(pilots, program.foundCompId, program.foundCivlId)
               : IdentifyPilot(pilots, options.compId, options.civlId);
  if (!found.pilot) {
    ui.ShowErrorBox("Pilot not identified: " + found.problem, kCompetitionSaveCaption);
    return std::nullopt;
  }
  if (foundIds && givenIds) {
    const PilotIdentification given = IdentifyPilot(pilots, options.compId, options.civlId);
    if (!given.pilot || given.pilot->name != found.pilot->name ||
        given.pilot->compId != found.pilot->compId || given.pilot->civlId != found.pilot->civlId) {
      ui.ShowErrorBox("Pilot not identified: instrument and command line name different pilots",
                      kCompetitionSaveCaption);
      return std::nullopt;
    }
  }
  return found.pilot;
}

// Action 11: the downloaded log saved for the competition under its pilot's name.
void SaveForCompetition(UnattendedProgram& program) {
  const CommandLineOptions& options = *program.options;
  CompetitionState& competition = *program.competition;
  TrackLog& log = *program.log;
  const auto pilot = CompetitionPilotFor(program);
  if (!pilot) {
    SaveFailed(program);
    return;
  }
  competition.current = *pilot;
  CompetitionSaveRequest request;
  request.folder = competition.folder;
  request.pilot = *pilot;
  request.windowStart = competition.windowStart;
  request.windowEnd = competition.windowEnd;
  request.filters.speedAnalysis = !options.noCheck;
  request.nowUtc = CurrentUtcCalendar();
  request.taskDay = options.compDate;
  const CompetitionSaveResult saved =
      SaveLogForCompetition(log, log.points, request, *program.ui);
  if (saved.status == CompetitionSaveStatus::Failed) {
    SaveFailed(program);
    return;
  }
  if (saved.status == CompetitionSaveStatus::Written) log.saved = 1;
  program.written.insert(program.written.end(), saved.files.begin(), saved.files.end());
}

}  // namespace

int FileForCompetition(UnattendedProgram& program) {
  if (!PrepareCompetitionSave(program)) return kExitFailed;
  CommandLineOptions& read = *program.options;
  read.fileName = read.compLogFile;
  TrackLog& log = *program.log;
  log = TrackLog{};  // the file alone is filed, never added to a log held before
  if (kml::ReadCommandLineTrackFile(log, read, *program.ui) != 0) return kExitFailed;
  // An IGC file of one flight is filed as it is, its own signature kept.
  if (std::filesystem::path(read.fileName).extension() == ".igc" ||
      std::filesystem::path(read.fileName).extension() == ".IGC") {
    const ReadFileResult file = ReadWholeFile(read.fileName);
    if (file.status == ReadStatus::Ok && igc::DecodeIgcFlights(file.bytes).flights.size() == 1) {
      log.rawIgc.emplace();
      log.rawIgc->text = file.bytes;
      log.rawIgc->firstFixTime = log.Empty() ? 0 : log.points.front().time;
    } else {
      log.rawIgc.reset();
    }
  }
  SaveForCompetition(program);
  return program.saveFailed ? kExitFailed : kExitOk;
}

namespace {

// Downloaded waypoints as an OziExplorer (action 5) or GEO (action 15) waypoint file.
void SaveWaypoints(UnattendedProgram& program, bool geo) {
  Ui& ui = *program.ui;
  const std::vector<Waypoint>& waypoints = *program.waypoints;
  if (waypoints.empty()) {
    ui.ShowErrorBox("No waypoints", "Download waypoints");
    SaveFailed(program);
    return;
  }
  const std::string text = geo ? WriteGeoWaypoints(waypoints) : WriteOziWaypoints(waypoints);
  const std::string& name = program.options->fileName;
  if (WriteSaveFile(program, name, text) != SaveWrite::Written) {
    SaveFailed(program);
    return;
  }
  ui.ShowStatus(FormatText("%d waypoints written", static_cast<int>(waypoints.size())));
  ui.ShowProduct(name);
  program.written.emplace_back(name);
}

}  // namespace

void ExpandNameMacros(std::string& fileName, GarminTime time) {
  const CalendarTime t = GarminTimeToCalendar(time);
  const std::string date = FormatText("%d%02d%02d", t.year, t.month, t.day);
  const std::string clock = FormatText("%02d%02d%02d", t.hour, t.minute, t.second);
  std::string out;
  for (std::size_t at = 0; at < fileName.size();) {
    if (fileName.compare(at, 5, "$date") == 0) {
      out += date;
      at += 5;
    } else if (fileName.compare(at, 5, "$time") == 0) {
      out += clock;
      at += 5;
    } else {
      out += fileName[at++];
    }
  }
  fileName = CutText(out, kMaxFileNameLength);
}

int SaveFolderProblem(const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    return std::filesystem::exists(folder, error) ? ENOTDIR : ENOENT;
  }
  // A file is created in the folder and linked into place: both rights are needed.
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return errno;
  return 0;
}

bool SaveFoldersUsable(UnattendedProgram& program) {
  const CommandLineOptions& options = *program.options;
  // A competition download's folder is its own (checked when it starts).
  if (!SavesAFile(options.action) || options.action == CommandAction::CompLog) return true;
  for (const std::string& name : SaveNames(options)) {
    const auto folder = FixedSaveFolder(name);
    if (!folder) continue;
    const int problem = SaveFolderProblem(*folder);
    if (problem == 0) continue;
    program.ui->ShowFileError(problem == ENOENT || problem == ENOTDIR ? "Folder not found"
                                                                      : "Folder not writable",
                              kStartCaption, folder->string(), problem);
    program.framework->exitCode = kExitFailed;
    return false;
  }
  return true;
}

int RunUnattended(UnattendedProgram& program) {
  if (program.options == nullptr) return 0;
  CommandLineOptions& options = *program.options;
  AccessFramework& framework = *program.framework;
  if (!options.comDevicePath.empty()) {
    framework.selectedPortName = [path = options.comDevicePath] { return path; };
  }
  framework.connectSeconds = options.connectSeconds;
  framework.targets.unattended = true;
  framework.targets.exitAfterRun = options.exitWhenDone;

  int started = -1;
  const auto access = UnattendedAccessFor(options);
  if (access && !SaveFoldersUsable(program)) return options.exitWhenDone ? -1 : 0;
  // An action the GPS table has no access for is said so, never failed silently.
  if (!access) {
    program.ui->ShowErrorBox("Unsupported access function", "GPS access");
    framework.exitCode = kExitFailed;
    return options.exitWhenDone ? -1 : 0;
  }
  switch (options.action) {
    case CommandAction::KmlLog:
    case CommandAction::OziLog:
    case CommandAction::IgcLog:
    case CommandAction::MpsLog:
    case CommandAction::ReadWaypoints:
    case CommandAction::ReadGeoWaypoints:
    case CommandAction::FlightList:
      started = StartAccess(program, *access);
      break;
    case CommandAction::CompLog:
      started = StartCompetitionDownload(program, *access);
      break;
    case CommandAction::WriteWaypoints:
    case CommandAction::WriteWaypoints2:
      started = StartWaypointUpload(program, *access);
      break;
    case CommandAction::WriteCtr:
      started = StartCtrUpload(program, *access);
      break;
    case CommandAction::Username: {
      // The name alone; the instrument's other pilot fields go out empty.
      PilotData name;
      name.pilotName = options.pilotName;
      started = StartAccess(program, *access, nullptr, nullptr, &name);
      break;
    }
    default:
      break;
  }
  if (started != 0) {
    framework.exitCode = kExitFailed;
    return options.exitWhenDone ? -1 : 0;
  }
  return 0;
}

int OnUnattendedDone(UnattendedProgram& program, bool success) {
  if (program.options == nullptr) return 0;
  CommandLineOptions& options = *program.options;
  if (success) {
    for (const auto& save : TrackSaves(options)) {
      switch (save.action) {
        case CommandAction::IgcLog: SaveIgc(program, save.fileName); break;
        case CommandAction::KmlLog: SaveKml(program, save.fileName); break;
        case CommandAction::OziLog: SaveTrackFile(program, save.fileName, false); break;
        case CommandAction::MpsLog: SaveTrackFile(program, save.fileName, true); break;
        default: break;
      }
    }
    switch (options.action) {
      case CommandAction::ReadWaypoints:
        SaveWaypoints(program, false);
        break;
      case CommandAction::ReadGeoWaypoints:
        SaveWaypoints(program, true);
        break;
      case CommandAction::CompLog:
        SaveForCompetition(program);
        break;
      default:
        break;
    }
  }
  NotifyExternal(&options, success ? "Transfer completed" : "Transfer completed (error)");
  if (IsTrackAction(options.action) && program.saveFailed) {
    options.exitWhenDone = false;
    options.showCommand = ShowCommand::Normal;
  }
  return options.exitWhenDone ? 1 : 0;
}

}  // namespace logwell
