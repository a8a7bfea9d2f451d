#include "airspace/airspace_webmap_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "airspace/airspace_points.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr int kFillColour = 0x00FF00;
constexpr int kStrokeColour = 0xFF0000;
constexpr int kFirstOpacity = 10;  // hundredths

double ToDegrees(std::int32_t semicircles) {
  return RadiansToDegrees(SemicirclesToRadians(semicircles));
}

// Metres as whole feet, rounded; heights beyond any real airspace are held at the int range.
long ToFeet(double metres) {
  const double feet = std::floor(metres / 0.3048 + 0.5);
  return static_cast<long>(std::clamp(feet, -2147483647.0, 2147483647.0));
}

// Text inside the script's quoted strings and comments: single-byte text as UTF-8, '<' as
// "&lt", apostrophes and quotes left out (they would end the string), a backslash doubled.
std::string ScriptText(std::string_view text) {
  std::string written;
  for (const char c : AsUtf8(text)) {
    if (c == '<') {
      written += "&lt";
    } else if (c == '\\') {
      written += "\\\\";
    } else if (c != '\'' && c != '"') {
      written += c;
    }
  }
  return written;
}

std::string Format(const char* format, auto... values) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

void AppendLegend(std::string& text) {
  for (int code = 0; code < kAirspaceClassCount; ++code) {
    const std::string name(AirspaceClassName(code));
    text += Format("// Airspace %s:   Fillcolor #%06X, strokeColor #%06X, fillOpacity: 0.%02d\r\n",
                   name.c_str(), kFillColour + code, kStrokeColour + code, kFirstOpacity + code);
  }
  text += "\r\n";
}

void AppendPolygon(std::string& text, const AirspaceRecord& record,
                   const std::vector<SemicirclePoint>& points) {
  const int code = std::clamp(record.classCode, 0, kOtherAirspaceClass);
  const std::string name = ScriptText(record.name);
  const std::string classText = ScriptText(record.classText);
  const std::string ceiling = ScriptText(record.ceilingText);
  const std::string floor = ScriptText(record.floorText);
  text += "// " + name + " " + ceiling + " - " + floor + "\r\n";
  text += "// CLASS " + classText + "\r\n";
  text += "var polygon = new google.maps.Polygon({\r\n";
  // The encoded path may hold backslashes, which a script string must double.
  text += "path: google.maps.geometry.encoding.decodePath('" + ScriptText(EncodePolyline(points));
  text += Format(
      "'),\r\nmap: map, strokeColor: \"#%06X\", strokeOpacity: 0.5, strokeWeight: 1, "
      "fillColor: \"#%06X\", fillOpacity: 0.%02d});\r\n",
      kStrokeColour + code, kFillColour + code, kFirstOpacity + code);

  double south = 0.0, west = 0.0, north = 0.0, east = 0.0;
  if (!points.empty()) {
    south = north = ToDegrees(points.front().latitude);
    west = east = ToDegrees(points.front().longitude);
  }
  for (const SemicirclePoint& point : points) {
    south = std::min(south, ToDegrees(point.latitude));
    north = std::max(north, ToDegrees(point.latitude));
    west = std::min(west, ToDegrees(point.longitude));
    east = std::max(east, ToDegrees(point.longitude));
  }
  text += Format(
      "polygon.bounds  = new google.maps.LatLngBounds(new google.maps.LatLng(%.6f, %.6f), "
      "new google.maps.LatLng(%.6f, %.6f));\r\n",
      south, west, north, east);
  text += Format("polygon.altLow  = %ld;\r\npolygon.altHigh = %ld;\r\n", ToFeet(record.floor),
                 ToFeet(record.ceiling));
  text += "attachPolygonInfoBox(polygon, infoBox, '" + name + "<br />Class " + classText +
          "<br />Upper:&nbsp; " + ceiling + "<br />Lower:&nbsp; " + floor + "');\r\n";
  text += "polygon.airspaceClass=\"" + classText + "\";\r\n";
  text += "polygons.push(polygon);\r\n\r\n";
}

void AppendEncodedNumber(std::string& text, long value) {
  unsigned long bits = value < 0 ? ~(static_cast<unsigned long>(value) << 1)
                                 : static_cast<unsigned long>(value) << 1;
  while (bits >= 0x20) {
    text += static_cast<char>((0x20 | (bits & 0x1F)) + 63);
    bits >>= 5;
  }
  text += static_cast<char>(bits + 63);
}

long ToE5(std::int32_t semicircles) {
  return std::lround(ToDegrees(semicircles) * 1e5);
}

}  // namespace

std::string EncodePolyline(const std::vector<SemicirclePoint>& points) {
  std::string encoded;
  long lastLatitude = 0;
  long lastLongitude = 0;
  for (const SemicirclePoint& point : points) {
    const long latitude = ToE5(point.latitude);
    const long longitude = ToE5(point.longitude);
    AppendEncodedNumber(encoded, latitude - lastLatitude);
    AppendEncodedNumber(encoded, longitude - lastLongitude);
    lastLatitude = latitude;
    lastLongitude = longitude;
  }
  return encoded;
}

std::string MakeAirspaceWebMap(const AirspaceList& records, std::uint32_t accuracy) {
  std::string text;
  AppendLegend(text);
  for (std::size_t index = 0; index < records.size(); ++index) {
    const AirspaceRecord& record = records[index];
    if (record.selected == 0) continue;
    std::vector<SemicirclePoint> points;
    for (const Waypoint& point : AirspaceToPoints(record, index, accuracy, 0)) {
      points.push_back({point.latitude, point.longitude});
    }
    AppendPolygon(text, record, points);
  }
  return text;
}

}  // namespace logwell
