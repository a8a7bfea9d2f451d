#pragma once
// Saving a flight for the competition: an IGC and a KML file named after the pilot, the date and
// time of the flight's first fix and the pilot's IDs, in the competition folder. An instrument's
// own IGC text is saved byte for byte (its maker's signature stays valid): a time window or filter
// that would cut it is reported, never applied to it. Otherwise the positions inside the window,
// after the vario filter and the speed analysis, are written as our own signed IGC. A flight
// already in the folder (the same fixes under the same pilot and IDs) is not saved a second time;
// the same fixes under another pilot, or a flight of another day than the task's, are refused.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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
  CalendarTime nowUtc;  // the time of the save (the file names follow the flight's first fix)
  GarminTime taskDay = 0;  // midnight (UTC) of the task's day; 0: flights of any day are taken
};

// What the check of the saved IGC file's security record found.
enum class SignatureCheck {
  Verified,      // our own G record, recomputed and matching
  Failed,        // a G record that does not match the file (the file is kept, flagged)
  NotVerified,   // another maker's G record: only the online validation service can check it
  None,          // no G record
};

// "signature OK", "signature FAILED", "signed by the instrument, not verified", "NO signature".
std::string_view SignatureCheckText(SignatureCheck check);

// The check of an IGC text's security record: ours (A record "AXLW") recomputed, another maker's
// left to the online validation service.
SignatureCheck CheckCompetitionSignature(std::string_view igcText);

enum class CompetitionSaveStatus { Written, AlreadyProcessed, Failed };

struct CompetitionSaveResult {
  CompetitionSaveStatus status = CompetitionSaveStatus::Failed;
  std::vector<std::filesystem::path> files;  // written, or the files already holding the flight
  std::size_t positions = 0;                 // positions in the saved files
  SignatureCheck signature = SignatureCheck::None;  // of the IGC file saved
  bool instrumentText = false;  // the IGC file is the instrument's own text, byte for byte
};

// "<folder>/<pilot>.<YYYYMMDD-hhmmss>.<CIVL ID>.<comp. ID>" (the flight's first fix, UTC), with
// "[pilot name]", "[CIVLID]" and "[COMPID]" for what is missing; a "/" in the pilot's name
// becomes "-".
std::string CompetitionBaseName(const std::filesystem::path& folder, const CompetitionPilot& pilot,
                                const CalendarTime& flightStart);

// The pilot a file saved by SaveLogForCompetition names: "Eva Example, comp. 105" (or "CIVL N",
// or the name alone); nothing for a name of another layout.
std::optional<std::string> CompetitionFilePilot(const std::filesystem::path& file);

// Saves `positions` (the selection, or the whole log) of `log` for the competition. Every
// failure is shown (caption "Save log for competition") and the status line says what happened
// to the files.
CompetitionSaveResult SaveLogForCompetition(const TrackLog& log,
                                            std::span<const TrackPoint> positions,
                                            const CompetitionSaveRequest& request, Ui& ui);

}  // namespace logwell
