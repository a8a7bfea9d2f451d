#include "airspace/airspace_record.h"

#include <array>

#include "airspace/text_cursor.h"

namespace logwell {
namespace {

constexpr std::array<std::string_view, kAirspaceClassCount> kClassNames = {
    "A", "B", "C", "D", "E", "P", "Q", "R", "W", "CTR", "CTZ", "GP", "?"};

constexpr double kMetresPerFoot = 0.3048;

bool EndsWord(char c) { return c == '\0' || TextCursor::IsSpace(c); }

// "FL" (already checked), optional spaces and a number of hundreds of feet.
std::optional<HeightReading> ReadFlightLevel(std::string_view text, TextCursor cursor) {
  cursor.Advance(2);
  cursor.SkipSpaces();
  const auto level = cursor.Decimal(true);
  if (!level || !EndsWord(cursor.Peek())) return std::nullopt;
  return HeightReading{*level * 100.0 * kMetresPerFoot, CutText(text, AirspaceRecord::kMaxHeightTextLength)};
}

// A number with an optional unit word; the stored text gets a space between number and unit
// and the units "m" and "ft" in lower case.
std::optional<HeightReading> ReadNumberHeight(std::string_view text, TextCursor cursor) {
  const auto value = cursor.Decimal(true);
  if (!value) return std::nullopt;
  const std::size_t numberEnd = cursor.Position();
  cursor.SkipSpaces();
  const std::size_t unitStart = cursor.Position();
  while (TextCursor::IsLetter(cursor.Peek())) cursor.Advance();
  if (!EndsWord(cursor.Peek())) return std::nullopt;
  std::string_view unit = text.substr(unitStart, cursor.Position() - unitStart);

  double metres = *value * kMetresPerFoot;
  if (unit == "m" || unit == "M") {
    metres = *value;
    unit = "m";
  } else if (EqualsIgnoringCase(unit, "ft")) {
    unit = "ft";
  }
  std::string stored(text.substr(0, numberEnd));
  if (!unit.empty()) {
    stored += unitStart == numberEnd ? std::string(" ") : std::string(text.substr(numberEnd, unitStart - numberEnd));
    stored += unit;
  }
  stored += text.substr(cursor.Position());
  return HeightReading{metres, CutText(stored, AirspaceRecord::kMaxHeightTextLength)};
}

}  // namespace

int AirspaceClassCode(std::string_view classText) {
  for (int code = 0; code < kOtherAirspaceClass; ++code) {
    if (EqualsIgnoringCase(classText, kClassNames[static_cast<std::size_t>(code)])) return code;
  }
  return kOtherAirspaceClass;
}

std::string_view AirspaceClassName(int classCode) {
  if (classCode < 0 || classCode >= kAirspaceClassCount) classCode = kOtherAirspaceClass;
  return kClassNames[static_cast<std::size_t>(classCode)];
}

void AirspaceRecord::SetName(std::string_view text) { name = CutText(text, kMaxNameLength); }

void AirspaceRecord::SetClass(std::string_view text) {
  classText = CutText(text, kMaxClassTextLength);
  classCode = AirspaceClassCode(classText);
}

std::optional<HeightReading> ReadHeightText(std::string_view text, HeightKind kind) {
  TextCursor cursor(text);
  cursor.SkipSpaces();
  text = cursor.Rest();
  cursor = TextCursor(text);
  const char first = cursor.Peek();
  if (first == 'F' || first == 'f') {
    if (cursor.Peek(1) != 'L' && cursor.Peek(1) != 'l') return std::nullopt;
    return ReadFlightLevel(text, cursor);
  }
  if (TextCursor::IsDigit(first)) return ReadNumberHeight(text, cursor);
  // A word such as UNL, GND or SFC, or nothing at all.
  return HeightReading{kind == HeightKind::Ceiling ? kUnlimitedCeiling : 0.0,
                       CutText(text, AirspaceRecord::kMaxHeightTextLength)};
}

}  // namespace logwell
