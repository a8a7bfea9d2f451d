#pragma once
// Flights made up for the tests of what is computed from positions: speeds, climbs and glides
// known in advance.
#include <cmath>
#include <cstdint>
#include <vector>

#include "geo/projection.h"
#include "model/track_point.h"

namespace logwell::testing {

// From 12:00:00, a glide east at 10 m/s sinking 1 m/s for 600 s (2000 m down to 1400 m); then,
// in a segment of its own from 12:13:20, 300 s of circling (radius 50 m at 10 m/s) climbing
// 2 m/s. One fix a second, near 46 N 8 E.
inline std::vector<TrackPoint> GlideThenThermal() {
  std::vector<TrackPoint> points;
  const double meridian = DegreesToRadians(8.0);
  const PlanePoint start = LocalTransverseMercator({DegreesToRadians(46.0), meridian}, meridian);
  const auto add = [&](GarminTime time, double x, double y, double altitude, bool opens) {
    TrackPoint point;
    point.segmentStart = opens ? 1 : 0;
    point.time = time;
    // The plane's scale on its meridian is 0.9996: metres on the ground are a little longer.
    const SemicirclePoint at =
        ToSemicirclePoint(InverseLocalTransverseMercator({start.x + x * 0.9996, start.y + y * 0.9996}, meridian));
    point.latitude = at.latitude;
    point.longitude = at.longitude;
    point.gpsAltitude = static_cast<std::int32_t>(std::lround(altitude * 10.0));
    points.push_back(point);
  };
  for (int t = 0; t <= 600; ++t) add(43200u + static_cast<GarminTime>(t), 10.0 * t, 0.0, 2000.0 - t, t == 0);
  for (int t = 0; t <= 300; ++t) {
    const double a = t * 10.0 / 50.0;
    add(44000u + static_cast<GarminTime>(t), 6000.0 + 50.0 * std::sin(a), 50.0 - 50.0 * std::cos(a), 1400.0 + 2.0 * t,
        t == 0);
  }
  return points;
}

}  // namespace logwell::testing
