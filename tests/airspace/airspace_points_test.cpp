#include "airspace/airspace_points.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geo/distance.h"

namespace logwell {
namespace {

GeoPoint Radians(const Waypoint& point) {
  return ToGeoPoint(SemicirclePoint{point.latitude, point.longitude});
}
GeoPoint Radians(DegreePosition position) {
  return {DegreesToRadians(position.latitude), DegreesToRadians(position.longitude)};
}
double Metres(GeoPoint a, GeoPoint b) { return EllipsoidDistance(a, b).value_or(-1.0); }

AirspaceRecord CircleRecord(std::uint32_t radius, DegreePosition centre = {47.0, 8.0}) {
  AirspaceRecord record;
  record.name = "Circle";
  AirspaceSegment circle;
  circle.kind = SegmentKind::Circle;
  circle.position = centre;
  circle.radius = radius;
  record.segments.push_back(circle);
  return record;
}

TEST(AirspacePoints, CircleStepsAndRing) {
  EXPECT_EQ(CircleStepCount(1000, 10), 22u);  // trunc(10 * 2.22 + 0.5)
  EXPECT_EQ(CircleStepCount(1000, 1000), 8u);
  EXPECT_EQ(CircleStepCount(0, 10), 8u);

  const auto points = AirspaceToPoints(CircleRecord(1000), 27, 10, 1234);
  ASSERT_EQ(points.size(), 23u);
  EXPECT_EQ(Radians(points.front()), Radians(points.back())) << "the last point closes the ring";
  EXPECT_EQ(points[0].Id(), "CBBAAA");
  EXPECT_EQ(points[22].Id(), "CBBAAW");
  EXPECT_EQ(points[0].Description(), "Circle");
  EXPECT_EQ(points[0].time, 1234u);
  EXPECT_EQ(points[0].altitude, 0);
  for (const Waypoint& point : points) {
    EXPECT_NEAR(Metres(Radians(point), Radians(DegreePosition{47.0, 8.0})), 1000.0, 1.0);
  }
  // The first point lies due east of the centre (plane angle 0).
  // (East in the UTM plane, which is turned against true east by under a degree here.)
  EXPECT_NEAR(SemicirclesToRadians(points[0].latitude), DegreesToRadians(47.0), 2e-5);
  EXPECT_GT(points[0].longitude, RadiansToSemicircles(DegreesToRadians(8.0)));

  EXPECT_EQ(AirspaceToPoints(CircleRecord(1000), 0, 1000, 0).size(), 9u);
}

TEST(AirspacePoints, FullArcByAnglesIsACircle) {
  AirspaceRecord record = CircleRecord(5000);
  record.segments[0].kind = SegmentKind::ArcByAngles;
  record.segments[0].startAngle = 0.0;
  record.segments[0].endAngle = 360.0;
  EXPECT_TRUE(IsCircleRecord(record));
  EXPECT_EQ(AirspaceToPoints(record, 0, 10, 0).size(), CircleStepCount(5000, 10) + 1);
  record.segments[0].endAngle = 359.0;
  EXPECT_FALSE(IsCircleRecord(record));
}

AirspaceSegment ArcByPoints(char direction) {
  AirspaceSegment arc;
  arc.kind = SegmentKind::ArcByPoints;
  arc.position = {47.0, 8.0};
  arc.from = {47.0 + 5.0 / 60.0, 8.0};  // due north, about 9.3 km
  arc.to = {47.0, 8.0 + 5.0 / 60.0};    // due east, about 6.3 km
  arc.direction = direction;
  return arc;
}

TEST(AirspacePoints, ArcByPointsRunsItsWayBetweenExactEnds) {
  AirspaceRecord record;
  record.segments = {ArcByPoints('+')};
  const auto clockwise = AirspaceToPoints(record, 0, 10, 0);
  record.segments = {ArcByPoints('-')};
  const auto counter = AirspaceToPoints(record, 0, 10, 0);
  for (const auto* points : {&clockwise, &counter}) {
    ASSERT_GT(points->size(), 3u);
    EXPECT_EQ(Radians(points->front()), ToGeoPoint(ToSemicirclePoint(Radians(ArcByPoints('+').from))));
    EXPECT_EQ(Radians(points->back()), ToGeoPoint(ToSemicirclePoint(Radians(ArcByPoints('+').to))));
    EXPECT_EQ(points->front().Id(), "PAAAAA");
  }
  // Clockwise from north to east is a quarter turn (all points north-east of the centre);
  // counter-clockwise is three quarters, so it passes west and south of the centre.
  const auto centre = RadiansToSemicircles(DegreesToRadians(8.0));
  for (const Waypoint& point : clockwise) EXPECT_GE(point.longitude, centre - 1);
  EXPECT_GT(counter.size(), clockwise.size() * 2);
  bool west = false;
  for (const Waypoint& point : counter) west = west || point.longitude < centre - 1000;
  EXPECT_TRUE(west);
  // Radii run from about 9.3 km to 6.3 km; the arc lies between them.
  for (const Waypoint& point : clockwise) {
    const double radius = Metres(Radians(point), Radians(DegreePosition{47.0, 8.0}));
    EXPECT_GT(radius, 6300.0);
    EXPECT_LT(radius, 9300.0);
  }
}

TEST(AirspacePoints, ArcByAnglesFollowsBearings) {
  AirspaceRecord record;
  AirspaceSegment arc;
  arc.kind = SegmentKind::ArcByAngles;
  arc.position = {47.0, 8.0};
  arc.radius = 10000;
  arc.startAngle = 0.0;   // north
  arc.endAngle = 90.0;    // east
  arc.direction = '+';    // clockwise: a quarter turn through the north-east
  record.segments = {arc};
  const auto quarter = AirspaceToPoints(record, 0, 10, 0);
  const GeoPoint centre = Radians(arc.position);
  ASSERT_GE(quarter.size(), 3u);
  EXPECT_GT(quarter.front().latitude, RadiansToSemicircles(centre.latitude));
  // Due east 10 km on: a straight line east curves 8 m south of the parallel at 47 degrees.
  EXPECT_NEAR(quarter.back().latitude, RadiansToSemicircles(centre.latitude) - 900, 100);
  for (const Waypoint& point : quarter) {
    EXPECT_NEAR(Metres(Radians(point), centre), 10000.0, 10.0);
    EXPECT_GE(point.longitude, RadiansToSemicircles(centre.longitude) - 100);  // within 1 m
  }
  record.segments[0].direction = '-';
  EXPECT_GT(AirspaceToPoints(record, 0, 10, 0).size(), quarter.size() * 2);
}

TEST(AirspacePoints, PointsCloserThanTenMetresAreDropped) {
  AirspaceRecord record;
  for (const double offset : {0.0, 0.00005, 0.0001, 0.001}) {  // 0, 5.6, 11.1 and 111 m north
    AirspaceSegment point;
    point.position = {47.0 + offset, 8.0};
    record.segments.push_back(point);
  }
  const auto points = AirspaceToPoints(record, 0, 10, 0);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[1].Id(), "PAAAAB");
}

TEST(AirspacePoints, Lettering) {
  EXPECT_EQ(BaseLetters(0, 3), "AAA");
  EXPECT_EQ(BaseLetters(25, 2), "AZ");
  EXPECT_EQ(BaseLetters(26, 2), "BA");
  EXPECT_EQ(BaseLetters(26 * 26, 2), "AA") << "higher places wrap";
}

}  // namespace
}  // namespace logwell
