#include "devices/digifly/digifly_protocol.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "access/nmea.h"
#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::digifly {
namespace {

constexpr std::int32_t kMaxLatitudeMilli = 90 * 60000;
constexpr std::int32_t kMaxLongitudeMilli = 180 * 60000;
constexpr int kMinAltitude = -1000;
constexpr int kMaxAltitude = 20000;
constexpr std::uint32_t kMaxFlightSeconds = 48 * 3600;

// A whole number, a minus sign allowed, nothing else around it.
std::optional<int> Number(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "hhmmss": seconds of the day.
std::optional<int> TimeOfDay(std::string_view text) {
  if (text.size() != 6 || !IsDigitField(text)) return std::nullopt;
  const int h = DigitFieldValue(text.substr(0, 2)), m = DigitFieldValue(text.substr(2, 2)), s = DigitFieldValue(text.substr(4, 2));
  if (h > 23 || m > 59 || s > 59) return std::nullopt;
  return h * 3600 + m * 60 + s;
}

// "ddmmyy" and "hhmmss" (UTC) as one time; years are 2000 + yy.
std::optional<GarminTime> DateAndTime(std::string_view date, std::string_view time) {
  const auto seconds = TimeOfDay(time);
  if (!seconds || date.size() != 6 || !IsDigitField(date)) return std::nullopt;
  const int day = DigitFieldValue(date.substr(0, 2)), month = DigitFieldValue(date.substr(2, 2));
  if (day < 1 || day > 31 || month < 1 || month > 12) return std::nullopt;
  CalendarTime calendar;
  calendar.year = 2000 + DigitFieldValue(date.substr(4, 2));
  calendar.month = month;
  calendar.day = day;
  calendar.hour = *seconds / 3600;
  calendar.minute = *seconds / 60 % 60;
  calendar.second = *seconds % 60;
  const GarminTime result = CalendarToGarminTime(calendar);
  // A day the month does not have comes back as another date.
  const CalendarTime back = GarminTimeToCalendar(result);
  if (back.day != day || back.month != month) return std::nullopt;
  return result;
}

// Signed thousandths of a minute within the limit: semicircles.
std::optional<std::int32_t> Position(std::string_view text, std::int32_t limit) {
  const auto milli = Number(text);
  if (!milli || *milli < -limit || *milli > limit) return std::nullopt;
  return DegreesToSemicircles(*milli / 60000.0);
}

std::optional<int> Altitude(std::string_view text) {
  const auto metres = Number(text);
  if (!metres || *metres < kMinAltitude || *metres > kMaxAltitude) return std::nullopt;
  return metres;
}

std::string Unsupported(std::span<const std::string_view> fields) {
  std::string text = "Unsupported record ";
  for (std::size_t i = 0; i < fields.size() && text.size() < 60; ++i) {
    if (i > 0) text += ',';
    text += fields[i];
  }
  return std::string(CutBytes(text, 60));
}

bool PrintableField(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

}  // namespace

std::string FlightRequest(int index) { return AppendNmeaChecksum(FormatText("$PDGFRMM,%d", index)); }

std::optional<std::string> ParseProductAnswer(std::span<const std::string_view> fields, ProductData& product) {
  if (fields.size() != 4 || fields[0] != kProductTag) return Unsupported(fields);
  if (fields[1] != kAirModel && fields[1] != kLeonardoModel) return Unsupported(fields);
  for (std::size_t i = 2; i < 4; ++i) {
    if (fields[i].empty() || fields[i].size() > 20 || !PrintableField(fields[i])) return Unsupported(fields);
  }
  product.model = std::string(fields[1]);
  product.serial = std::string(fields[2]);
  product.software = std::string(fields[3]);
  return std::nullopt;
}

std::string ProductText(const ProductData& product) {
  return FormatText("%s, SN%s, SW%s", product.model.c_str(), product.serial.c_str(), product.software.c_str());
}

std::optional<int> ParseCount(std::span<const std::string_view> fields, std::string_view tag) {
  if (fields.size() != 2 || fields[0] != tag || !IsDigitField(fields[1]) || fields[1].size() > 7) return std::nullopt;
  return DigitFieldValue(fields[1]);
}

std::optional<std::string> ParseFlightListEntry(std::span<const std::string_view> fields, int& index,
                                                TrackListEntry& entry) {
  if (fields.size() != 5 || fields[0] != kFlightListTag) return Unsupported(fields);
  if (!IsDigitField(fields[1]) || fields[1].size() > 3 || DigitFieldValue(fields[1]) >= kMaxFlights) {
    return std::string("Bad track index parameter");
  }
  const auto start = DateAndTime(fields[2], fields[3]);
  if (!start) return std::string("Bad track date parameter");
  if (!IsDigitField(fields[4]) || fields[4].size() > 6 || static_cast<std::uint32_t>(DigitFieldValue(fields[4])) > kMaxFlightSeconds) {
    return std::string("Bad track duration parameter");
  }
  index = DigitFieldValue(fields[1]);
  entry.startTime = *start;
  entry.durationSeconds = static_cast<std::uint32_t>(DigitFieldValue(fields[4]));
  return std::nullopt;
}

std::optional<std::string> ParseFix(std::span<const std::string_view> fields, TrackPoint& point) {
  if (fields.size() != 7 || fields[0] != kFlightTag) return Unsupported(fields);
  const auto time = DateAndTime(fields[2], fields[1]);
  const auto latitude = Position(fields[3], kMaxLatitudeMilli);
  const auto longitude = Position(fields[4], kMaxLongitudeMilli);
  const auto gps = Altitude(fields[5]);
  const auto pressure = Altitude(fields[6]);
  if (!time || !latitude || !longitude || !gps || !pressure) return Unsupported(fields);
  point = TrackPoint{};
  point.time = *time;
  point.latitude = *latitude;
  point.longitude = *longitude;
  point.gpsAltitude = *gps * 10;
  point.pressureAltitude = *pressure;
  return std::nullopt;
}

std::optional<std::string> ParseWaypoint(std::span<const std::string_view> fields, int& set, Waypoint& waypoint) {
  if (fields.size() != 6 || fields[0] != kWaypointTag) return Unsupported(fields);
  const auto number = Number(fields[1]);
  const auto latitude = Position(fields[2], kMaxLatitudeMilli);
  const auto longitude = Position(fields[3], kMaxLongitudeMilli);
  const auto altitude = Altitude(fields[4]);
  const std::string_view name = Trim(fields[5], kSpaces);
  if (!number || *number < 0 || *number >= kWaypointSets || !latitude || !longitude || !altitude || name.empty() ||
      fields[5].size() > kNameWidth || !PrintableField(name) || name.find('$') != std::string_view::npos) {
    return Unsupported(fields);
  }
  set = *number;
  waypoint = Waypoint{};
  waypoint.latitude = *latitude;
  waypoint.longitude = *longitude;
  waypoint.altitude = *altitude;
  waypoint.SetId(UpperCase(std::string(Trim(CutBytes(name.substr(0, name.find(' ')), Waypoint::kMaxIdLength), kSpaces))));
  waypoint.SetDescription(name);
  return std::nullopt;
}

std::string UploadName(std::string_view name) {
  std::string kept;
  for (const char c : name) {
    if (kept.size() >= kNameWidth) break;
    const bool plain = static_cast<unsigned char>(c) >= 0x20 && c != 0x7F && c != ',' && c != '*' && c != '$';
    kept += plain ? c : ' ';
  }
  return std::string(Trim(kept, kSpaces));
}

std::optional<std::string> WaypointSentence(const Waypoint& waypoint, int set) {
  std::string name = UploadName(waypoint.Description());
  if (name.empty()) name = UploadName(waypoint.Id());
  if (name.empty()) return std::nullopt;
  const int altitude = std::clamp(static_cast<int>(waypoint.altitude), kMinAltitude, kMaxAltitude);
  return AppendNmeaChecksum(FormatText("$PDGFWMM,%d,%d,%d,%d,%s", set, SemicirclesToMilliMinutes(waypoint.latitude),
                                       SemicirclesToMilliMinutes(waypoint.longitude), altitude, name.c_str()));
}

}  // namespace logwell::digifly
