#pragma once
// Position encodings. Every stored position (track points, waypoints, airspace points) is kept
// as integer semicircles, where 2^31 units are 180 degrees; computations run on radians; files
// and instruments want thousandths of a minute or hundredths of a second of arc.
//
// All conversions are pure, allocate nothing and may run on any thread.
#include <cstdint>
#include <numbers>

namespace logwell {

// A stored position: latitude and longitude in semicircles, north and east positive.
struct SemicirclePoint {
  std::int32_t latitude = 0;
  std::int32_t longitude = 0;
  bool operator==(const SemicirclePoint&) const = default;
};

// A position for computations: latitude and longitude in radians, north and east positive.
struct GeoPoint {
  double latitude = 0.0;
  double longitude = 0.0;
  bool operator==(const GeoPoint&) const = default;
};

// pi / 2^31 and its inverse.
inline constexpr double kRadiansPerSemicircle = 1.4629180792671596e-9;
inline constexpr double kSemicirclesPerRadian = 683565275.5764316;
// Thousandths of a minute of arc per semicircle (10800000 / 2^31, as the formats have always
// used it) and hundredths of a second of arc per semicircle (64800000 / 2^31, exact).
inline constexpr double kMilliMinutesPerSemicircle = 0.005029141902924;
inline constexpr double kCentiSecondsPerSemicircle = 0.030174851417541504;

namespace detail {

// Rounds half away from zero and wraps the result into the signed 32-bit range, so that a
// longitude of +180 degrees becomes -2^31 units, the same meridian. A value that is not a
// number or lies far beyond any angle (beyond 2^62 units) is no position at all and gives 0,
// so that garbage input can never reach an undefined conversion.
constexpr std::int32_t RoundHalfAwayAndWrap(double value) {
  constexpr double kLimit = 4611686018427387904.0;  // 2^62
  if (!(value > -kLimit && value < kLimit)) return 0;
  const double shifted = value >= 0.0 ? value + 0.5 : value - 0.5;
  const auto whole = static_cast<std::int64_t>(shifted);  // truncates toward zero
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(whole));
}

}  // namespace detail

constexpr double SemicirclesToRadians(std::int32_t semicircles) {
  return semicircles * kRadiansPerSemicircle;
}

constexpr std::int32_t RadiansToSemicircles(double radians) {
  return detail::RoundHalfAwayAndWrap(radians * kSemicirclesPerRadian);
}

// Thousandths of a minute of arc (the DDMMmmm fields of IGC B records and waypoint lines).
constexpr std::int32_t SemicirclesToMilliMinutes(std::int32_t semicircles) {
  return detail::RoundHalfAwayAndWrap(semicircles * kMilliMinutesPerSemicircle);
}

// Hundredths of a second of arc (positions printed as degrees, minutes, seconds, hundredths).
constexpr std::int32_t SemicirclesToCentiSeconds(std::int32_t semicircles) {
  return detail::RoundHalfAwayAndWrap(semicircles * kCentiSecondsPerSemicircle);
}

constexpr GeoPoint ToGeoPoint(SemicirclePoint point) {
  return {SemicirclesToRadians(point.latitude), SemicirclesToRadians(point.longitude)};
}

constexpr SemicirclePoint ToSemicirclePoint(GeoPoint point) {
  return {RadiansToSemicircles(point.latitude), RadiansToSemicircles(point.longitude)};
}

constexpr double DegreesToRadians(double degrees) { return degrees * (std::numbers::pi / 180.0); }
constexpr double RadiansToDegrees(double radians) { return radians * (180.0 / std::numbers::pi); }

// Decimal degrees, as the text file formats write them: 2^31 semicircles per 180 degrees.
inline constexpr double kSemicirclesPerDegree = 2147483648.0 / 180.0;
constexpr double SemicirclesToDegrees(std::int32_t semicircles) {
  return static_cast<double>(semicircles) / kSemicirclesPerDegree;
}
// Rounded half away from zero; +180 wraps to the same meridian as -180.
constexpr std::int32_t DegreesToSemicircles(double degrees) {
  return RadiansToSemicircles(DegreesToRadians(degrees));
}

}  // namespace logwell
