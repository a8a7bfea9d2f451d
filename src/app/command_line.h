#pragma once
// The command line of an unattended run: options such as
//   /COM=3 /GPS=FLYMASTER /KML_LOG=flight.kml /PILOT="Jane Doe" /EXIT /WIN=0
// are read one character at a time into CommandLineOptions, checked against the instrument,
// and then drive the unattended run. A plain file name instead of options opens that file.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/access_types.h"
#include "app/gps_table.h"
#include "app/notify_channel.h"
#include "base/ui.h"
#include "base/version.h"
#include "model/garmin_time.h"

namespace logwell {

inline constexpr std::string_view kCommandLineCaption = "Parsing command line";

// Limits of the stored texts, in bytes.
inline constexpr std::size_t kMaxKeywordLength = 16;
inline constexpr std::size_t kMaxValueLength = 260;
inline constexpr std::size_t kMaxComPortNameLength = 80;
inline constexpr std::size_t kMaxFileNameLength = 260;
inline constexpr std::size_t kMaxPilotNameLength = 80;
inline constexpr std::size_t kMaxGliderIdLength = 20;
inline constexpr std::size_t kMaxNotifyClassLength = 256;
inline constexpr std::size_t kMaxTrackNumbers = 20;
inline constexpr int kMaxConnectSeconds = 86400;

// What an unattended run does; the last action option given counts.
enum class CommandAction : int {
  None = 0,
  KmlLog = 1,
  OziLog = 2,  // also RD_LOG
  IgcLog = 3,
  MpsLog = 4,
  ReadWaypoints = 5,
  WriteWaypoints = 6,
  WriteWaypoints2 = 7,
  IgcToKml = 8,
  DatToKml = 9,
  LogFile = 10,  // also a plain file name
  CompLog = 11,
  WriteCtr = 13,
  Username = 14,
  ReadGeoWaypoints = 15,
  CheckKml = 16,
  FlightList = 17,
  WaypointConvert = 18,
};

enum class ScanState : int { BetweenOptions, Keyword, Value, QuotedValue };
enum class ShowCommand : int { Hidden = 0, Minimised = 1, Normal = 2 };

// The track selection of a run that names no tracks: every entry -1.
constexpr std::array<int, kMaxTrackNumbers> NoTrackNumbers() {
  std::array<int, kMaxTrackNumbers> none{};
  none.fill(-1);
  return none;
}

struct CommandLineOptions {
  std::string keyword;  // current option, upper case, at most 16 characters
  std::string value;    // current option's value, at most 260 characters
  ScanState scanState = ScanState::BetweenOptions;
  int scanLength = 0;   // characters collected of the current keyword or value
  CommandAction action = CommandAction::None;
  int gpsCode = kGpsGarmin;
  // The port as the user named it: "COM3", "\\.\COM12" or a device path; empty keeps the
  // PortName setting. comDevicePath is what the serial code opens (see ResolveComPort).
  std::string comPortName;
  std::string comDevicePath;
  bool useUsb = false;
  std::string fileName;
  // Every track-log save the command line names (KML_LOG, OZI_LOG or RD_LOG, MPS_LOG,
  // IGC_LOG), in order, one per kind: all are written from the one download while the action
  // is one of them. A kind named twice keeps its last name.
  struct TrackSave {
    CommandAction action = CommandAction::None;
    std::string fileName;
  };
  std::vector<TrackSave> trackSaves;
  std::string secondFileName;
  bool overwrite = false;
  bool exitWhenDone = false;
  ShowCommand showCommand = ShowCommand::Normal;
  std::string pilotName;
  std::string gliderId;
  std::string notifyClass;
  NotifyChannel notifyWindow;  // closed when nobody listens under notifyClass
  std::uint32_t notifyTicks = 0;
  std::uint32_t sessionNumber = 0;
  bool sessionGiven = false;
  int dialogX = 0;
  int dialogY = 0;
  int compLogType = 0;  // 0 KML, 1 IGC
  int compId = -1;
  int civlId = -1;
  GarminTime filterStart = 0;
  GarminTime filterEnd = 0;
  GarminTime compDate = 0;
  // LOGFILE given with COMP_LOG: the track file filed for the competition (no instrument).
  std::string compLogFile;  // midnight UTC of the task's day (COMP_DATE); 0: any day
  std::string compDir;
  bool compSpecial = false;
  bool noSplit = false;
  bool noCheck = false;
  bool powerOff = false;
  int connectSeconds = 0;  // 0 = default
  bool noLoopOpt = false;
  std::array<int, kMaxTrackNumbers> trackNumbers = NoTrackNumbers();
  // TRACK=ALL: every stored flight is downloaded and saved to a file of its own.
  bool allTracks = false;
  // Seconds between the position reports to the notify channel; 0 = none (SENDLOG).
  int sendLogSeconds = 0;
  // A competition pilot list was loaded by COMP_FS.
  bool pilotListLoaded = false;
};

// The jobs the command line starts that live in other parts of the program. An empty handler
// means that part is not available in this build: the job then fails with a clear message.
struct CommandLineHandlers {
  // COMP_FS: loads the competition pilot list; false when the load failed (already reported).
  std::function<bool(const std::string& flightScoreFile, Ui& ui)> loadFlightScoreFile;
  // Action 11 with a loaded pilot list: switch competition mode on with its special flag.
  std::function<void(bool compSpecial)> enableCompetitionMode;
  // Actions 8, 9 and 18: the conversions that run during the parse; true on success.
  std::function<bool(const CommandLineOptions& options, Ui& ui)> convertIgcToKml;
  std::function<bool(const CommandLineOptions& options, Ui& ui)> convertDatToKml;
  std::function<bool(const CommandLineOptions& options, Ui& ui)> convertWaypointFile;
  // FLIGHTLIST without a notify channel: the program prints the list itself (logwell-cli).
  bool flightListWithoutNotify = false;
};

// How the parse ends. Go: run on (interactive when no options were returned).
enum class ParseOutcome { Go, Done, Failed, BadCommandLine };

struct ParseResult {
  ParseOutcome outcome = ParseOutcome::Go;
  std::unique_ptr<CommandLineOptions> options;  // null for an interactive start
};

// The process exit codes: 0 all went well, 1 an access or check failed, 2 the command line
// could not be parsed (a script must not take a refused command line for success).
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitBadCommandLine = 2;
int ExitCodeFor(ParseOutcome outcome);

// Feeds one character (or '\0' for the end of the text) to the tokeniser. Returns true when
// an option is complete in keyword/value; sets `error` when the character is not allowed.
bool FeedCommandLineCharacter(CommandLineOptions& options, char c, bool& error);

// Parses the command-line text. Every message goes to `ui` with caption "Parsing command line".
ParseResult ParseCommandLine(std::string_view text, Ui& ui,
                             const CommandLineHandlers& handlers = {});

// The process arguments (without the program name), each one option "/KEYWORD[=value]" with
// the value taken whole: its spaces, quotes and slashes are part of it, and one pair of
// double quotes around it is removed. Empty arguments are skipped. A single argument that
// names an existing file, or that does not begin with "/", opens that file. The options are
// applied and checked as ParseCommandLine does.
ParseResult ParseArguments(std::span<const char* const> arguments, Ui& ui,
                           const CommandLineHandlers& handlers = {});

// The device path of a port name: "COMN" and "\\.\COMN" stand for /dev/ttyS(N-1), the way
// the first on-board port is COM1 elsewhere; any other name is taken as a device path.
std::string ResolveComPort(std::string_view portName);

// The access an unattended action starts, with its type, protocol and parameter, or nothing
// for the actions that start none (file jobs) or the instruments without that access.
struct UnattendedAccess {
  AccessType accessType;
  GpsAccess gps;
  bool operator==(const UnattendedAccess&) const = default;
};
// KML_LOG, OZI_LOG (RD_LOG), MPS_LOG and IGC_LOG: the saves of a downloaded track log.
bool IsTrackSaveAction(CommandAction action);
// A save name that stands for a folder: it ends in a separator or names a folder that exists.
bool IsFolderName(std::string_view name);

std::optional<UnattendedAccess> UnattendedAccessFor(const CommandLineOptions& options);

// Sends a text to the program following the run; does nothing without a notify channel.
void NotifyExternal(const CommandLineOptions* options, std::string_view text);

// The instruments a GPS value of the command line stands for, as their makers name them;
// empty for a code that is no GPS value.
std::string_view GpsInstruments(int gpsCode);

// The verbs of logwell-cli, which come before any option: `convert IN OUT`, `analyse FILE`.
struct CliVerb {
  std::string_view name;
  std::string_view arguments;    // "IN OUT"
  std::string_view description;  // a few lines, each indented by four spaces
};
std::span<const CliVerb> CliVerbs();
const CliVerb* FindCliVerb(std::string_view name);
// "usage: logwell-cli NAME ARGUMENTS" and the verb's description, for a refused verb line
// and for `logwell-cli NAME --help`.
std::string CliVerbUsage(const CliVerb& verb);

// The option summary printed by --help.
std::string CommandLineHelp();

}  // namespace logwell
