#pragma once
// The exact optimiser: the best free distance over start, three turnpoints and finish, or the
// best triangle, over every fix of the track (no thinning), proven by branch and bound. A node
// holds an index range per point; the bounding boxes of the ranges' fixes in the local plane
// bound every distance between them, and the ranges are halved until single fixes remain,
// which are measured on the ellipsoid as the refinement does.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/track_point.h"

namespace logwell {

enum class ExactKind { FreeDistance, FreeTriangle, FaiTriangle };

// What a triangle must satisfy: the closing (start to finish) at most the larger of
// `closingFraction` of the perimeter and `closingMetres`; an FAI triangle has every side at
// least `faiMinLeg` of the perimeter. The score is the perimeter less the closing, except that
// a closing up to `closingFreeMetres` is not taken off.
struct ExactRules {
  ExactKind kind = ExactKind::FreeDistance;
  double closingFraction = 0.2;
  double closingMetres = 0.0;
  double faiMinLeg = 0.28;
  double closingFreeMetres = 0.0;
};

struct ExactResult {
  bool found = false;
  bool proven = false;  // no other choice of fixes scores more (false when halted or cut off)
  // Free distance: the five fixes in order. Triangle: start, three corners, finish.
  std::array<std::size_t, 5> points{};
  std::array<double, 4> legs{};  // free: the four legs; triangle: the three sides, then 0
  double closing = 0.0;          // triangle: start to finish
  double distance = 0.0;         // free: the sum of the legs; triangle: perimeter less closing
                                 // (less nothing when the closing is free)
  std::uint64_t nodes = 0;       // branch-and-bound nodes visited
};

struct ExactOptions {
  const std::atomic<bool>* halt = nullptr;
  std::uint64_t nodeLimit = 50000000;  // beyond this the best so far is given, not proven
};

// The proven optimum of the kind. `seed`, when given, is a known valid choice (for instance the
// thinned search's result) that starts the bound.
ExactResult ExactOptimum(const std::vector<TrackPoint>& points, const ExactRules& rules,
                         const std::optional<std::array<std::size_t, 5>>& seed = std::nullopt,
                         const ExactOptions& options = {});

}  // namespace logwell
