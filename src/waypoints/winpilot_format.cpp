// WinPilot .dat turnpoint files: number, latitude "DD:MM.mmmN" or "DD:MM:SSN", longitude,
// altitude with 'M' or 'F', attribute letters ('A' for an airfield), name and comment.
#include "waypoints/reader_support.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

constexpr std::string_view kCaption = "Decoding WinPilot file";
constexpr double kMetresPerFoot = 0.3048;

std::optional<int> LeadingInteger(std::string_view& text) {
  std::size_t i = 0;
  int value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i < 6) {
    value = value * 10 + (text[i] - '0');
    ++i;
  }
  if (i == 0) return std::nullopt;
  text.remove_prefix(i);
  return value;
}

// "46:30.500N" or "46:30:30N", degrees below maxDegrees.
std::optional<double> ParseDatCoordinate(std::string_view field, char positive, char negative,
                                         int maxDegrees) {
  field = Trim(field, kSpaces);
  const auto degrees = LeadingInteger(field);
  if (!degrees || *degrees >= maxDegrees || field.empty() || field.front() != ':') return std::nullopt;
  field.remove_prefix(1);
  const auto minutes = LeadingInteger(field);
  if (!minutes || *minutes >= 60 || field.empty()) return std::nullopt;
  double value = *degrees + *minutes / 60.0;
  if (field.front() == '.') {
    const auto fraction = ScanDecimal(field);
    if (!fraction) return std::nullopt;
    value += fraction->value / 60.0;
    field.remove_prefix(fraction->length);
  } else if (field.front() == ':') {
    field.remove_prefix(1);
    const auto seconds = LeadingInteger(field);
    if (!seconds || *seconds >= 60) return std::nullopt;
    value += *seconds / 3600.0;
  } else {
    return std::nullopt;
  }
  if (field.size() != 1) return std::nullopt;
  const char hemisphere = static_cast<char>(field.front() & ~0x20);
  if (hemisphere != positive && hemisphere != negative) return std::nullopt;
  return hemisphere == negative ? -value : value;
}

// "1200F", "366M", "366": metres or feet, plus 0.5 and truncated.
std::optional<std::int32_t> ParseDatAltitude(std::string_view field) {
  field = Trim(field, kSpaces);
  const auto number = ScanDecimal(field);
  if (!number) return std::nullopt;
  const std::string_view unit = field.substr(number->length);
  double factor = 1.0;
  if (unit == "F" || unit == "f") {
    factor = kMetresPerFoot;
  } else if (!unit.empty() && unit != "M" && unit != "m") {
    return std::nullopt;
  }
  return AddHalfTruncate(number->value * factor);
}

bool ParseDatLine(std::string_view line, Waypoint& waypoint) {
  const std::vector<std::string_view> fields = SplitFields(line, ',', 7);
  if (fields.size() < 6 || fields[0].empty()) return false;
  waypoint.SetId(PlainReaderId(fields[0]));
  const auto latitude = ParseDatCoordinate(fields[1], 'N', 'S', 90);
  const auto longitude = ParseDatCoordinate(fields[2], 'E', 'W', 180);
  const auto altitude = ParseDatAltitude(fields[3]);
  if (!latitude || !longitude || !altitude) return false;
  waypoint.latitude = DegreesToSemicircles(*latitude);
  waypoint.longitude = DegreesToSemicircles(*longitude);
  waypoint.altitude = *altitude;
  const std::string_view attributes = TrimLeading(fields[4], kSpaces);
  waypoint.type = !attributes.empty() && attributes.front() == 'A' ? 1 : 0;
  waypoint.SetDescription(TrimLeading(fields[5], kSpaces));
  return true;
}

}  // namespace

int ReadWinPilotWaypoints(std::string_view text, WaypointReadContext& context,
                          std::vector<Waypoint>& waypoints) {
  std::vector<Waypoint> read;
  for (const TextLine& line : SplitLines(text)) {
    // Real files carry "*" comment lines and end with Ctrl-Z.
    if (line.text.empty() || line.text.front() == '*' || line.text == "\x1A") continue;
    Waypoint waypoint;
    waypoint.time = context.now;
    if (!ParseDatLine(line.text, waypoint)) return ReportBadLine(context.ui, line.number, kCaption);
    ReserveForOneMore(read, 50);
    read.push_back(waypoint);
  }
  waypoints = std::move(read);
  return static_cast<int>(waypoints.size());
}

std::string WriteWinPilotWaypoints(std::span<const Waypoint> waypoints) {
  std::string text;
  int number = 0;
  for (const Waypoint& waypoint : waypoints) {
    const SplitCoordinate lat = SplitMilliMinutes(waypoint.latitude, 'N', 'S');
    const SplitCoordinate lon = SplitMilliMinutes(waypoint.longitude, 'E', 'W');
    const std::string id(waypoint.Id().substr(0, 12));
    const std::string description(waypoint.Description().substr(0, 12));
    text += Printf("%d,%d:%02d.%03d%c,%d:%02d.%03d%c,%d,%c,%s,%s\r\n", ++number,
                   static_cast<int>(lat.units / 60000), static_cast<int>(lat.units / 1000 % 60),
                   static_cast<int>(lat.units % 1000), lat.hemisphere,
                   static_cast<int>(lon.units / 60000), static_cast<int>(lon.units / 1000 % 60),
                   static_cast<int>(lon.units % 1000), lon.hemisphere, waypoint.altitude,
                   waypoint.type == 1 ? 'A' : 'T', id.c_str(), description.c_str());
  }
  return text;
}

}  // namespace logwell
