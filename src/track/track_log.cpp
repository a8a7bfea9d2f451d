#include "track/track_log.h"

#include <algorithm>
#include <new>

#include "base/ui.h"

namespace logwell {

bool AppendTrackPoint(std::vector<TrackPoint>& points, const TrackPoint& point) {
  if (points.size() >= kMaxTrackPoints) return false;
  try {
    if (points.size() == points.capacity()) {
      const std::size_t room =
          points.empty() ? kInitialTrackCapacity : std::min(points.size() * 2, kMaxTrackPoints);
      points.reserve(std::max(room, kInitialTrackCapacity));
    }
    points.push_back(point);
  } catch (const std::bad_alloc&) {
    return false;  // reserve and push_back leave the vector as it was
  }
  return true;
}

std::string_view TrackPointsFailure(std::size_t wanted, std::string_view memoryText) {
  return wanted > kMaxTrackPoints ? kTooManyFixesError : memoryText;
}

bool ReserveTrackPoints(std::vector<TrackPoint>& points, std::size_t count) {
  if (count > kMaxTrackPoints) return false;
  try {
    points.reserve(count);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void TrackLog::Clear() {
  points.clear();
  points.shrink_to_fit();
  rawIgc.reset();
  headers = {};
  logItData.clear();
  rawTopNavLog.clear();
  logItData.shrink_to_fit();
  task.reset();
  source.signState = SignState::NotSignable;
  saved = 0;
  source.altitudeFlag = 0;
}

TrackLog& CurrentTrackLog() {
  static TrackLog log;
  return log;
}

bool AskBeforeReplacing(const TrackLog& log, Ui& ui, bool fromCommandLine) {
  if (log.Empty() || log.saved != 0 || fromCommandLine) return true;
  return ui.AskOkCancel("Continue without saving current track log ?", "Unsaved track log") ==
         Answer::Ok;
}

std::optional<std::vector<TrackPoint>> CopySelectedPositions(const TrackLog& log,
                                                             std::span<const int> selectedRows) {
  try {
    std::vector<int> rows(selectedRows.begin(), selectedRows.end());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<TrackPoint> copy;
    copy.reserve(rows.size());
    for (const int row : rows) {
      if (row >= 0 && row < log.Count()) copy.push_back(log.points[static_cast<std::size_t>(row)]);
    }
    return copy;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace logwell
