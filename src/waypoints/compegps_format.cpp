// CompeGPS waypoint files: "G" (datum) and "U" (units) lines, then per waypoint a "W" line with
// the name, the coordinate kind ("A" for degrees, else a UTM zone), the coordinates, date, time,
// altitude and description, usually followed by a "w" line whose first word is the symbol.
#include "waypoints/reader_support.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

constexpr std::string_view kCaption = "Decoding CompeGPS file";
constexpr char kDegreeSign = '\xBA';
constexpr const char* kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                     "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// "46.0294899313\xBAN": decimal degrees, optional degree sign, hemisphere letter.
std::optional<double> ParseCompeDegrees(std::string_view token, char positive, char negative) {
  const auto number = ScanDecimal(token);
  if (!number) return std::nullopt;
  token.remove_prefix(number->length);
  if (!token.empty() && token.front() == kDegreeSign) token.remove_prefix(1);
  if (token.size() != 1) return std::nullopt;
  const char hemisphere = static_cast<char>(token.front() & ~0x20);
  if (hemisphere != positive && hemisphere != negative) return std::nullopt;
  return hemisphere == negative ? -number->value : number->value;
}

std::optional<SemicirclePoint> ParseCompePosition(const std::vector<std::string_view>& tokens) {
  if (tokens[2] == "A") {
    const auto latitude = ParseCompeDegrees(tokens[3], 'N', 'S');
    const auto longitude = ParseCompeDegrees(tokens[4], 'E', 'W');
    if (!latitude || !longitude || !(*latitude >= -90.0 && *latitude <= 90.0) ||
        !(*longitude >= -180.0 && *longitude <= 180.0)) {
      return std::nullopt;
    }
    return SemicirclePoint{DegreesToSemicircles(*latitude), DegreesToSemicircles(*longitude)};
  }
  const auto zone = ScanUtmZone(tokens[2]);
  if (!zone || zone->length != tokens[2].size()) return std::nullopt;
  const auto easting = ParseWholeDecimal(tokens[3], true);
  const auto northing = ParseWholeDecimal(tokens[4], true);
  if (!easting || !northing) return std::nullopt;
  return UtmToSemicircles(*zone, *easting, *northing);
}

bool ParseWaypointLine(const std::vector<std::string_view>& tokens, Waypoint& waypoint) {
  if (tokens.size() < 8) return false;
  waypoint.SetId(PlainReaderId(tokens[1]));
  const auto position = ParseCompePosition(tokens);
  const auto altitude = ParseWholeDecimal(tokens[7]);
  if (!position || !altitude || *altitude < 0.0) return false;
  waypoint.latitude = position->latitude;
  waypoint.longitude = position->longitude;
  waypoint.altitude = RoundHalfAway(*altitude);
  if (tokens.size() >= 9) waypoint.SetDescription(tokens[8]);
  return true;
}

}  // namespace

int ReadCompeGpsWaypoints(std::string_view text, WaypointReadContext& context,
                          std::vector<Waypoint>& waypoints) {
  std::vector<Waypoint> read;
  bool previousWasWaypoint = false;
  for (const TextLine& line : SplitLines(text)) {
    const std::vector<std::string_view> tokens = SplitTokens(line.text, 9);
    const std::string_view kind = tokens.empty() ? std::string_view{} : tokens[0];
    if (kind == "W") {
      Waypoint waypoint;
      waypoint.time = context.now;
      if (!ParseWaypointLine(tokens, waypoint)) return ReportBadLine(context.ui, line.number, kCaption);
      ReserveForOneMore(read, 50);
      read.push_back(waypoint);
      previousWasWaypoint = true;
      continue;
    }
    if (kind == "w" && previousWasWaypoint && tokens.size() >= 2 &&
        (StartsWithIgnoringCase(tokens[1], "airport") || StartsWithIgnoringCase(tokens[1], "airfield"))) {
      read.back().type = 1;
    }
    previousWasWaypoint = false;
  }
  waypoints = std::move(read);
  return static_cast<int>(waypoints.size());
}

std::string WriteCompeGpsWaypoints(std::span<const Waypoint> waypoints, GarminTime now) {
  const CalendarTime date = GarminTimeToCalendar(now);
  std::string text = "G  WGS 84\r\nU  1\r\n";
  for (const Waypoint& waypoint : waypoints) {
    const double latitude = SemicirclesToDegrees(waypoint.latitude);
    const double longitude = SemicirclesToDegrees(waypoint.longitude);
    text += Printf("W  %s A %.7f%c%c %.7f%c%c %d-%s-%d %02d:%02d:%02d %d.000000 %s\r\n",
                   std::string(waypoint.Id()).c_str(), latitude < 0 ? -latitude : latitude,
                   kDegreeSign, latitude < 0 ? 'S' : 'N', longitude < 0 ? -longitude : longitude,
                   kDegreeSign, longitude < 0 ? 'W' : 'E', date.day, kMonths[date.month - 1],
                   date.year, date.hour, date.minute, date.second, waypoint.altitude,
                   std::string(waypoint.Description()).c_str());
    text += Printf("w %s,,,,,,,,,\r\n", waypoint.type == 1 ? "Airport" : "Waypoint");
  }
  return text;
}

}  // namespace logwell
