#include "app/test_track.h"

#include <chrono>
#include <cmath>

#include "geo/projection.h"
#include "geo/units.h"

namespace logwell {
namespace {

constexpr double kSmallStep = 0.00892648348196;
constexpr double kLargeStep = 0.0033474313057;
constexpr double kLargeRadius = 2154.10196625;
constexpr double kSmallRadius = 1200.0;

void AddPoint(std::vector<TrackPoint>& points, GarminTime firstTime, double easting,
              double northing) {
  const int index = static_cast<int>(points.size());
  const GeoPoint geo = UtmToGeo({easting, northing, 32, 'V'});
  const SemicirclePoint position = ToSemicirclePoint(geo);
  TrackPoint point;
  point.segmentStart = index == 0 ? 1U : 0U;
  point.time = firstTime + static_cast<GarminTime>(index);
  point.latitude = position.latitude;
  point.longitude = position.longitude;
  // Decimetres; the product is cut to a whole number.
  point.gpsAltitude = static_cast<std::int32_t>(12000.0 + 5000.0 * std::sin(0.003 * index));
  points.push_back(point);
}

}  // namespace

std::vector<TrackPoint> MakeTestTrack(GarminTime firstTime) {
  std::vector<TrackPoint> points;
  points.reserve(kTestTrackPoints);
  for (int k = 0; k <= 299; ++k) {
    const double a = k * kSmallStep;
    AddPoint(points, firstTime, 498500.0 + kSmallRadius * std::sin(a),
             6660000.0 - kSmallRadius * std::cos(a));
  }
  for (int k = 800; k >= 1; --k) {
    const double a = k * kLargeStep;
    AddPoint(points, firstTime, 500000.0 - kLargeRadius * std::sin(a),
             6663000.0 + kLargeRadius * std::cos(a));
  }
  for (int k = 0; k <= 799; ++k) {
    const double a = k * kLargeStep;
    AddPoint(points, firstTime, 500000.0 + kLargeRadius * std::sin(a),
             6663000.0 + kLargeRadius * std::cos(a));
  }
  for (int k = 300; k >= 0; --k) {
    const double a = k * kSmallStep;
    AddPoint(points, firstTime, 501500.0 - kSmallRadius * std::sin(a),
             6660000.0 - kSmallRadius * std::cos(a));
  }
  return points;
}

std::vector<TrackPoint> MakeTestTrackNow() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto unixSeconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
  return MakeTestTrack(UnixToGarminTime(unixSeconds - 7200));
}

}  // namespace logwell
