#include "app/unattended.h"

#include "access/access_completion.h"
#include "track/igc/igc_commands.h"
#include "track/text_format.h"

namespace logwell {
namespace {

constexpr std::string_view kStartCaption = "Download track log";

bool IsTrackAction(CommandAction action) {
  return action == CommandAction::KmlLog || action == CommandAction::OziLog ||
         action == CommandAction::IgcLog || action == CommandAction::MpsLog ||
         action == CommandAction::CompLog;
}

// Instruments that deliver their own IGC text, which the IGC save writes unchanged.
bool OwnIgcText(int gpsCode) { return gpsCode == 4 || gpsCode == 10 || gpsCode == 12; }

AccessCompletion CompletionFor(AccessType access) {
  switch (access) {
    case AccessType::ReadTrackLog: return CompleteTrackLogRead;
    case AccessType::ReadWaypoints: return CompleteWaypointsRead;
    case AccessType::ReadFlightList: return CompleteFlightListRead;
    default: return CompleteUnattendedDone;
  }
}

int StartAccess(UnattendedProgram& program, const UnattendedAccess& access,
                std::vector<Waypoint>* upload = nullptr) {
  CommandLineOptions& options = *program.options;
  const int started = program.framework->StartCommandAccess(
      kStartCaption, program.ui, access.accessType, access.gps.protocol, access.gps.parameter,
      CompletionFor(access.accessType), upload);
  if (started == 0) NotifyExternal(&options, "Transfer started");
  return started;
}

void SaveFailed(UnattendedProgram& program) {
  program.saveFailed = true;
  program.framework->exitCode = kExitFailed;
}

void SaveIgc(UnattendedProgram& program) {
  const CommandLineOptions& options = *program.options;
  TrackLog& log = *program.log;
  igc::IgcAutoSave request;
  request.overwrite = options.overwrite;
  request.writeRawLog = OwnIgcText(options.gpsCode);
  request.pilotName = options.pilotName;
  request.gliderId = options.gliderId;
  request.outputPath = options.fileName;
  GarminTime nameTime = 0;
  if (request.writeRawLog && log.rawIgc) {
    nameTime = log.rawIgc->firstFixTime;
  } else if (!log.Empty()) {
    nameTime = log.points.front().time;
  }
  ExpandNameMacros(request.outputPath, nameTime);
  std::filesystem::path written;
  if (igc::AutoSaveIgc(log, request, *program.ui, &written) != 0) {
    SaveFailed(program);
    return;
  }
  program.written.push_back(written);
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
  switch (options.action) {
    case CommandAction::KmlLog:
    case CommandAction::OziLog:
    case CommandAction::IgcLog:
    case CommandAction::MpsLog:
    case CommandAction::ReadWaypoints:
    case CommandAction::ReadGeoWaypoints:
    case CommandAction::FlightList:
      if (access) started = StartAccess(program, *access);
      break;
    default:
      program.ui->ShowErrorBox("Unsupported access function", "GPS access");
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
    switch (options.action) {
      case CommandAction::IgcLog:
        SaveIgc(program);
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
