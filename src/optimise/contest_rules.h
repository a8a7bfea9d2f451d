#pragma once
// Scoring by a contest's published definitions, with the exact optimiser: each contest scores a
// few kinds of flight (free distance over up to three turnpoints, triangles by their closing),
// each distance times the kind's multiplier; the claim is the kind with the most points.
#include <array>
#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/track_point.h"
#include "optimise/exact_search.h"
#include "optimise/olc.h"

namespace logwell {

enum class ContestRules { Olc, XContest, Ffvl, XcLeague };

// The rule set of a name given on the command line or kept in the settings ("olc",
// "xcontest", "ffvl", "xcleague", in any case); nothing for another name.
std::optional<ContestRules> FindContestRules(std::string_view name);
// The name FindContestRules takes: "olc", "xcontest", "ffvl", "xcleague".
std::string_view ContestRulesKey(ContestRules rules);
// The contest's name as pilots know it: "OLC", "XContest", "FFVL", "XC League".
std::string_view ContestName(ContestRules rules);
// The rules a pilot gets without choosing.
inline constexpr ContestRules kDefaultContestRules = ContestRules::XContest;

// From a course of `fromKm` on, each km scores `multiplier` points.
struct MultiplierStep {
  double fromKm = 0.0;
  double multiplier = 1.0;
};

struct ContestKind {
  std::string_view key;    // "free_distance", "closed_fai_triangle", ...
  std::string_view label;  // "Free distance", ...
  ExactRules rules;
  std::vector<MultiplierStep> steps;  // ascending; a course below the first scores nothing
  // Points per km of a flight whose scoring distance (the course less any closing taken off)
  // is `distanceKm`: the contests set their least distances and steps on that figure.
  double Multiplier(double distanceKm) const;
};
const std::vector<ContestKind>& ContestKinds(ContestRules rules);

struct ContestResult {
  const ContestKind* kind = nullptr;
  ExactResult exact;
  double score = 0.0;  // points: km times the multiplier; 0 when not found
};

struct ContestScoring {
  std::vector<ContestResult> kinds;  // in the order of ContestKinds
  int best = -1;                     // index into kinds of the claim; -1 when none was found
};

// The thinned search's free distance and triangles as seeds of the exact optimiser.
std::vector<std::array<std::size_t, 5>> ThinnedSeeds(const OlcComputation& olc);

// Whether every kind's optimum is proven, or only the claim's: a kind that cannot score more
// than the best claim so far is then searched only until that is certain (`belowFloor`).
enum class ContestScope { EveryKind, Claim };

// Seeds are known valid choices (the thinned search's free distance and triangles); each kind
// starts from those that satisfy its rules.
ContestScoring ScoreContest(const std::vector<TrackPoint>& points, ContestRules rules,
                            const std::vector<std::array<std::size_t, 5>>& seeds = {},
                            const ExactOptions& options = {}, ContestScope scope = ContestScope::EveryKind);

// The claim of a flight under one contest's rules: what pilots read as their score.
struct ContestClaim {
  ContestRules rules = kDefaultContestRules;
  ContestScoring scoring;
  // The kind claimed; none when no kind scores.
  const ContestResult* Best() const;
};

// The claim by the exact optimiser (only the claiming kind proven); `halt` stops it early, the
// best found so far then stands.
ContestClaim ScoreClaim(const std::vector<TrackPoint>& points, ContestRules rules,
                        const std::atomic<bool>* halt = nullptr);

// The claim as pilots read it, under the contest's name: "XContest: closed FAI triangle
// 118.73 km, 189.96 points", or "XContest: no scoring flight".
std::string ClaimText(const ContestClaim& claim);

}  // namespace logwell
