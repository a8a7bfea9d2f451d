#include "geo/projection.h"

#include <gtest/gtest.h>

namespace logwell {
namespace {

GeoPoint Degrees(double latitude, double longitude) {
  return {DegreesToRadians(latitude), DegreesToRadians(longitude)};
}

TEST(Utm, ChoosesBandAndZoneWithTheNorwayAndSvalbardExceptions) {
  struct Case {
    double latitude, longitude;
    char band;
    std::int32_t zone;
  };
  const Case cases[] = {
      {60, 5, 'V', 32},     {60, 2.9, 'V', 31},   {60, 12, 'V', 33},  {55.9, 5, 'U', 31},
      {75, 10, 'X', 33},    {75, 8.9, 'X', 31},   {75, 21, 'X', 35},  {75, 33, 'X', 37},
      {75, 41.9, 'X', 37},  {75, 42, 'X', 38},    {84, 10, 'Y', 32},  {83.9, 10, 'X', 33},
      {-80, 0, 'C', 31},    {-80.1, 0, 'B', 31},  {-0.001, 0, 'M', 31}, {0, 0, 'N', 31},
      {46.5, 7.5, 'T', 32}, {-33.9, 151.2, 'H', 56}, {0, -180, 'N', 1}, {0, 179.999, 'N', 60},
      {0, 180, 'N', 60},    // +180 degrees is clamped into the last zone
  };
  for (const auto& c : cases) {
    const UtmPosition utm = GeoToUtm(Degrees(c.latitude, c.longitude));
    EXPECT_EQ(utm.band, c.band) << c.latitude << " " << c.longitude;
    EXPECT_EQ(utm.zone, c.zone) << c.latitude << " " << c.longitude;
  }
}

TEST(Utm, KeepsAPresetZoneAndReturnsThePositionBothWays) {
  // A point east of zone 32 projected into zone 32, as airspace and track sets are.
  const GeoPoint point = Degrees(47.1, 12.4);
  const UtmPosition own = GeoToUtm(point);
  const UtmPosition preset = GeoToUtm(point, 32);
  EXPECT_EQ(own.zone, 33);
  EXPECT_EQ(preset.zone, 32);
  EXPECT_GT(preset.easting, 700000.0);

  const GeoPoint presetBack = UtmToGeo(preset);
  EXPECT_NEAR(presetBack.latitude, point.latitude, 1e-10);
  EXPECT_NEAR(presetBack.longitude, point.longitude, 1e-10);

  for (const GeoPoint p : {Degrees(-33.9, 151.2), Degrees(-0.0001, -70.3), Degrees(-79.9, 2.9),
                           Degrees(83.9, 178.1), Degrees(0, 0), Degrees(60, 11.9)}) {
    const UtmPosition utm = GeoToUtm(p);
    const GeoPoint back = UtmToGeo(utm);
    // The series are exact to about a millimetre (1.5e-10 radians) at the zone edges.
    EXPECT_NEAR(back.latitude, p.latitude, 1.5e-10) << utm.zone << utm.band << utm.northing;
    EXPECT_NEAR(back.longitude, p.longitude, 1.5e-10) << utm.zone << utm.band;
  }
}

TEST(Utm, SouthernBandsCarryTheFalseNorthing) {
  const UtmPosition south = GeoToUtm(Degrees(-33.9, 151.2));
  EXPECT_EQ(south.band, 'H');
  EXPECT_NEAR(south.easting, 333568.9410, 1e-3);  // GeographicLib: 56s 333568.9410 6247473.3368
  EXPECT_NEAR(south.northing, 6247473.3368, 1e-3);
  UtmPosition lowerCase = south;
  lowerCase.band = 'h';
  const GeoPoint back = UtmToGeo(lowerCase);
  EXPECT_NEAR(RadiansToDegrees(back.latitude), -33.9, 1e-9);
}

TEST(LocalTransverseMercator, MeasuresFromTheCentralMeridianAndTheEquator) {
  const PlanePoint onMeridian = LocalTransverseMercator(Degrees(0, 7.25), DegreesToRadians(7.25));
  EXPECT_EQ(onMeridian.x, 0.0);
  EXPECT_EQ(onMeridian.y, 0.0);
  // Same point as UTM without the false offsets, for any meridian.
  const GeoPoint point = Degrees(-12.3, 44.6);
  const UtmPosition utm = GeoToUtm(point);
  const PlanePoint plane = LocalTransverseMercator(point, UtmCentralMeridian(utm.zone));
  EXPECT_DOUBLE_EQ(plane.x + 500000.0, utm.easting);
  EXPECT_DOUBLE_EQ(plane.y + 10000000.0, utm.northing);
  EXPECT_LT(plane.x, 0.0);
  // Points west of the meridian mirror those east of it.
  const PlanePoint west = LocalTransverseMercator(Degrees(50, 9), DegreesToRadians(10));
  const PlanePoint east = LocalTransverseMercator(Degrees(50, 11), DegreesToRadians(10));
  EXPECT_DOUBLE_EQ(west.x, -east.x);
  EXPECT_DOUBLE_EQ(west.y, east.y);
}

}  // namespace
}  // namespace logwell
