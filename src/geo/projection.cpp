#include "geo/projection.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "geo/wgs84.h"

namespace logwell {
namespace {

constexpr double kDegree = 0.017453292519943295;  // radians

// Meridian arc length over a, as a series in the latitude.
double MeridianArc(double latitude) {
  return 0.9983242984527952 * latitude - 0.002514607060518705 * std::sin(2.0 * latitude) +
         2.6390465943376217e-6 * std::sin(4.0 * latitude) -
         3.4180460865957886e-9 * std::sin(6.0 * latitude);
}

// The latitude whose meridian arc equals the given northing (the footpoint latitude).
double FootpointLatitude(double northing) {
  const double mu = northing * 1.571116057864735e-7;  // 1 / (a * k0 * 0.9983242984527952)
  return mu + 0.0025188265843906882 * std::sin(2.0 * mu) + 3.700949035620534e-6 * std::sin(4.0 * mu) +
         7.447813767503948e-9 * std::sin(6.0 * mu) + 1.703599323859631e-11 * std::sin(8.0 * mu);
}

// The quantities at one latitude that both series share.
struct LatitudeTerms {
  double sine, cosine;
  double t;    // tan(latitude)
  double T;    // t^2
  double nu;   // radius of curvature in the prime vertical, over a
  double psi;  // nu / rho, the ratio of the two radii of curvature
};

LatitudeTerms TermsAt(double latitude) {
  LatitudeTerms terms{};
  terms.sine = std::sin(latitude);
  terms.cosine = std::cos(latitude);
  terms.t = std::tan(latitude);
  terms.T = terms.t * terms.t;
  const double w = 1.0 - wgs84::kEccentricitySquared * terms.sine * terms.sine;
  terms.nu = 1.0 / std::sqrt(w);
  terms.psi = wgs84::kOnePlusSecondEccentricitySquared * w;
  return terms;
}

}  // namespace

char UtmLatitudeBand(double latitude) {
  static constexpr std::array<char, 20> kBands = {'C', 'D', 'E', 'F', 'G', 'H', 'J', 'K', 'L', 'M',
                                                  'N', 'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X'};
  if (latitude < -80.0 * kDegree) return 'B';
  for (std::size_t i = 0; i + 1 < kBands.size(); ++i) {
    if (latitude < (-72.0 + 8.0 * static_cast<double>(i)) * kDegree) return kBands[i];
  }
  return latitude < 84.0 * kDegree ? 'X' : 'Y';
}

std::int32_t UtmZone(double longitude, char band) {
  const double degrees = longitude / kDegree;
  if (band == 'V' && degrees >= 3.0 && degrees < 12.0) return 32;
  if (band == 'X' && degrees >= 0.0 && degrees < 42.0) {
    if (degrees < 9.0) return 31;
    if (degrees < 21.0) return 33;
    if (degrees < 33.0) return 35;
    return 37;
  }
  const double zone = std::trunc(longitude * 9.54929658551372 + 30.0) + 1.0;
  // Clamping first keeps longitudes beyond +-180 degrees (and NaN) inside the zone range.
  if (!(zone >= 1.0)) return 1;
  return zone > 60.0 ? 60 : static_cast<std::int32_t>(zone);
}

PlanePoint LocalTransverseMercator(GeoPoint point, double centralMeridian) {
  const LatitudeTerms m = TermsAt(point.latitude);
  const double delta = point.longitude - centralMeridian;
  const double Q = delta * delta * m.cosine * m.cosine;
  const double T = m.T, T2 = T * T, T3 = T2 * T;
  const double psi = m.psi, psi2 = psi * psi, psi3 = psi2 * psi, psi4 = psi3 * psi;

  const double x3 = (psi - T) / 6.0;
  const double x5 = (4.0 * psi3 * (1.0 - 6.0 * T) + psi2 * (1.0 + 8.0 * T) - 2.0 * psi * T + T2) / 120.0;
  const double x7 = (61.0 - 479.0 * T + 179.0 * T2 - T3) / 5040.0;
  const double x = wgs84::kScaledSemiMajorAxis * m.nu * delta * m.cosine *
                   (1.0 + Q * (x3 + Q * (x5 + Q * x7)));

  const double y4 = (psi / 6.0 + 1.0 / 24.0) * psi - T / 24.0;
  const double y6 = (8.0 * psi4 * (11.0 - 24.0 * T) - 28.0 * psi3 * (1.0 - 6.0 * T) +
                     psi2 * (1.0 - 32.0 * T) - 2.0 * psi * T + T2) /
                    720.0;
  const double y8 = (1385.0 - 3111.0 * T + 543.0 * T2 - T3) / 40320.0;
  const double y = wgs84::kScaledSemiMajorAxis *
                   (MeridianArc(point.latitude) +
                    delta * delta * m.nu * m.sine * m.cosine * (0.5 + Q * (y4 + Q * (y6 + Q * y8))));
  return {x, y};
}

UtmPosition GeoToUtm(GeoPoint point, std::int32_t zone) {
  UtmPosition utm;
  utm.band = UtmLatitudeBand(point.latitude);
  utm.zone = zone >= 1 && zone <= 60 ? zone : UtmZone(point.longitude, utm.band);
  const PlanePoint plane = LocalTransverseMercator(point, UtmCentralMeridian(utm.zone));
  utm.easting = plane.x + kUtmFalseEasting;
  utm.northing = point.latitude < 0.0 ? plane.y + kUtmFalseNorthing : plane.y;
  return utm;
}

GeoPoint InverseLocalTransverseMercator(PlanePoint plane, double centralMeridian) {
  const double northing = plane.y;
  const double footpoint = FootpointLatitude(northing);
  const LatitudeTerms f = TermsAt(footpoint);
  // D is the easting in units of the footpoint's radius of curvature (times k0).
  const double D = std::sqrt(1.0 - wgs84::kEccentricitySquared * f.sine * f.sine) *
                   plane.x * 1.5684833362218868e-7;
  const double D2 = D * D;
  const double T = f.T, T2 = T * T, T3 = T2 * T;
  const double psi = f.psi, psi2 = psi * psi, psi3 = psi2 * psi, psi4 = psi3 * psi;

  const double lat4 = (-4.0 * psi2 + 9.0 * psi * (1.0 - T) + 12.0 * T) / 24.0;
  const double lat6 = (8.0 * psi4 * (11.0 - 24.0 * T) - 12.0 * psi3 * (21.0 - 71.0 * T) +
                       15.0 * psi2 * (15.0 - 98.0 * T + 15.0 * T2) + 180.0 * psi * T * (5.0 - 3.0 * T) +
                       360.0 * T2) /
                      720.0;
  const double lat8 = (1385.0 + 3633.0 * T + 4095.0 * T2 + 1575.0 * T3) / 40320.0;
  const double latitude =
      footpoint - f.t * psi * D2 * (0.5 - D2 * (lat4 - D2 * (lat6 - D2 * lat8)));

  const double lon3 = (psi + 2.0 * T) / 6.0;
  const double lon5 = (-4.0 * psi3 * (1.0 - 6.0 * T) + psi2 * (9.0 - 68.0 * T) + 72.0 * psi * T +
                       24.0 * T2) /
                      120.0;
  const double lon7 = (61.0 + 662.0 * T + 1320.0 * T2 + 720.0 * T3) / 5040.0;
  const double longitude =
      centralMeridian + D * (1.0 - D2 * (lon3 - D2 * (lon5 - D2 * lon7))) / f.cosine;
  return {latitude, longitude};
}

GeoPoint UtmToGeo(const UtmPosition& position) {
  // Readers accept band letters in either case; 'a'..'m' are southern like 'A'..'M'.
  const char band = position.band >= 'a' && position.band <= 'z'
                        ? static_cast<char>(position.band - 'a' + 'A')
                        : position.band;
  const double northing = band < 'N' ? position.northing - kUtmFalseNorthing : position.northing;
  return InverseLocalTransverseMercator({position.easting - kUtmFalseEasting, northing},
                                        UtmCentralMeridian(position.zone));
}

}  // namespace logwell
