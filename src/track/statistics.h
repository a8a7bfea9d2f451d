#pragma once
// Flight statistics: times, altitudes, distance, average speed, the best speeds over 10 and 60
// seconds and the extreme climb and sink over 60 seconds, with the texts the statistics dialog
// shows them in.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/garmin_time.h"
#include "model/track_point.h"

namespace logwell {

struct FlightStatistics {
  GarminTime startTime = 0;
  GarminTime endTime = 0;
  std::int64_t durationSeconds = 0;  // end - start
  std::int32_t lowestAltitude = 0;   // metres, GPS altitude
  std::int32_t highestAltitude = 0;  // metres
  double totalDistance = 0.0;        // metres
  double averageSpeed = 0.0;         // km/h
  double bestSpeed10 = 0.0;          // km/h
  double bestSpeed60 = 0.0;          // km/h
  double lowestVario60 = 0.0;        // m/s
  double highestVario60 = 0.0;       // m/s
  // Fixes whose altitude is not trusted: marked invalid by the recorder, or with GNSS altitude 0
  // beside a pressure altitude. They count for times, distance and speeds but are left out of
  // the heights and of every climb window they take part in.
  std::size_t leftOutFixes = 0;
};

// Whether the statistics leave the fix's GNSS altitude out (see leftOutFixes).
bool AltitudeLeftOut(const TrackPoint& point);

FlightStatistics ComputeStatistics(const std::vector<TrackPoint>& points);

// Decimetres to whole metres, half a metre rounded away from zero like every conversion to
// whole units: 1234 dm gives 123 m, -14 dm gives -1 m.
constexpr std::int32_t DecimetresToMetres(std::int32_t decimetres) {
  const auto dm = static_cast<std::int64_t>(decimetres);
  return static_cast<std::int32_t>((dm >= 0 ? dm + 5 : dm - 5) / 10);
}

// The speed in km/h over the `windowSeconds` that end at point `index`: the distance flown in
// that window (the step that crosses its start counted by the fraction inside it) over the
// window. 0 at the first point and at a segment start.
double WindowedSpeed(const std::vector<TrackPoint>& points, std::size_t index,
                     std::uint32_t windowSeconds);

struct SpeedAndClimb {
  double speed = 0.0;  // km/h
  double climb = 0.0;  // m/s
  bool altitudeLeftOut = false;  // the climb rests on a fix whose altitude is left out
};
// The 60-second speed and the climb over the same window, whose starting altitude is
// interpolated like its distance.
SpeedAndClimb WindowedSpeedAndClimb60(const std::vector<TrackPoint>& points, std::size_t index);
// The same over a window of `windowSeconds` (the graphs' interval); 60 gives exactly the above.
SpeedAndClimb WindowedSpeedAndClimb(const std::vector<TrackPoint>& points, std::size_t index,
                                    std::uint32_t windowSeconds);
// Only the climb of WindowedSpeedAndClimb, without the distances: cheap enough for every fix of
// a long log.
double WindowedClimb(const std::vector<TrackPoint>& points, std::size_t index, std::uint32_t windowSeconds);

// The climb over `windowSeconds` at every fix, as the graphs draw it: the fixes whose altitude
// is left out (AltitudeLeftOut) are passed over as if the log held only the others, and have no
// climb of their own (NaN). Without such fixes it is WindowedClimb at every fix.
std::vector<float> ClimbSeries(const std::vector<TrackPoint>& points, std::uint32_t windowSeconds);

// One stretch of a flight as the glide and polar graphs show it: the fixes from `first` to
// `last` of one segment, spanning at most the graphs' interval.
struct FlightInterval {
  std::size_t first = 0, last = 0;
  GarminTime startTime = 0, endTime = 0;
  double distance = 0.0;  // metres flown: the ellipsoid distances from fix to fix
  double straight = 0.0;  // metres from the first fix to the last
  double startAltitude = 0.0, endAltitude = 0.0;  // metres, GPS altitude

  double Seconds() const { return static_cast<double>(endTime) - static_cast<double>(startTime); }
  double Speed() const { return distance / Seconds() * 3.6; }                 // km/h
  double Climb() const { return (endAltitude - startAltitude) / Seconds(); }  // m/s
  // Metres flown per metre of height lost; nothing while not sinking.
  std::optional<double> Glide() const {
    if (endAltitude >= startAltitude) return std::nullopt;
    return distance / (startAltitude - endAltitude);
  }
  // Flown straight on: the last fix at least 90 % of the distance flown from the first, so that
  // a turn or a thermal does not count as a glide.
  bool Straight() const { return distance > 0.0 && straight >= 0.9 * distance; }
};

// The flight cut into consecutive intervals of `seconds`: each starts at the fix where the one
// before ended, or at a segment start, and takes the fixes up to `seconds` after its first.
// Intervals shorter than half of `seconds` (a segment's tail, a gap in the log) and those whose
// end fixes have no trusted altitude are left out.
std::vector<FlightInterval> FlightIntervals(const std::vector<TrackPoint>& points, std::uint32_t seconds);

// The texts of the statistics dialog.
struct StatisticsTexts {
  std::string startDate, startTime, endDate, endTime;  // "%4d-%02d-%02d", "%02d:%02d:%02d"
  std::string duration;                                // "%d : %02d : %02d"
  std::string lowestAltitude, highestAltitude;         // "%d m"
  std::string distance;                                // "%.1f km"
  std::string averageSpeed, bestSpeed10, bestSpeed60;  // "%d km/h"
  std::string lowestVario60, highestVario60;           // "%.1f m/s"
  // The fixes left out of heights and climb: "%zu fixes (marked invalid or GNSS altitude 0)",
  // or empty when every fix counted.
  std::string leftOut;
};
StatisticsTexts FormatStatistics(const FlightStatistics& statistics);

}  // namespace logwell
