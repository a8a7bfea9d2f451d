#include "waypoints/waypoint_text.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "model/waypoint.h"

namespace logwell {
namespace {

bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdCharacter(char c) { return IsUpper(c) || IsDigit(c) || c == '-'; }

// The identifier part of a text: after leading spaces, up to the first space.
struct IdParts {
  std::string_view word;  // up to the first space
  bool textAfter = false; // more non-space text follows the word
};

IdParts SplitId(std::string_view text) {
  text = TrimLeading(text, kSpaces);
  IdParts parts;
  const auto space = text.find(' ');
  parts.word = text.substr(0, space);
  if (space != std::string_view::npos) {
    parts.textAfter = !IsBlank(text.substr(space), kSpaces);
  }
  return parts;
}

std::int32_t ClampToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<std::string> SanitiseImportId(std::string_view text, bool fixing) {
  const IdParts parts = SplitId(text);
  if (parts.word.empty()) return std::nullopt;
  if (!fixing) {
    if (parts.textAfter || parts.word.size() > Waypoint::kMaxIdLength) return std::nullopt;
    for (char c : parts.word) {
      if (!IsIdCharacter(c)) return std::nullopt;
    }
    return std::string(parts.word);
  }
  std::string id;
  for (const char c : UpperCase(std::string(parts.word.substr(0, Waypoint::kMaxIdLength)))) {
    id.push_back(IsIdCharacter(c) ? c : '-');
  }
  return id;
}

std::optional<std::string> SanitiseEditId(std::string_view text) {
  const IdParts parts = SplitId(text);
  if (parts.word.empty() || parts.textAfter || parts.word.size() > Waypoint::kMaxIdLength) {
    return std::nullopt;
  }
  std::string id = UpperCase(std::string(parts.word));
  if (!std::ranges::all_of(id, IsIdCharacter)) return std::nullopt;
  return id;
}

std::string PlainReaderId(std::string_view text) {
  std::string id;
  for (char c : text) {
    if (c == ' ' || c == '\0' || id.size() == Waypoint::kMaxIdLength) break;
    id.push_back(c);
  }
  return UpperCase(std::move(id));
}

std::string SanitiseDescription(std::string_view text) {
  text = TrimLeading(text, kSpaces);
  std::string description;
  for (char c : text.substr(0, Waypoint::kMaxDescriptionLength)) {
    if (c == '\0') break;
    const bool kept = IsUpper(c) || IsLower(c) || IsDigit(c) || c == ' ';
    description.push_back(kept ? c : '-');
  }
  description.resize(TrimTrailing(description, kSpaces).size());
  return description;
}

std::vector<TextLine> SplitLines(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<TextLine> lines;
  int number = 0;
  std::size_t position = 0;
  while (position < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", position);
    const std::string_view line = text.substr(position, end == std::string_view::npos
                                                            ? std::string_view::npos
                                                            : end - position);
    lines.push_back({++number, TrimLeading(line, kSpaces)});
    if (end == std::string_view::npos) break;
    position = text.find_first_not_of("\r\n", end);
    if (position == std::string_view::npos) break;
  }
  return lines;
}

std::vector<std::string_view> SplitFields(std::string_view text, char separator,
                                          std::size_t maxFields) {
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < maxFields) {
    const std::size_t comma = text.find(separator);
    if (comma == std::string_view::npos) break;
    fields.push_back(text.substr(0, comma));
    text.remove_prefix(comma + 1);
  }
  fields.push_back(text);
  return fields;
}

std::vector<std::string_view> SplitTokens(std::string_view text, std::size_t maxTokens) {
  std::vector<std::string_view> tokens;
  text = TrimLeading(text, kSpaces);
  while (!text.empty()) {
    if (tokens.size() + 1 == maxTokens) {
      tokens.push_back(text);
      break;
    }
    const std::size_t space = text.find(' ');
    tokens.push_back(text.substr(0, space));
    if (space == std::string_view::npos) break;
    text = TrimLeading(text.substr(space), kSpaces);
  }
  return tokens;
}

std::optional<ScannedNumber> ScanDecimal(std::string_view text, bool commaDecimal) {
  // Copy sign, digits and one decimal mark into a small buffer so that from_chars (which knows
  // neither '+' nor ',') reads it in the C locale whatever the user's locale is.
  char buffer[64];
  std::size_t used = 0;
  std::size_t length = 0;
  std::size_t digits = 0;
  if (length < text.size() && (text[length] == '+' || text[length] == '-')) {
    if (text[length] == '-') buffer[used++] = '-';
    ++length;
  }
  bool fraction = false;
  while (length < text.size()) {
    const char c = text[length];
    if (IsDigit(c)) {
      ++digits;
    } else if (!fraction && (c == '.' || (commaDecimal && c == ','))) {
      fraction = true;
    } else {
      break;
    }
    if (used < sizeof buffer - 1) buffer[used++] = IsDigit(c) ? c : '.';
    ++length;
  }
  if (digits == 0) return std::nullopt;
  ScannedNumber number;
  const auto result = std::from_chars(buffer, buffer + used, number.value);
  if (result.ec != std::errc{}) return std::nullopt;
  number.length = length;
  return number;
}

std::optional<double> ParseWholeDecimal(std::string_view text, bool commaDecimal) {
  text = Trim(text, kSpaces);
  const auto number = ScanDecimal(text, commaDecimal);
  if (!number || number->length != text.size()) return std::nullopt;
  return number->value;
}

std::optional<std::int32_t> ParseWholeInteger(std::string_view text) {
  text = Trim(text, kSpaces);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int32_t value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc{} || result.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::int32_t AddHalfTruncate(double value) { return ClampToInt32(value + 0.5); }

std::int32_t TruncateToInt32(double value) { return ClampToInt32(value); }

GarminTime ParseIsoTime(std::string_view text) {
  text = Trim(text, kSpaces);
  int fields[6] = {};
  const char separators[6] = {'-', '-', 'T', ':', ':', '\0'};
  std::size_t position = 0;
  for (int i = 0; i < 6; ++i) {
    const std::size_t start = position;
    while (position < text.size() && IsDigit(text[position]) && position - start < 4) ++position;
    if (position == start) return kInvalidGarminTime1;
    std::from_chars(text.data() + start, text.data() + position, fields[i]);
    if (i < 5) {
      if (position >= text.size() || text[position] != separators[i]) return kInvalidGarminTime1;
      ++position;
    }
  }
  if (position < text.size() && text[position] == '.') {
    ++position;
    while (position < text.size() && IsDigit(text[position])) ++position;
  }
  // A zone ("Z", "+02:00") moves the time to UTC; a time without one is taken as written.
  const std::string_view zone = text.substr(position);
  const std::optional<int> offset = zone.empty() ? std::optional<int>(0) : ParseUtcOffset(zone);
  if (!offset) return kInvalidGarminTime1;
  CalendarTime t;
  t.year = fields[0];
  t.month = fields[1];
  t.day = fields[2];
  t.hour = fields[3];
  t.minute = fields[4];
  t.second = fields[5];
  // Times before the GarminTime origin or beyond its range cannot be stored.
  if (t.year < 1989 || t.year > 2099 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
      t.hour > 23 || t.minute > 59 || t.second > 60) {
    return kInvalidGarminTime1;
  }
  if (t.year == 1989 && !(t.month == 12 && t.day == 31)) return kInvalidGarminTime1;
  return ShiftToUtc(CalendarToGarminTime(t), *offset).value_or(kInvalidGarminTime1);
}

std::string Printf(const char* format, ...) {
  char buffer[512];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  if (length < 0) return {};
  return std::string(buffer, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
}

GarminTime CurrentGarminTime() {
  using namespace std::chrono;
  const auto unixSeconds = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
  return UnixToGarminTime(unixSeconds);
}

}  // namespace logwell
