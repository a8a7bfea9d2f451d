#pragma once
// Small track builders for the optimisation tests.
#include <cmath>
#include <random>
#include <vector>

#include "geo/units.h"
#include "model/track_point.h"

namespace logwell::testing {

// A point at x km east and y km north of (latitude, longitude) degrees, on a local flat patch.
inline TrackPoint PointAtKm(double x, double y, GarminTime time, double latitude = 0.0,
                            double longitude = 0.0) {
  const double lat = latitude + y / 111.32;
  const double lon = longitude + x / (111.32 * std::cos(DegreesToRadians(latitude)));
  TrackPoint p;
  p.time = time;
  p.latitude = RadiansToSemicircles(DegreesToRadians(lat));
  p.longitude = RadiansToSemicircles(DegreesToRadians(lon));
  return p;
}

// Points on a coarse grid (many equal distances), random order, one second apart.
inline std::vector<TrackPoint> GridCloud(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> cell(0, 6);
  std::vector<TrackPoint> points;
  for (std::size_t i = 0; i < count; ++i) {
    points.push_back(PointAtKm(cell(random) * 0.5, cell(random) * 0.5, static_cast<GarminTime>(1000 + i), 45.0, 7.0));
  }
  return points;
}

}  // namespace logwell::testing
