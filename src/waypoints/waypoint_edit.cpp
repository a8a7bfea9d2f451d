#include "waypoints/waypoint_edit.h"

#include <cmath>

#include "geo/projection.h"
#include "waypoints/reader_support.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

// Whole digits only (after trimming), as the easting and northing fields want them.
std::optional<double> DigitsValue(std::string_view text) {
  text = Trim(text, kSpaces);
  double value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 1e12) return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<double> ParseTypedCoordinate(std::string_view text, bool latitude) {
  const char positive = latitude ? 'N' : 'E';
  const char negative = latitude ? 'S' : 'W';
  const double limit = latitude ? 90.0 : 180.0;
  std::string_view rest = Trim(text, kSpaces);
  int sign = 1;
  const auto takeHemisphere = [&](char c) {
    const char upper = static_cast<char>(c & ~0x20);
    if (upper == positive) return true;
    if (upper == negative) {
      sign = -1;
      return true;
    }
    return false;
  };
  if (!rest.empty() && takeHemisphere(rest.front())) {
    rest = TrimLeading(rest.substr(1), kSpaces);
  } else if (!rest.empty() && takeHemisphere(rest.back())) {
    rest = TrimTrailing(rest.substr(0, rest.size() - 1), kSpaces);
  }
  // Up to three numbers: degrees, minutes, seconds; only the last may have a fraction.
  double parts[3] = {};
  int count = 0;
  while (!rest.empty()) {
    if (count == 3) return std::nullopt;
    const auto number = ScanDecimal(rest, true);
    if (!number) return std::nullopt;
    parts[count++] = number->value;
    rest.remove_prefix(number->length);
    if (!rest.empty() && rest.front() != ' ') return std::nullopt;
    rest = TrimLeading(rest, kSpaces);
  }
  if (count == 0) return std::nullopt;
  if (count > 1 && (parts[0] < 0 || parts[1] < 0 || parts[1] >= 60 || parts[2] < 0 ||
                    parts[2] >= 60 || parts[0] != std::floor(parts[0]))) {
    return std::nullopt;
  }
  if (count > 1 && sign < 0 && parts[0] < 0) return std::nullopt;
  const double magnitude = std::fabs(parts[0]) + parts[1] / 60.0 + parts[2] / 3600.0;
  const double value = (parts[0] < 0 ? -magnitude : magnitude) * sign;
  if (!(value >= -limit && value <= limit)) return std::nullopt;
  return value;
}

WaypointEditForm FormFromWaypoint(const Waypoint& waypoint, bool utm) {
  WaypointEditForm form;
  form.id = std::string(waypoint.Id());
  form.comment = std::string(waypoint.Description());
  form.height = std::to_string(waypoint.altitude);
  const CalendarTime t = GarminTimeToCalendar(waypoint.time);
  form.timestamp = Printf("%d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                          t.minute, t.second);
  form.type = waypoint.type;
  form.utm = utm;
  if (utm) {
    const UtmPosition position = GeoToUtm(ToGeoPoint({waypoint.latitude, waypoint.longitude}));
    form.zone = Printf("%02d%c", position.zone, position.band);
    form.easting = Printf("%07d", AddHalfTruncate(position.easting));
    form.northing = Printf("%07d", AddHalfTruncate(position.northing));
  } else {
    form.latitude = Printf("%.6f", SemicirclesToDegrees(waypoint.latitude));
    form.longitude = Printf("%.6f", SemicirclesToDegrees(waypoint.longitude));
  }
  return form;
}

std::variant<Waypoint, std::string> WaypointFromForm(const WaypointEditForm& form) {
  Waypoint waypoint;
  if (IsBlank(form.id, kSpaces)) return std::string("Missing ID input");
  const auto id = SanitiseEditId(form.id);
  if (!id) return std::string("Bad ID");
  waypoint.SetId(*id);
  waypoint.SetDescription(SanitiseDescription(form.comment));
  if (IsBlank(form.height, kSpaces)) return std::string("Missing height input");
  const auto height = ParseWholeInteger(form.height);
  if (!height) return std::string("Bad height");
  waypoint.altitude = *height;
  if (IsBlank(form.timestamp, kSpaces)) return std::string("Missing timestamp input");
  const GarminTime time = ParseIsoTime(form.timestamp);
  if (time == kInvalidGarminTime1) return std::string("Bad timestamp input");
  waypoint.time = time;
  waypoint.type = form.type == 1 ? 1 : 0;

  if (form.utm) {
    if (IsBlank(form.zone, kSpaces)) return std::string("Missing zone input");
    const std::string_view zoneText = Trim(form.zone, kSpaces);
    const auto zone = ScanUtmZone(zoneText);
    if (!zone || zone->length != zoneText.size()) return std::string("Bad zone input");
    if (IsBlank(form.easting, kSpaces)) return std::string("Missing easting input");
    const auto easting = DigitsValue(form.easting);
    if (!easting) return std::string("Bad easting character");
    if (*easting > 1000000) return std::string("Easting value out of range");
    if (IsBlank(form.northing, kSpaces)) return std::string("Missing northing input");
    const auto northing = DigitsValue(form.northing);
    if (!northing) return std::string("Bad northing character");
    if (*northing > 20000000) return std::string("Northing value out of range");
    const auto position = UtmToSemicircles(*zone, *easting, *northing);
    if (!position) return std::string("Bad zone input");
    waypoint.latitude = position->latitude;
    waypoint.longitude = position->longitude;
    return waypoint;
  }
  if (IsBlank(form.latitude, kSpaces)) return std::string("Missing latitude input");
  const auto latitude = ParseTypedCoordinate(form.latitude, true);
  if (!latitude) return std::string("Bad latitude input");
  if (IsBlank(form.longitude, kSpaces)) return std::string("Missing longitude input");
  const auto longitude = ParseTypedCoordinate(form.longitude, false);
  if (!longitude) return std::string("Bad longitude input");
  waypoint.latitude = DegreesToSemicircles(*latitude);
  waypoint.longitude = DegreesToSemicircles(*longitude);
  return waypoint;
}

}  // namespace logwell
