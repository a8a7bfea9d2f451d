#pragma once
// The exact optimiser: the best free distance over start, three turnpoints and finish, or the
// best triangle, over every fix of the track (no thinning), proven by branch and bound. A node
// holds an index range per point; the bounding boxes of the ranges' fixes in the local plane
// bound every distance between them, and the ranges are halved until single fixes remain,
// which are measured on the ellipsoid as the refinement does.
#include <array>
#include <atomic>
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "model/track_point.h"

namespace logwell {

// An out-and-return is flown from a start out to a first turnpoint, on to a second and back to
// a finish near the start; its course is twice the hop between the turnpoints.
enum class ExactKind { FreeDistance, FreeTriangle, FaiTriangle, OutAndReturn };

// What a closed course must satisfy: the closing (start to finish) at most the larger of
// `closingFraction` of the course and `closingMetres`; a triangle has every side at least
// `minLeg` and at most `maxLeg` of its perimeter (an FAI triangle 0.28 and 1). The score is the
// course less the closing, except that a closing up to `closingFreeMetres` is not taken off.
struct ExactRules {
  ExactKind kind = ExactKind::FreeDistance;
  double closingFraction = 0.2;
  double closingMetres = 0.0;
  double minLeg = 0.0;
  double closingFreeMetres = 0.0;
  double maxLeg = 1.0;
};

// The rules of the system's own FAI triangle: every side at least 28 % of the perimeter.
constexpr double kFaiMinLeg = 0.28;

struct ExactResult {
  bool found = false;
  bool proven = false;  // no other choice of fixes scores more (false when halted or cut off)
  bool belowFloor = false;  // the search ran out and proved only that nothing exceeds the floor
  // Free distance: the five fixes in order. Triangle: start, three corners, finish.
  // Out-and-return: start, the two turnpoints, the second again, finish.
  std::array<std::size_t, 5> points{};
  std::array<double, 4> legs{};  // free: the four legs; triangle: the three sides, then 0;
                                 // out-and-return: out, back (the same hop), 0, 0
  double closing = 0.0;          // triangle: start to finish
  double distance = 0.0;         // free: the sum of the legs; triangle: perimeter less closing
                                 // (less nothing when the closing is free)
  std::uint64_t nodes = 0;       // branch-and-bound nodes visited
};

struct ExactOptions {
  const std::atomic<bool>* halt = nullptr;
  std::uint64_t nodeLimit = 50000000;  // beyond this the best so far is given, not proven
  // Triangles: courses scoring no more than this do not matter (another kind already claims
  // more), so the search proves only that nothing exceeds it when the optimum lies below.
  double floor = -HUGE_VAL;
  // Whether a quick pass over every few fixes gives the first bound (a caller that has run it
  // already passes its result as a seed).
  bool coarseFirst = true;
};

// A track prepared for the optimiser (its fixes projected into a local plane and their box
// tree): built once and shared by every kind scored on the track. It refers to the fixes, which
// must outlive it.
class ExactTrack {
 public:
  explicit ExactTrack(const std::vector<TrackPoint>& points);
  ~ExactTrack();
  ExactTrack(const ExactTrack&) = delete;
  ExactTrack& operator=(const ExactTrack&) = delete;

  struct Prepared;
  const Prepared& prepared() const { return *prepared_; }

 private:
  std::unique_ptr<const Prepared> prepared_;
};

// The proven optimum of the kind. `seeds` are known choices (for instance the thinned search's
// results); those valid for the kind start the bound.
ExactResult ExactOptimum(const ExactTrack& track, const ExactRules& rules,
                         std::span<const std::array<std::size_t, 5>> seeds = {},
                         const ExactOptions& options = {});
ExactResult ExactOptimum(const std::vector<TrackPoint>& points, const ExactRules& rules,
                         std::span<const std::array<std::size_t, 5>> seeds = {},
                         const ExactOptions& options = {});

}  // namespace logwell
