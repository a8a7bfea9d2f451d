#pragma once
// Transverse Mercator on WGS84 (Redfearn's series, scale 0.9996 on the central meridian): a
// local version about any meridian, used to lay a track or an airspace flat, and UTM with its
// zones and latitude bands.
//
// All functions are pure, allocate nothing and may run on any thread.
#include <cstdint>

#include "geo/units.h"

namespace logwell {

struct UtmPosition {
  double easting = 0.0;   // metres, including the 500000 m false easting
  double northing = 0.0;  // metres, including the 10000000 m false northing south of the equator
  std::int32_t zone = 0;  // 1..60; 0 asks GeoToUtm to choose the zone
  char band = 'N';        // latitude band 'C'..'X' (and 'B', 'Y' beyond the UTM limits)
  bool operator==(const UtmPosition&) const = default;
};

// A point of the local plane: metres east of the central meridian and north of the equator.
struct PlanePoint {
  double x = 0.0;
  double y = 0.0;
};

inline constexpr double kUtmFalseEasting = 500000.0;
inline constexpr double kUtmFalseNorthing = 10000000.0;

// The latitude band letter: 8-degree bands from 'C' (-80..-72) to 'W' (64..72), 'X' for 72..84,
// 'B' below -80 and 'Y' from 84 up. I and O are not used.
char UtmLatitudeBand(double latitude);

// The zone of a position in a band, with the exceptions for south-west Norway (band V) and
// Svalbard (band X); always 1..60.
std::int32_t UtmZone(double longitude, char band);

// The central meridian of a zone, in radians: (6 * zone - 183) degrees.
constexpr double UtmCentralMeridian(std::int32_t zone) {
  return (2.0 * zone - 61.0) * 0.05235987755982989;
}

// The local transverse Mercator about the given central meridian (radians): x from the central
// meridian and y from the equator, in metres, with no false easting or northing.
PlanePoint LocalTransverseMercator(GeoPoint point, double centralMeridian);

// The inverse of LocalTransverseMercator: the position of a plane point about the same meridian.
GeoPoint InverseLocalTransverseMercator(PlanePoint plane, double centralMeridian);

// The UTM position of a point. With zone 1..60 the point is projected in that zone (to keep a
// set of points in one plane); otherwise the zone follows from the position.
UtmPosition GeoToUtm(GeoPoint point, std::int32_t zone = 0);

// The position of a UTM coordinate. Band letters before 'N' mark the southern hemisphere, whose
// false northing is removed.
GeoPoint UtmToGeo(const UtmPosition& position);

}  // namespace logwell
