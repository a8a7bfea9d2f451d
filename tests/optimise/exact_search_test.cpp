// The exact optimiser against plain enumeration of every choice of fixes on small tracks, under
// the closing rules of each contest.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "flights.h"
#include "optimise/exact_search.h"
#include "optimise/refine.h"
#include "sim/flight_generator.h"

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
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = a + 1; b < n; ++b) {
      for (std::size_t c = b + 1; c < n; ++c) {
        const double p = D(a, b) + D(b, c) + D(c, a);
        if (rules.kind == ExactKind::FaiTriangle && std::min({D(a, b), D(b, c), D(c, a)}) < rules.faiMinLeg * p) continue;
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

TEST(ExactOptimum, EqualsPlainEnumerationUnderEachClosingRule) {
  const ExactRules rules[] = {
      {ExactKind::FreeDistance, 0.0, 0.0, 0.28, 0.0},
      {ExactKind::FreeTriangle, 0.2, 0.0, 0.28, 0.0},
      {ExactKind::FaiTriangle, 0.2, 0.0, 0.28, 0.0},
      {ExactKind::FreeTriangle, 0.05, 0.0, 0.28, 0.0},   // closed
      {ExactKind::FaiTriangle, 0.05, 3000.0, 0.28, 3000.0},  // a free closing up to 3 km
  };
  for (const auto& track : Tracks()) {
    SCOPED_TRACE(track.size());
    for (const ExactRules& rule : rules) {
      SCOPED_TRACE(static_cast<int>(rule.kind));
      SCOPED_TRACE(rule.closingFraction);
      const Plain plain = Enumerate(track, rule);
      const ExactResult exact = ExactOptimum(track, rule);
      ASSERT_EQ(exact.found, plain.found);
      if (!plain.found) continue;
      EXPECT_TRUE(exact.proven);
      EXPECT_NEAR(exact.distance, plain.distance, 1e-6);
      // The points given score what is claimed.
      const auto& p = exact.points;
      if (rule.kind == ExactKind::FreeDistance) {
        EXPECT_TRUE(p[0] < p[1] && p[1] < p[2] && p[2] < p[3] && p[3] < p[4]);
      } else {
        EXPECT_TRUE(p[0] <= p[1] && p[1] < p[2] && p[2] < p[3] && p[3] <= p[4]);
        EXPECT_NEAR(exact.closing, FixDistance(track[p[0]], track[p[4]]), 1e-9);
      }
    }
  }
}

TEST(ExactOptimum, HaltedSearchIsNotProven) {
  const auto track = Tracks().front();
  const std::atomic<bool> halt{true};
  ExactOptions options;
  options.halt = &halt;
  const ExactResult r = ExactOptimum(track, {ExactKind::FreeTriangle, 0.2, 0.0, 0.28, 0.0}, std::nullopt, options);
  EXPECT_FALSE(r.proven);
  EXPECT_FALSE(ExactOptimum(std::vector<TrackPoint>(4), {}).found);  // too few fixes
}

}  // namespace
}  // namespace logwell
