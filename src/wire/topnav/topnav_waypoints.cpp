#include "wire/topnav/topnav_waypoints.h"

#include <cstdlib>

#include "base/text.h"
#include "track/formats/tnc_log.h"

namespace logwell::topnav {
namespace {

std::string Unsupported(std::string_view line) { return "Unsupported record " + std::string(CutBytes(line, 50)); }

// Printable ASCII without the line's own marks; everything else a blank, padded to `width`.
std::string Padded(std::string_view text, std::size_t width) {
  std::string out;
  for (const char c : text.substr(0, width)) out += (c >= 0x20 && c < 0x7F && c != '*' && c != '@') ? c : ' ';
  out.resize(width, ' ');
  return out;
}

}  // namespace

std::optional<int> ParseWaypointStart(std::string_view line) {
  if (line.size() != kWaypointStartLength || !line.starts_with("@wp") || line.substr(7, 2) != "**") return std::nullopt;
  const auto count = TncField(line, 3, 4, 16);
  const auto code = TncField(line, 9, 2, 16);
  if (!count || !code || static_cast<int>(*code) != TncControlCode(line.substr(0, 9))) return std::nullopt;
  return static_cast<int>(*count);
}

std::string FormatWaypointStart(int count) {
  std::string line = FormatText("@wp%04X**", static_cast<unsigned>(count & 0xFFFF));
  return line + FormatText("%02X\r\n", static_cast<unsigned>(TncControlCode(line)));
}

std::optional<std::string> ParseWaypointLine(std::string_view line, int expectedIndex, Waypoint& waypoint) {
  if (line.size() != kWaypointLineLength) return Unsupported(line);
  const auto index = TncField(line, 0, 4, 16);
  const auto latitude = TncField(line, 4, 6, 16);
  const auto longitude = TncField(line, 10, 6, 16);
  const auto altitude = TncField(line, 16, 4, 16);
  const auto code = TncField(line, 42, 2, 16);
  if (!index || !latitude || !longitude || !altitude || !code) return Unsupported(line);
  if (static_cast<int>(*code) != TncControlCode(line.substr(0, 42))) return "E205 Bad checksum";
  const std::int32_t lat = TncSigned(*latitude, 24);
  const std::int32_t lon = TncSigned(*longitude, 24);
  if (static_cast<int>(*index) != expectedIndex || std::abs(lat) > 90 * 24000 || std::abs(lon) > 180 * 24000) {
    return Unsupported(line);
  }
  const std::string_view texts = line.substr(20, kWaypointIdWidth + kWaypointDescriptionWidth);
  for (const char c : texts) {
    if (c < 0x20 || c >= 0x7F) return Unsupported(line);
  }
  waypoint.latitude = TncUnitsToSemicircles(lat);
  waypoint.longitude = TncUnitsToSemicircles(lon);
  waypoint.altitude = TncSigned(*altitude, 16);
  waypoint.SetId(TrimTrailing(texts.substr(0, kWaypointIdWidth), " "));
  waypoint.SetDescription(TrimTrailing(texts.substr(kWaypointIdWidth), " "));
  return std::nullopt;
}

std::string FormatWaypointLine(const Waypoint& waypoint, int index) {
  std::string line = FormatText("%04X%06X%06X%04X", static_cast<unsigned>(index & 0xFFFF),
                                TncUnsigned(SemicirclesToTncUnits(waypoint.latitude), 24),
                                TncUnsigned(SemicirclesToTncUnits(waypoint.longitude), 24),
                                TncUnsigned(waypoint.altitude, 16));
  line += Padded(waypoint.Id(), kWaypointIdWidth);
  line += Padded(waypoint.Description(), kWaypointDescriptionWidth);
  return line + FormatText("%02X\r\n", static_cast<unsigned>(TncControlCode(line)));
}

}  // namespace logwell::topnav
