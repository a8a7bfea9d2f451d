#pragma once
// Saving a flight for the competition: the positions inside the competition's time window, after
// the vario filter and the speed analysis, go to an IGC and a KML file named after the pilot, the
// time of the save and the pilot's IDs, in the competition folder. A flight already in the folder
// (the same fixes under the same pilot and IDs) is not saved a second time.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "model/garmin_time.h"
#include "model/track_point.h"
#include "track/filters.h"

namespace logwell {

class Ui;
class TrackLog;

inline constexpr std::string_view kCompetitionSaveCaption = "Save log for competition";
inline constexpr std::string_view kCompetitionKmlName = "Tracklog from Logwell competition mode";
inline constexpr std::size_t kMinCompetitionPositions = 10;
inline constexpr std::size_t kMaxCompetitionFileName = 260;

// The pilot a flight is saved for; -1 for an ID the pilot does not have.
struct CompetitionPilot {
  std::string name;  // empty: "[pilot name]" in the file name
  std::int32_t compId = -1;
  std::int32_t civlId = -1;
};

struct CompetitionSaveRequest {
  std::filesystem::path folder;
  CompetitionPilot pilot;
  GarminTime windowStart = 0;  // 0: the window is open at that end
  GarminTime windowEnd = 0;
  FilterSettings filters;
  CalendarTime nowUtc;  // the time of the save, in the file names
};

enum class CompetitionSaveStatus { Written, AlreadyProcessed, Failed };

struct CompetitionSaveResult {
  CompetitionSaveStatus status = CompetitionSaveStatus::Failed;
  std::vector<std::filesystem::path> files;  // written, or the files already holding the flight
  std::size_t positions = 0;                 // positions in the saved files
  bool signatureOk = false;                  // the IGC file carries a valid security record
};

// "<folder>/<pilot>.<YYYYMMDD-hhmmss>.<CIVL ID>.<comp. ID>", with "[pilot name]", "[CIVLID]"
// and "[COMPID]" for what is missing; a "/" in the pilot's name becomes "-".
std::string CompetitionBaseName(const std::filesystem::path& folder, const CompetitionPilot& pilot,
                                const CalendarTime& nowUtc);

// Saves `positions` (the selection, or the whole log) of `log` for the competition. Every
// failure is shown (caption "Save log for competition") and the status line says what happened
// to the files.
CompetitionSaveResult SaveLogForCompetition(const TrackLog& log,
                                            std::span<const TrackPoint> positions,
                                            const CompetitionSaveRequest& request, Ui& ui);

}  // namespace logwell
