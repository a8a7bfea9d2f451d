#include "sim/flight_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace logwell::sim {
namespace {

using namespace std::chrono_literals;

constexpr double kPi = 3.14159265358979323846;

// Flat-earth distance in metres, good enough over a few tens of kilometres.
double Metres(double lat1, double lon1, double lat2, double lon2) {
  const double k = 6371000.0 * kPi / 180.0;
  const double east = (lon2 - lon1) * k * std::cos(lat1 * kPi / 180.0);
  const double north = (lat2 - lat1) * k;
  return std::hypot(east, north);
}

double Metres(const TrackPoint& a, const TrackPoint& b) {
  return Metres(SemicirclesToDegrees(a.latitude), SemicirclesToDegrees(a.longitude),
                SemicirclesToDegrees(b.latitude), SemicirclesToDegrees(b.longitude));
}

TEST(Semicircles, RoundHalfAwayFromZeroAndWrapAtTheDateLine) {
  EXPECT_EQ(DegreesToSemicircles(0.0), 0);
  EXPECT_EQ(DegreesToSemicircles(90.0), 1 << 30);
  EXPECT_EQ(DegreesToSemicircles(-90.0), -(1 << 30));
  EXPECT_EQ(DegreesToSemicircles(180.0), INT32_MIN);
  EXPECT_EQ(DegreesToSemicircles(-180.0), INT32_MIN);
  const double half = 0.5 * 180.0 / 2147483648.0;  // half a semicircle
  EXPECT_EQ(DegreesToSemicircles(half), 1);
  EXPECT_EQ(DegreesToSemicircles(-half), -1);
  EXPECT_NEAR(SemicirclesToDegrees(DegreesToSemicircles(46.123456)), 46.123456, 1e-7);
}

TEST(FlightGenerator, SamePlanGivesSameFlightAndSeedsDiffer) {
  FlightPlan plan;
  plan.duration = 1800s;
  const auto first = GenerateFlight(plan);
  EXPECT_EQ(GenerateFlight(plan), first);
  plan.seed = 2;
  EXPECT_NE(GenerateFlight(plan), first);
}

TEST(FlightGenerator, FixesFollowTheIntervalFromTakeOffToLanding) {
  FlightPlan plan;
  plan.duration = 2h;
  plan.fixInterval = 500ms;
  const auto points = GenerateFlight(plan);
  ASSERT_EQ(points.size(), 2u * 3600 * 2 + 1);
  EXPECT_EQ(points.front().segmentStart, 1u);
  EXPECT_TRUE(std::all_of(points.begin() + 1, points.end(), [](const TrackPoint& p) { return p.segmentStart == 0; }));
  for (std::size_t i = 1; i < points.size(); ++i) {
    const std::int64_t before = std::int64_t{points[i - 1].time} * 1000 + points[i - 1].milliseconds;
    const std::int64_t now = std::int64_t{points[i].time} * 1000 + points[i].milliseconds;
    ASSERT_EQ(now - before, 500) << i;
    ASSERT_LT(Metres(points[i - 1], points[i]), 20.0) << i;  // no jumps without spikes
  }
  EXPECT_EQ(points.front().time, plan.startTime);
  EXPECT_EQ(points.front().gpsAltitude, 15000);        // decimetres at launch
  EXPECT_EQ(points.back().gpsAltitude, 6000);          // on the landing field
  EXPECT_NE(points.back().pressureAltitude, 0);
  const auto highest = std::max_element(points.begin(), points.end(), [](const auto& a, const auto& b) {
    return a.gpsAltitude < b.gpsAltitude;
  });
  EXPECT_GT(highest->gpsAltitude, 15000 + 5000);  // the thermals took it well above launch
  // Pressure altitude follows the GPS altitude within the barometer's offset.
  for (const TrackPoint& p : points) ASSERT_NEAR(p.pressureAltitude, p.gpsAltitude / 10.0 - 25.0, 6.0);
}

TEST(FlightGenerator, CoursesHaveTheirShape) {
  FlightPlan plan;
  plan.courseLengthKm = 90.0;
  plan.course = CourseShape::FaiTriangle;
  auto legs = [&] {
    const auto tp = CourseTurnpoints(plan);
    std::vector<double> lengths;
    for (std::size_t i = 1; i < tp.size(); ++i) {
      lengths.push_back(Metres(tp[i - 1].latitude, tp[i - 1].longitude, tp[i].latitude, tp[i].longitude));
    }
    return lengths;
  };
  auto fai = legs();
  ASSERT_EQ(fai.size(), 3u);
  for (double leg : fai) EXPECT_NEAR(leg, 30000.0, 300.0);
  plan.course = CourseShape::FlatTriangle;
  auto flat = legs();
  ASSERT_EQ(flat.size(), 3u);
  EXPECT_LT(*std::min_element(flat.begin(), flat.end()), 0.28 * 90000.0);
  EXPECT_NEAR(flat[0] + flat[1] + flat[2], 90000.0, 900.0);
  plan.course = CourseShape::OutAndReturn;
  EXPECT_EQ(legs().size(), 2u);
  plan.course = CourseShape::Straight;
  EXPECT_EQ(legs().size(), 1u);
}

TEST(FlightGenerator, OutAndReturnTurnsAtHalfTheCourse) {
  FlightPlan plan;
  plan.course = CourseShape::OutAndReturn;
  plan.courseLengthKm = 30.0;
  plan.duration = 4h;
  plan.fixInterval = 5s;
  const auto points = GenerateFlight(plan);
  double farthest = 0;
  for (const TrackPoint& p : points) farthest = std::max(farthest, Metres(points.front(), p));
  EXPECT_NEAR(farthest, 15000.0, 500.0);
}

TEST(FlightGenerator, NoiseAndSpikesLeaveTheFlightItself) {
  FlightPlan plan;
  plan.duration = 1h;
  const auto clean = GenerateFlight(plan);
  plan.positionNoiseMetres = 3.0;
  plan.altitudeNoiseMetres = 2.0;
  plan.spikeProbability = 0.02;
  const auto noisy = GenerateFlight(plan);
  ASSERT_EQ(noisy.size(), clean.size());
  int jumps = 0, altitudeJumps = 0, backwards = 0, nearby = 0;
  for (std::size_t i = 0; i < noisy.size(); ++i) {
    const double apart = Metres(clean[i], noisy[i]);
    jumps += apart > 4000 ? 1 : 0;
    nearby += apart < 20 ? 1 : 0;
    altitudeJumps += noisy[i].gpsAltitude - clean[i].gpsAltitude > 10000 ? 1 : 0;
    backwards += i > 0 && noisy[i].time < noisy[i - 1].time ? 1 : 0;
  }
  EXPECT_GT(jumps, 5);
  EXPECT_GT(altitudeJumps, 5);
  EXPECT_GT(backwards, 5);
  EXPECT_GT(nearby, static_cast<int>(noisy.size() * 9 / 10));
}

TEST(FlightGenerator, AnyDurationAndInterval) {
  FlightPlan plan;
  plan.duration = 0s;
  EXPECT_EQ(GenerateFlight(plan).size(), 1u);
  plan.duration = 10s;
  plan.fixInterval = 3s;
  EXPECT_EQ(GenerateFlight(plan).size(), 4u);
  plan.duration = 24h;
  plan.fixInterval = 1s;
  plan.pressureAltitude = false;
  const auto day = GenerateFlight(plan);
  EXPECT_EQ(day.size(), 86401u);
  EXPECT_TRUE(std::all_of(day.begin(), day.end(), [](const TrackPoint& p) { return p.pressureAltitude == 0; }));
}

}  // namespace
}  // namespace logwell::sim
