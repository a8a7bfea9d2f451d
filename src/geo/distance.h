#pragma once
// Distances on the ground between two positions. Every ground distance in the program comes from
// the ellipsoid distance; the spherical one serves quick estimates only.
//
// Both are pure, allocate nothing and may run on any thread.
#include <optional>

#include "geo/units.h"

namespace logwell {

// Distance in metres on the WGS84 ellipsoid (Vincenty's inverse formula). Gives nothing when
// the iteration does not settle within 100 passes, which happens only for nearly antipodal
// points; callers treat that as a missing distance.
std::optional<double> EllipsoidDistance(GeoPoint from, GeoPoint to);

// Great-circle distance in metres on a sphere of radius 6371 km.
double SphericalDistance(GeoPoint from, GeoPoint to);

// The initial great-circle course from one point to the other, in degrees east of north from
// -180 to 180; 0 between equal points.
double InitialCourseDegrees(GeoPoint from, GeoPoint to);

}  // namespace logwell
