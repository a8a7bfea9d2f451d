#include "track/statistics.h"

#include <algorithm>
#include <limits>

#include "geo/distance.h"
#include "geo/units.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr std::int32_t kAltitudeStartLow = 1000000;    // dm; any real altitude is below
constexpr std::int32_t kAltitudeStartHigh = -1000000;  // dm; any real altitude is above
constexpr double kVarioClamp = 9999.0;

double GroundDistance(const TrackPoint& from, const TrackPoint& to) {
  const GeoPoint a = ToGeoPoint(SemicirclePoint{from.latitude, from.longitude});
  const GeoPoint b = ToGeoPoint(SemicirclePoint{to.latitude, to.longitude});
  return EllipsoidDistance(a, b).value_or(0.0);
}

bool OpensSegment(const TrackPoint& point) { return (point.segmentStart & 1u) != 0; }

// The walk back over `window` seconds from point `index`: the distance covered and the
// altitude (decimetres) where the window starts. `hop(k)` gives the ground distance from
// point k-1 to point k.
struct WindowWalk {
  double distance = 0.0;
  double startAltitude = 0.0;
  bool altitudeLeftOut = false;  // a fix whose altitude is left out took part
};

template <typename Hop>
WindowWalk WalkWindow(const std::vector<TrackPoint>& points, std::size_t index, double window,
                      const Hop& hop) {
  WindowWalk walk;
  walk.startAltitude = points[index].gpsAltitude;
  walk.altitudeLeftOut = AltitudeLeftOut(points[index]);
  double elapsed = 0.0;
  for (std::size_t k = index; k > 0;) {
    const TrackPoint& later = points[k];
    const TrackPoint& earlier = points[k - 1];
    // Steps with equal times, or times running backwards, cover no time and add nothing.
    const double step = later.time > earlier.time ? static_cast<double>(later.time - earlier.time) : 0.0;
    walk.altitudeLeftOut = walk.altitudeLeftOut || AltitudeLeftOut(earlier);
    if (step > 0.0) {
      const double distance = hop(k);
      if (elapsed + step >= window) {
        const double fraction = (window - elapsed) / step;
        walk.distance += distance * fraction;
        walk.startAltitude =
            later.gpsAltitude + (static_cast<double>(earlier.gpsAltitude) - later.gpsAltitude) * fraction;
        return walk;
      }
      walk.distance += distance;
      elapsed += step;
    }
    walk.startAltitude = earlier.gpsAltitude;
    --k;
    if (OpensSegment(points[k])) break;
  }
  return walk;
}

double HopBefore(const std::vector<TrackPoint>& points, std::size_t k) {
  return GroundDistance(points[k - 1], points[k]);
}

SpeedAndClimb SpeedAndClimbOf(const std::vector<TrackPoint>& points, std::size_t index,
                              const WindowWalk& walk) {
  // Metres over 60 s is km/h times 0.06; decimetres over 60 s is m/s times 0.001666667.
  return {walk.distance * 0.06, (points[index].gpsAltitude - walk.startAltitude) * 0.001666667,
          walk.altitudeLeftOut};
}

std::string FormatDate(GarminTime time) {
  const CalendarTime at = GarminTimeToCalendar(time);
  return FormatText("%4d-%02d-%02d", at.year, at.month, at.day);
}

std::string FormatTimeOfDay(GarminTime time) {
  const CalendarTime at = GarminTimeToCalendar(time);
  return FormatText("%02d:%02d:%02d", at.hour, at.minute, at.second);
}

std::string FormatWholeSpeed(double kmh) {
  return FormatText("%d km/h", static_cast<int>(std::clamp(kmh + 0.5, -2e9, 2e9)));
}

}  // namespace

bool AltitudeLeftOut(const TrackPoint& point) {
  return point.MarkedInvalid() || (point.gpsAltitude == 0 && point.pressureAltitude != 0);
}

double WindowedSpeed(const std::vector<TrackPoint>& points, std::size_t index,
                     std::uint32_t windowSeconds) {
  if (index == 0 || index >= points.size() || OpensSegment(points[index]) || windowSeconds == 0) {
    return 0.0;
  }
  const double window = windowSeconds;
  const auto hop = [&points](std::size_t k) { return HopBefore(points, k); };
  return WalkWindow(points, index, window, hop).distance / window * 3.6;
}

SpeedAndClimb WindowedSpeedAndClimb60(const std::vector<TrackPoint>& points, std::size_t index) {
  if (index == 0 || index >= points.size() || OpensSegment(points[index])) return {};
  const auto hop = [&points](std::size_t k) { return HopBefore(points, k); };
  return SpeedAndClimbOf(points, index, WalkWindow(points, index, 60.0, hop));
}

SpeedAndClimb WindowedSpeedAndClimb(const std::vector<TrackPoint>& points, std::size_t index,
                                    std::uint32_t windowSeconds) {
  if (windowSeconds == 60) return WindowedSpeedAndClimb60(points, index);
  if (index == 0 || index >= points.size() || OpensSegment(points[index]) || windowSeconds == 0) return {};
  const double window = windowSeconds;
  const auto hop = [&points](std::size_t k) { return HopBefore(points, k); };
  const WindowWalk walk = WalkWindow(points, index, window, hop);
  return {walk.distance / window * 3.6, (points[index].gpsAltitude - walk.startAltitude) / 10.0 / window,
          walk.altitudeLeftOut};
}

double WindowedClimb(const std::vector<TrackPoint>& points, std::size_t index, std::uint32_t windowSeconds) {
  if (index == 0 || index >= points.size() || OpensSegment(points[index]) || windowSeconds == 0) return 0.0;
  const auto noDistance = [](std::size_t) { return 0.0; };
  const WindowWalk walk = WalkWindow(points, index, static_cast<double>(windowSeconds), noDistance);
  if (windowSeconds == 60) return SpeedAndClimbOf(points, index, walk).climb;
  return (points[index].gpsAltitude - walk.startAltitude) / 10.0 / windowSeconds;
}

std::vector<float> ClimbSeries(const std::vector<TrackPoint>& points, std::uint32_t windowSeconds) {
  std::vector<float> climbs(points.size(), std::numeric_limits<float>::quiet_NaN());
  const auto leftOut = std::ranges::count_if(points, AltitudeLeftOut);
  if (leftOut == 0) {
    for (std::size_t i = 0; i < points.size(); ++i) {
      climbs[i] = static_cast<float>(WindowedClimb(points, i, windowSeconds));
    }
    return climbs;
  }
  // The trusted fixes alone; a segment that a left-out fix opens opens at the next one kept.
  std::vector<TrackPoint> kept;
  std::vector<std::size_t> at;
  kept.reserve(points.size() - static_cast<std::size_t>(leftOut));
  at.reserve(kept.capacity());
  bool opens = false;
  for (std::size_t i = 0; i < points.size(); ++i) {
    opens = opens || OpensSegment(points[i]);
    if (AltitudeLeftOut(points[i])) continue;
    kept.push_back(points[i]);
    if (opens) kept.back().segmentStart |= 1u;
    opens = false;
    at.push_back(i);
  }
  for (std::size_t k = 0; k < kept.size(); ++k) {
    climbs[at[k]] = static_cast<float>(WindowedClimb(kept, k, windowSeconds));
  }
  return climbs;
}

std::vector<FlightInterval> FlightIntervals(const std::vector<TrackPoint>& points, std::uint32_t seconds) {
  std::vector<FlightInterval> intervals;
  if (seconds == 0) return intervals;
  const double shortest = seconds / 2.0;
  std::size_t start = 0;
  while (start + 1 < points.size()) {
    const std::uint64_t until = static_cast<std::uint64_t>(points[start].time) + seconds;
    double distance = 0.0;
    std::size_t end = start;
    while (end + 1 < points.size() && !OpensSegment(points[end + 1]) && points[end + 1].time <= until) {
      distance += HopBefore(points, ++end);
    }
    if (end == start) {  // the next fix opens a segment or lies beyond a gap
      ++start;
      continue;
    }
    FlightInterval interval;
    interval.first = start;
    interval.last = end;
    interval.startTime = points[start].time;
    interval.endTime = points[end].time;
    interval.distance = distance;
    interval.straight = GroundDistance(points[start], points[end]);
    interval.startAltitude = points[start].gpsAltitude / 10.0;
    interval.endAltitude = points[end].gpsAltitude / 10.0;
    if (interval.Seconds() >= shortest && !AltitudeLeftOut(points[start]) && !AltitudeLeftOut(points[end])) {
      intervals.push_back(interval);
    }
    start = end;
  }
  return intervals;
}

FlightStatistics ComputeStatistics(const std::vector<TrackPoint>& points) {
  FlightStatistics statistics;
  if (points.empty()) return statistics;
  statistics.startTime = points.front().time;
  statistics.endTime = points.back().time;
  statistics.durationSeconds =
      static_cast<std::int64_t>(statistics.endTime) - static_cast<std::int64_t>(statistics.startTime);

  std::int32_t lowest = kAltitudeStartLow;
  std::int32_t highest = kAltitudeStartHigh;
  for (const auto& point : points) {
    if (AltitudeLeftOut(point)) {
      ++statistics.leftOutFixes;
      continue;
    }
    lowest = std::min(lowest, point.gpsAltitude);
    highest = std::max(highest, point.gpsAltitude);
  }
  // With no trusted altitude at all there are no heights to give.
  if (statistics.leftOutFixes == points.size()) lowest = highest = 0;
  statistics.lowestAltitude = DecimetresToMetres(lowest);
  statistics.highestAltitude = DecimetresToMetres(highest);

  // Every window walks back over the same hops: each ellipsoid distance is computed once.
  std::vector<double> hops(points.size(), 0.0);
  for (std::size_t i = 1; i < points.size(); ++i) hops[i] = HopBefore(points, i);
  const auto hop = [&hops](std::size_t k) { return hops[k]; };
  const auto start = static_cast<std::int64_t>(points.front().time);
  for (std::size_t i = 1; i < points.size(); ++i) {
    statistics.totalDistance += hops[i];
    const std::int64_t sinceStart = static_cast<std::int64_t>(points[i].time) - start;
    const bool opens = OpensSegment(points[i]);
    if (sinceStart > 10 && !opens) {
      statistics.bestSpeed10 =
          std::max(statistics.bestSpeed10, WalkWindow(points, i, 10.0, hop).distance / 10.0 * 3.6);
    }
    if (sinceStart > 60) {
      const SpeedAndClimb window =
          opens ? SpeedAndClimb{} : SpeedAndClimbOf(points, i, WalkWindow(points, i, 60.0, hop));
      statistics.bestSpeed60 = std::max(statistics.bestSpeed60, window.speed);
      if (!window.altitudeLeftOut) {
        statistics.lowestVario60 = std::min(statistics.lowestVario60, window.climb);
        statistics.highestVario60 = std::max(statistics.highestVario60, window.climb);
      }
    }
  }
  // A log whose times do not advance has no average speed rather than a division by zero.
  if (statistics.durationSeconds > 0) {
    statistics.averageSpeed =
        statistics.totalDistance / static_cast<double>(statistics.durationSeconds) * 3.6;
  }
  statistics.lowestVario60 = std::clamp(statistics.lowestVario60, -kVarioClamp, kVarioClamp);
  statistics.highestVario60 = std::clamp(statistics.highestVario60, -kVarioClamp, kVarioClamp);
  return statistics;
}

StatisticsTexts FormatStatistics(const FlightStatistics& statistics) {
  StatisticsTexts texts;
  texts.startDate = FormatDate(statistics.startTime);
  texts.startTime = FormatTimeOfDay(statistics.startTime);
  texts.endDate = FormatDate(statistics.endTime);
  texts.endTime = FormatTimeOfDay(statistics.endTime);
  const std::int64_t duration = std::max<std::int64_t>(statistics.durationSeconds, 0);
  texts.duration = FormatText("%d : %02d : %02d", static_cast<int>(duration / 3600),
                              static_cast<int>(duration / 60 % 60), static_cast<int>(duration % 60));
  texts.lowestAltitude = FormatText("%d m", statistics.lowestAltitude);
  texts.highestAltitude = FormatText("%d m", statistics.highestAltitude);
  texts.distance = FormatText("%.1f km", statistics.totalDistance / 1000.0);
  texts.averageSpeed = FormatWholeSpeed(statistics.averageSpeed);
  texts.bestSpeed10 = FormatWholeSpeed(statistics.bestSpeed10);
  texts.bestSpeed60 = FormatWholeSpeed(statistics.bestSpeed60);
  texts.lowestVario60 = FormatText("%.1f m/s", statistics.lowestVario60);
  texts.highestVario60 = FormatText("%.1f m/s", statistics.highestVario60);
  if (statistics.leftOutFixes > 0) {
    texts.leftOut = FormatText("%zu fixes (marked invalid or GNSS altitude 0)",
                               statistics.leftOutFixes);
  }
  return texts;
}

}  // namespace logwell
