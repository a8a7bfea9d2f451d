// Turning a track about its middle, and the intervals the glide and polar graphs are made of.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geo/distance.h"
#include "geo/projection.h"
#include "track/statistics.h"
#include "track/track_rotation.h"
#include "support/synthetic_flights.h"

namespace logwell {
namespace {

using testing::GlideThenThermal;

double Metres(SemicirclePoint a, SemicirclePoint b) { return EllipsoidDistance(ToGeoPoint(a), ToGeoPoint(b)).value(); }
SemicirclePoint At(const TrackPoint& point) { return {point.latitude, point.longitude}; }

// Fixes at 1 to 20 km from a place, in every direction, each with its own time and height.
std::vector<TrackPoint> StarAround(double latitude, double longitude) {
  std::vector<TrackPoint> points;
  const double meridian = DegreesToRadians(longitude);
  const PlanePoint middle = LocalTransverseMercator({DegreesToRadians(latitude), meridian}, meridian);
  for (int i = 0; i < 36; ++i) {
    const double course = DegreesToRadians(i * 10.0), reach = 1000.0 + i * 540.0;
    const GeoPoint geo = InverseLocalTransverseMercator(
        {middle.x + reach * std::sin(course), middle.y + reach * std::cos(course)}, meridian);
    TrackPoint point;
    point.segmentStart = i == 0 ? 1 : 0;
    point.time = 1000000u + static_cast<GarminTime>(i);
    point.gpsAltitude = 10000 + i;
    const SemicirclePoint at = ToSemicirclePoint(geo);
    point.latitude = at.latitude;
    point.longitude = at.longitude;
    points.push_back(point);
  }
  return points;
}

struct Site {
  const char* name;
  double latitude, longitude;
};
constexpr Site kSites[] = {{"Alps", 46.5, 8.0},
                           {"Sydney", -33.9, 151.2},
                           {"on the 180th meridian", -17.0, 179.99},
                           {"north of the polar circle", 69.6, 19.0}};

TEST(TrackRotation, KeepsDistancesFromTheMiddleAndTurnsClockwise) {
  for (const Site& site : kSites) {
    SCOPED_TRACE(site.name);
    const std::vector<TrackPoint> before = StarAround(site.latitude, site.longitude);
    const SemicirclePoint centre = TrackCentre(before);
    const SemicirclePoint place{DegreesToSemicircles(site.latitude), DegreesToSemicircles(site.longitude)};
    EXPECT_LT(Metres(centre, place), 20000.0);
    for (const double angle : {90.0, -45.0, 180.0, 33.3}) {
      SCOPED_TRACE(angle);
      std::vector<TrackPoint> turned = before;
      RotatePositions(turned, centre, angle);
      for (std::size_t i = 0; i < before.size(); ++i) {
        const double reach = Metres(centre, At(before[i]));
        EXPECT_NEAR(Metres(centre, At(turned[i])), reach, 0.02 + reach * 2e-6) << i;
        const double course = InitialCourseDegrees(ToGeoPoint(centre), ToGeoPoint(At(turned[i])));
        const double expected = InitialCourseDegrees(ToGeoPoint(centre), ToGeoPoint(At(before[i]))) + angle;
        EXPECT_NEAR(std::remainder(course - expected, 360.0), 0.0, 0.5) << i;  // a spherical course
        EXPECT_EQ(turned[i].time, before[i].time);
        EXPECT_EQ(turned[i].gpsAltitude, before[i].gpsAltitude);
        EXPECT_EQ(turned[i].segmentStart, before[i].segmentStart);
      }
      // Turned back, every fix is where it was to a few centimetres.
      RotatePositions(turned, centre, -angle);
      for (std::size_t i = 0; i < before.size(); ++i) EXPECT_LT(Metres(At(turned[i]), At(before[i])), 0.05) << i;
    }
    // Whole turns leave every fix exactly where it is.
    for (const double whole : {0.0, 360.0, -720.0}) {
      std::vector<TrackPoint> turned = before;
      RotatePositions(turned, centre, whole);
      for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(At(turned[i]), At(before[i]));
    }
  }
}

TEST(TrackRotation, MiddleOfATrackOverThe180thMeridian) {
  std::vector<TrackPoint> points(2);
  points[0].latitude = DegreesToSemicircles(-17.0);
  points[0].longitude = DegreesToSemicircles(179.9);
  points[1].latitude = DegreesToSemicircles(-17.2);
  points[1].longitude = DegreesToSemicircles(-179.9);
  const SemicirclePoint centre = TrackCentre(points);
  EXPECT_NEAR(SemicirclesToDegrees(centre.latitude), -17.1, 1e-6);
  EXPECT_NEAR(std::abs(SemicirclesToDegrees(centre.longitude)), 180.0, 1e-6);
}

TEST(FlightIntervals, SpeedClimbAndGlideOfAGlideAndAThermal) {
  const std::vector<FlightInterval> intervals = FlightIntervals(GlideThenThermal(), 60);
  ASSERT_EQ(intervals.size(), 15u);  // ten in the glide, five in the thermal
  for (std::size_t i = 0; i < intervals.size(); ++i) {
    SCOPED_TRACE(i);
    const FlightInterval& interval = intervals[i];
    EXPECT_EQ(interval.Seconds(), 60.0);
    const bool glide = i < 10;
    EXPECT_EQ(interval.first, glide ? i * 60 : 601 + (i - 10) * 60);
    EXPECT_EQ(interval.Straight(), glide);
    EXPECT_NEAR(interval.Speed(), 36.0, glide ? 0.01 : 0.1);
    EXPECT_NEAR(interval.Climb(), glide ? -1.0 : 2.0, 1e-9);
    if (glide) {
      EXPECT_NEAR(interval.Glide().value(), 10.0, 0.005);
    } else {
      EXPECT_FALSE(interval.Glide());
    }
  }
  // A tail under half the interval is left out: 600 s in 250 s steps give two intervals, not three.
  EXPECT_EQ(FlightIntervals(GlideThenThermal(), 250).front().Seconds(), 250.0);
  EXPECT_EQ(FlightIntervals(GlideThenThermal(), 250).size(), 3u);  // 2 of the glide, 1 of the thermal
  EXPECT_TRUE(FlightIntervals(GlideThenThermal(), 0).empty());
}

}  // namespace
}  // namespace logwell
