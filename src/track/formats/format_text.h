#pragma once
// Small text and number helpers shared by the track file readers and writers.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geo/units.h"
#include "model/garmin_time.h"
#include "base/text.h"

namespace logwell::formats {

// Appends printf-style text through a bounded buffer (lines of the file formats are short;
// anything beyond 255 bytes is cut).
void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The text up to its first NUL: the text readers see a file as a zero-terminated string.
std::string_view UpToNul(std::string_view text);

// The lines of a text: split at LF, a CR before the LF dropped. A last line without LF counts;
// the empty piece after a final LF does not.
std::vector<std::string_view> SplitLines(std::string_view text);

// A decimal number that fills the whole field (spaces and tabs around it allowed), independent
// of the locale; nothing for anything else, including infinities and NaN.
std::optional<double> ParseDecimal(std::string_view field);
// A whole number that fills the whole field, as above.
std::optional<std::int64_t> ParseWhole(std::string_view field);

// Half away from zero, then truncated; values beyond the 32-bit range are clamped.
using logwell::RoundHalfAway;

// The decimal degree conversions of the position encodings.
using logwell::DegreesToSemicircles;
using logwell::SemicirclesToDegrees;

// A calendar time that the time base can hold (1989-12-31 00:00:00 to 2099-12-31 23:59:59),
// with the leap rule of the time base; nothing for anything else.
std::optional<GarminTime> CheckedCalendarToGarminTime(const CalendarTime& time);

struct IsoTime {
  GarminTime time = 0;
  std::uint16_t milliseconds = 0;
  bool zoned = false;  // the text named its zone: `time` is UTC
};
// "YYYY-MM-DDThh:mm:ss" with an optional fraction of a second (its first three digits become
// the milliseconds) and an optional "Z" or zone offset. A time with a zone is moved to UTC
// ("12:00:00+02:00" is 10:00:00); one without is kept as written. Spaces around the text are
// allowed.
std::optional<IsoTime> ParseIsoDateTime(std::string_view text);

}  // namespace logwell::formats
