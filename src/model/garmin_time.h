#pragma once
// The time base of every stored track point: seconds since 1989-12-31 00:00:00, with a
// millisecond part kept beside it. The calendar arithmetic treats every fourth year as a leap
// year, which holds from 1990 to 2099.
#include <cstdint>
#include <optional>
#include <string_view>

namespace logwell {

using GarminTime = std::uint32_t;

struct CalendarTime {
  int year = 0;
  int month = 0;   // 1..12
  int dayOfWeek = 0;  // not filled by the conversion from GarminTime
  int day = 0;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int milliseconds = 0;
  bool operator==(const CalendarTime&) const = default;
};

// Instruments mark a point without a valid time with one of these values.
inline constexpr std::uint32_t kInvalidGarminTime1 = 0xFFFFFFFFu;
inline constexpr std::uint32_t kInvalidGarminTime2 = 0x7FFFFFFFu;
constexpr bool IsInvalidGarminTime(std::uint32_t seconds) {
  return seconds == kInvalidGarminTime1 || seconds == kInvalidGarminTime2;
}

CalendarTime GarminTimeToCalendar(GarminTime seconds, int milliseconds = 0);
// The seconds of a calendar time; its milliseconds are not part of the result.
GarminTime CalendarToGarminTime(const CalendarTime& time);

// Seconds since 1970-01-01 of a GarminTime, and back (for the system clock).
inline constexpr std::int64_t kGarminEpochUnixSeconds = 631065600;
std::int64_t GarminTimeToUnix(GarminTime seconds);
GarminTime UnixToGarminTime(std::int64_t unixSeconds);

// The current UTC time as a calendar time, milliseconds included.
CalendarTime CurrentUtcCalendar();

// The zone designator that ends an ISO 8601 date-time: "Z" (or "z") is 0, "+hh:mm", "+hhmm"
// and "+hh" (or with "-") are the seconds east of UTC, hours at most 23 and minutes at most 59.
// Nothing for anything else, an empty text included.
std::optional<int> ParseUtcOffset(std::string_view zone);

// A time read together with its zone offset, moved to UTC; nothing when the result lies
// outside the GarminTime range.
std::optional<GarminTime> ShiftToUtc(GarminTime local, int offsetSeconds);

}  // namespace logwell
