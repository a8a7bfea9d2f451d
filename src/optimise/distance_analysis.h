#pragma once
// The distance analysis: the greatest distances of a flight over 2, 3, 4 and 5 points, the
// greatest out-and-return and the greatest free and FAI triangles that close within the loop
// gap. Used by the statistics dialog, the KML writer, the competition save and the analyse verb.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "optimise/distance_search.h"
#include "model/track_point.h"

namespace logwell {

template <std::size_t K>
struct PathDistance {
  std::array<std::size_t, K> points{};  // full-track indices
  std::array<double, K - 1> legs{};     // metres
  double total = 0.0;
  bool operator==(const PathDistance&) const = default;
};

struct OutAndReturnDistance {
  std::size_t start = 0, turn = 0, end = 0;
  double outward = 0.0;  // start to turn
  double closing = 0.0;  // start to end
  double result = 0.0;   // 2 x outward - closing
  bool operator==(const OutAndReturnDistance&) const = default;
};

struct TriangleDistance {
  std::array<std::size_t, 5> points{};  // start, three corners, finish
  std::array<double, 3> legs{};         // corner1->corner2, corner2->corner3, corner3->corner1
  double closing = 0.0;                 // start to finish
  double result = 0.0;                  // legs less closing
  double Perimeter() const { return legs[0] + legs[1] + legs[2]; }
  bool operator==(const TriangleDistance&) const = default;
};

struct DistanceAnalysis {
  int done = 0;
  PathDistance<2> two;
  PathDistance<3> three;
  PathDistance<4> four;
  PathDistance<5> five;
  OutAndReturnDistance outAndReturn;
  TriangleDistance triangle;
  TriangleDistance fai;
  bool operator==(const DistanceAnalysis&) const = default;
};

inline constexpr std::uint32_t kDefaultLoopGap = 800;  // metres

struct AnalysisOptions {
  std::uint32_t loopGap = kDefaultLoopGap;  // 0: no out-and-return and no triangles
  bool skipLoops = false;                   // the command line asked to skip them
  std::function<void(std::string_view)> status;  // receives each step's message
  const std::atomic<bool>* halt = nullptr;  // stops the triangle search
  const DistanceSearchStrategy* search = nullptr;  // nullptr: the production searches
  int threads = 2;
};

// Fills `analysis` from the points. Returns 0, or -1 when the tables cannot be allocated
// (then `analysis` stays as it was).
int AnalyseDistances(const std::vector<TrackPoint>& points, DistanceAnalysis& analysis,
                     const AnalysisOptions& options = {});

// The refinements on the full track, shared with the OLC computation.
class DistanceCache;
PathDistance<2> RefineTwoPoints(const std::vector<TrackPoint>& points, DistanceCache& distance,
                                std::size_t from, std::size_t to);
PathDistance<5> RefineFivePoints(const std::vector<TrackPoint>& points, DistanceCache& distance,
                                 const std::array<std::size_t, 5>& centers);
// Path totals and legs of given full-track points.
template <std::size_t K>
PathDistance<K> MeasurePath(DistanceCache& distance, const std::array<std::size_t, K>& points);
TriangleDistance MeasureTriangle(DistanceCache& distance, const std::array<std::size_t, 5>& points);

}  // namespace logwell
