#include "optimise/refine.h"

#include "geo/distance.h"
#include "geo/units.h"

namespace logwell {

double FixDistance(const TrackPoint& a, const TrackPoint& b) {
  return EllipsoidDistance(ToGeoPoint(SemicirclePoint{a.latitude, a.longitude}),
                           ToGeoPoint(SemicirclePoint{b.latitude, b.longitude}))
      .value_or(0.0);
}

double DistanceCache::operator()(std::size_t from, std::size_t to) {
  if (from > to) std::swap(from, to);
  const auto key = std::make_pair(from, to);
  const auto found = cache_.find(key);
  if (found != cache_.end()) return found->second;
  const double distance = FixDistance(points_[from], points_[to]);
  cache_.emplace(key, distance);
  return distance;
}

}  // namespace logwell
