#include "model/garmin_time.h"

#include <chrono>

namespace logwell {
namespace {

// Seconds from 1989-01-01 to 1989-12-31, the GarminTime origin.
constexpr std::uint32_t kSecondsFrom1989 = 31449600;
constexpr std::uint32_t kSecondsPerDay = 86400;
constexpr std::uint32_t kDaysPerCycle = 1461;  // four years, the last of them a leap year

constexpr int kDaysBeforeMonth[2][12] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335},
};

bool IsLeap(int year) { return year % 4 == 0; }

}  // namespace

CalendarTime GarminTimeToCalendar(GarminTime seconds, int milliseconds) {
  // Work from 1989-01-01 so that each four-year cycle ends with its leap year; 64 bits keep
  // the largest times from wrapping.
  const std::uint64_t from1989 = std::uint64_t{seconds} + kSecondsFrom1989;
  const std::uint64_t days = from1989 / kSecondsPerDay;
  const auto secondOfDay = static_cast<int>(from1989 % kSecondsPerDay);

  CalendarTime t;
  t.year = 1989 + 4 * static_cast<int>(days / kDaysPerCycle);
  auto dayOfCycle = static_cast<int>(days % kDaysPerCycle);
  const int yearInCycle = dayOfCycle >= 1095 ? 3 : dayOfCycle / 365;
  t.year += yearInCycle;
  int dayOfYear = dayOfCycle - 365 * yearInCycle;

  const int leap = IsLeap(t.year) ? 1 : 0;
  int month = 11;
  while (month > 0 && kDaysBeforeMonth[leap][month] > dayOfYear) --month;
  t.month = month + 1;
  t.day = dayOfYear - kDaysBeforeMonth[leap][month] + 1;

  t.hour = secondOfDay / 3600;
  t.minute = secondOfDay / 60 % 60;
  t.second = secondOfDay % 60;
  t.milliseconds = milliseconds;
  return t;
}

GarminTime CalendarToGarminTime(const CalendarTime& time) {
  const std::int64_t y = time.year - 1989;
  const int leap = IsLeap(time.year) ? 1 : 0;
  const int monthIndex = time.month >= 1 && time.month <= 12 ? time.month - 1 : 0;
  const std::int64_t days = y * 365 + y / 4 - 1 + time.day + kDaysBeforeMonth[leap][monthIndex];
  const std::int64_t seconds =
      ((days * 24 + time.hour) * 60 + time.minute) * 60 + time.second - kSecondsFrom1989;
  return static_cast<GarminTime>(seconds);
}

std::int64_t GarminTimeToUnix(GarminTime seconds) {
  return std::int64_t{seconds} + kGarminEpochUnixSeconds;
}

GarminTime UnixToGarminTime(std::int64_t unixSeconds) {
  return static_cast<GarminTime>(unixSeconds - kGarminEpochUnixSeconds);
}

CalendarTime CurrentUtcCalendar() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto unixMs = duration_cast<milliseconds>(now.time_since_epoch()).count();
  const auto unixSeconds = unixMs / 1000;
  CalendarTime t = GarminTimeToCalendar(UnixToGarminTime(unixSeconds),
                                        static_cast<int>(unixMs % 1000));
  t.dayOfWeek = static_cast<int>(weekday(floor<std::chrono::days>(now)).c_encoding());
  return t;
}

std::optional<int> ParseUtcOffset(std::string_view zone) {
  if (zone == "Z" || zone == "z") return 0;
  if (zone.size() < 3 || (zone[0] != '+' && zone[0] != '-')) return std::nullopt;
  const auto twoDigits = [&](std::size_t at) -> std::optional<int> {
    if (at + 2 > zone.size()) return std::nullopt;
    const char a = zone[at];
    const char b = zone[at + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') return std::nullopt;
    return (a - '0') * 10 + (b - '0');
  };
  const std::optional<int> hours = twoDigits(1);
  std::optional<int> minutes = 0;
  if (zone.size() == 6 && zone[3] == ':') {
    minutes = twoDigits(4);
  } else if (zone.size() == 5) {
    minutes = twoDigits(3);
  } else if (zone.size() != 3) {
    return std::nullopt;
  }
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
  const int seconds = *hours * 3600 + *minutes * 60;
  return zone[0] == '-' ? -seconds : seconds;
}

std::optional<GarminTime> ShiftToUtc(GarminTime local, int offsetSeconds) {
  const std::int64_t utc = std::int64_t{local} - offsetSeconds;
  if (utc < 0 || utc >= std::int64_t{kInvalidGarminTime1}) return std::nullopt;
  return static_cast<GarminTime>(utc);
}

}  // namespace logwell
