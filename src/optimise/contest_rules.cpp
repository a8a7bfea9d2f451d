#include "optimise/contest_rules.h"

#include "optimise/olc.h"

namespace logwell {
namespace {

ExactRules Free() { return {ExactKind::FreeDistance, 0.0, 0.0, 0.28, 0.0}; }
ExactRules Triangle(ExactKind kind, double fraction, double metres = 0.0, double free = 0.0) {
  return {kind, fraction, metres, 0.28, free};
}

}  // namespace

std::optional<ContestRules> FindContestRules(std::string_view name) {
  if (name == "olc") return ContestRules::Olc;
  if (name == "xcontest") return ContestRules::XContest;
  if (name == "ffvl") return ContestRules::Ffvl;
  return std::nullopt;
}

const std::vector<ContestKind>& ContestKinds(ContestRules rules) {
  // This program's own OLC definitions: closing within a fifth of the perimeter.
  static const std::vector<ContestKind> olc{
      {"free_distance", "Free distance", Free(), kFreeDistancePointsPerKm},
      {"free_triangle", "Free triangle", Triangle(ExactKind::FreeTriangle, 0.2), kFreeTrianglePointsPerKm},
      {"fai_triangle", "FAI triangle", Triangle(ExactKind::FaiTriangle, 0.2), kFaiTrianglePointsPerKm},
  };
  // XContest (world rules, paragliders): free flight over up to three turnpoints x1.0; a
  // triangle closed within 5 % of its perimeter x1.4 (FAI x1.6), within 20 % x1.2 (FAI x1.4);
  // a triangle's distance is its perimeter less the closing.
  static const std::vector<ContestKind> xcontest{
      {"free_flight", "Free flight", Free(), 1.0},
      {"free_triangle", "Free triangle", Triangle(ExactKind::FreeTriangle, 0.2), 1.2},
      {"fai_triangle", "FAI triangle", Triangle(ExactKind::FaiTriangle, 0.2), 1.4},
      {"closed_free_triangle", "Closed free triangle", Triangle(ExactKind::FreeTriangle, 0.05), 1.4},
      {"closed_fai_triangle", "Closed FAI triangle", Triangle(ExactKind::FaiTriangle, 0.05), 1.6},
  };
  // FFVL (the French federation's online cup): distance over up to three points x1.0, flat
  // triangle x1.2, FAI triangle x1.4; the closing may reach 3 km or 5 % of the perimeter; a
  // closing up to 3 km is free, a longer one is taken off the perimeter.
  static const std::vector<ContestKind> ffvl{
      {"free_distance", "Distance 3 points", Free(), 1.0},
      {"flat_triangle", "Flat triangle", Triangle(ExactKind::FreeTriangle, 0.05, 3000.0, 3000.0), 1.2},
      {"fai_triangle", "FAI triangle", Triangle(ExactKind::FaiTriangle, 0.05, 3000.0, 3000.0), 1.4},
  };
  switch (rules) {
    case ContestRules::XContest: return xcontest;
    case ContestRules::Ffvl: return ffvl;
    default: return olc;
  }
}

ContestScoring ScoreContest(const std::vector<TrackPoint>& points, ContestRules rules,
                            const std::vector<std::array<std::size_t, 5>>& seeds,
                            const ExactOptions& options) {
  ContestScoring scoring;
  double bestScore = 0.0;
  for (const ContestKind& kind : ContestKinds(rules)) {
    ContestResult result;
    result.kind = &kind;
    // Every seed is offered; the optimiser keeps only those valid for the kind.
    std::optional<std::array<std::size_t, 5>> seed;
    ExactResult best;
    for (const auto& s : seeds) {
      ExactOptions probe = options;
      probe.nodeLimit = 0;
      const ExactResult tried = ExactOptimum(points, kind.rules, s, probe);
      if (tried.found && (!best.found || tried.distance > best.distance)) {
        best = tried;
        seed = s;
      }
    }
    result.exact = ExactOptimum(points, kind.rules, seed, options);
    if (result.exact.found) result.score = result.exact.distance / 1000.0 * kind.multiplier;
    if (result.exact.found && (scoring.best < 0 || result.score > bestScore)) {
      scoring.best = static_cast<int>(scoring.kinds.size());
      bestScore = result.score;
    }
    scoring.kinds.push_back(result);
  }
  return scoring;
}

}  // namespace logwell
