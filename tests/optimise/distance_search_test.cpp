// The production searches against the plain loops, and the tables they share.
#include <gtest/gtest.h>

#include <cmath>

#include "flights.h"
#include "optimise/distance_search.h"
#include "optimise/distance_tables.h"
#include "reference_search.h"
#include "sim/flight_generator.h"
#include "support/fixtures.h"
#include "track/igc/igc_reader.h"

namespace logwell {
namespace {

using testing::GridCloud;

TEST(Thinning, KeepsAtMost2000PointsEvenly) {
  EXPECT_EQ(ThinnedIndices(2000).size(), 2000u);
  EXPECT_EQ(ThinnedIndices(2000).back(), 1999u);

  const auto of2001 = ThinnedIndices(2001);
  ASSERT_EQ(of2001.size(), 2000u);
  EXPECT_EQ(std::find(of2001.begin(), of2001.end(), 1000u), of2001.end());
  for (std::uint32_t k = 0; k <= 2000; ++k) {
    if (k != 1000) {
      EXPECT_NE(std::find(of2001.begin(), of2001.end(), k), of2001.end()) << k;
    }
  }

  const auto of10000 = ThinnedIndices(10000);
  ASSERT_EQ(of10000.size(), 2000u);
  EXPECT_EQ(std::vector<std::uint32_t>(of10000.begin(), of10000.begin() + 4),
            (std::vector<std::uint32_t>{0, 5, 10, 15}));
  EXPECT_EQ(std::vector<std::uint32_t>(of10000.end() - 3, of10000.end()),
            (std::vector<std::uint32_t>{9989, 9994, 9999}));
  EXPECT_TRUE(ThinnedIndices(0).empty());
}

TEST(DistanceTables, ClosingAndMaximaFollowTheirDefinitions) {
  const auto points = GridCloud(60, 7);
  std::optional<DistanceTables> built;
  ASSERT_EQ(DistanceTables::Build(points, kAnalysisClosingStart, built), DistanceTables::BuildStatus::Ok);
  const DistanceTables& t = *built;
  const int n = t.Count();
  for (int i = 0; i < n; ++i) {
    int arg = i + 1 < n ? i + 1 : i;
    std::int32_t best = 0;
    for (int j = i; j < n; ++j) {
      if (t.D(i, j) > best) {
        best = t.D(i, j);
        arg = j;
      }
    }
    EXPECT_EQ(t.MaxFrom(i), best);
    EXPECT_EQ(t.MaxFromArg(i), arg) << "the first partner of equal distances stays";
  }
  for (int a = 0; a < n; ++a) {
    for (int c = a + 1; c < n; ++c) {
      std::int32_t best = kAnalysisClosingStart;
      for (int s = 0; s <= a; ++s) {
        for (int f = c; f < n; ++f) best = std::min(best, t.D(s, f));
      }
      ASSERT_EQ(t.Closing(a, c), best);
      const std::uint32_t arg = t.ClosingArg(a, c);
      const int s = static_cast<int>(arg >> 16);
      const int f = static_cast<int>(arg & 0xFFFF);
      EXPECT_LE(s, a);
      EXPECT_GE(f, c);
      EXPECT_EQ(t.D(s, f), best);
    }
  }
}

struct Case {
  const char* name;
  std::vector<TrackPoint> points;
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  const sim::CourseShape shapes[] = {sim::CourseShape::FaiTriangle, sim::CourseShape::FlatTriangle,
                                     sim::CourseShape::OutAndReturn, sim::CourseShape::Straight};
  unsigned seed = 3;
  for (const auto shape : shapes) {
    sim::FlightPlan plan;
    plan.seed = seed++;
    plan.course = shape;
    plan.courseLengthKm = 30;
    plan.duration = std::chrono::seconds(2400);
    plan.fixInterval = std::chrono::milliseconds(4000);
    plan.positionNoiseMetres = 20;
    cases.push_back({"generated", sim::GenerateFlight(plan)});
  }
  cases.push_back({"grid cloud with ties", GridCloud(160, 11)});
  cases.push_back({"grid cloud 2", GridCloud(90, 12)});
  // A triangle at the FAI limits (sides of 44, 28 and 28 % of the perimeter), flown with a
  // stretched first leg: the only FAI corners lie far from the start.
  {
    std::vector<TrackPoint> limits;
    const double corners[][2] = {{0, 0}, {44.6, 0}, {22.3, 17.0}, {0.3, 0.4}};
    GarminTime time = 1000;
    for (int leg = 0; leg < 3; ++leg) {
      for (int k = 0; k < 40; ++k) {
        const double f = k / 40.0;
        const double wobble = 0.05 * std::sin(k * 1.3);
        limits.push_back(testing::PointAtKm(corners[leg][0] + (corners[leg + 1][0] - corners[leg][0]) * f + wobble,
                                   corners[leg][1] + (corners[leg + 1][1] - corners[leg][1]) * f, time++, 46.0, 8.0));
      }
    }
    cases.push_back({"triangle at the FAI limits", limits});
  }
  // A real 500 km closed flight whose best FAI triangle is small: most corner blocks lie too
  // near or too far for any FAI corner.
  if (const auto dir = testing::FixturesDir()) {
    const auto decoded = igc::DecodeIgcText(testing::ReadWholeFile(*dir / "igc" / "01lz1hq1.igc"));
    std::vector<TrackPoint> sparse;
    for (std::size_t i = 0; i < decoded.points.size(); i += 25) sparse.push_back(decoded.points[i]);
    cases.push_back({"01lz1hq1.igc, every 25th fix", sparse});
  }
  return cases;
}

TEST(DistanceSearch, ProductionSearchesEqualThePlainLoops) {
  for (const auto& c : Cases()) {
    std::optional<DistanceTables> analysis, olc;
    ASSERT_EQ(DistanceTables::Build(c.points, kAnalysisClosingStart, analysis), DistanceTables::BuildStatus::Ok);
    ASSERT_EQ(DistanceTables::Build(c.points, kOlcClosingStart, olc), DistanceTables::BuildStatus::Ok);
    SCOPED_TRACE(c.name);
    SCOPED_TRACE(analysis->Count());

    ReducedWinners fast, plain;
    SearchFreeDistances(*analysis, fast);
    testing::PlainFreeDistances(*analysis, plain);
    EXPECT_EQ(fast, plain);

    for (const std::int32_t gap : {300, 800, 3000, 100000}) {
      std::array<int, 3> fastPoints{}, plainPoints{};
      std::int64_t fastScore = 0, plainScore = 0;
      EXPECT_EQ(SearchAnalysisOutAndReturn(*analysis, gap, fastPoints, fastScore),
                testing::PlainAnalysisOutAndReturn(*analysis, gap, plainPoints, plainScore));
      EXPECT_EQ(fastScore, plainScore);
      EXPECT_EQ(fastPoints, plainPoints);
      for (const int threads : {1, 2}) {
        TriangleSearchHooks hooks;
        hooks.threads = threads;
        const auto f = SearchTriangles(*analysis, TriangleRule::ClosingBelowGap, gap, hooks);
        const auto p = testing::PlainTriangles(*analysis, TriangleRule::ClosingBelowGap, gap, hooks);
        EXPECT_EQ(f.free, p.free) << gap;
        EXPECT_EQ(f.fai, p.fai) << gap;
      }
    }
    for (const int threads : {1, 2}) {
      TriangleSearchHooks hooks;
      hooks.threads = threads;
      const auto f = SearchTriangles(*olc, TriangleRule::ClosingBelowFifthOfPerimeter, 0, hooks);
      const auto p = testing::PlainTriangles(*olc, TriangleRule::ClosingBelowFifthOfPerimeter, 0, hooks);
      EXPECT_EQ(f.free, p.free);
      EXPECT_EQ(f.fai, p.fai);
    }
    const auto f = SearchOlcOutAndReturn(*olc, 400);
    const auto p = testing::PlainOlcOutAndReturn(*olc, 400);
    EXPECT_EQ(f.found, p.found);
    EXPECT_EQ(f.score, p.score);
    EXPECT_EQ(f.points, p.points);
  }
}

TEST(DistanceSearch, OlcTriangleNeedsClosingBelowAFifthOfThePerimeter) {
  // Equilateral A, B, C with sides of 10 km, then a finish 7.5 km (a quarter of the perimeter)
  // or 3 km (a tenth) from A, placed so that no other triangle of the four points qualifies.
  using testing::PointAtKm;
  for (const double closing : {7.5, 3.0}) {
    const double offset = closing / std::sqrt(2.0);
    const std::vector<TrackPoint> points{PointAtKm(0, 0, 1, 45, 7), PointAtKm(10, 0, 2, 45, 7),
                                         PointAtKm(5, 8.66, 3, 45, 7),
                                         PointAtKm(-offset, offset, 4, 45, 7)};
    std::optional<DistanceTables> t;
    ASSERT_EQ(DistanceTables::Build(points, kOlcClosingStart, t), DistanceTables::BuildStatus::Ok);
    const auto found = SearchTriangles(*t, TriangleRule::ClosingBelowFifthOfPerimeter, 0);
    if (closing == 7.5) {
      EXPECT_EQ(found.free.score, -1) << "a quarter of the perimeter is never a candidate";
    } else {
      EXPECT_GT(found.free.score, 0) << "a tenth is";
    }
  }
}

TEST(DistanceSearch, HaltStopsTheTriangleSearch) {
  const auto points = GridCloud(200, 5);
  std::optional<DistanceTables> t;
  ASSERT_EQ(DistanceTables::Build(points, kOlcClosingStart, t), DistanceTables::BuildStatus::Ok);
  std::atomic<bool> halt{true};
  TriangleSearchHooks hooks;
  hooks.halt = &halt;
  EXPECT_TRUE(SearchTriangles(*t, TriangleRule::ClosingBelowFifthOfPerimeter, 0, hooks).halted);
}

}  // namespace
}  // namespace logwell
