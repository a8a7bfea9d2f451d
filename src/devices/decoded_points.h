#pragma once
// The last step of a track download whose instrument sends a binary log that the family's
// decoder turns into points: a refused log or one without points is shown and nothing is kept;
// otherwise the points are reported, stored in the block and counted.
#include <string>
#include <string_view>
#include <vector>

#include "access/access_block.h"
#include "access/access_framework.h"
#include "base/text.h"
#include "devices/family.h"

namespace logwell {

// The number of points, or -1 after the failure was shown under `caption`. `error` is the
// decoder's refusal (empty when it understood the whole log).
inline int DeliverDecodedPoints(AccessBlock& block, const FamilyEnvironment& environment,
                                std::vector<TrackPoint>&& points, const std::string& error,
                                std::string_view caption) {
  if (!error.empty()) {
    ShowAccessError(block, error, caption);
    return -1;
  }
  if (points.empty()) {
    ShowAccessError(block, "No points detected", caption);
    return -1;
  }
  if (environment.reportPosition) {
    for (const TrackPoint& point : points) environment.reportPosition(point);
  }
  block.points = std::move(points);
  ShowAccessStatus(block, FormatText("%zu points received", block.points.size()));
  return static_cast<int>(block.points.size());
}

}  // namespace logwell
