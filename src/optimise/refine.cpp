#include "optimise/refine.h"

#include "geo/distance.h"
#include "geo/units.h"

namespace logwell {

double DistanceCache::operator()(std::size_t from, std::size_t to) {
  if (from > to) std::swap(from, to);
  const auto key = std::make_pair(from, to);
  const auto found = cache_.find(key);
  if (found != cache_.end()) return found->second;
  const TrackPoint& a = points_[from];
  const TrackPoint& b = points_[to];
  const double distance =
      EllipsoidDistance(ToGeoPoint(SemicirclePoint{a.latitude, a.longitude}),
                        ToGeoPoint(SemicirclePoint{b.latitude, b.longitude}))
          .value_or(0.0);
  cache_.emplace(key, distance);
  return distance;
}

}  // namespace logwell
