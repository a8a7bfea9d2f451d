#include "airspace/openair_writer.h"

#include <cmath>
#include <cstdio>

#include "airspace/airspace_points.h"
#include "geo/units.h"

namespace logwell {
namespace {

constexpr double kNauticalMilesPerMetre = 0.000539903;

// Degrees as "D:MM:SS H": tenths of seconds rounded half away from zero, then to whole seconds.
std::string FormatCoordinate(double degrees, char positive, char negative) {
  const double magnitude = std::fabs(degrees);
  const auto tenths = static_cast<long>(magnitude * 36000.0 + 0.5);
  const long seconds = (tenths + 5) / 10;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld %c", seconds / 3600, seconds / 60 % 60,
                seconds % 60, degrees < 0.0 ? negative : positive);
  return buffer;
}

void Append(std::string& text, const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  text += buffer;
}

void AppendHead(std::string& text, const AirspaceRecord& record) {
  text += "AC " + record.classText + "\r\n";
  text += "AN " + record.name + "\r\n";
  text += "AL " + record.floorText + "\r\n";
  text += "AH " + record.ceilingText + "\r\n";
}

void AppendCommentedHead(std::string& text, const AirspaceRecord& record) {
  text += "*Airspace category\r\nAC " + record.classText + "\r\n";
  text += "*Airspace name\r\nAN " + record.name + "\r\n";
  text += "*Airspace floor (Remark)\r\nAL " + record.floorText + "\r\n";
  text += "*Airspace ceiling\r\nAH " + record.ceilingText + "\r\n";
  text += "*Use records V, DP, DA, DB or DC\r\n";
  text += "*Pos. formats: DD.dd... or DD:MM.mm... or DD:MM:SS\r\n";
}

void AppendSegment(std::string& text, const AirspaceSegment& segment) {
  if (segment.kind == SegmentKind::Point) {
    text += "DP " + FormatOpenAirPosition(segment.position) + "\r\n";
    return;
  }
  text += "V X=" + FormatOpenAirPosition(segment.position) + "\r\n";
  const double radiusInMiles = segment.radius * kNauticalMilesPerMetre;
  switch (segment.kind) {
    case SegmentKind::Circle:
      Append(text, "DC %.4f\r\n", radiusInMiles);
      break;
    case SegmentKind::ArcByPoints:
      text += std::string("V D=") + segment.direction + "\r\n";
      text += "DB " + FormatOpenAirPosition(segment.from) + ",  " +
              FormatOpenAirPosition(segment.to) + "\r\n";
      break;
    case SegmentKind::ArcByAngles: {
      text += std::string("V D=") + segment.direction + "\r\n";
      char buffer[96];
      std::snprintf(buffer, sizeof buffer, "DA %.4f, %.2f, %.2f\r\n", radiusInMiles,
                    segment.startAngle, segment.endAngle);
      text += buffer;
      break;
    }
    case SegmentKind::Point:
      break;
  }
}

void AppendPoints(std::string& text, const AirspaceRecord& record, std::size_t index,
                  std::uint32_t accuracy) {
  for (const Waypoint& point : AirspaceToPoints(record, index, accuracy, 0)) {
    const DegreePosition position{RadiansToDegrees(SemicirclesToRadians(point.latitude)),
                                  RadiansToDegrees(SemicirclesToRadians(point.longitude))};
    text += "DP " + FormatOpenAirPosition(position) + "\r\n";
  }
}

}  // namespace

std::string FormatOpenAirPosition(DegreePosition position) {
  return FormatCoordinate(position.latitude, 'N', 'S') + "  " +
         FormatCoordinate(position.longitude, 'E', 'W');
}

std::string MakeOpenAirText(const AirspaceList& records, OpenAirArcs arcs, std::uint32_t accuracy) {
  std::string text;
  text.reserve(10000);
  bool first = true;
  for (std::size_t index = 0; index < records.size(); ++index) {
    const AirspaceRecord& record = records[index];
    if (record.selected == 0) continue;
    if (!first) text += "\r\n";
    first = false;
    AppendHead(text, record);
    if (arcs == OpenAirArcs::Keep) {
      for (const AirspaceSegment& segment : record.segments) AppendSegment(text, segment);
    } else {
      AppendPoints(text, record, index, accuracy);
    }
  }
  return text;
}

std::string MakeOpenAirEditText(const AirspaceRecord& record) {
  std::string text;
  AppendCommentedHead(text, record);
  for (const AirspaceSegment& segment : record.segments) AppendSegment(text, segment);
  return text;
}

}  // namespace logwell
