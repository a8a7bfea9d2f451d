#include "app/command_line.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <system_error>

#include "base/text.h"

namespace logwell {
namespace {

// ---------------------------------------------------------------------------------------------
// Small value readers

// A whole number: an optional minus sign (when allowed), then digits only. Values beyond
// +-10^15 are held at that bound, so that clamping callers still see "very large".
std::optional<long long> ParseWholeNumber(std::string_view text, bool allowMinus) {
  constexpr long long kBound = 1'000'000'000'000'000LL;
  bool negative = false;
  if (allowMinus && !text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  long long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = std::min(kBound, value * 10 + (c - '0'));
  }
  return negative ? -value : value;
}

std::optional<int> ParseInt(std::string_view text, bool allowMinus) {
  const auto value = ParseWholeNumber(text, allowMinus);
  if (!value || *value > INT32_MAX || *value < INT32_MIN) return std::nullopt;
  return static_cast<int>(*value);
}

// YYYYMMDDhhmmss as a GarminTime. Years outside 1990..2099 have no GarminTime (the count
// starts at the end of 1989 and the leap-year rule holds until 2099), so they are refused
// rather than wrapped round into a meaningless time.
std::optional<GarminTime> ParseFilterTime(std::string_view text) {
  if (text.size() != 14 || !ParseWholeNumber(text, false)) return std::nullopt;
  const auto field = [text](std::size_t at, std::size_t length) {
    int value = 0;
    for (std::size_t i = at; i < at + length; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  CalendarTime time;
  time.year = field(0, 4);
  time.month = field(4, 2);
  time.day = field(6, 2);
  time.hour = field(8, 2);
  time.minute = field(10, 2);
  time.second = field(12, 2);
  const bool valid = time.year >= 1990 && time.year <= 2099 && time.month >= 1 &&
                     time.month <= 12 && time.day >= 1 && time.day <= 31 && time.hour <= 23 &&
                     time.minute <= 59 && time.second <= 59;
  if (!valid) return std::nullopt;
  return CalendarToGarminTime(time);
}

std::uint32_t MillisecondTicks() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<std::uint32_t>(ms);
}

// ---------------------------------------------------------------------------------------------
// The option table

struct OptionContext {
  Ui& ui;
  const CommandLineHandlers& handlers;
};

// The message of a refused option. An empty text means the failure was reported already.
using OptionError = std::optional<std::string>;
using OptionHandler = OptionError (*)(CommandLineOptions&, std::string_view value,
                                      OptionContext&);

struct OptionEntry {
  std::string_view keyword;
  OptionHandler apply;
};

}  // namespace

bool IsTrackSaveAction(CommandAction action) {
  return action == CommandAction::KmlLog || action == CommandAction::OziLog ||
         action == CommandAction::MpsLog || action == CommandAction::IgcLog;
}

bool IsFolderName(std::string_view name) {
  if (name.empty()) return false;
  if (name.back() == '/' || name.back() == '\\') return true;
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::path(name), error);
}

namespace {

OptionError FileAction(CommandLineOptions& o, std::string_view value, CommandAction action,
                       std::string_view missingMessage) {
  if (value.empty()) return std::string(missingMessage);
  o.fileName = CutBytes(value, kMaxFileNameLength);
  o.action = action;
  if (IsTrackSaveAction(action)) {
    std::erase_if(o.trackSaves, [action](const auto& save) { return save.action == action; });
    o.trackSaves.push_back({action, o.fileName});
  }
  return std::nullopt;
}

OptionError ApplyCom(CommandLineOptions& o, std::string_view value, OptionContext&) {
  if (const auto number = ParseInt(value, false)) {
    if (*number < 1) return "Bad COM port";
    char name[32];
    std::snprintf(name, sizeof(name), *number < 10 ? "COM%d" : "\\\\.\\COM%d", *number);
    o.comPortName = name;
    o.comDevicePath = ResolveComPort(o.comPortName);
    return std::nullopt;
  }
  // A device path such as /dev/ttyUSB0; one that does not fit is refused rather than cut,
  // which would name another device.
  if (value.empty() || value.front() != '/' || value.size() > kMaxComPortNameLength) {
    return "Bad COM port";
  }
  o.comPortName = std::string(value);
  o.comDevicePath = o.comPortName;
  return std::nullopt;
}

OptionError ApplyGps(CommandLineOptions& o, std::string_view value, OptionContext&) {
  const auto code = FindGpsCode(value);
  if (!code) return "Bad GPS type";
  o.gpsCode = *code;
  return std::nullopt;
}

OptionError ApplyWin(CommandLineOptions& o, std::string_view value, OptionContext&) {
  const auto size = ParseInt(value, false);
  if (!size || *size > 2) return "Bad window size";
  o.showCommand = static_cast<ShowCommand>(*size);
  return std::nullopt;
}

OptionError ApplyCompLog(CommandLineOptions& o, std::string_view value, OptionContext&) {
  const std::string upper = UpperCase(std::string(value));
  if (upper == "KML") {
    o.compLogType = 0;
  } else if (upper == "IGC") {
    o.compLogType = 1;
  } else {
    return "Bad competition fle type";
  }
  o.action = CommandAction::CompLog;
  return std::nullopt;
}

OptionError ApplyCompFs(CommandLineOptions& o, std::string_view value, OptionContext& context) {
  if (value.empty()) return "Missing flight score file name";
  if (!context.handlers.loadFlightScoreFile) {
    return "Flight score files are not supported yet";
  }
  if (!context.handlers.loadFlightScoreFile(std::string(value), context.ui)) {
    return std::string();  // the loader has shown its message
  }
  o.pilotListLoaded = true;
  return std::nullopt;
}

OptionError ApplySignedNumber(int& field, std::string_view value, std::string_view message) {
  const auto number = ParseInt(value, true);
  if (!number) return std::string(message);
  field = *number;
  return std::nullopt;
}

OptionError ApplyFilterStart(CommandLineOptions& o, std::string_view value, OptionContext&) {
  const auto time = ParseFilterTime(value);
  if (!time) return "Bad track log start filter time";
  if (*time == 0) return std::nullopt;
  if (o.filterEnd != 0 && *time >= o.filterEnd) return "Comp. stop time before start time";
  o.filterStart = *time;
  return std::nullopt;
}

// COMP_DATE=YYYY-MM-DD (or YYYYMMDD): the task's day; flights of other days are refused.
OptionError ApplyCompDate(CommandLineOptions& o, std::string_view value, OptionContext&) {
  std::string digits;
  for (const char c : value) {
    if (c != '-') digits.push_back(c);
  }
  const auto day = digits.size() == 8 ? ParseFilterTime(digits + "000000") : std::nullopt;
  if (!day) return "Bad competition task date";
  o.compDate = *day;
  return std::nullopt;
}

OptionError ApplyFilterEnd(CommandLineOptions& o, std::string_view value, OptionContext&) {
  const auto time = ParseFilterTime(value);
  if (!time) return "Bad track log stop filter time";
  if (*time == 0) return std::nullopt;
  if (o.filterStart != 0 && *time <= o.filterStart) return "Comp. start time after end time";
  o.filterEnd = *time;
  return std::nullopt;
}

OptionError ApplyNotify(CommandLineOptions& o, std::string_view value, OptionContext&) {
  if (value.empty()) return "Missing window class name";
  o.notifyClass = CutBytes(value, kMaxNotifyClassLength);
  o.notifyWindow = NotifyChannel::Open(o.notifyClass);
  o.notifyTicks = MillisecondTicks();
  return std::nullopt;
}

OptionError ApplySession(CommandLineOptions& o, std::string_view value, OptionContext&) {
  if (value.empty()) return "Missing session number";
  const auto number = ParseWholeNumber(value, false);
  if (!number || *number > UINT32_MAX) return "Bad session number";
  o.sessionNumber = static_cast<std::uint32_t>(*number);
  o.sessionGiven = true;
  return std::nullopt;
}

OptionError ApplySendLog(CommandLineOptions& o, std::string_view value, OptionContext&) {
  const auto seconds = ParseInt(value, false);
  if (!seconds) return "Bad SENDLOG value";
  o.sendLogSeconds = *seconds;
  return std::nullopt;
}

OptionError ApplyTimeout(CommandLineOptions& o, std::string_view value, OptionContext&) {
  const auto seconds = ParseWholeNumber(value, true);
  if (!seconds) return "Bad TIMEOUT value";
  o.connectSeconds = static_cast<int>(std::clamp<long long>(*seconds, 0, kMaxConnectSeconds));
  return std::nullopt;
}

// Numbers separated by commas, spaces allowed around them (inside a quoted value).
OptionError ApplyTrack(CommandLineOptions& o, std::string_view value, OptionContext&) {
  if (EqualsIgnoringCase(Trim(value, " "), "ALL")) {
    o.trackNumbers = NoTrackNumbers();
    o.allTracks = true;
    return std::nullopt;
  }
  o.allTracks = false;
  auto numbers = NoTrackNumbers();
  std::size_t count = 0;
  std::size_t at = 0;
  const auto skipSpaces = [&] {
    while (at < value.size() && value[at] == ' ') ++at;
  };
  while (true) {
    skipSpaces();
    const std::size_t start = at;
    while (at < value.size() && value[at] >= '0' && value[at] <= '9') ++at;
    if (at == start) return count == 0 ? "Missing TRACK list" : "Bad TRACK value";
    const auto number = ParseInt(value.substr(start, at - start), false);
    if (!number || count == kMaxTrackNumbers) return "Bad TRACK value";
    numbers[count++] = *number;
    skipSpaces();
    if (at == value.size()) break;
    if (value[at] != ',') return "Bad TRACK value";
    ++at;
  }
  o.trackNumbers = numbers;
  return std::nullopt;
}

OptionError SetFlag(bool& flag) {
  flag = true;
  return std::nullopt;
}

using O = CommandLineOptions;
using V = std::string_view;
using C = OptionContext;
using A = CommandAction;

constexpr OptionEntry kOptions[] = {
    {"COM", ApplyCom},
    {"USB", [](O& o, V, C&) { return SetFlag(o.useUsb); }},
    {"GPS", ApplyGps},
    {"KML_LOG", [](O& o, V v, C&) { return FileAction(o, v, A::KmlLog, "Missing log file name"); }},
    {"MPS_LOG", [](O& o, V v, C&) { return FileAction(o, v, A::MpsLog, "Missing log file name"); }},
    {"OZI_LOG", [](O& o, V v, C&) { return FileAction(o, v, A::OziLog, "Missing log file name"); }},
    {"RD_LOG", [](O& o, V v, C&) { return FileAction(o, v, A::OziLog, "Missing log file name"); }},
    {"IGC_LOG",
     [](O& o, V v, C&) { return FileAction(o, v, A::IgcLog, "Missing log file directory name"); }},
    {"PILOT",
     [](O& o, V v, C&) -> OptionError {
       if (!v.empty()) o.pilotName = CutBytes(v, kMaxPilotNameLength);
       return std::nullopt;
     }},
    {"ID",
     [](O& o, V v, C&) -> OptionError {
       if (!v.empty()) o.gliderId = CutBytes(v, kMaxGliderIdLength);
       return std::nullopt;
     }},
    {"RD_WPT",
     [](O& o, V v, C&) { return FileAction(o, v, A::ReadWaypoints, "Missing wpt file name"); }},
    {"RD_GEO_WPT",
     [](O& o, V v, C&) { return FileAction(o, v, A::ReadGeoWaypoints, "Missing wpt file name"); }},
    {"WR_WPT",
     [](O& o, V v, C&) { return FileAction(o, v, A::WriteWaypoints, "Missing wpt file name"); }},
    {"WR_WPT2",
     [](O& o, V v, C&) { return FileAction(o, v, A::WriteWaypoints2, "Missing wpt file name"); }},
    {"WR_CTR",
     [](O& o, V v, C&) { return FileAction(o, v, A::WriteCtr, "Missing CTR file name"); }},
    {"EXIT", [](O& o, V, C&) { return SetFlag(o.exitWhenDone); }},
    {"OVERWRITE", [](O& o, V, C&) { return SetFlag(o.overwrite); }},
    {"WIN", ApplyWin},
    {"CHKKML", [](O& o, V v, C&) { return FileAction(o, v, A::CheckKml, "Missing file name"); }},
    {"IGC2KML",
     [](O& o, V v, C&) { return FileAction(o, v, A::IgcToKml, "Missing IGC/KML file name"); }},
    {"DAT2KML",
     [](O& o, V v, C&) { return FileAction(o, v, A::DatToKml, "Missing DAT/KML file name"); }},
    {"LOGFILE",
     [](O& o, V v, C&) -> OptionError {
       // With COMP_LOG (before or after) the file is filed for the competition.
       const bool competition = o.action == A::CompLog;
       if (auto error = FileAction(o, v, A::LogFile, "Missing track log file name")) return error;
       o.compLogFile = o.fileName;
       if (competition) o.action = A::CompLog;
       return std::nullopt;
     }},
    {"COMP_LOG", ApplyCompLog},
    {"COMP_SPECIAL", [](O& o, V, C&) { return SetFlag(o.compSpecial); }},
    {"COMP_DIR",
     [](O& o, V v, C&) -> OptionError {
       if (v.empty()) return "Missing competition directory name";
       o.compDir = CutBytes(v, kMaxFileNameLength);
       return std::nullopt;
     }},
    {"COMP_FS", ApplyCompFs},
    {"COMPID", [](O& o, V v, C&) { return ApplySignedNumber(o.compId, v, "Bad COMPID value"); }},
    {"CIVLID", [](O& o, V v, C&) { return ApplySignedNumber(o.civlId, v, "Bad CIVLID value"); }},
    {"COMP_DATE", ApplyCompDate},
    {"FILTER", ApplyFilterStart},
    {"FILTEREND", ApplyFilterEnd},
    {"NOTIFY", ApplyNotify},
    {"NOSPLIT", [](O& o, V, C&) { return SetFlag(o.noSplit); }},
    {"SESSION", ApplySession},
    {"NOCHECK", [](O& o, V, C&) { return SetFlag(o.noCheck); }},
    {"PWROFF", [](O& o, V, C&) { return SetFlag(o.powerOff); }},
    {"SENDLOG", ApplySendLog},
    {"POSX", [](O& o, V v, C&) { return ApplySignedNumber(o.dialogX, v, "Bad POSX value"); }},
    {"POSY", [](O& o, V v, C&) { return ApplySignedNumber(o.dialogY, v, "Bad POSY value"); }},
    {"USERNAME",
     [](O& o, V v, C&) -> OptionError {
       if (v.empty()) return "Missing username";
       o.pilotName = CutBytes(v, kMaxPilotNameLength);
       o.action = A::Username;
       return std::nullopt;
     }},
    {"TIMEOUT", ApplyTimeout},
    {"NOLOOPOPT", [](O& o, V, C&) { return SetFlag(o.noLoopOpt); }},
    {"FLIGHTLIST",
     [](O& o, V, C&) -> OptionError {
       o.action = A::FlightList;
       return std::nullopt;
     }},
    {"TRACK", ApplyTrack},
    {"WPTSRC",
     [](O& o, V v, C&) {
       return FileAction(o, v, A::WaypointConvert, "Missing wpt. source file name");
     }},
    {"WPTDEST",
     [](O& o, V v, C&) -> OptionError {
       if (v.empty()) return "Missing wpt. destination file name";
       o.secondFileName = CutBytes(v, kMaxFileNameLength);
       return std::nullopt;
     }},
};

// `typed` is the option as it stands in the text, "/" and keyword, before any cut to 16
// characters, so that the refusal names what the user wrote.
OptionError ApplyOption(CommandLineOptions& options, OptionContext& context,
                        std::string_view typed) {
  const auto* entry = std::ranges::find(kOptions, std::string_view(options.keyword),
                                        &OptionEntry::keyword);
  if (entry == std::end(kOptions)) return "Unrecognized command: " + std::string(typed);
  return entry->apply(options, options.value, context);
}

// ---------------------------------------------------------------------------------------------
// The checks at the end of the parse

constexpr std::uint32_t GpsSet(std::initializer_list<int> codes) {
  std::uint32_t set = 0;
  for (const int code : codes) set |= 1u << code;
  return set;
}
constexpr std::uint32_t kAllGps = (1u << kGpsCodeCount) - 1;

constexpr std::uint32_t ActionSet(std::initializer_list<CommandAction> actions) {
  std::uint32_t set = 0;
  for (const CommandAction action : actions) set |= 1u << static_cast<int>(action);
  return set;
}

struct ActionCheck {
  std::uint32_t actions;
  std::uint32_t allowedGps;
  std::string_view message;
};

constexpr ActionCheck kActionChecks[] = {
    {ActionSet({A::KmlLog, A::OziLog, A::MpsLog, A::CompLog}),
     kAllGps & ~GpsSet({kGpsMlrc}),
     "Unsupported GPS for track log download"},
    {ActionSet({A::IgcLog}), kAllGps & ~GpsSet({2, 5, kGpsMlrc}), "Unsupported GPS for IGC track log download"},
    {ActionSet({A::ReadWaypoints, A::ReadGeoWaypoints}),
     GpsSet({0, 1, 4, 9, 11, 12, 14, 17, 18}),
     "Unsupported GPS for waypoint download"},
    {ActionSet({A::WriteWaypoints, A::WriteWaypoints2}),
     GpsSet({0, 1, 2, 4, 6, 7, 9, 12, 14, 17, 18}),
     "Unsupported GPS for waypoint upload"},
    {ActionSet({A::WriteCtr}), GpsSet({0, 4}), "Unsupported GPS for CTR upload"},
    {ActionSet({A::FlightList}),
     GpsSet({4, 9, 12, 14, 15, 17, 18}),
     "Unsupported GPS for flightlist download"},
    {ActionSet({A::Username}), GpsSet({kGpsFlymaster, kGpsFlymasterOld}), "Unsupported GPS for username upload"},
};

constexpr std::string_view kOneTrackLogNoList =
    "This instrument keeps one track log, no flight list: save it with /IGC_LOG or /KML_LOG";

bool UsesInstrumentPort(CommandAction action) {
  const int code = static_cast<int>(action);
  return (code >= 1 && code <= 7) || action == A::CompLog || action == A::WriteCtr;
}

// A conversion that runs during the parse and ends the program.
ParseOutcome RunConversion(const std::function<bool(const CommandLineOptions&, Ui&)>& convert,
                           std::string_view unsupportedMessage, const CommandLineOptions& options,
                           Ui& ui) {
  if (!convert) {
    ui.ShowErrorBox(unsupportedMessage, kCommandLineCaption);
    return ParseOutcome::Failed;
  }
  return convert(options, ui) ? ParseOutcome::Done : ParseOutcome::Failed;
}

ParseOutcome ConvertWaypointFile(const CommandLineOptions& options, Ui& ui,
                                 const CommandLineHandlers& handlers) {
  bool converted = false;
  if (!handlers.convertWaypointFile) {
    ui.ShowErrorBox("Waypoint file conversion is not supported yet", kCommandLineCaption);
  } else {
    converted = handlers.convertWaypointFile(options, ui);
  }
  const std::string_view report =
      converted ? "Waypoint file converted" : "Waypoint file conversion failed";
  NotifyExternal(&options, report);
  if (!converted) {
    if (handlers.convertWaypointFile) ui.ShowErrorBox(report, kCommandLineCaption);
    return ParseOutcome::Failed;
  }
  ui.ShowInfoBox(report, kCommandLineCaption);
  return ParseOutcome::Done;
}

// Returns Go, or how the program ends (a refusal has been shown).
ParseOutcome CheckAtEnd(const CommandLineOptions& options, Ui& ui,
                        const CommandLineHandlers& handlers) {
  // The action, and every further track-log save that goes with a track-log action.
  std::uint32_t actions = ActionSet({options.action});
  if (IsTrackSaveAction(options.action)) {
    for (const auto& save : options.trackSaves) actions |= ActionSet({save.action});
  }
  for (const ActionCheck& check : kActionChecks) {
    if ((check.actions & actions) == 0) continue;
    if ((check.allowedGps & (1u << options.gpsCode)) == 0) {
      // An instrument without a flight list still holds its one track log: say how to get it.
      const bool oneTrackLog = (check.actions & ActionSet({A::FlightList})) != 0 &&
                               GpsAccessFor(options.gpsCode, GpsColumn::TrackLogRead, options.useUsb);
      ui.ShowErrorBox(oneTrackLog ? kOneTrackLogNoList : check.message, kCommandLineCaption);
      return ParseOutcome::BadCommandLine;
    }
  }
  if (options.allTracks) {
    if (!IsTrackSaveAction(options.action)) {
      ui.ShowErrorBox("TRACK=ALL needs IGC_LOG, KML_LOG, OZI_LOG or MPS_LOG", kCommandLineCaption);
      return ParseOutcome::BadCommandLine;
    }
    // Every flight gets a file of its own: a fixed file name would take only the first.
    for (const auto& save : options.trackSaves) {
      if (!IsFolderName(save.fileName) && save.fileName.find("$time") == std::string::npos) {
        ui.ShowErrorBox(FormatText("TRACK=ALL saves each flight to its own file: make \"%s\" a "
                                   "folder (ending in /) or put $time in it",
                                   save.fileName.c_str()),
                        kCommandLineCaption);
        return ParseOutcome::BadCommandLine;
      }
    }
  }
  if (options.action == A::FlightList && !options.notifyWindow.IsOpen() &&
      !handlers.flightListWithoutNotify) {
    ui.ShowErrorBox("Missing notify window for flightlist download", kCommandLineCaption);
    return ParseOutcome::BadCommandLine;
  }
  if (UsesInstrumentPort(options.action) && options.useUsb && options.gpsCode != kGpsGarmin) {
    ui.ShowErrorBox("USB is not supported", kCommandLineCaption);
    return ParseOutcome::BadCommandLine;
  }
  switch (options.action) {
    case A::CompLog:
      if (options.pilotListLoaded && handlers.enableCompetitionMode) {
        handlers.enableCompetitionMode(options.compSpecial);
      }
      return ParseOutcome::Go;
    case A::IgcToKml:
      return RunConversion(handlers.convertIgcToKml, "IGC to KML conversion is not supported yet",
                           options, ui);
    case A::DatToKml:
      return RunConversion(handlers.convertDatToKml, "DAT to KML conversion is not supported yet",
                           options, ui);
    case A::WaypointConvert:
      if (options.fileName.empty() || options.secondFileName.empty()) {
        ui.ShowErrorBox("Missing file name(s) for waypoint file conversion", kCommandLineCaption);
        return ParseOutcome::BadCommandLine;
      }
      return ConvertWaypointFile(options, ui, handlers);
    default:
      return ParseOutcome::Go;
  }
}

ParseResult OpenFileResult(std::string_view fileName) {
  ParseResult result;
  result.options = std::make_unique<CommandLineOptions>();
  result.options->fileName = CutBytes(fileName, kMaxFileNameLength);
  result.options->action = CommandAction::LogFile;
  result.options->gpsCode = kGpsGarmin;
  return result;
}

ParseResult Refuse(Ui& ui, std::string_view message) {
  ui.ShowErrorBox(message, kCommandLineCaption);
  return {ParseOutcome::BadCommandLine, nullptr};
}

// The option keyword that starts at `start` (its "/"), as typed: up to "=", a space or the end.
std::string_view TypedKeyword(std::string_view text, std::size_t start) {
  const std::size_t end = text.find_first_of("= ", start);
  return text.substr(start, end == std::string_view::npos ? text.size() - start : end - start);
}

// The message for a character outside an option at `at` (counted from 0): its position
// counted from 1, the word it begins and, when it sticks to the option that starts at
// `optionStart`, that option.
std::string MisplacedCharacterMessage(std::string_view text, std::size_t at,
                                      std::size_t optionStart) {
  constexpr std::size_t kShown = 24;
  const auto excerpt = [](std::string_view part, bool keepEnd) {
    if (part.size() <= kShown) return std::string(part);
    return keepEnd ? "..." + std::string(part.substr(part.size() - kShown))
                   : std::string(part.substr(0, kShown)) + "...";
  };
  const std::size_t wordEnd = std::min(text.find(' ', at), text.size());
  std::string message = FormatText("Error at position %zu: \"%s\"", at + 1,
                                   excerpt(text.substr(at, wordEnd - at), false).c_str());
  if (at > 0 && text[at - 1] != ' ' && optionStart < at) {
    message += FormatText(" right after %s; separate options with a space",
                          excerpt(text.substr(optionStart, at - optionStart), true).c_str());
  } else {
    message += " is not an option; options begin with \"/\"";
  }
  return message;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

int ExitCodeFor(ParseOutcome outcome) {
  switch (outcome) {
    case ParseOutcome::Go:
    case ParseOutcome::Done:
      return kExitOk;
    case ParseOutcome::Failed:
      return kExitFailed;
    case ParseOutcome::BadCommandLine:
      return kExitBadCommandLine;
  }
  return kExitFailed;
}

bool FeedCommandLineCharacter(CommandLineOptions& o, char c, bool& error) {
  const bool separator = c == ' ' || c == '\0';
  const auto complete = [&o] {
    o.scanState = ScanState::BetweenOptions;
    o.scanLength = 0;
    return true;
  };
  const auto append = [&o](std::string& part, char ch, std::size_t limit) {
    if (part.size() < limit) {
      part.push_back(ch);
      o.scanLength = static_cast<int>(part.size());
    }
  };
  error = false;
  switch (o.scanState) {
    case ScanState::BetweenOptions:
      if (c == '/') {
        o.scanState = ScanState::Keyword;
        o.scanLength = 0;
        o.keyword.clear();
        o.value.clear();
      } else if (!separator) {
        error = true;
      }
      return false;
    case ScanState::Keyword:
      if (separator) return complete();
      if (c == '=') {
        o.scanState = ScanState::Value;
        o.scanLength = 0;
      } else {
        append(o.keyword, c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c,
               kMaxKeywordLength);
      }
      return false;
    case ScanState::Value:
      if (separator) return complete();
      if (c == '"' && o.value.empty()) {
        o.scanState = ScanState::QuotedValue;
      } else {
        append(o.value, c, kMaxValueLength);
      }
      return false;
    case ScanState::QuotedValue:
      if (c == '"' || c == '\0') return complete();
      append(o.value, c, kMaxValueLength);
      return false;
  }
  return false;
}

ParseResult ParseCommandLine(std::string_view text, Ui& ui, const CommandLineHandlers& handlers) {
  // The text ends at its terminator, as every C string does.
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return {};

  if (text.front() == '"') {
    const std::size_t closing = text.find('"', 1);
    if (closing == std::string_view::npos) return Refuse(ui, "Bad double apostrophe (\") balance");
    text = text.substr(1, closing - 1);
  }
  if (text.empty() || text.front() != '/') return OpenFileResult(text);

  auto options = std::make_unique<CommandLineOptions>();
  OptionContext context{ui, handlers};
  std::size_t optionStart = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : '\0';
    if (options->scanState == ScanState::BetweenOptions && c == '/') optionStart = i;
    bool error = false;
    const bool optionComplete = FeedCommandLineCharacter(*options, c, error);
    if (error) return Refuse(ui, MisplacedCharacterMessage(text, i, optionStart));
    if (!optionComplete) continue;
    if (const OptionError failure =
            ApplyOption(*options, context, TypedKeyword(text, optionStart))) {
      if (failure->empty()) return {ParseOutcome::BadCommandLine, nullptr};
      return Refuse(ui, *failure);
    }
  }

  const ParseOutcome outcome = CheckAtEnd(*options, ui, handlers);
  if (outcome != ParseOutcome::Go) return {outcome, nullptr};
  return {ParseOutcome::Go, std::move(options)};
}

namespace {

// A text wrapped in one pair of double quotes, without them; any other text as it is.
std::string_view WithoutEnclosingQuotes(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

}  // namespace

ParseResult ParseArguments(std::span<const char* const> arguments, Ui& ui,
                           const CommandLineHandlers& handlers) {
  // The arguments given, each with its position counted from 1 for the messages.
  std::vector<std::pair<std::size_t, std::string_view>> words;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] != nullptr && *arguments[i] != '\0') words.emplace_back(i + 1, arguments[i]);
  }
  if (words.empty()) return {};
  if (words.size() == 1) {
    // Absolute paths begin with "/" like the options, so only the file's existence can tell
    // "/home/pilot/flight.igc" from an option.
    std::error_code ignored;
    const std::string_view only = WithoutEnclosingQuotes(words[0].second);
    if (std::filesystem::is_regular_file(std::filesystem::path(words[0].second), ignored)) {
      return OpenFileResult(words[0].second);
    }
    if (!only.empty() && only.front() != '/') return OpenFileResult(only);
  }

  // Every argument is one option, "/KEYWORD" or "/KEYWORD=value", whatever its value holds:
  // spaces, quotes and "/" inside a value never start another option.
  auto options = std::make_unique<CommandLineOptions>();
  OptionContext context{ui, handlers};
  for (const auto& [position, argument] : words) {
    const std::string_view word = WithoutEnclosingQuotes(argument);
    if (!word.starts_with('/')) {
      constexpr std::size_t kShown = 40;
      const std::string shown =
          word.size() <= kShown ? std::string(word) : std::string(CutUtf8(word, kShown)) + "...";
      return Refuse(ui, FormatText("Argument %zu: \"%s\" is not an option; options begin with \"/\"",
                                   position, shown.c_str()));
    }
    const std::size_t equals = word.find('=');
    const std::string_view typed = word.substr(0, equals);
    options->keyword.clear();
    for (const char c : typed.substr(1, kMaxKeywordLength)) {
      options->keyword.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : word.substr(equals + 1);
    // A value may come quoted, as in the one-text form; the quotes are not part of it.
    options->value = CutBytes(WithoutEnclosingQuotes(value), kMaxValueLength);
    if (const OptionError failure = ApplyOption(*options, context, typed)) {
      if (failure->empty()) return {ParseOutcome::BadCommandLine, nullptr};
      return Refuse(ui, *failure);
    }
  }

  const ParseOutcome outcome = CheckAtEnd(*options, ui, handlers);
  if (outcome != ParseOutcome::Go) return {outcome, nullptr};
  return {ParseOutcome::Go, std::move(options)};
}

std::string ResolveComPort(std::string_view portName) {
  std::string_view rest = portName;
  if (rest.starts_with("\\\\.\\")) rest.remove_prefix(4);
  if (rest.starts_with("COM")) {
    rest.remove_prefix(3);
    const auto number = ParseInt(rest, false);
    if (number && *number >= 1) return "/dev/ttyS" + std::to_string(*number - 1);
  }
  return std::string(portName);
}

std::optional<UnattendedAccess> UnattendedAccessFor(const CommandLineOptions& options) {
  const auto column = [&options](AccessType type,
                                 GpsColumn gpsColumn) -> std::optional<UnattendedAccess> {
    const auto gps = GpsAccessFor(options.gpsCode, gpsColumn, options.useUsb);
    if (!gps) return std::nullopt;
    return UnattendedAccess{type, *gps};
  };
  switch (options.action) {
    case A::KmlLog:
    case A::OziLog:
    case A::IgcLog:
    case A::MpsLog:
    case A::CompLog:
      return column(AccessType::ReadTrackLog, GpsColumn::TrackLogRead);
    case A::ReadWaypoints:
    case A::ReadGeoWaypoints:
      return column(AccessType::ReadWaypoints, GpsColumn::WaypointRead);
    case A::WriteWaypoints:
    case A::WriteWaypoints2:
      return column(AccessType::WriteWaypoints, GpsColumn::WaypointWrite);
    case A::FlightList:
      return column(AccessType::ReadFlightList, GpsColumn::FlightList);
    case A::Username:
      return column(AccessType::WritePilotData, GpsColumn::PilotDataWrite);
    case A::WriteCtr:
      return column(AccessType::UploadCtr, GpsColumn::CtrWrite);
    default:
      return std::nullopt;
  }
}

void NotifyExternal(const CommandLineOptions* options, std::string_view text) {
  if (options == nullptr || !options->notifyWindow.IsOpen()) return;
  options->notifyWindow.Send(options->sessionGiven ? options->sessionNumber : options->notifyTicks,
                             text);
}

namespace {

// Indexed by GPS code.
constexpr std::string_view kGpsInstruments[kGpsCodeCount] = {
    "Garmin receivers on a serial port; with /USB, Garmin receivers on USB",
    "MLR and Leonardo units, and the Digifly, CPilot and CoMo units that speak the MLR protocol "
    "(track log from MLR's protocol document; waypoint transfer unverified)",
    "Top Navigator (TNCM), track log and waypoint upload at 9600 baud (protocol partly unverified)",
    "LogIt and Tracklogger, track log at 57600 baud (protocol unverified: no public description)",
    "Flytec 5020, 5030, 6020, 6030; Brauniger IQ-Compeo, Compeo, Compeo+, Competino, "
    "Competino+, Galileo",
    "Graviter, all tracks (protocol unverified: no public description)",
    "Magellan receivers",
    "XC Trainer, track log and waypoint upload at 9600 baud (protocol partly unverified)",
    "XC Trainer with MXP, track log at 57600 baud (protocol partly unverified)",
    "Flymaster Live, Nav, Gps, Vario, GpsSD, GpsSD+, LiveSD, NavSD",
    "DSX flight recorders (protocol unverified: no public description)",
    "MLR units, fast waypoint download only (waypoint transfer unverified)",
    "IQ Basic, Flytec 6015 (from the maker's protocol document; not checked against an instrument)",
    "MTK, Pentagram and Holux loggers",
    "Digifly Leonardo Pro (protocol unverified: no public description)",
    "Ascent at 128000 baud (protocol unverified: no public description)",
    "Digifly Air (protocol unverified: no public description)",
    "Syride SYS-Nav, SYS-Nav V3 (over USB HID; protocol unverified: none published)",
    "Flymaster F1, B1NAV (the older Flymaster protocol)",
};

constexpr CliVerb kCliVerbs[] = {
    {"convert", "IN OUT [--track N]",
     "    Converts a track, waypoint or airspace file to the format that OUT's\n"
     "    extension names (.igc, .kml, .gpx, .wpt, .cup, ...), with no filter. Every\n"
     "    track, waypoint and route OUT can hold is written; what it cannot hold is\n"
     "    reported on stderr. When IN holds several tracks and OUT holds one, the\n"
     "    tracks are listed and --track N (from 1) picks one.\n"},
    {"flights", "/COM=PORT /GPS=NAME [OPTION...]",
     "    Prints the flights stored in the instrument on stdout, one line each: its\n"
     "    TRACK number, the date and time it started (UTC) and its length. Download\n"
     "    one with /TRACK=N, or every one to its own file with /TRACK=ALL.\n"},
    {"analyse", "FILE... [--json] [--exact] [--rules R] [--geojson]",
     "    Prints the contest claim first (XContest unless --rules names others),\n"
     "    then the flight statistics of a track file, its distance analysis and its\n"
     "    scores; --json prints one JSON object, --filters applies the vario filter\n"
     "    and the speed analysis first. --exact adds the proven optimum over every\n"
     "    fix (free distance, free and FAI triangle), stopping after --time-limit\n"
     "    S seconds (60; 0: none) with the best found, marked not proven; --rules\n"
     "    olc|xcontest|ffvl|xcleague (any case) scores it by that contest's\n"
     "    definitions (xcleague: the UK XC League's National league, XC League\n"
     "    Rules 2024); --geojson prints the claim as GeoJSON.\n"
     "    Several files with --json are scored on all cores, one JSON object a\n"
     "    line in the order given; a file that fails gets a line of its own.\n"},
    {"pilots", "LIST",
     "    Prints the pilots of a competition pilot list (CSV, or the Fs or RACE\n"
     "    database) as CSV: name, competition ID, CIVL ID and the four device\n"
     "    columns. A list with any fault is refused whole, with its message.\n"},
    {"upload", "FLIGHT --user U [OPTION...]",
     "    Uploads a track file to the web logbook (address: LogbookAddress in the\n"
     "    settings, or --server URL); --class N and --model M give the class id\n"
     "    and the glider. The password comes from LOGWELL_PASSWORD, else the one\n"
     "    the window remembered for that user, else it is asked on the terminal.\n"},
    {"validate", "FILE.igc [--server URL]",
     "    Sends an IGC file to the online validation service (ValidationAddress in\n"
     "    the settings, or --server); exit code 0 only when it passed.\n"},
    {"ftp-send", "FILE --server HOST[:PORT] --user U --remote NAME",
     "    Sends a file to an FTP server in binary mode, through TLS (AUTH TLS);\n"
     "    --passive uses passive mode, --tls-control protects the commands only,\n"
     "    --cacert FILE trusts a server certificate, --no-tls sends in the clear.\n"
     "    The password is taken as for upload.\n"},
    {"scan", "[--json] [PORT...]",
     "    Asks every serial port (or the PORTs named) which instrument answers and\n"
     "    prints one line per port: the port, the family, model, firmware and serial\n"
     "    number, \"no instrument\", or why the port could not be used; --json prints\n"
     "    one JSON object a line. Exit code 1 when no instrument was found.\n"},
};

// Appends `text` cut into lines of at most `width` characters, the first continuing the
// current line, the others indented by `indent` spaces.
void AppendWrapped(std::string& out, std::string_view text, std::size_t indent,
                   std::size_t width) {
  std::size_t column = indent;
  bool first = true;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find(' '), text.size());
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!first && column + 1 + word.size() > width) {
      out.append("\n").append(indent, ' ');
      column = indent;
    } else if (!first) {
      out.push_back(' ');
      ++column;
    }
    out.append(word);
    column += word.size();
    first = false;
  }
  out.push_back('\n');
}

std::string GpsJobs(const GpsTypeEntry& gps) {
  std::string jobs;
  const auto add = [&jobs](bool present, std::string_view job) {
    if (!present) return;
    if (!jobs.empty()) jobs += ", ";
    jobs += job;
  };
  add(gps.trackLogRead.has_value(), "track logs");
  add(gps.waypointRead.has_value(), "waypoint download");
  add(gps.waypointWrite.has_value(), "waypoint upload");
  add(gps.flightList.has_value(), "flight list");
  add(gps.ctrWrite.has_value(), "airspace upload");
  add(gps.pilotDataWrite.has_value(), "pilot name");
  return jobs;
}

}  // namespace

std::string_view GpsInstruments(int gpsCode) {
  if (gpsCode < 0 || gpsCode >= kGpsCodeCount) return {};
  return kGpsInstruments[gpsCode];
}

std::span<const CliVerb> CliVerbs() { return kCliVerbs; }

const CliVerb* FindCliVerb(std::string_view name) {
  const auto* verb = std::ranges::find(kCliVerbs, name, &CliVerb::name);
  return verb == std::end(kCliVerbs) ? nullptr : verb;
}

std::string CliVerbUsage(const CliVerb& verb) {
  std::string usage = "usage: logwell-cli ";
  usage.append(verb.name).append(" ").append(verb.arguments).append("\n");
  usage.append(verb.description);
  return usage;
}

std::string CommandLineHelp() {
  std::string help = R"(Usage: logwell-cli OPTION...      a job with an instrument or a file
       logwell-cli FILE           opens a track file
)";
  for (const CliVerb& verb : kCliVerbs) {
    help += FormatText("       logwell-cli %.*s %.*s\n", static_cast<int>(verb.name.size()),
                       verb.name.data(), static_cast<int>(verb.arguments.size()),
                       verb.arguments.data());
  }
  help += "       logwell-cli --help | --version\n\nVerbs (before any option):\n";
  for (const CliVerb& verb : kCliVerbs) {
    help.append("  ").append(verb.name).append(" ").append(verb.arguments).append("\n");
    help.append(verb.description);
  }
  help += R"(
Options (keywords in any case, values as typed; quote a value that holds
spaces: /PILOT="Jane Doe"):

  Instrument and port
    /COM=N | /COM=DEVICE  serial port COMN (/dev/ttyS<N-1>), or a device path
    /USB                  Garmin over USB
    /GPS=NAME             the instrument: a GPS value below (default GARMIN)
    /TIMEOUT=SECONDS      wait for the instrument to answer, 0 to 86400
    /PWROFF               switch a Garmin or older Flymaster off after reading
    /TRACK=N[,N...]       tracks to download (at most 20), numbered from 0 in
                          the instrument's list: /TRACK=0 is its first track
                          (logwell-cli flights lists them); without TRACK a
                          hidden run takes the newest flight
    /TRACK=ALL            every stored flight, each saved to its own file:
                          give each save a folder (IGC_LOG=DIR/) or $time

  Actions (the last one given counts)
    /KML_LOG=FILE  /OZI_LOG=FILE  /RD_LOG=FILE  /MPS_LOG=FILE
    /IGC_LOG=FILE|FOLDER  /RD_WPT=FILE  /RD_GEO_WPT=FILE  /WR_WPT=FILE
    /WR_WPT2=FILE  /WR_CTR=FILE
    /LOGFILE=FILE  /CHKKML=FILE  /IGC2KML=FILE  /DAT2KML=FILE  /FLIGHTLIST
    /WPTSRC=FILE /WPTDEST=FILE  /USERNAME=NAME  /COMP_LOG=KML|IGC

  Names of saved track logs (KML_LOG, OZI_LOG, RD_LOG, MPS_LOG, IGC_LOG)
    $date                 the date of the log's first position, YYYYMMDD
    $time                 the time of the log's first position, hhmmss
                          /KML_LOG='flight-$date-$time.kml' (quote the $)
    Given together, these saves are all written from the one download; a name
    without an extension gets its format's.

  Pilot and competition
    /PILOT=NAME  /ID=GLIDER  /COMPID=N  /CIVLID=N  /COMP_DIR=FOLDER
    /COMP_DATE=YYYY-MM-DD
    /COMP_FS=FILE  /COMP_SPECIAL  /NOCHECK  /NOSPLIT  /NOLOOPOPT
    /FILTER=YYYYMMDDhhmmss  /FILTEREND=YYYYMMDDhhmmss

  Run
    /EXIT  /OVERWRITE  /WIN=0|1|2  /POSX=N  /POSY=N
    /NOTIFY=SOCKET  /SESSION=N  /SENDLOG=SECONDS

GPS values (any case), the instruments each one covers and what it can do:
)";
  constexpr std::size_t kIndent = 18;
  constexpr std::size_t kWidth = 79;
  for (const GpsTypeEntry& gps : kGpsTypes) {
    help.append("  ").append(gps.name);
    help.append(kIndent - 2 - std::min(gps.name.size(), kIndent - 3), ' ');
    AppendWrapped(help, GpsInstruments(gps.code), kIndent, kWidth);
    help.append(kIndent, ' ');
    AppendWrapped(help, "[" + GpsJobs(gps) + "]", kIndent, kWidth);
  }
  help += R"(
Exit codes: 0 done, 1 the transfer, conversion or check failed, 2 the command
line was refused.
)";
  return help;
}

}  // namespace logwell
