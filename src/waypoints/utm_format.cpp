// The UTM text format: "$FormatUTM", then per waypoint the identifier, zone and band, easting,
// northing, altitude and description ("[A]" at its end marks an airfield). WGS84 only.
#include "geo/projection.h"
#include "waypoints/reader_support.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

// The next space-delimited token of rest, which moves past it.
std::string_view NextToken(std::string_view& rest) {
  rest = TrimLeading(rest, kSpaces);
  const std::size_t end = std::min(rest.find(' '), rest.size());
  const std::string_view token = rest.substr(0, end);
  rest.remove_prefix(end);
  return token;
}

LineResult ParseUtmLine(std::string_view line, IdentifierFixer& fixer, Waypoint& waypoint) {
  std::string_view rest = line;
  std::string id;
  const auto outcome = fixer.Check(NextToken(rest), line, id);
  if (outcome == IdentifierFixer::Outcome::Skip) return LineResult::Skip;
  if (outcome == IdentifierFixer::Outcome::Bad) return LineResult::Bad;
  waypoint.SetId(id);

  rest = TrimLeading(rest, kSpaces);
  const auto zone = ScanUtmZone(rest);
  if (!zone) return LineResult::Bad;
  rest.remove_prefix(zone->length);
  if (!rest.empty() && rest.front() != ' ') return LineResult::Bad;
  const auto easting = ParseWholeDecimal(NextToken(rest), true);
  const auto northing = ParseWholeDecimal(NextToken(rest), true);
  if (!easting || !northing) return LineResult::Bad;
  const auto position = UtmToSemicircles(*zone, *easting, *northing);
  if (!position) return LineResult::Bad;
  const auto altitude = ParseWholeInteger(NextToken(rest));
  if (!altitude) return LineResult::Bad;
  waypoint.latitude = position->latitude;
  waypoint.longitude = position->longitude;
  waypoint.altitude = *altitude < 0 ? 0 : *altitude;
  SetDescriptionAndAirfieldMark(waypoint, TrimLeading(rest, kSpaces));
  return LineResult::Waypoint;
}

}  // namespace

int ReadUtmWaypoints(std::string_view text, WaypointReadContext& context,
                     std::vector<Waypoint>& waypoints) {
  IdentifierFixer fixer(context);
  return ReadWaypointLines(text, 1, context, waypoints,
                           [&](std::string_view line, Waypoint& waypoint) {
                             return ParseUtmLine(line, fixer, waypoint);
                           });
}

std::string WriteUtmWaypoints(std::span<const Waypoint> waypoints) {
  std::string text = "$FormatUTM\r\n";
  for (const Waypoint& waypoint : waypoints) {
    const std::string id(waypoint.Id());
    const UtmPosition utm = GeoToUtm(ToGeoPoint({waypoint.latitude, waypoint.longitude}));
    const int padding = id.size() < 9 ? static_cast<int>(9 - id.size()) : 0;
    text += Printf("%s%*s%02d%c   %07d   %07d  %5d  %s", id.c_str(), padding, "", utm.zone,
                   utm.band, AddHalfTruncate(utm.easting), AddHalfTruncate(utm.northing),
                   waypoint.altitude, std::string(waypoint.Description()).c_str());
    if (waypoint.type == 1) text += " [A]";
    text += "\r\n";
  }
  return text;
}

}  // namespace logwell
