// The exact optimiser against plain enumeration of every choice of fixes on small tracks, under
// the closing rules of each contest.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

#include "base/text.h"
#include "flights.h"
#include "optimise/contest_rules.h"
#include "optimise/exact_search.h"
#include "optimise/refine.h"
#include "sim/flight_generator.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"

namespace logwell {
namespace {

struct Plain {
  double distance = -1.0;
  bool found = false;
};

// Every start <= first corner < second < third <= finish, or five strictly ordered fixes.
Plain Enumerate(const std::vector<TrackPoint>& t, const ExactRules& rules) {
  const std::size_t n = t.size();
  std::vector<double> d(n * n);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) d[i * n + j] = FixDistance(t[i], t[j]);
  }
  const auto D = [&](std::size_t i, std::size_t j) { return d[i * n + j]; };
  Plain best;
  if (rules.kind == ExactKind::FreeDistance) {
    // Stages: the longest path of m legs ending at each fix.
    std::vector<double> stage(n, 0.0);
    for (int m = 1; m <= 4; ++m) {
      std::vector<double> next(n, -1e18);
      for (std::size_t k = static_cast<std::size_t>(m); k < n; ++k) {
        for (std::size_t j = static_cast<std::size_t>(m - 1); j < k; ++j) next[k] = std::max(next[k], stage[j] + D(j, k));
      }
      stage = next;
    }
    for (std::size_t k = 4; k < n; ++k) best.distance = std::max(best.distance, stage[k]);
    best.found = true;
    return best;
  }
  // closing[a][c]: the shortest hop from a fix at or before a to one at or after c.
  std::vector<double> closing(n * n, 1e18);
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t c = n; c-- > a;) {
      double v = D(a, c);
      if (a > 0) v = std::min(v, closing[(a - 1) * n + c]);
      if (c + 1 < n) v = std::min(v, closing[a * n + c + 1]);
      closing[a * n + c] = v;
    }
  }
  const bool outAndReturn = rules.kind == ExactKind::OutAndReturn;
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = a + 1; b < n; ++b) {
      // An out-and-return turns at a and b; its third corner is b again.
      for (std::size_t c = outAndReturn ? b : b + 1; c < (outAndReturn ? b + 1 : n); ++c) {
        const double p = D(a, b) + D(b, c) + D(c, a);
        const double shortest = std::min({D(a, b), D(b, c), D(c, a)});
        const double longest = std::max({D(a, b), D(b, c), D(c, a)});
        if (!outAndReturn && (shortest < rules.minLeg * p || longest > rules.maxLeg * p)) continue;
        const double g = closing[a * n + c];
        if (g > std::max(rules.closingMetres, rules.closingFraction * p)) continue;
        const double score = p - (g > rules.closingFreeMetres ? g : 0.0);
        if (score > best.distance) best = {score, true};
      }
    }
  }
  return best;
}

std::vector<std::vector<TrackPoint>> Tracks() {
  std::vector<std::vector<TrackPoint>> tracks;
  unsigned seed = 11;
  for (const auto shape : {sim::CourseShape::FaiTriangle, sim::CourseShape::OutAndReturn, sim::CourseShape::Straight}) {
    sim::FlightPlan plan;
    plan.seed = seed++;
    plan.course = shape;
    plan.courseLengthKm = 25;
    plan.duration = std::chrono::seconds(1800);
    plan.fixInterval = std::chrono::milliseconds(20000);
    plan.positionNoiseMetres = 150;
    tracks.push_back(sim::GenerateFlight(plan));
  }
  tracks.push_back(testing::GridCloud(70, 5));  // many equal distances
  return tracks;
}

const ExactRules kRules[] = {
    {ExactKind::FreeDistance, 0.0, 0.0, 0.0, 0.0},
    {ExactKind::FreeTriangle, 0.2, 0.0, 0.0, 0.0},
    {ExactKind::FaiTriangle, 0.2, 0.0, kFaiMinLeg, 0.0},
    {ExactKind::FreeTriangle, 0.05, 0.0, 0.0, 0.0},   // closed
    {ExactKind::FaiTriangle, 0.05, 3000.0, kFaiMinLeg, 3000.0},  // a free closing up to 3 km
    {ExactKind::FreeTriangle, 0.0, 800.0, 0.15, 0.0, 0.45},   // sides between 15 and 45 %
    {ExactKind::OutAndReturn, 0.0, 800.0, 0.0, 0.0},
};

void ExpectPlainOptimum(const std::vector<TrackPoint>& track, const ExactRules& rule) {
  SCOPED_TRACE(static_cast<int>(rule.kind));
  SCOPED_TRACE(rule.closingFraction);
  const Plain plain = Enumerate(track, rule);
  const ExactResult exact = ExactOptimum(track, rule);
  ASSERT_EQ(exact.found, plain.found);
  if (!plain.found) return;
  EXPECT_TRUE(exact.proven);
  EXPECT_NEAR(exact.distance, plain.distance, 1e-6);
  // The points given score what is claimed.
  const auto& p = exact.points;
  if (rule.kind == ExactKind::FreeDistance) {
    EXPECT_TRUE(p[0] < p[1] && p[1] < p[2] && p[2] < p[3] && p[3] < p[4]);
  } else if (rule.kind == ExactKind::OutAndReturn) {
    EXPECT_TRUE(p[0] <= p[1] && p[1] < p[2] && p[2] == p[3] && p[3] <= p[4]);
    EXPECT_NEAR(exact.distance, 2 * FixDistance(track[p[1]], track[p[2]]) - exact.closing, 1e-6);
  } else {
    EXPECT_TRUE(p[0] <= p[1] && p[1] < p[2] && p[2] < p[3] && p[3] <= p[4]);
    EXPECT_NEAR(exact.closing, FixDistance(track[p[0]], track[p[4]]), 1e-9);
  }
}

TEST(ExactOptimum, EqualsPlainEnumerationUnderEachClosingRule) {
  for (const auto& track : Tracks()) {
    SCOPED_TRACE(track.size());
    for (const ExactRules& rule : kRules) ExpectPlainOptimum(track, rule);
  }
}

// Real fixes at one-second spacing: thermals and glides whose best triangles are small, where
// only hops close in time can rule a course out.
TEST(ExactOptimum, EqualsPlainEnumerationOnRealThermals) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const struct {
    const char* file;
    std::size_t first;
  } excerpts[] = {{"discontinuity.igc", 0}, {"freeflight-xcontest-66.46.igc", 1700}};
  for (const auto& e : excerpts) {
    SCOPED_TRACE(e.file);
    const auto decoded = igc::DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / e.file));
    ASSERT_TRUE(decoded.Ok()) << decoded.error;
    ASSERT_GE(decoded.points.size(), e.first + 300);
    const auto first = decoded.points.begin() + static_cast<std::ptrdiff_t>(e.first);
    const std::vector<TrackPoint> excerpt(first, first + 300);
    for (const ExactRules& rule : kRules) ExpectPlainOptimum(excerpt, rule);
  }
}

TEST(ExactOptimum, HaltedSearchIsNotProven) {
  const auto track = Tracks().front();
  const std::atomic<bool> halt{true};
  ExactOptions options;
  options.halt = &halt;
  const ExactResult r = ExactOptimum(track, {ExactKind::FreeTriangle, 0.2, 0.0, 0.0, 0.0}, {}, options);
  EXPECT_FALSE(r.proven);
  EXPECT_FALSE(ExactOptimum(std::vector<TrackPoint>(4), {}).found);  // too few fixes
}

}  // namespace
}  // namespace logwell

namespace logwell {
namespace {

// Scoring the claim only: the same claim as proving every kind; the kinds that cannot beat it
// say so instead of being proven, and the others agree.
TEST(ContestRules, ClaimScopeGivesTheSameClaim) {
  std::size_t below = 0;
  for (const auto& track : Tracks()) {
    for (const ContestRules rules : {ContestRules::XContest, ContestRules::Ffvl, ContestRules::XcLeague}) {
      const ContestScoring every = ScoreContest(track, rules);
      const ContestScoring claim = ScoreContest(track, rules, {}, {}, ContestScope::Claim);
      ASSERT_EQ(claim.best, every.best);
      ASSERT_EQ(claim.kinds.size(), every.kinds.size());
      if (every.best >= 0) {
        EXPECT_NEAR(claim.kinds[static_cast<std::size_t>(claim.best)].score,
                    every.kinds[static_cast<std::size_t>(every.best)].score, 1e-9);
      }
      for (std::size_t k = 0; k < every.kinds.size(); ++k) {
        const ContestResult& c = claim.kinds[k];
        EXPECT_TRUE(every.kinds[k].exact.proven);
        EXPECT_NE(c.exact.proven, c.exact.belowFloor) << c.kind->key;
        if (c.exact.proven) {
          EXPECT_NEAR(c.score, every.kinds[k].score, 1e-9) << c.kind->key;
        }
        below += c.exact.belowFloor ? 1 : 0;
        if (c.exact.belowFloor && every.best >= 0) {
          EXPECT_LE(every.kinds[k].score, every.kinds[static_cast<std::size_t>(every.best)].score) << c.kind->key;
        }
      }
    }
  }
  EXPECT_GT(below, 0u);  // some kind was left below the claim
}

// The league's steps (the XC League's National league of 2024): nothing below the first, the
// higher multiplier from its threshold on, the threshold read on the scoring distance.
TEST(ContestRules, MultipliersStepWithTheDistance) {
  struct Case {
    std::string_view kind;
    double distanceKm;
    double multiplier;
  };
  const Case cases[] = {
      {"open_distance", 9.99, 0.0},   {"open_distance", 10.0, 1.0},   {"out_and_return", 14.9, 0.0},
      {"out_and_return", 15.0, 1.5},  {"out_and_return", 34.9, 1.5},  {"out_and_return", 35.0, 2.0},
      {"flat_triangle", 15.0, 1.5},   {"flat_triangle", 35.0, 2.0},   {"fai_triangle", 14.9, 0.0},
      {"fai_triangle", 15.0, 2.0},    {"fai_triangle", 24.9, 2.0},    {"fai_triangle", 25.0, 2.3},
  };
  for (const Case& c : cases) {
    bool seen = false;
    for (const ContestKind& kind : ContestKinds(ContestRules::XcLeague)) {
      if (kind.key == c.kind) {
        seen = true;
        EXPECT_DOUBLE_EQ(kind.Multiplier(c.distanceKm), c.multiplier) << c.kind << c.distanceKm;
      }
    }
    EXPECT_TRUE(seen) << c.kind;
  }
  // A triangle below the league's least course is found but claims nothing.
  const auto track = Tracks().front();
  const ContestScoring small = ScoreContest(track, ContestRules::XcLeague);
  EXPECT_EQ(ContestKinds(ContestRules::Ffvl).front().Multiplier(0.1), 1.0);
  for (const ContestResult& r : small.kinds) {
    if (r.exact.found && r.exact.distance < 10000.0) {
      EXPECT_EQ(r.score, 0.0) << r.kind->key;
    }
  }
}

// Rule names as typed on a command line or kept in the settings, in any case.
TEST(ContestRules, NamesInAnyCase) {
  const std::pair<std::string_view, std::optional<ContestRules>> cases[] = {
      {"xcontest", ContestRules::XContest}, {"XContest", ContestRules::XContest},
      {"XCLEAGUE", ContestRules::XcLeague}, {"Ffvl", ContestRules::Ffvl},
      {"OLC", ContestRules::Olc},           {"fai", std::nullopt},
      {"", std::nullopt},                   {"xcontest ", std::nullopt},
  };
  for (const auto& [name, rules] : cases) EXPECT_EQ(FindContestRules(name), rules) << name;
  for (const ContestRules rules : {ContestRules::Olc, ContestRules::XContest, ContestRules::Ffvl, ContestRules::XcLeague}) {
    EXPECT_EQ(FindContestRules(ContestRulesKey(rules)), rules);
  }
}

// A log too short to fly anything is said to claim nothing, under the contest's name.
TEST(ContestRules, NoFlightNoClaim) {
  const ContestClaim claim = ScoreClaim(std::vector<TrackPoint>(3), ContestRules::XcLeague);
  EXPECT_EQ(claim.Best(), nullptr);
  EXPECT_EQ(ClaimText(claim), "XC League: no scoring flight");
}

// Real flights against the claims of the peer scoring tool igc-xc-score (expected-scores.json
// beside the files); its figures are rounded, and its distances differ from ours by a few
// metres in a hundred kilometres.
TEST(ContestRules, ClaimsOfRealFlightsAgreeWithThePeer) {
  LOGWELL_REQUIRE_FIXTURES(fixtures);
  const struct {
    const char* file;
    ContestRules rules;
    std::string_view kind;
    double points;
    const char* text;  // the start of the claim's line
  } cases[] = {
      {"trifai-xcontest-189.65.igc", ContestRules::XContest, "closed_fai_triangle", 189.97,
       "XContest: closed FAI triangle 118.7"},
      {"trifai-xcontest-307.57.igc", ContestRules::XcLeague, "out_and_return", 427.0, "XC League: out and return 213."},
      {"MurphyJ-2022-03-26.igc", ContestRules::XcLeague, "flat_triangle", 24.6, "XC League: flat triangle 16."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const auto decoded = igc::DecodeIgcText(testing::ReadWholeFile(fixtures / "igc" / c.file));
    ASSERT_TRUE(decoded.Ok()) << decoded.error;
    const ContestClaim claim = ScoreClaim(decoded.points, c.rules);
    const ContestResult* best = claim.Best();
    ASSERT_NE(best, nullptr);
    EXPECT_EQ(best->kind->key, c.kind);
    EXPECT_NEAR(best->score, c.points, c.points * 0.002 + 0.05);
    EXPECT_TRUE(ClaimText(claim).starts_with(c.text)) << ClaimText(claim);
    EXPECT_TRUE(ClaimText(claim).ends_with(FormatText(", %.2f points", best->score))) << ClaimText(claim);
  }
}

}  // namespace
}  // namespace logwell
