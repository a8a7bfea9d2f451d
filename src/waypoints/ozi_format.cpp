// OziExplorer waypoint files: four header lines, then comma-separated records with the name,
// latitude and longitude in decimal degrees, a day number (1899-12-30 is day 0), the symbol,
// display fields, the description and, in field 15, the altitude in feet (-777: none).
#include <cmath>

#include "waypoints/reader_support.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

// Day number of 1989-12-31, the origin of waypoint times.
constexpr double kGarminEpochDay = 32873.0;
constexpr double kMetresPerFoot = 0.3048;
constexpr double kFeetPerMetre = 3.28084;

std::optional<GarminTime> OziDateToTime(std::string_view field, GarminTime now) {
  field = TrimTrailing(field, kSpaces);
  double day = 0.0;
  if (!field.empty()) {
    const auto parsed = ParseWholeDecimal(field);
    if (!parsed) return std::nullopt;
    day = *parsed;
  }
  if (day == 0.0) return now;
  day = std::max(day, kGarminEpochDay);
  const double seconds = (day - kGarminEpochDay) * 86400.0 + 0.5;
  if (!(seconds < 4294967295.0)) return 4294967295u;
  return static_cast<GarminTime>(seconds);
}

std::int32_t OziAltitude(std::string_view field) {
  const auto feet = ScanDecimal(TrimLeading(field, kSpaces));
  if (!feet || feet->value == -777.0) return 0;
  const std::int32_t metres = RoundHalfAway(feet->value * kMetresPerFoot);
  return metres < 0 ? 0 : metres;
}

LineResult ParseOziLine(std::string_view line, IdentifierFixer& fixer, GarminTime now,
                        Waypoint& waypoint) {
  std::vector<std::string_view> fields = SplitFields(line, ',', 64);
  for (auto& field : fields) field = TrimLeading(field, kSpaces);
  if (fields.size() < 10) return LineResult::Bad;

  std::string id;
  const auto outcome = fixer.Check(fields[1], line, id);
  if (outcome == IdentifierFixer::Outcome::Skip) return LineResult::Skip;
  if (outcome == IdentifierFixer::Outcome::Bad) return LineResult::Bad;
  waypoint.SetId(id);

  const auto latitude = ParseWholeDecimal(fields[2]);
  const auto longitude = ParseWholeDecimal(fields[3]);
  if (!latitude || !(*latitude > -90.0 && *latitude < 90.0)) return LineResult::Bad;
  if (!longitude || !(*longitude > -180.0 && *longitude < 180.0)) return LineResult::Bad;
  waypoint.latitude = DegreesToSemicircles(*latitude);
  waypoint.longitude = DegreesToSemicircles(*longitude);

  const auto time = OziDateToTime(fields[4], now);
  if (!time || !ParseWholeInteger(fields[5])) return LineResult::Bad;
  waypoint.time = *time;

  if (fields.size() < 11) return LineResult::Waypoint;  // no description, no altitude
  waypoint.SetDescription(SanitiseDescription(fields[10]));
  if (fields.size() >= 15) waypoint.altitude = OziAltitude(fields[14]);
  return LineResult::Waypoint;
}

}  // namespace

int ReadOziWaypoints(std::string_view text, WaypointReadContext& context,
                     std::vector<Waypoint>& waypoints) {
  IdentifierFixer fixer(context);
  return ReadWaypointLines(text, 4, context, waypoints,
                           [&](std::string_view line, Waypoint& waypoint) {
                             return ParseOziLine(line, fixer, context.now, waypoint);
                           });
}

std::string WriteOziWaypoints(std::span<const Waypoint> waypoints) {
  std::string text =
      "OziExplorer Waypoint File Version 1.0\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n";
  int number = 0;
  for (const Waypoint& waypoint : waypoints) {
    text += Printf("%4d,%-14s,%11.6f,%11.6f,%.7f,%d, 1, 3, 0, 65535,%-40s, 0, 0, 0, %d\r\n",
                   ++number, std::string(waypoint.Id()).c_str(),
                   SemicirclesToDegrees(waypoint.latitude), SemicirclesToDegrees(waypoint.longitude),
                   waypoint.time / 86400.0 + kGarminEpochDay, 0,
                   WithoutSeparator(waypoint.Description(), ',').c_str(),
                   RoundHalfAway(waypoint.altitude * kFeetPerMetre));
  }
  return text;
}

}  // namespace logwell
