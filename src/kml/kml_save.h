#pragma once
// The KML saves: "Write GoogleEarth file" (the command line's automatic save), the logbook save
// "Save log (Trackvault/.kml)" with overwrite/append, and the statistics and distance analysis
// that every KML file carries.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "optimise/distance_analysis.h"
#include "kml/kml_writer.h"
#include "model/track_point.h"

namespace logwell {
class Ui;
class TrackLog;
}  // namespace logwell

namespace logwell::kml {

inline constexpr std::size_t kMinKmlPositions = 5;
inline constexpr std::size_t kMaxKmlFileName = 256;
inline constexpr std::size_t kMaxLogbookDescription = 8000;

// Fills the statistics and the distance analysis of `info` from its points, and with `rules`
// the contest claim. False after "Memory allocation error" (caption "Analysing track") when
// the analysis found no memory.
bool AnalyseForKml(KmlTrackInfo& info, Ui& ui, std::uint32_t loopGap = kDefaultLoopGap,
                   std::optional<ContestRules> rules = std::nullopt);

// The description of a flight's folder when the pilot wrote none: the first point's date,
// "%d-%02d-%02d".
std::string KmlDateDescription(const TrackPoint& first);

// The whole document of one body: declaration, document start, the body, document end.
std::string KmlDocumentOf(std::string_view body);

struct GoogleEarthFileRequest {
  std::vector<TrackPoint> points;  // a copy: renumbered times never reach the track log
  bool withHash = false;           // the track log's signState is Downloaded
  bool timesAreUtc = false;
  bool withPressureAltitude = false;
  std::string instrumentText;
  std::uint32_t loopGap = kDefaultLoopGap;
  // The contest whose claim the file carries first; none writes no claim.
  std::optional<ContestRules> rules = kDefaultContestRules;
  std::optional<GarminTime> downloaded;
  // The file the caller chose (replaced when it exists), or none: then `logFileName` + ".kml",
  // replaced only with `overwrite`.
  std::optional<std::filesystem::path> chosenFile;
  std::string logFileName;
  bool overwrite = false;
};

// "Write GoogleEarth file". Returns 0 or -1 after one message.
int WriteGoogleEarthFile(GoogleEarthFileRequest request, Ui& ui);

// Several tracks in one KML file (one folder each), replacing `file`; each needs 5 or more
// positions. Returns 0 or -1 after one message.
int WriteGoogleEarthTracks(std::span<GoogleEarthFileRequest> tracks,
                           const std::filesystem::path& file, Ui& ui);

// The request of "Write GoogleEarth file" for the current values of a track log.
GoogleEarthFileRequest GoogleEarthRequestFor(const TrackLog& log);

struct LogbookSaveRequest {
  KmlTrackInfo info;             // from the statistics dialog, analysis included
  bool analysisRunning = false;  // the dialog's optimisation thread has not finished
  std::string description;       // the dialog's description field
  std::optional<std::string> instrumentText;
};

// "Save log (Trackvault/.kml)": asks for the name, overwrites or appends to an existing file,
// and tells whether the flight went out signed. Marks `log` saved on success when given.
int SaveLogbookKml(LogbookSaveRequest request, Ui& ui, TrackLog* log = nullptr);

// The existing file with the new body appended: its `Folder` elements are kept, in order,
// and the new body follows. Nothing, with the message in `error`, when the file's structure is
// broken or it holds no `Folder`.
std::optional<std::string> AppendKmlBody(std::string_view existing, std::string_view body,
                                         std::string& error);

// "%d-%02d-%02d_%02d-%02d" of the first point: the suggested name of the saves.
std::string SuggestedKmlName(const TrackPoint& first);

}  // namespace logwell::kml
