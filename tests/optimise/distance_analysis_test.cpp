// The distance analysis as a whole: its steps, its results on shaped flights, and its safety on
// odd point arrays.
#include <gtest/gtest.h>

#include "flights.h"
#include "optimise/distance_analysis.h"
#include "reference_search.h"
#include "sim/flight_generator.h"

namespace logwell {
namespace {

using testing::PointAtKm;

std::vector<TrackPoint> Generated(sim::CourseShape shape, int seconds, int interval, double km) {
  sim::FlightPlan plan;
  plan.course = shape;
  plan.courseLengthKm = km;
  plan.duration = std::chrono::seconds(seconds);
  plan.fixInterval = std::chrono::milliseconds(interval * 1000);
  return sim::GenerateFlight(plan);
}

TEST(DistanceAnalysis, ReportsEachStepAndFindsTheCourse) {
  const auto points = Generated(sim::CourseShape::FaiTriangle, 3 * 3600, 2, 60);
  std::vector<std::string> steps;
  AnalysisOptions options;
  options.status = [&steps](std::string_view text) { steps.emplace_back(text); };
  DistanceAnalysis analysis;
  ASSERT_EQ(AnalyseDistances(points, analysis, options), 0);
  EXPECT_EQ(analysis.done, 1);
  ASSERT_EQ(steps.size(), 8u);
  EXPECT_EQ(steps[0], "Computing distance matrix");
  EXPECT_EQ(steps[1], "Computing greatest distance (2 points)");
  EXPECT_EQ(steps[4], "Computing greatest distance (5 points)");
  EXPECT_EQ(steps[5], "Computing out-and-return distance");
  EXPECT_EQ(steps[6], "Computing triangle distance");
  EXPECT_EQ(steps[7].rfind("Computing completed (", 0), 0u);

  // The generated course is a closed FAI triangle of 60 km flown back to launch.
  EXPECT_NEAR(analysis.fai.Perimeter(), 60000.0, 3000.0);
  EXPECT_LT(analysis.fai.closing, 800.0);
  EXPECT_GE(analysis.triangle.result, analysis.fai.result);
  for (const double leg : analysis.fai.legs) EXPECT_GE(leg, 0.28 * analysis.fai.Perimeter() - 1e-6);
  EXPECT_GE(analysis.five.total, analysis.four.total);
  EXPECT_GE(analysis.four.total, analysis.three.total);
  EXPECT_GE(analysis.three.total, analysis.two.total);
  EXPECT_NEAR(analysis.outAndReturn.result,
              2 * analysis.outAndReturn.outward - analysis.outAndReturn.closing, 1e-9);
}

TEST(DistanceAnalysis, ProductionAndPlainSearchesGiveTheSameAnalysis) {
  const auto points = Generated(sim::CourseShape::FlatTriangle, 2 * 3600, 8, 40);
  DistanceAnalysis fast, plain;
  AnalysisOptions options;
  ASSERT_EQ(AnalyseDistances(points, fast, options), 0);
  options.search = &testing::PlainSearch();
  ASSERT_EQ(AnalyseDistances(points, plain, options), 0);
  EXPECT_EQ(fast, plain);
}

TEST(DistanceAnalysis, StraightFlightAndZeroGapGiveNoLoops) {
  // A straight line with fixes 1 km apart: no two fixes two apart lie within the loop gap,
  // so nothing closes. (Fixes closer than the gap would let a stretch flown along the line
  // count as a flat loop just shorter than the gap.)
  std::vector<TrackPoint> straight;
  for (int i = 0; i < 200; ++i) {
    straight.push_back(PointAtKm(i * 1.0, (i % 3) * 0.01, static_cast<GarminTime>(1000 + 60 * i), 46, 8));
  }
  DistanceAnalysis analysis;
  ASSERT_EQ(AnalyseDistances(straight, analysis), 0);
  EXPECT_EQ(analysis.triangle, TriangleDistance{});
  EXPECT_EQ(analysis.fai, TriangleDistance{});
  EXPECT_EQ(analysis.outAndReturn, OutAndReturnDistance{});
  EXPECT_GT(analysis.two.total, 190000.0);

  const auto loop = Generated(sim::CourseShape::FaiTriangle, 3600, 4, 30);
  AnalysisOptions noGap;
  noGap.loopGap = 0;
  ASSERT_EQ(AnalyseDistances(loop, analysis, noGap), 0);
  EXPECT_EQ(analysis.triangle, TriangleDistance{});
  EXPECT_EQ(analysis.fai, TriangleDistance{});
  EXPECT_EQ(analysis.outAndReturn, OutAndReturnDistance{});
  EXPECT_GT(analysis.five.total, 0.0);
}

TEST(DistanceAnalysis, AcceptsAnyPointArray) {
  std::vector<std::vector<TrackPoint>> tracks;
  for (const int n : {0, 1, 2, 4, 5, 13}) {
    std::vector<TrackPoint> t;
    for (int i = 0; i < n; ++i) t.push_back(PointAtKm(i * 0.7, (i % 3) * 0.4, 100 + i));
    tracks.push_back(t);
  }
  tracks.push_back(std::vector<TrackPoint>(50, PointAtKm(1, 1, 5)));  // one place, one time
  std::vector<TrackPoint> backwards;
  for (int i = 0; i < 40; ++i) backwards.push_back(PointAtKm(i, i % 5, 1000 - i * 7));
  tracks.push_back(backwards);
  std::vector<TrackPoint> poles, dateLine;
  for (int i = 0; i < 30; ++i) {
    TrackPoint p;
    p.time = i;
    p.latitude = (i % 2 ? 1 : -1) * 0x3FFFFFFF - i;  // at the poles
    p.longitude = static_cast<std::int32_t>(static_cast<std::uint32_t>(i) * 0x07000000u);
    poles.push_back(p);
    TrackPoint q = PointAtKm((i % 7) * 3.0 - 9, i * 0.5, i, -40, 179.95);  // across 180 degrees
    dateLine.push_back(q);
  }
  tracks.push_back(poles);
  tracks.push_back(dateLine);
  for (const auto& track : tracks) {
    DistanceAnalysis analysis;
    AnalysisOptions options;
    options.loopGap = 100000;
    ASSERT_EQ(AnalyseDistances(track, analysis, options), 0);
    EXPECT_EQ(analysis.done, 1);
    for (const auto index : analysis.five.points) {
      if (track.size() >= 5) {
        EXPECT_LT(index, track.size());
      }
    }
  }
  // Across the date line the flight stays a few kilometres long.
  DistanceAnalysis analysis;
  ASSERT_EQ(AnalyseDistances(dateLine, analysis), 0);
  EXPECT_LT(analysis.two.total, 30000.0);
}

}  // namespace
}  // namespace logwell
