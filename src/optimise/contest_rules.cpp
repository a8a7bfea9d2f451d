#include "optimise/contest_rules.h"

#include <algorithm>
#include <cctype>
#include <numeric>

#include "base/text.h"
#include "optimise/olc.h"

namespace logwell {
namespace {

ExactRules Free() { return {ExactKind::FreeDistance, 0.0, 0.0, 0.0, 0.0}; }
ExactRules Triangle(ExactKind kind, double fraction, double metres = 0.0, double free = 0.0) {
  return {kind, fraction, metres, kind == ExactKind::FaiTriangle ? kFaiMinLeg : 0.0, free};
}
std::vector<MultiplierStep> Flat(double multiplier) { return {{0.0, multiplier}}; }

}  // namespace

std::optional<ContestRules> FindContestRules(std::string_view name) {
  for (const ContestRules rules :
       {ContestRules::Olc, ContestRules::XContest, ContestRules::Ffvl, ContestRules::XcLeague}) {
    if (EqualsIgnoringCase(name, ContestRulesKey(rules))) return rules;
  }
  return std::nullopt;
}

std::string_view ContestRulesKey(ContestRules rules) {
  switch (rules) {
    case ContestRules::XContest: return "xcontest";
    case ContestRules::Ffvl: return "ffvl";
    case ContestRules::XcLeague: return "xcleague";
    default: return "olc";
  }
}

std::string_view ContestName(ContestRules rules) {
  switch (rules) {
    case ContestRules::XContest: return "XContest";
    case ContestRules::Ffvl: return "FFVL";
    case ContestRules::XcLeague: return "XC League";
    default: return "OLC";
  }
}

double ContestKind::Multiplier(double distanceKm) const {
  double multiplier = 0.0;
  for (const MultiplierStep& step : steps) {
    if (distanceKm >= step.fromKm) multiplier = step.multiplier;
  }
  return multiplier;
}

const std::vector<ContestKind>& ContestKinds(ContestRules rules) {
  // This program's own OLC definitions: closing within a fifth of the perimeter.
  static const std::vector<ContestKind> olc{
      {"free_distance", "Free distance", Free(), Flat(kFreeDistancePointsPerKm)},
      {"free_triangle", "Free triangle", Triangle(ExactKind::FreeTriangle, 0.2), Flat(kFreeTrianglePointsPerKm)},
      {"fai_triangle", "FAI triangle", Triangle(ExactKind::FaiTriangle, 0.2), Flat(kFaiTrianglePointsPerKm)},
  };
  // XContest (world rules, paragliders): free flight over up to three turnpoints x1.0; a
  // triangle closed within 5 % of its perimeter x1.4 (FAI x1.6), within 20 % x1.2 (FAI x1.4);
  // a triangle's distance is its perimeter less the closing.
  static const std::vector<ContestKind> xcontest{
      {"free_flight", "Free flight", Free(), Flat(1.0)},
      {"free_triangle", "Free triangle", Triangle(ExactKind::FreeTriangle, 0.2), Flat(1.2)},
      {"fai_triangle", "FAI triangle", Triangle(ExactKind::FaiTriangle, 0.2), Flat(1.4)},
      {"closed_free_triangle", "Closed free triangle", Triangle(ExactKind::FreeTriangle, 0.05), Flat(1.4)},
      {"closed_fai_triangle", "Closed FAI triangle", Triangle(ExactKind::FaiTriangle, 0.05), Flat(1.6)},
  };
  // FFVL (the French federation's online cup): distance over up to three points x1.0, flat
  // triangle x1.2, FAI triangle x1.4; the closing may reach 3 km or 5 % of the perimeter; a
  // closing up to 3 km is free, a longer one is taken off the perimeter.
  static const std::vector<ContestKind> ffvl{
      {"free_distance", "Distance 3 points", Free(), Flat(1.0)},
      {"flat_triangle", "Flat triangle", Triangle(ExactKind::FreeTriangle, 0.05, 3000.0, 3000.0), Flat(1.2)},
      {"fai_triangle", "FAI triangle", Triangle(ExactKind::FaiTriangle, 0.05, 3000.0, 3000.0), Flat(1.4)},
  };
  // The UK XC League, National league (XC League Rules 2024, section 3 "Flights",
  // xcleague.com): a turnpoint flight over up to three turnpoints from 10 km x1.0; an
  // out-and-return (start, two turnpoints, back) and a flat triangle (every side 15 to 45 % of
  // the perimeter) from 15 km x1.5, from 35 km x2.0; an FAI triangle from 15 km x2.0, from
  // 25 km x2.3. A circuit ends within 800 m of its start (a 400 m cylinder), the gap is taken
  // off, and the distances of the steps are those after the gap is taken off.
  static const std::vector<ContestKind> xcleague{
      {"open_distance", "Turnpoint flight", Free(), {{10.0, 1.0}}},
      {"out_and_return", "Out and return", {ExactKind::OutAndReturn, 0.0, 800.0, 0.0, 0.0}, {{15.0, 1.5}, {35.0, 2.0}}},
      {"flat_triangle", "Flat triangle", {ExactKind::FreeTriangle, 0.0, 800.0, 0.15, 0.0, 0.45}, {{15.0, 1.5}, {35.0, 2.0}}},
      {"fai_triangle", "FAI triangle", {ExactKind::FaiTriangle, 0.0, 800.0, kFaiMinLeg, 0.0}, {{15.0, 2.0}, {25.0, 2.3}}},
  };
  switch (rules) {
    case ContestRules::XcLeague: return xcleague;
    case ContestRules::XContest: return xcontest;
    case ContestRules::Ffvl: return ffvl;
    default: return olc;
  }
}

std::vector<std::array<std::size_t, 5>> ThinnedSeeds(const OlcComputation& olc) {
  std::vector<std::array<std::size_t, 5>> seeds;
  for (const OlcKind kind : {OlcKind::FreeDistance, OlcKind::FreeTriangle, OlcKind::FaiTriangle}) {
    const OlcKindResult& found = olc.Kind(kind);
    if (found.found && found.points.size() == 5) {
      seeds.push_back({found.points[0], found.points[1], found.points[2], found.points[3], found.points[4]});
    }
  }
  return seeds;
}

ContestScoring ScoreContest(const std::vector<TrackPoint>& points, ContestRules rules,
                            const std::vector<std::array<std::size_t, 5>>& seeds,
                            const ExactOptions& options, ContestScope scope) {
  ContestScoring scoring;
  double bestScore = 0.0;
  const ExactTrack track(points);
  const std::vector<ContestKind>& kinds = ContestKinds(rules);
  scoring.kinds.resize(kinds.size());
  // For the claim the closed courses go first: they are quickly proven and usually claim
  // most, so the free distance often needs no proof of its own.
  std::vector<std::size_t> order(kinds.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  if (scope == ContestScope::Claim) {
    std::stable_partition(order.begin(), order.end(),
                          [&](std::size_t k) { return kinds[k].rules.kind != ExactKind::FreeDistance; });
  }
  // Points of a result of the kind: km times the multiplier of its scoring distance.
  const auto scoreOf = [](const ContestKind& kind, const ExactResult& exact) {
    if (!exact.found) return 0.0;
    return exact.distance / 1000.0 * kind.Multiplier(exact.distance / 1000.0);
  };
  std::vector<std::array<std::size_t, 5>> offered = seeds;
  ExactOptions searchOptions = options;
  if (scope == ContestScope::Claim) {
    // A first claim from every kind's quick pass over every few fixes (no search of all of
    // them): the real courses it finds bound the claim from below before any kind is proven,
    // and they seed every kind's search.
    ExactOptions quick = options;
    quick.nodeLimit = 0;
    for (const ContestKind& kind : kinds) {
      const ExactResult first = ExactOptimum(track, kind.rules, seeds, quick);
      bestScore = std::max(bestScore, scoreOf(kind, first));
      if (first.found) offered.push_back(first.points);
    }
    searchOptions.coarseFirst = false;
  }
  for (const std::size_t index : order) {
    const ContestKind& kind = kinds[index];
    ContestResult result;
    result.kind = &kind;
    ExactOptions kindOptions = searchOptions;
    if (scope == ContestScope::Claim && bestScore > 0.0) {
      // A course of this kind scores at most its distance times the kind's largest multiplier.
      double largest = 0.0;
      for (const MultiplierStep& step : kind.steps) largest = std::max(largest, step.multiplier);
      if (largest > 0.0) kindOptions.floor = bestScore * 1000.0 / largest;
    }
    // Every seed is offered; the optimiser keeps only those valid for the kind.
    result.exact = ExactOptimum(track, kind.rules, offered, kindOptions);
    result.score = scoreOf(kind, result.exact);
    if (result.exact.found && result.score > 0.0) bestScore = std::max(bestScore, result.score);
    scoring.kinds[index] = result;
  }
  // The claim: the kind scoring most, the first of the list among equals.
  scoring.best = -1;
  for (std::size_t k = 0; k < scoring.kinds.size(); ++k) {
    const ContestResult& r = scoring.kinds[k];
    if (r.exact.found && r.score > 0.0 &&
        (scoring.best < 0 || r.score > scoring.kinds[static_cast<std::size_t>(scoring.best)].score)) {
      scoring.best = static_cast<int>(k);
    }
  }
  return scoring;
}

const ContestResult* ContestClaim::Best() const {
  if (scoring.best < 0) return nullptr;
  return &scoring.kinds[static_cast<std::size_t>(scoring.best)];
}

ContestClaim ScoreClaim(const std::vector<TrackPoint>& points, ContestRules rules,
                        const std::atomic<bool>* halt) {
  ExactOptions options;
  options.halt = halt;
  ContestClaim claim;
  claim.rules = rules;
  claim.scoring = ScoreContest(points, rules, {}, options, ContestScope::Claim);
  return claim;
}

std::string ClaimText(const ContestClaim& claim) {
  const std::string_view contest = ContestName(claim.rules);
  const ContestResult* best = claim.Best();
  if (best == nullptr) {
    return FormatText("%.*s: no scoring flight", static_cast<int>(contest.size()), contest.data());
  }
  // "Closed FAI triangle" reads "closed FAI triangle" after the contest's name; an initial
  // that begins an abbreviation ("FAI triangle") stays.
  std::string kind(best->kind->label);
  if (kind.size() > 1 && std::isupper(static_cast<unsigned char>(kind[0])) &&
      std::islower(static_cast<unsigned char>(kind[1]))) {
    kind[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(kind[0])));
  }
  return FormatText("%.*s: %s %.2f km, %.2f points", static_cast<int>(contest.size()), contest.data(),
                    kind.c_str(), best->exact.distance / 1000.0, best->score);
}

}  // namespace logwell
