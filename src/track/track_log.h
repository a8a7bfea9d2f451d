#pragma once
// The one track log the program holds at a time: the positions of the last download or of the
// last track file read, with what is known about where they came from.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/access_types.h"
#include "model/garmin_time.h"
#include "base/text.h"
#include "model/track_point.h"
#include "model/track_source.h"
#include "model/track_types.h"

namespace logwell {

class Ui;

// Parsers that do not know the number of points in advance start with room for this many and
// double the room whenever it is full.
inline constexpr std::size_t kInitialTrackCapacity = 1000;
// No instrument or file holds more; a day at one fix per second is 86400. The limit keeps a
// damaged record count or a hostile file from eating all memory.
inline constexpr std::size_t kMaxTrackPoints = 8'000'000;
inline constexpr std::string_view kTrackLogMemoryError = "Track log memory allocation";
inline constexpr std::string_view kTooManyFixesError = "too many fixes (limit 8,000,000)";
// Why room for `wanted` points could not be had: the limit when it is past it, else memory
// (`memoryText`). For a failed AppendTrackPoint `wanted` is the size plus one.
std::string_view TrackPointsFailure(std::size_t wanted,
                                    std::string_view memoryText = kTrackLogMemoryError);

// Adds one point, growing the room as described above. Returns false, with `points`
// unchanged, when the limit is reached or memory runs out; the caller then reports
// kTrackLogMemoryError (prefixed with its error code, where it has one).
bool AppendTrackPoint(std::vector<TrackPoint>& points, const TrackPoint& point);
// Makes room for exactly `count` points, for instruments that announce their record count.
bool ReserveTrackPoints(std::vector<TrackPoint>& points, std::size_t count);


class TrackLog {
 public:
  std::vector<TrackPoint> points;
  TrackSource source;
  int saved = 0;           // 1 once saved since the last take-over
  ProtocolType sourceProtocol = ProtocolType::GarminSerial;
  CalendarTime downloadTime;  // UTC, when the log was taken over
  std::optional<TaskDeclaration> task;
  std::optional<RawIgcLog> rawIgc;
  FlightHeaders headers;  // of the IGC file or download the log came from
  std::vector<std::uint8_t> logItData;  // interpreted by the LogIt module
  std::string rawTopNavLog;  // a Top Navigator / XC Trainer log as received (saved as ".tnc")

  int Count() const { return static_cast<int>(points.size()); }
  bool Empty() const { return points.empty(); }

  // Drops the points, the raw IGC text, the LogIt data and the task, and resets the flags that
  // describe them. Where the log came from (source, protocol, instrument texts) is kept.
  void Clear();
};

// The process-wide track log. No lock guards it: the main thread changes it only while no
// access runs, and a track-log access changes it only in its completion routine, while the
// busy flag keeps every main-window command out.
TrackLog& CurrentTrackLog();

// Before a download or an online validation replaces an unsaved log: asks the user unless the
// program runs from the command line. True when the command may go on.
bool AskBeforeReplacing(const TrackLog& log, Ui& ui, bool fromCommandLine);

// The points of the selected rows of the track view, in row order (rows out of range are
// ignored). Empty when nothing is selected; nothing when memory runs out.
std::optional<std::vector<TrackPoint>> CopySelectedPositions(const TrackLog& log,
                                                             std::span<const int> selectedRows);

}  // namespace logwell
