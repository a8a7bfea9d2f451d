#include "devices/mlr/mlr_protocol.h"

#include <array>
#include <cmath>
#include <cstdlib>

#include "access/nmea.h"
#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"

namespace logwell::mlr {
namespace {

constexpr std::size_t kIdWidth = Waypoint::kMaxIdLength;
constexpr std::size_t kDescriptionWidth = 16;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// NMEA "ddmm.mmmm" (or "dddmm.mmmm") and its hemisphere: semicircles, or nothing.
std::optional<std::int32_t> Coordinate(std::string_view text, std::string_view hemisphere, char positive,
                                       char negative, int degreeDigits) {
  if (hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative)) return std::nullopt;
  const std::size_t point = text.find('.');
  if (point != static_cast<std::size_t>(degreeDigits) + 2 || !IsDigitField(text.substr(0, point))) return std::nullopt;
  const std::string_view decimals = text.substr(point + 1);
  if (decimals.empty() || decimals.size() > 6 || !IsDigitField(decimals)) return std::nullopt;
  const int degrees = DigitFieldValue(text.substr(0, static_cast<std::size_t>(degreeDigits)));
  const double minutes = DigitFieldValue(text.substr(static_cast<std::size_t>(degreeDigits), 2)) +
                         DigitFieldValue(decimals) / std::pow(10.0, static_cast<double>(decimals.size()));
  const int limit = degreeDigits == 2 ? 90 : 180;
  if (minutes >= 60.0 || degrees > limit || (degrees == limit && minutes > 0.0)) return std::nullopt;
  const double value = degrees + minutes / 60.0;
  return DegreesToSemicircles(hemisphere[0] == negative ? -value : value);
}

// "hhmmss" with optional decimals (dropped): seconds of the day, or nothing.
std::optional<int> TimeOfDay(std::string_view text) {
  const std::string_view whole = text.substr(0, text.find('.'));
  if (whole.size() != 6 || !IsDigitField(whole)) return std::nullopt;
  const int h = DigitFieldValue(whole.substr(0, 2)), m = DigitFieldValue(whole.substr(2, 2)), s = DigitFieldValue(whole.substr(4, 2));
  if (h > 23 || m > 59 || s > 59) return std::nullopt;
  return h * 3600 + m * 60 + s;
}

std::string Unsupported(std::span<const std::string_view> fields) {
  std::string text = "Unsupported record ";
  for (std::size_t i = 0; i < fields.size() && text.size() < 60; ++i) {
    if (i > 0) text += ',';
    text += fields[i];
  }
  return std::string(CutBytes(text, 60));
}

bool IdCharacter(char c) { return (c >= 'A' && c <= 'Z') || IsDigit(c) || c == ' ' || c == '-' || c == '_'; }

// Thousandths of a minute of an absolute coordinate, printed as degrees*100+minutes and the
// thousandths.
void SplitMilli(std::int32_t semicircles, long& whole, long& thousandths) {
  const long milli = std::labs(SemicirclesToMilliMinutes(semicircles));
  whole = milli / 60000 * 100 + milli / 1000 % 60;
  thousandths = milli % 1000;
}

}  // namespace

std::string TransferRequest(int what) { return AppendNmeaChecksum(FormatText("$PMLR,59,%d,", what)); }

std::optional<std::string> ParseProductAnswer(std::span<const std::string_view> fields, ProductData& product) {
  if (fields.size() != 5 || fields[0] != "$PMLR" || fields[1] != "24") return Unsupported(fields);
  static constexpr std::array<std::string_view, 4> kMakers = {"MLR", "Digifly", "CPilot", "CoMo"};
  product.maker.clear();
  for (const std::string_view maker : kMakers) {
    if (EqualsIgnoringCase(fields[2], maker)) product.maker = maker;
  }
  const std::string_view model = Trim(fields[3], kSpacesAndTabs);
  if (product.maker.empty() || model.empty() || model.size() > 16 || fields[4].size() > 5 || !IsDigitField(fields[4])) {
    return Unsupported(fields);
  }
  product.model = std::string(model);
  product.software = DigitFieldValue(fields[4]);
  return std::nullopt;
}

std::string ProductText(const ProductData& product) {
  const int major = product.software / 100;
  const int minor = product.software % 100;
  if (product.maker == "Digifly") return FormatText("Digifly %s SW%d.%02d", product.model.c_str(), major, minor);
  if (product.maker == "CPilot") return FormatText("CPilot %s SW%d.%02d", product.model.c_str(), major, minor);
  if (product.maker == "CoMo") return FormatText("CoMo %s SW%d.%02d", product.model.c_str(), major, minor);
  return FormatText("MLR %s SW%d.%02d", product.model.c_str(), major, minor);
}

std::optional<int> ParseTransferCount(std::span<const std::string_view> fields) {
  if (fields.size() != 3 || fields[0] != "$PMLR" || fields[1] != "59") return std::nullopt;
  if (fields[2].size() > 6 || !IsDigitField(fields[2])) return std::nullopt;
  return DigitFieldValue(fields[2]);
}

std::optional<std::string> ParseRmc(std::span<const std::string_view> fields, FixInProgress& fix) {
  // $GPRMC,hhmmss,A,llll.ll,a,yyyyy.yy,a,speed,course,ddmmyy,...
  if (fields.size() < 10 || fields[0] != "$GPRMC") return Unsupported(fields);
  const auto time = TimeOfDay(fields[1]);
  const auto latitude = Coordinate(fields[3], fields[4], 'N', 'S', 2);
  const auto longitude = Coordinate(fields[5], fields[6], 'E', 'W', 3);
  if (!time || fields[2] != "A" || !latitude || !longitude || fields[9].size() != 6 || !IsDigitField(fields[9])) {
    return Unsupported(fields);
  }
  CalendarTime date;
  date.day = DigitFieldValue(fields[9].substr(0, 2));
  date.month = DigitFieldValue(fields[9].substr(2, 2));
  date.year = 2000 + DigitFieldValue(fields[9].substr(4, 2));
  if (date.day < 1 || date.day > 31 || date.month < 1 || date.month > 12) return Unsupported(fields);
  fix.time = CalendarToGarminTime(date) + static_cast<GarminTime>(*time);
  fix.latitude = *latitude;
  fix.longitude = *longitude;
  fix.pending = true;
  return std::nullopt;
}

std::optional<std::string> ParseGga(std::span<const std::string_view> fields, FixInProgress& fix, TrackPoint& point) {
  // $GPGGA,hhmmss,llll.ll,a,yyyyy.yy,a,quality,satellites,hdop,altitude,M,...
  if (fields.size() < 11 || fields[0] != "$GPGGA" || !fix.pending) return Unsupported(fields);
  const auto time = TimeOfDay(fields[1]);
  const std::string_view altitude = fields[9];
  const bool negative = altitude.starts_with('-');
  const std::string_view magnitude = altitude.substr(negative ? 1 : 0);
  const std::size_t point_at = magnitude.find('.');
  const std::string_view metres = magnitude.substr(0, point_at);
  const std::string_view tenths = point_at == std::string_view::npos ? std::string_view() : magnitude.substr(point_at + 1);
  if (!time || static_cast<GarminTime>(*time) != fix.time % 86400 || fields[10] != "M" || !IsDigitField(metres) ||
      metres.size() > 5 || tenths.size() > 1 || (!tenths.empty() && !IsDigitField(tenths))) {
    return Unsupported(fields);
  }
  const int decimetres = DigitFieldValue(metres) * 10 + (tenths.empty() ? 0 : tenths[0] - '0');
  point = TrackPoint{};
  point.time = fix.time;
  point.latitude = fix.latitude;
  point.longitude = fix.longitude;
  point.gpsAltitude = negative ? -decimetres : decimetres;
  fix.pending = false;
  return std::nullopt;
}

std::optional<std::string> ParseWaypoint(std::span<const std::string_view> fields, Waypoint& waypoint) {
  if (fields.size() != 6 || fields[0] != "$GPWPL") return Unsupported(fields);
  const auto latitude = Coordinate(fields[1], fields[2], 'N', 'S', 2);
  const auto longitude = Coordinate(fields[3], fields[4], 'E', 'W', 3);
  const std::string_view name = fields[5];
  if (!latitude || !longitude || name.empty()) return Unsupported(fields);
  waypoint = Waypoint{};
  waypoint.latitude = *latitude;
  waypoint.longitude = *longitude;
  if (name.size() > kIdWidth && name[kIdWidth] == '0') {
    waypoint.SetId(Trim(name.substr(0, kIdWidth), kSpacesAndTabs));
    waypoint.SetDescription(Trim(name.substr(kIdWidth + 1), kSpacesAndTabs));
  } else {
    waypoint.SetId(Trim(CutBytes(name, kIdWidth), kSpacesAndTabs));
    waypoint.SetDescription(Trim(name, kSpacesAndTabs));
  }
  return std::nullopt;
}

int WaypointSentence(const Waypoint& waypoint, std::string& sentence) {
  std::string id = UpperCase(std::string(Trim(waypoint.Id(), kSpacesAndTabs)));
  if (id.empty()) return -306;
  for (const char c : id) {
    if (!IdCharacter(c)) return -305;
  }
  id.resize(kIdWidth, ' ');
  std::string description(CutBytes(waypoint.Description(), kDescriptionWidth));
  for (char& c : description) {
    if (c == ',' || c == '*' || c == '$' || static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  long lat = 0, latMilli = 0, lon = 0, lonMilli = 0;
  SplitMilli(waypoint.latitude, lat, latMilli);
  SplitMilli(waypoint.longitude, lon, lonMilli);
  const std::string body = FormatText("$GPWPL,%04ld.%03ld,%c,%05ld.%03ld,%c,%s0%s", lat, latMilli,
                                      waypoint.latitude < 0 ? 'S' : 'N', lon, lonMilli,
                                      waypoint.longitude < 0 ? 'W' : 'E', id.c_str(), description.c_str());
  sentence = AppendNmeaChecksum(body);
  return 0;
}

}  // namespace logwell::mlr
