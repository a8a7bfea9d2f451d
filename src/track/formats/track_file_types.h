#pragma once
// The track file types of "&Open log" and "Save log &As...": their names, extensions and
// codes, the file dialog filters built from them, the reader and writer of each code, and the
// open, save and convert paths that use them.
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "track/formats/csv_track.h"
#include "model/garmin_time.h"
#include "track/track_log.h"
#include "track/track_takeover.h"

namespace logwell {

class Ui;

// The format codes of the file dialogs (and of the command line and settings).
enum class TrackFileCode : int {
  Ozi = 1,
  MapSource = 2,
  TopNavigator = 3,
  Kml = 4,
  OldDat = 5,
  Magellan = 6,
  Igc = 7,
  Gpx = 8,
  Csv = 9,
};

struct TrackFileType {
  std::string_view name;       // "Ozi"
  std::string_view extension;  // ".plt"
  TrackFileCode code;
};

// In dialog order.
std::span<const TrackFileType> OpenTrackFileTypes();
std::span<const TrackFileType> SaveTrackFileTypes();

// The dialog filter list: "%s files (*%s)" NUL "*%s" NUL per row, then "All files (*.*)" NUL
// "*.*" NUL (the final NUL of the list is the string's own terminator).
std::string BuildFileDialogFilter(std::span<const TrackFileType> types);
// The same rows as (label, pattern) pairs for toolkits that want them apart.
std::vector<std::pair<std::string, std::string>> FileDialogFilterRows(
    std::span<const TrackFileType> types);

const TrackFileType* FindTrackFileType(std::span<const TrackFileType> types, TrackFileCode code);
// By the file name's extension, compared without case (a LOGFILE named on the command line).
const TrackFileType* FindTrackFileTypeByName(std::span<const TrackFileType> types,
                                             const std::filesystem::path& path);

// A reader takes the whole file and returns the points, or nothing after one message.
using TrackFileReader = std::function<std::optional<FileReadResult>(std::string_view, Ui&)>;
// The IGC and KML modules plug their readers in here at start-up.
void RegisterTrackFileReader(TrackFileCode code, TrackFileReader reader);
std::optional<FileReadResult> DecodeTrackFile(TrackFileCode code, std::string_view bytes, Ui& ui);

// Open: reads the file whole, decodes it with the reader of `code`, and shows "No positions
// found" in the status line when it holds none. Nothing when there is nothing to take over.
std::optional<FileReadResult> ReadTrackLogFile(const std::filesystem::path& path,
                                               TrackFileCode code, Ui& ui);
// The same for a file already read whole, `content`, which is let go once it is decoded.
std::optional<FileReadResult> ReadTrackLogContent(std::string content, TrackFileCode code, Ui& ui);
// Open and take over (asking about backward times and about replacing the current log).
FileTakeOver OpenTrackLogFile(TrackLog& log, const std::filesystem::path& path,
                              TrackFileCode code, Ui& ui);

// The vario filter of the save path: removes points in place and returns how many it removed.
// The filters module fills the process-wide slot; empty means the filter is off.
using VarioFilterFunction = std::function<int(std::vector<TrackPoint>&)>;
VarioFilterFunction& SaveVarioFilter();

struct TrackSaveOptions {
  CsvParameters csv;
  std::optional<CalendarTime> nowUtc;  // the header times; the clock when not given
  // The ".tnc" save writes the Top Navigator / XC Trainer log as it was received, whatever
  // the selection: "No TopNav log downloaded" when this is empty.
  std::string_view rawTopNavLog;
};

// Adds the type's extension when the name has none; "Too long file name" (caption "Save track
// log") when the result cannot be a path.
std::optional<std::filesystem::path> SavePathWithExtension(const std::filesystem::path& path,
                                                           const TrackFileType& type, Ui& ui);

// The whole file of the points in the format of `code`; nothing for a code without writer.
std::optional<std::string> EncodeTrackFile(TrackFileCode code, std::span<const TrackPoint> points,
                                           const TrackSaveOptions& options);

// Save: the selected positions ("No position(s) selected", "Only one position selected,
// continue ?"), the vario filter ("%d positions have been removed due to vario filtering"),
// the writer, an atomic write, and "%d positions written" in the status line. Returns the
// number written or a negative value.
int SaveTrackLogFile(const std::filesystem::path& path, TrackFileCode code,
                     std::vector<TrackPoint> selected, Ui& ui, const TrackSaveOptions& options = {},
                     const VarioFilterFunction& varioFilter = SaveVarioFilter());

// The ".tnc" save: `raw` (a log as received) written unchanged and atomically, with "%d
// positions written" (the count its start record announces). "No TopNav log downloaded" when
// there is no such log. The number written (at least 1), or a negative value.
int SaveRawTopNavLog(const std::filesystem::path& path, std::string_view raw, Ui& ui);

// `logwell-cli convert IN OUT`: reads any track file of the open table and writes every point
// in the format of OUT's extension, without filter. Returns 0 or a negative value after one
// message. `content`, when given, is IN already read whole: the file is then not read again.
int ConvertTrackFile(const std::filesystem::path& in, const std::filesystem::path& out, Ui& ui,
                     const TrackSaveOptions& options = {},
                     std::optional<std::string> content = std::nullopt);

}  // namespace logwell
