#include "geo/distance.h"

#include <gtest/gtest.h>

#include <numbers>

namespace logwell {
namespace {

GeoPoint Degrees(double latitude, double longitude) {
  return {DegreesToRadians(latitude), DegreesToRadians(longitude)};
}

struct DistanceCase {
  const char* what;
  GeoPoint from, to;
  double metres;  // from GeographicLib's exact geodesic
};

TEST(EllipsoidDistance, MatchesTheGeodesicWithinAMillimetre) {
  const DistanceCase cases[] = {
      {"along the equator", Degrees(0, 0), Degrees(0, 1), 111319.490793274},
      {"along a meridian", Degrees(0, 0), Degrees(1, 0), 110574.388557799},
      {"across the antimeridian", Degrees(10, 179.5), Degrees(10, -179.5), 109639.322105462},
      {"a one-second track step", Degrees(46.5, 7.0), Degrees(46.5000001, 7.0000001), 0.013508991},
      {"Sydney to London", Degrees(-33.9, 151.2), Degrees(51.5, -0.1), 16990083.880121898},
  };
  for (const auto& c : cases) {
    const std::optional<double> forth = EllipsoidDistance(c.from, c.to);
    const std::optional<double> back = EllipsoidDistance(c.to, c.from);
    ASSERT_TRUE(forth && back) << c.what;
    EXPECT_NEAR(*forth, c.metres, 1e-3) << c.what;
    EXPECT_NEAR(*back, c.metres, 1e-3) << c.what;
  }
}

TEST(EllipsoidDistance, IdenticalPointsAreZeroAndNearAntipodesFail) {
  EXPECT_EQ(EllipsoidDistance(Degrees(46.5, 7), Degrees(46.5, 7)), 0.0);
  EXPECT_EQ(EllipsoidDistance(Degrees(0, 0), Degrees(0, 0)), 0.0);
  // The iteration cannot settle for points nearly opposite each other.
  EXPECT_FALSE(EllipsoidDistance(Degrees(0, 0), Degrees(0.5, 179.7)).has_value());
  EXPECT_FALSE(EllipsoidDistance(Degrees(0, 0), Degrees(0, 180)).has_value());
}

TEST(SphericalDistance, UsesTheMeanEarthRadius) {
  constexpr double kOneDegree = 6.371e6 * std::numbers::pi / 180.0;
  EXPECT_EQ(SphericalDistance(Degrees(46.5, 7), Degrees(46.5, 7)), 0.0);
  EXPECT_NEAR(SphericalDistance(Degrees(0, 0), Degrees(0, 1)), kOneDegree, 1e-6);
  EXPECT_NEAR(SphericalDistance(Degrees(-30, 20), Degrees(-31, 20)), kOneDegree, 1e-6);
  // Opposite points: rounding puts the cosine just outside [-1, 1], which must not give NaN.
  EXPECT_NEAR(SphericalDistance(Degrees(30, 40), Degrees(-30, -140)), 180 * kOneDegree, 1e-3);
}

}  // namespace
}  // namespace logwell
