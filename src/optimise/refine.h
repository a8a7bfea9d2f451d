#pragma once
// Refinement of a winner found on the thinned track: each chosen point may move up to two
// fixes either way on the full track, and every combination is scored with ellipsoid distances.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "model/track_point.h"

namespace logwell {

inline constexpr std::int64_t kRefineWindow = 2;

// The ellipsoid distance between two fixes in metres; 0 when it cannot be computed.
double FixDistance(const TrackPoint& a, const TrackPoint& b);

// Ellipsoid distances between full-track points, each computed once per refinement; a distance
// that cannot be computed counts as 0 m.
class DistanceCache {
 public:
  explicit DistanceCache(const std::vector<TrackPoint>& points) : points_(points) {}
  double operator()(std::size_t from, std::size_t to);

 private:
  const std::vector<TrackPoint>& points_;
  std::map<std::pair<std::size_t, std::size_t>, double> cache_;
};

template <std::size_t K>
struct RefineResult {
  std::array<std::size_t, K> points{};
  double score = 0.0;
  bool found = false;  // some candidate scored above 0
};

// Runs the refinement: point k ranges over centers[k] -/+ 2, not below 0, not above
// N - K + k, and at least `minStep[k]` after point k-1 (1: strictly after, 0: may coincide).
// `score` returns nothing for a candidate that breaks the kind's rules. Candidates are met in
// track order and replace the best when they score at least as much (later ones win ties).
template <std::size_t K, typename Score>
RefineResult<K> Refine(std::size_t trackSize, const std::array<std::size_t, K>& centers,
                       const std::array<int, K>& minStep, Score score) {
  RefineResult<K> result;
  if (trackSize < K) return result;
  double best = 0.0;
  std::array<std::size_t, K> current{};
  auto recurse = [&](auto& self, std::size_t k) -> void {
    if (k == K) {
      const std::optional<double> value = score(current);
      if (value && *value >= best) {
        best = *value;
        result.points = current;
        result.found = *value > 0.0;
      }
      return;
    }
    const auto center = static_cast<std::int64_t>(centers[k]);
    std::int64_t low = std::max<std::int64_t>(center - kRefineWindow, 0);
    if (k > 0) low = std::max<std::int64_t>(low, static_cast<std::int64_t>(current[k - 1]) + minStep[k]);
    const auto high = std::min<std::int64_t>(center + kRefineWindow,
                                             static_cast<std::int64_t>(trackSize - K + k));
    for (std::int64_t i = low; i <= high; ++i) {
      current[k] = static_cast<std::size_t>(i);
      self(self, k + 1);
    }
  };
  recurse(recurse, 0);
  result.score = best;
  return result;
}

}  // namespace logwell
