#include "geo/distance.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "geo/wgs84.h"

namespace logwell {
namespace {

constexpr int kMaxPasses = 100;
constexpr double kConvergence = 1e-10;
// Below these differences two points count as the same place (about a centimetre).
constexpr double kSameLatitude = 1.5e-9;
constexpr double kSameLongitude = 1e-9;
// A smaller longitude difference is raised to this, so points on one meridian still converge.
constexpr double kMinLongitudeDifference = 1e-10;

struct ReducedLatitude {
  double sine;
  double cosine;
};

ReducedLatitude Reduce(double latitude) {
  const double reduced = std::atan(wgs84::kOneMinusFlattening * std::tan(latitude));
  return {std::sin(reduced), std::cos(reduced)};
}

// The geodesic's state after one pass of the longitude iteration.
struct Pass {
  double lambda = 0.0;
  double sinSigma = 0.0;
  double cosSigma = 0.0;
  double sigma = 0.0;
  double cosSquaredAlpha = 0.0;
  double cos2SigmaM = 0.0;
};

Pass NextPass(const ReducedLatitude& u1, const ReducedLatitude& u2, double L, double lambda) {
  Pass p;
  const double sinLambda = std::sin(lambda);
  const double cosLambda = std::cos(lambda);
  const double a = u2.cosine * sinLambda;
  const double b = u1.cosine * u2.sine - u1.sine * u2.cosine * cosLambda;
  p.sinSigma = std::sqrt(a * a + b * b);
  p.cosSigma = u1.sine * u2.sine + u1.cosine * u2.cosine * cosLambda;
  // atan2 is atan(sinSigma / cosSigma), plus pi where the quotient is negative, and also right
  // where the quotient is 0/negative (antipodes), which the plain quotient would miss.
  p.sigma = std::atan2(p.sinSigma, p.cosSigma);
  // Exactly opposite points leave sinSigma 0, and rounding can push the quotient just past
  // +-1; neither may turn into NaN.
  const double sinAlpha =
      p.sinSigma == 0.0 ? 0.0 : std::clamp(u1.cosine * u2.cosine * sinLambda / p.sinSigma, -1.0, 1.0);
  const double cosAlpha = std::cos(std::asin(sinAlpha));
  p.cosSquaredAlpha = cosAlpha * cosAlpha;
  // Along the equator cos^2(alpha) tends to 0 and so does sinU1*sinU2; the midpoint term is
  // then 0. cos(asin(1)) is not exactly 0 in doubles, so this only guards against a 0/0.
  p.cos2SigmaM = p.cosSquaredAlpha == 0.0
                     ? 0.0
                     : p.cosSigma - 2.0 * u1.sine * u2.sine / p.cosSquaredAlpha;
  constexpr double f = wgs84::kFlattening;
  const double C = f / 16.0 * p.cosSquaredAlpha * (4.0 + f * (4.0 - 3.0 * p.cosSquaredAlpha));
  p.lambda = L + (1.0 - C) * f * sinAlpha *
                     (p.sigma + C * p.sinSigma *
                                    (p.cos2SigmaM + C * p.cosSigma *
                                                        (2.0 * p.cos2SigmaM * p.cos2SigmaM - 1.0)));
  return p;
}

double GeodesicLength(const Pass& p) {
  const double uSquared = p.cosSquaredAlpha * wgs84::kSecondEccentricitySquared;
  const double A =
      1.0 + uSquared / 16384.0 * (4096.0 + uSquared * (-768.0 + uSquared * (320.0 - 175.0 * uSquared)));
  const double B = uSquared / 1024.0 * (256.0 + uSquared * (-128.0 + uSquared * (74.0 - 47.0 * uSquared)));
  const double c2 = p.cos2SigmaM * p.cos2SigmaM;
  const double deltaSigma =
      B * p.sinSigma *
      (p.cos2SigmaM + B / 4.0 * (p.cosSigma * (2.0 * c2 - 1.0) -
                                 B / 6.0 * p.cos2SigmaM * (4.0 * p.sinSigma * p.sinSigma - 3.0) *
                                     (4.0 * c2 - 3.0)));
  return wgs84::kSemiMinorAxis * A * (p.sigma - deltaSigma);
}

}  // namespace

std::optional<double> EllipsoidDistance(GeoPoint from, GeoPoint to) {
  if (std::fabs(from.latitude - to.latitude) < kSameLatitude &&
      std::fabs(from.longitude - to.longitude) < kSameLongitude) {
    return 0.0;
  }
  const ReducedLatitude u1 = Reduce(from.latitude);
  const ReducedLatitude u2 = Reduce(to.latitude);
  double L = to.longitude - from.longitude;
  // Across the antimeridian the difference is taken the short way round; left near 2 pi it
  // would weaken the relative convergence test and cost millimetres.
  if (L > std::numbers::pi) L -= 2.0 * std::numbers::pi;
  if (L < -std::numbers::pi) L += 2.0 * std::numbers::pi;
  if (std::fabs(L) < kMinLongitudeDifference) L = kMinLongitudeDifference;

  double lambda = L;
  for (int pass = 1; pass <= kMaxPasses; ++pass) {
    const Pass p = NextPass(u1, u2, L, lambda);
    const bool settled = pass > 1 && std::fabs((p.lambda - lambda) / p.lambda) < kConvergence;
    lambda = p.lambda;
    if (settled) return GeodesicLength(p);
  }
  return std::nullopt;
}

double SphericalDistance(GeoPoint from, GeoPoint to) {
  const double x = std::cos(from.longitude - to.longitude) * std::cos(to.latitude) * std::cos(from.latitude) +
                   std::sin(to.latitude) * std::sin(from.latitude);
  if (x >= 1.0) return 0.0;
  // Rounding can push the cosine of an antipodal pair just below -1, where acos has no value.
  return std::acos(std::max(x, -1.0)) * wgs84::kSphereRadius;
}

double InitialCourseDegrees(GeoPoint from, GeoPoint to) {
  const double dLon = to.longitude - from.longitude;
  const double y = std::sin(dLon) * std::cos(to.latitude);
  const double x = std::cos(from.latitude) * std::sin(to.latitude) -
                   std::sin(from.latitude) * std::cos(to.latitude) * std::cos(dLon);
  if (x == 0.0 && y == 0.0) return 0.0;
  return RadiansToDegrees(std::atan2(y, x));
}

}  // namespace logwell
