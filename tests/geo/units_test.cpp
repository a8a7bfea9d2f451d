#include "geo/units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace logwell {
namespace {

constexpr std::int32_t kHalfTurn = std::numeric_limits<std::int32_t>::min();  // -2^31

TEST(Units, RoundsHalfAwayFromZeroAndWrapsToTheSameMeridian) {
  struct Case {
    double value;
    std::int32_t expected;
  };
  const Case cases[] = {
      {12.5, 13},           {-12.5, -13},         {12.4999, 12},
      {-12.4999, -12},      {0.5, 1},             {-0.5, -1},
      {0.0, 0},             {-0.0, 0},            {2147483647.4, 2147483647},
      {2147483647.5, kHalfTurn},  // just past +180 degrees is -180 degrees
      {-2147483648.4, kHalfTurn}, {4294967296.0, 0},  // a whole turn
      {std::numeric_limits<double>::quiet_NaN(), 0},
      {std::numeric_limits<double>::infinity(), 0},
      {-1e300, 0},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(detail::RoundHalfAwayAndWrap(value), expected) << value;
  }
}

TEST(Units, ConvertsBetweenSemicirclesAndRadians) {
  static_assert(SemicirclesToRadians(1 << 30) == std::numbers::pi / 2);
  static_assert(RadiansToSemicircles(std::numbers::pi / 2) == (1 << 30));
  static_assert(RadiansToSemicircles(-std::numbers::pi) == kHalfTurn);
  // +180 degrees cannot be stored; it becomes -180 degrees, the same meridian.
  static_assert(RadiansToSemicircles(std::numbers::pi) == kHalfTurn);
  EXPECT_DOUBLE_EQ(SemicirclesToRadians(kHalfTurn), -std::numbers::pi);

  // Every stored value survives the way through radians unchanged.
  for (std::int64_t s = kHalfTurn; s <= std::numeric_limits<std::int32_t>::max(); s += 999983) {
    const auto semicircles = static_cast<std::int32_t>(s);
    EXPECT_EQ(RadiansToSemicircles(SemicirclesToRadians(semicircles)), semicircles);
  }
  const SemicirclePoint zurich{RadiansToSemicircles(DegreesToRadians(47.3769)),
                               RadiansToSemicircles(DegreesToRadians(8.5417))};
  EXPECT_EQ(ToSemicirclePoint(ToGeoPoint(zurich)), zurich);
  EXPECT_EQ(zurich.latitude, 565228434);  // 47.3769 / 180 * 2^31, rounded
}

TEST(Units, ConvertsSemicirclesToMinuteAndSecondFractions) {
  static_assert(SemicirclesToMilliMinutes(1 << 30) == 5400000);  // 90 degrees
  static_assert(SemicirclesToMilliMinutes(kHalfTurn) == -10800000);
  static_assert(SemicirclesToCentiSeconds(1 << 30) == 32400000);
  static_assert(SemicirclesToCentiSeconds(kHalfTurn) == -64800000);
  // 47 deg 30.123 min (an IGC field 4730123N) read into semicircles prints back the same, and
  // so does a position of whole hundredths of a second.
  for (const std::int32_t sign : {1, -1}) {
    const std::int32_t milliMinutes = sign * (47 * 60000 + 30123);
    const std::int32_t fromMinutes = RadiansToSemicircles(DegreesToRadians(milliMinutes / 60000.0));
    EXPECT_EQ(SemicirclesToMilliMinutes(fromMinutes), milliMinutes);
    const std::int32_t centiSeconds = sign * (8 * 360000 + 32 * 6000 + 1 * 100 + 99);
    const std::int32_t fromSeconds = RadiansToSemicircles(DegreesToRadians(centiSeconds / 360000.0));
    EXPECT_EQ(SemicirclesToCentiSeconds(fromSeconds), centiSeconds);
  }
}

}  // namespace
}  // namespace logwell
