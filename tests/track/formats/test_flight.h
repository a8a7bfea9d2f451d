#pragma once
// A small deterministic flight for the format tests: one fix per `step` seconds, climbing and
// gliding, drifting north-east from a take-off in the Alps.
#include <cmath>
#include <vector>

#include "track/formats/format_text.h"
#include "model/track_point.h"

namespace logwell::testing {

inline std::vector<TrackPoint> MakeFlight(int count, GarminTime start = 1076456605u, int step = 1) {
  std::vector<TrackPoint> points;
  for (int i = 0; i < count; ++i) {
    TrackPoint p;
    p.segmentStart = i == 0 ? 1 : 0;
    p.time = start + static_cast<GarminTime>(i * step);
    const double lat = 46.5 + 0.0004 * i + 0.002 * std::sin(i / 15.0);
    const double lon = 7.9 + 0.0003 * i + 0.002 * std::cos(i / 15.0);
    p.latitude = formats::DegreesToSemicircles(lat);
    p.longitude = formats::DegreesToSemicircles(lon);
    p.gpsAltitude = 15000 + static_cast<int>(3000 * std::sin(i / 40.0)) + i;  // decimetres
    p.pressureAltitude = p.gpsAltitude / 10 - 20;
    points.push_back(p);
  }
  return points;
}

// Semicircles of 1e-6 degree (the precision of the text formats) are about 12 units.
inline constexpr int kMicroDegreeSemicircles = 12;

}  // namespace logwell::testing
