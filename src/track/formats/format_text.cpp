#include "track/formats/format_text.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "geo/units.h"

namespace logwell::formats {

void AppendFormat(std::string& out, const char* format, ...) {
  char buffer[256];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (length <= 0) return;
  out.append(buffer, std::min(static_cast<std::size_t>(length), sizeof buffer - 1));
}

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::optional<double> ParseDecimal(std::string_view field) {
  field = Trim(field, kSpacesAndTabs);
  if (field.starts_with('+')) field.remove_prefix(1);
  if (field.empty() || field.front() == '+') return std::nullopt;
  double value = 0.0;
  const auto [end, error] =
      std::from_chars(field.data(), field.data() + field.size(), value, std::chars_format::fixed);
  if (error != std::errc{} || end != field.data() + field.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::int64_t> ParseWhole(std::string_view field) {
  field = Trim(field, kSpacesAndTabs);
  if (field.starts_with('+')) field.remove_prefix(1);
  if (field.empty() || field.front() == '+') return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error != std::errc{} || end != field.data() + field.size()) return std::nullopt;
  return value;
}

namespace {

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && year % 4 == 0) return 29;
  return kDays[month - 1];
}

// Reads exactly `count` digits at `pos`.
std::optional<int> Digits(std::string_view text, std::size_t& pos, std::size_t count) {
  if (pos + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return value;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

std::optional<GarminTime> CheckedCalendarToGarminTime(const CalendarTime& t) {
  if (t.year < 1989 || t.year > 2099 || t.month < 1 || t.month > 12) return std::nullopt;
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return std::nullopt;
  if (t.year == 1989 && (t.month != 12 || t.day != 31)) return std::nullopt;
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 ||
      t.second > 59) {
    return std::nullopt;
  }
  return CalendarToGarminTime(t);
}

std::optional<IsoTime> ParseIsoDateTime(std::string_view text) {
  text = Trim(text, kSpacesAndTabs);
  CalendarTime t;
  std::size_t pos = 0;
  const auto year = Digits(text, pos, 4);
  if (!year || !Expect(text, pos, '-')) return std::nullopt;
  const auto month = Digits(text, pos, 2);
  if (!month || !Expect(text, pos, '-')) return std::nullopt;
  const auto day = Digits(text, pos, 2);
  if (!day || !Expect(text, pos, 'T')) return std::nullopt;
  const auto hour = Digits(text, pos, 2);
  if (!hour || !Expect(text, pos, ':')) return std::nullopt;
  const auto minute = Digits(text, pos, 2);
  if (!minute || !Expect(text, pos, ':')) return std::nullopt;
  const auto second = Digits(text, pos, 2);
  if (!second) return std::nullopt;
  int milliseconds = 0;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    const std::size_t start = pos;
    int scale = 100;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      milliseconds += (text[pos] - '0') * scale;
      scale /= 10;
      ++pos;
    }
    if (pos == start) return std::nullopt;
  }
  const std::string_view zone = text.substr(pos);
  const std::optional<int> offset = zone.empty() ? std::optional<int>(0) : ParseUtcOffset(zone);
  if (!offset) return std::nullopt;
  t.year = *year;
  t.month = *month;
  t.day = *day;
  t.hour = *hour;
  t.minute = *minute;
  t.second = *second;
  const auto local = CheckedCalendarToGarminTime(t);
  if (!local) return std::nullopt;
  const auto time = ShiftToUtc(*local, *offset);
  if (!time) return std::nullopt;
  return IsoTime{*time, static_cast<std::uint16_t>(milliseconds), !zone.empty()};
}

}  // namespace logwell::formats
