#pragma once
// The IGC commands: saving the track log as an IGC file (from the menu with the "IGC File
// Format" form, the instrument's own IGC text, and the command line's automatic save),
// reading IGC files, and checking a file's security record. They talk to the user only
// through the Ui interface.
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ui.h"
#include "track/igc/igc_reader.h"
#include "track/track_log.h"

namespace logwell::igc {

// The vario filter applied to positions before they are saved as IGC: removes points in place
// and returns how many it removed. Empty until the filters are installed.
using VarioFilter = std::function<int(std::vector<TrackPoint>&)>;
VarioFilter& VarioFilterHook();

// The part selection of the track-split step: returns the part to save, or nothing when the
// user chose none. Empty means the whole log.
using PartSelection =
    std::function<std::optional<std::vector<TrackPoint>>(std::vector<TrackPoint>)>;

// What the main window knows when an IGC save command starts.
struct IgcCommandContext {
  bool accessBusy = false;      // a GPS access is running
  bool trackLogShown = true;    // the list view shows the track log
  std::span<const int> selectedRows;
};

// The form values of the last successful save of this run, offered again at the next one.
struct IgcSaveMemory {
  std::optional<IgcFileFormatForm> lastForm;
  std::optional<IgcFileFormatForm> lastRawForm;
};

// The checks of the form's "&Save" button, in order; the error text of the first failed one.
// The "&Flight # (1-35)" field alone is checked for the instrument's own log.
std::optional<std::string> CheckIgcFileFormat(const IgcFileFormatForm& form);
// The flight number of a checked form.
int FlightNumber(const IgcFileFormatForm& form);

// The pilot and glider the log's IGC file or IGC download names.
FlightHeaders FlightHeadersOf(const TrackLog& log);

// "Save log in &IGC format": the form offers what the log's IGC headers name, else the last
// save's values. Returns 0 when the file was written, -1 otherwise.
int SaveLogInIgcFormat(TrackLog& log, const IgcCommandContext& context, Ui& ui,
                       IgcSaveMemory& memory);

// "Save IGC log from &GPS": the instrument's own IGC text, byte for byte.
int SaveIgcLogFromGps(TrackLog& log, Ui& ui, IgcSaveMemory& memory);

// The command line's automatic IGC save.
struct IgcAutoSave {
  std::string outputPath;  // a folder (empty or ending in a separator) or a complete name
  bool overwrite = false;
  bool writeRawLog = false;  // the instrument delivers its own IGC text
  std::string pilotName;
  std::string gliderId;
};

// Returns 0 and sets `writtenPath`, or -1 after showing the failure (caption "Save IGC log").
// Without OVERWRITE a file that already holds the flight is kept as its save ("Flight already
// saved as ..."; `alreadySaved` set) instead of a second copy under the next flight number.
int AutoSaveIgc(TrackLog& log, const IgcAutoSave& request, Ui& ui,
                std::filesystem::path* writtenPath = nullptr, const PartSelection& select = {},
                bool* alreadySaved = nullptr);

// True when two IGC texts hold the same flight: the same recorder (A record) and the same fixes,
// whatever else differs (the download line, the G record).
bool SameIgcFlight(std::string_view a, std::string_view b);

// Reads and decodes an IGC file. Failures are shown with caption "Reading IGC log file".
// The flight to read from an IGC text: the only one, or the one the user picks in the Track
// List when the file holds several (one A record each; a run without a user takes the first).
// Nothing after the decoder's message (caption "Reading IGC log file") or a cancel.
struct ChosenIgcFlight {
  IgcDecodeResult flight;
  std::size_t flights = 1;  // how many flights the file holds
  std::string warning;      // what the file lacks (cut short, no security record), or ""
};
std::optional<ChosenIgcFlight> ChooseIgcFlight(std::string_view text, Ui& ui);

struct IgcFileContent {
  std::vector<TrackPoint> points;
  RawIgcLog raw;  // the whole file text with its first fix, serial and manufacturer
  FlightHeaders headers;
  bool severalFlights = false;  // the file's text is more than the flight read
  std::string warning;          // what the file lacks, said with the read
};
std::optional<IgcFileContent> ReadIgcFile(const std::filesystem::path& path, Ui& ui);

// Opens an IGC file from the menu: the file's positions become the track log (the take-over
// may ask the user). Returns 0 when the log changed.
int OpenIgcFile(TrackLog& log, const std::filesystem::path& path, Ui& ui);
// The LOGFILE action: the command line's name with ".igc" appended; the file's text stays
// with the log as its raw IGC log.
int ReadCommandLineIgcFile(TrackLog& log, std::string_view name, Ui& ui);

// "&Verify IGC log from Logwell" on the chosen file: shows the result with caption
// "Security check". Returns 0 for PASSED, -1 otherwise.
int VerifyIgcFile(const std::filesystem::path& path, Ui& ui);

}  // namespace logwell::igc
