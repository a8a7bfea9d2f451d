#include "track/same_flight.h"

#include <algorithm>

namespace logwell {

bool SameFixes(std::span<const TrackPoint> a, std::span<const TrackPoint> b) {
  if (a.empty() || a.size() != b.size()) return false;
  return std::ranges::equal(a, b, [](const TrackPoint& x, const TrackPoint& y) {
    return x.time == y.time && x.milliseconds == y.milliseconds && x.latitude == y.latitude &&
           x.longitude == y.longitude && x.gpsAltitude == y.gpsAltitude &&
           x.pressureAltitude == y.pressureAltitude;
  });
}

}  // namespace logwell
