#pragma once
// A deterministic synthetic flight for tests, demonstrations and benchmarks: take-off, thermals
// (circles while climbing), glides along a course (straight, out-and-return, flat or FAI
// triangle) and a landing, over any duration and fix interval. The same plan always gives the
// same points, on every platform: the random numbers come from a seeded std::mt19937 through
// the generator's own distributions. Optional noise and spikes (position jumps, altitude jumps,
// time running backwards) exercise the filters.
#include <chrono>
#include <cstdint>
#include <vector>

#include "geo/units.h"
#include "model/garmin_time.h"
#include "model/track_point.h"

namespace logwell::sim {

enum class CourseShape { Straight, OutAndReturn, FlatTriangle, FaiTriangle };

struct FlightPlan {
  std::uint32_t seed = 1;
  double launchLatitude = 46.5;   // degrees, north positive
  double launchLongitude = 8.0;   // degrees, east positive
  double launchAltitude = 1500.0; // metres
  double landingAltitude = 600.0; // metres
  CourseShape course = CourseShape::FaiTriangle;
  double courseLengthKm = 60.0;   // the whole course, all legs together
  double courseBearing = 0.0;     // degrees from north, direction of the first leg
  std::chrono::seconds duration{3 * 3600};
  std::chrono::milliseconds fixInterval{1000};
  GarminTime startTime = 1054029600;  // 2023-05-26 10:00:00 UTC
  bool pressureAltitude = true;
  double positionNoiseMetres = 0.0;  // standard deviation of each coordinate
  double altitudeNoiseMetres = 0.0;
  double spikeProbability = 0.0;     // chance per fix of one spike
};

// A turnpoint of the course, in degrees.
struct CoursePoint {
  double latitude = 0.0;
  double longitude = 0.0;
};

// The course's points in flying order: launch first; closed courses end at the launch again.
std::vector<CoursePoint> CourseTurnpoints(const FlightPlan& plan);

// duration / fixInterval + 1 points; the first opens a segment.
std::vector<TrackPoint> GenerateFlight(const FlightPlan& plan);

// Degrees to semicircles (2^31 per 180 degrees), rounded half away from zero; +180 wraps to
// -180, the same meridian. The generator's own single multiplication, so that a plan keeps
// giving the same points.
std::int32_t DegreesToSemicircles(double degrees);
using logwell::SemicirclesToDegrees;

}  // namespace logwell::sim
