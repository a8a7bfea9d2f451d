#include "track/igc/igc_device_parser.h"

#include <optional>

#include "base/text.h"
#include "geo/units.h"
#include "model/garmin_time.h"
#include "track/track_log.h"

namespace logwell::igc {
namespace {

constexpr std::uint32_t kSecondsPerDay = 86400;
constexpr std::uint32_t kMidnightRollOverSeconds = 3600;

// Radians per degree, per minute and per thousandth of a minute of arc.
constexpr double kRadiansPerDegree = 0.01745329251994;
constexpr double kRadiansPerMinute = 0.0002908882086657;
constexpr double kRadiansPerMilliMinute = 2.908882086657e-7;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlnum(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// A number in a fixed field: leading spaces, a sign where `isSigned`, then digits up to the
// end of the field. Anything else, or a value beyond 32 bits, is not a number.
std::optional<std::int64_t> FieldNumber(std::string_view line, std::size_t pos,
                                        std::size_t length, bool isSigned) {
  std::string_view field = TrimLeading(line.substr(pos, length), kSpaces);
  bool negative = false;
  if (isSigned && !field.empty() && (field.front() == '-' || field.front() == '+')) {
    negative = field.front() == '-';
    field.remove_prefix(1);
  }
  if (field.empty()) return std::nullopt;
  std::int64_t value = 0;
  for (char c : field) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 0xFFFFFFFFll) return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<std::uint32_t> Unsigned(std::string_view line, std::size_t pos, std::size_t length) {
  const auto value = FieldNumber(line, pos, length, false);
  if (!value) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

std::optional<std::int32_t> Signed(std::string_view line, std::size_t pos, std::size_t length) {
  const auto value = FieldNumber(line, pos, length, true);
  if (!value || *value > INT32_MAX || *value < INT32_MIN) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

}  // namespace

int IgcDeviceLineParser::ParseLine(std::string_view line) {
  line = line.substr(0, kMaxLineLength);
  if (line.empty()) return 0;
  switch (line[0]) {
    case 'A': return ARecord(line);
    case 'B': return BRecord(line);
    case 'G': ++gRecordCount_; return 0;
    case 'H': return HRecord(line);
    default: return 0;
  }
}

int IgcDeviceLineParser::ARecord(std::string_view line) {
  if (line.size() < 7) return -kShortARecord;
  for (std::size_t i = 1; i <= 6; ++i) {
    if (!IsAsciiAlnum(line[i])) return -kARecordCharacter;
  }
  manufacturer_ = std::string(line.substr(1, 3));
  serial_ = std::string(line.substr(4, 3));
  return 0;
}

int IgcDeviceLineParser::HRecord(std::string_view line) {
  if (!line.starts_with("HFDTE") || line.size() < 10) return 0;
  std::string_view field = line.substr(5);
  if (field.starts_with("DATE:")) field.remove_prefix(5);
  if (field.size() < 6) return -kHoursRange;
  std::uint32_t day = 0, month = 0, year = 0;
  if (variant_ == IgcDeviceVariant::IqBasic) {
    for (std::size_t i = 0; i < 6; ++i) {
      if (!IsDigit(field[i])) return -kDateYear;
    }
    day = *Unsigned(field, 0, 2);
    month = *Unsigned(field, 2, 2);
    year = *Unsigned(field, 4, 2);
    if (day == 0 || day > 31 || month == 0 || month > 12) return -kDateYear;
  } else {
    const auto y = Unsigned(field, 4, 2);
    if (!y) return -kDateYear;
    const auto m = Unsigned(field, 2, 2);
    if (!m) return -kDateMonth;
    if (*m == 0 || *m > 12) return -kDateMonthRange;
    const auto d = Unsigned(field, 0, 2);
    if (!d) return -kDateDay;
    if (*d == 0 || *d > 31) return -kDateDayRange;
    day = *d;
    month = *m;
    year = *y;
  }
  CalendarTime calendar;
  calendar.year = 2000 + static_cast<int>(year);
  calendar.month = static_cast<int>(month);
  calendar.day = static_cast<int>(day);
  dateBase_ = CalendarToGarminTime(calendar);
  dayOffset_ = 0;
  previousTimeOfDay_ = 0;
  return 0;
}

int IgcDeviceLineParser::BRecord(std::string_view line) {
  if (line.size() < 35) return -kShortBRecord;
  const auto gnss = Signed(line, 30, 5);
  if (!gnss) return -kAltitude;
  const auto pressure = Signed(line, 25, 5);
  if (!pressure) return -kAltitude;
  if (line[23] != 'E' && line[23] != 'W') return -kEastWest;
  const auto lonThousandths = Unsigned(line, 20, 3);
  if (!lonThousandths) return -kLonThousandths;
  const auto lonMinutes = Unsigned(line, 18, 2);
  if (!lonMinutes) return -kLonMinutes;
  const auto lonDegrees = Unsigned(line, 15, 3);
  if (!lonDegrees) return -kLonDegrees;
  if (*lonDegrees >= 180) return -kLonDegreesRange;
  if (line[14] != 'N' && line[14] != 'S') return -kNorthSouth;
  const auto latThousandths = Unsigned(line, 11, 3);
  if (!latThousandths) return -kLatThousandths;
  const auto latMinutes = Unsigned(line, 9, 2);
  if (!latMinutes) return -kLatMinutes;
  const auto latDegrees = Unsigned(line, 7, 2);
  if (!latDegrees) return -kLatDegrees;
  if (*latDegrees >= 90) return -kLatDegreesRange;
  const auto seconds = Unsigned(line, 5, 2);
  if (!seconds) return -kSeconds;
  if (*seconds >= 60) return -kSecondsRange;
  const auto minutes = Unsigned(line, 3, 2);
  if (!minutes) return -kMinutes;
  if (*minutes >= 60) return -kMinutesRange;
  const auto hours = Unsigned(line, 1, 2);
  if (!hours) return -kHours;
  if (*hours >= 24) return -kHoursRange;
  if (dateBase_ == 0) return -kNoDate;

  double latitude = *latDegrees * kRadiansPerDegree + *latMinutes * kRadiansPerMinute +
                    *latThousandths * kRadiansPerMilliMinute;
  double longitude = *lonDegrees * kRadiansPerDegree + *lonMinutes * kRadiansPerMinute +
                     *lonThousandths * kRadiansPerMilliMinute;
  if (line[14] == 'S') latitude = -latitude;
  if (line[23] == 'W') longitude = -longitude;

  const std::uint32_t timeOfDay = *hours * 3600 + *minutes * 60 + *seconds;
  TrackPoint point;
  point.latitude = RadiansToSemicircles(latitude);
  point.longitude = RadiansToSemicircles(longitude);
  point.gpsAltitude = static_cast<std::int32_t>(static_cast<std::int64_t>(*gnss) * 10);
  point.pressureAltitude = *pressure;
  if (points_.empty()) {
    point.segmentStart = 1;
    point.time = dateBase_ + timeOfDay;
    firstFixTime_ = point.time;
    firstFixTick_ = std::chrono::steady_clock::now();
  } else {
    // Instruments restart the time of day at midnight UTC under the same date record.
    if (previousTimeOfDay_ >= timeOfDay + kMidnightRollOverSeconds) dayOffset_ += kSecondsPerDay;
    point.time = dateBase_ + dayOffset_ + timeOfDay;
  }
  previousTimeOfDay_ = timeOfDay;
  if (!AppendTrackPoint(points_, point)) return -kPointMemory;
  if (onPosition) onPosition(point);
  return 0;
}

}  // namespace logwell::igc
