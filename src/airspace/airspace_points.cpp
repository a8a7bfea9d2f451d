#include "airspace/airspace_points.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "geo/distance.h"
#include "geo/projection.h"
#include "geo/units.h"

namespace logwell {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kFullTurnTolerance = 1e-6;  // degrees

GeoPoint ToRadians(DegreePosition position) {
  return {DegreesToRadians(position.latitude), DegreesToRadians(position.longitude)};
}

// The UTM plane of an arc's or circle's centre. Northings are kept from the equator (negative
// in the south), so that points on both sides of the equator share one plane.
class CentrePlane {
 public:
  explicit CentrePlane(DegreePosition centre) : centre_(centre), utm_(GeoToUtm(ToRadians(centre))) {
    origin_ = ToPlane(centre);
  }

  PlanePoint Origin() const { return origin_; }

  // The plane angle of true north at the centre: grid north turned by the meridian
  // convergence, so that bearings keep their meaning away from the zone's central meridian.
  double NorthAngle() const {
    const PlanePoint north = ToPlane({centre_.latitude + 1e-4, centre_.longitude});
    return std::atan2(north.y - origin_.y, north.x - origin_.x);
  }

  PlanePoint ToPlane(DegreePosition position) const {
    const GeoPoint point = ToRadians(position);
    const UtmPosition utm = GeoToUtm(point, utm_.zone);
    return {utm.easting, point.latitude < 0.0 ? utm.northing - kUtmFalseNorthing : utm.northing};
  }

  SemicirclePoint ToSemicircles(PlanePoint plane) const {
    UtmPosition utm = utm_;
    utm.easting = plane.x;
    utm.northing = utm.band < 'N' ? plane.y + kUtmFalseNorthing : plane.y;
    return ToSemicirclePoint(UtmToGeo(utm));
  }

  // The point at `radius` metres and plane angle `angle` (radians, counter-clockwise from east).
  SemicirclePoint AtPolar(double radius, double angle) const {
    return ToSemicircles({origin_.x + radius * std::cos(angle), origin_.y + radius * std::sin(angle)});
  }

 private:
  DegreePosition centre_;
  UtmPosition utm_;
  PlanePoint origin_;
};

SemicirclePoint ToSemicircles(DegreePosition position) {
  return ToSemicirclePoint(ToRadians(position));
}

// Collects the points of an outline, dropping each that lies too close to the last one kept.
class PointCollector {
 public:
  void Add(SemicirclePoint point) {
    if (!points_.empty()) {
      const auto distance = EllipsoidDistance(ToGeoPoint(points_.back()), ToGeoPoint(point));
      if (!distance || *distance < kMinimumPointSpacing) return;
    }
    points_.push_back(point);
  }
  std::vector<SemicirclePoint> Take() { return std::move(points_); }

 private:
  std::vector<SemicirclePoint> points_;
};

// A bearing (degrees from north, clockwise) as a plane angle (radians counter-clockwise from
// the plane's east), given the plane angle of north.
double BearingToPlaneAngle(double bearing, double northAngle) {
  return northAngle - DegreesToRadians(bearing);
}

double NormalisedTurn(double angle) {
  angle = std::fmod(angle, kTwoPi);
  return angle < 0.0 ? angle + kTwoPi : angle;
}

// An arc in the plane: radius from `startRadius` to `endRadius`, angle from `startAngle` over
// `sweep` radians (positive counter-clockwise, negative clockwise).
struct PlaneArc {
  double startRadius;
  double endRadius;
  double startAngle;
  double sweep;
};

// The inner points of an arc (the ends are added by the caller), at equal angle steps.
void AddArcPoints(const CentrePlane& plane, const PlaneArc& arc, std::uint32_t accuracy,
                  PointCollector& points, bool includeEnds) {
  const double largest = std::max(arc.startRadius, arc.endRadius);
  const double step = largest > 0.0 ? std::sqrt(accuracy / largest * 8.0) : kTwoPi;
  const double steps = std::floor(std::fabs(arc.sweep) / step) + 1.0;
  const auto count = static_cast<std::uint32_t>(std::clamp(steps, 2.0, 100000.0));
  for (std::uint32_t k = 0; k <= count; ++k) {
    if (!includeEnds && (k == 0 || k == count)) continue;
    const double share = static_cast<double>(k) / count;
    const double radius = arc.startRadius + (arc.endRadius - arc.startRadius) * share;
    points.Add(plane.AtPolar(radius, arc.startAngle + arc.sweep * share));
  }
}

void AddArcByPoints(const AirspaceSegment& segment, std::uint32_t accuracy, PointCollector& points) {
  const CentrePlane plane(segment.position);
  const PlanePoint centre = plane.Origin();
  const PlanePoint from = plane.ToPlane(segment.from);
  const PlanePoint to = plane.ToPlane(segment.to);
  const double startAngle = std::atan2(from.y - centre.y, from.x - centre.x);
  const double endAngle = std::atan2(to.y - centre.y, to.x - centre.x);
  double sweep = NormalisedTurn(endAngle - startAngle);  // counter-clockwise
  if (segment.direction == '+') sweep = -(kTwoPi - sweep);  // clockwise: the rest of the turn
  const PlaneArc arc{std::hypot(from.x - centre.x, from.y - centre.y),
                     std::hypot(to.x - centre.x, to.y - centre.y), startAngle, sweep};
  points.Add(ToSemicircles(segment.from));
  AddArcPoints(plane, arc, accuracy, points, false);
  points.Add(ToSemicircles(segment.to));
}

void AddArcByAngles(const AirspaceSegment& segment, std::uint32_t accuracy, PointCollector& points) {
  const CentrePlane plane(segment.position);
  const double north = plane.NorthAngle();
  const double startAngle = BearingToPlaneAngle(segment.startAngle, north);
  const double endAngle = BearingToPlaneAngle(segment.endAngle, north);
  double sweep = -NormalisedTurn(startAngle - endAngle);  // clockwise, as bearings run
  if (segment.direction == '-') sweep = kTwoPi + sweep;   // counter-clockwise: the rest
  const double radius = segment.radius;
  AddArcPoints(plane, PlaneArc{radius, radius, startAngle, sweep}, accuracy, points, true);
}

std::vector<SemicirclePoint> CirclePoints(const AirspaceSegment& circle, std::uint32_t accuracy) {
  const CentrePlane plane(circle.position);
  const std::uint32_t steps = CircleStepCount(circle.radius, accuracy);
  std::vector<SemicirclePoint> points;
  points.reserve(steps + 1);
  for (std::uint32_t k = 0; k <= steps; ++k) {
    points.push_back(plane.AtPolar(circle.radius, k * kTwoPi / steps));
  }
  return points;
}

std::vector<SemicirclePoint> OutlinePoints(const AirspaceRecord& record, std::uint32_t accuracy) {
  PointCollector points;
  for (const AirspaceSegment& segment : record.segments) {
    switch (segment.kind) {
      case SegmentKind::Point: points.Add(ToSemicircles(segment.position)); break;
      case SegmentKind::ArcByPoints: AddArcByPoints(segment, accuracy, points); break;
      case SegmentKind::ArcByAngles: AddArcByAngles(segment, accuracy, points); break;
      case SegmentKind::Circle: {
        // A circle later in an outline: its ring joins the outline like an arc.
        for (const SemicirclePoint& point : CirclePoints(segment, accuracy)) points.Add(point);
        break;
      }
    }
  }
  return points.Take();
}

}  // namespace

std::uint32_t CircleStepCount(std::uint32_t radius, std::uint32_t accuracy) {
  const double steps = std::floor(std::sqrt(static_cast<double>(radius) / std::max(accuracy, 1u)) * 2.22 + 0.5);
  return static_cast<std::uint32_t>(std::max(8.0, std::min(steps, 100000.0)));
}

bool IsCircleRecord(const AirspaceRecord& record) {
  if (record.segments.empty()) return false;
  const AirspaceSegment& first = record.segments.front();
  if (first.kind == SegmentKind::Circle) return true;
  return first.kind == SegmentKind::ArcByAngles && std::fabs(first.startAngle) < kFullTurnTolerance &&
         std::fabs(first.endAngle - 360.0) < kFullTurnTolerance;
}

std::string BaseLetters(std::size_t value, std::size_t count) {
  std::string letters(count, 'A');
  for (std::size_t i = count; i-- > 0;) {
    letters[i] = static_cast<char>('A' + value % 26);
    value /= 26;
  }
  return letters;
}

std::vector<Waypoint> AirspaceToPoints(const AirspaceRecord& record, std::size_t recordIndex,
                                       std::uint32_t accuracy, GarminTime now) {
  accuracy = std::max(accuracy, 1u);
  const bool circle = IsCircleRecord(record);
  std::vector<SemicirclePoint> outline;
  if (circle) {
    AirspaceSegment ring = record.segments.front();
    ring.kind = SegmentKind::Circle;
    outline = CirclePoints(ring, accuracy);
  } else {
    outline = OutlinePoints(record, accuracy);
  }
  const std::string prefix = (circle ? "C" : "P") + BaseLetters(recordIndex, 2);
  std::vector<Waypoint> waypoints;
  waypoints.reserve(outline.size());
  for (std::size_t i = 0; i < outline.size(); ++i) {
    Waypoint waypoint;
    waypoint.latitude = outline[i].latitude;
    waypoint.longitude = outline[i].longitude;
    waypoint.time = now;
    waypoint.SetId(prefix + BaseLetters(i, 3));
    waypoint.SetDescription(record.name);
    waypoints.push_back(waypoint);
  }
  return waypoints;
}

}  // namespace logwell
