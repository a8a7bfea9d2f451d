#include "track/track_rotation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "geo/projection.h"

namespace logwell {

SemicirclePoint TrackCentre(std::span<const TrackPoint> points) {
  if (points.empty()) return {};
  std::int64_t latLow = points.front().latitude, latHigh = latLow;
  // Longitudes as offsets from the first one, wrapped into -2^31..2^31 by the 32-bit difference.
  const std::int32_t lonFirst = points.front().longitude;
  std::int64_t lonLow = 0, lonHigh = 0;
  for (const TrackPoint& point : points) {
    latLow = std::min<std::int64_t>(latLow, point.latitude);
    latHigh = std::max<std::int64_t>(latHigh, point.latitude);
    const auto offset = static_cast<std::int32_t>(static_cast<std::uint32_t>(point.longitude) -
                                                  static_cast<std::uint32_t>(lonFirst));
    lonLow = std::min<std::int64_t>(lonLow, offset);
    lonHigh = std::max<std::int64_t>(lonHigh, offset);
  }
  const std::int64_t lonMiddle = lonFirst + (lonLow + lonHigh) / 2;
  return {static_cast<std::int32_t>((latLow + latHigh) / 2),
          static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(lonMiddle)))};
}

void RotatePositions(std::span<TrackPoint> points, SemicirclePoint centre, double degrees) {
  const double turn = std::fmod(degrees, 360.0);
  if (!std::isfinite(turn) || turn == 0.0) return;
  const GeoPoint middle = ToGeoPoint(centre);
  const double meridian = middle.longitude;
  const PlanePoint pivot = LocalTransverseMercator(middle, meridian);
  // Clockwise on a north-up map: east turns towards south.
  const double angle = DegreesToRadians(turn);
  const double cosine = std::cos(angle), sine = std::sin(angle);
  for (TrackPoint& point : points) {
    GeoPoint geo = ToGeoPoint({point.latitude, point.longitude});
    // The longitude the short way round from the meridian, so that the series stays near it.
    geo.longitude = meridian + std::remainder(geo.longitude - meridian, 2.0 * std::numbers::pi);
    const PlanePoint plane = LocalTransverseMercator(geo, meridian);
    const double dx = plane.x - pivot.x, dy = plane.y - pivot.y;
    const PlanePoint turned{pivot.x + dx * cosine + dy * sine, pivot.y - dx * sine + dy * cosine};
    const SemicirclePoint result = ToSemicirclePoint(InverseLocalTransverseMercator(turned, meridian));
    point.latitude = result.latitude;
    point.longitude = result.longitude;
  }
}

}  // namespace logwell
