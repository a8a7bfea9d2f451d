// The geographical text format: "$FormatGEO", then one line per waypoint with the identifier,
// latitude and longitude as hemisphere letter and degrees with minutes and seconds (or decimal
// degrees or minutes), the altitude and the description ("[A]" at its end marks an airfield).
#include <charconv>

#include "waypoints/reader_support.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  char Peek() const { return position_ < text_.size() ? text_[position_] : '\0'; }
  void Skip() { ++position_; }
  // Skips spaces; returns how many.
  std::size_t SkipSpaces() {
    const std::size_t start = position_;
    while (Peek() == ' ') ++position_;
    return position_ - start;
  }
  // Whole digits (at most 9 of them), or nothing.
  std::optional<int> Digits() {
    const std::size_t start = position_;
    int value = 0;
    while (IsDigit(Peek()) && position_ - start < 9) {
      value = value * 10 + (Peek() - '0');
      ++position_;
    }
    if (position_ == start) return std::nullopt;
    return value;
  }
  // A fraction after '.' or ',' (the mark must be next): its value below 1.
  std::optional<double> Fraction() {
    if (Peek() != '.' && Peek() != ',') return std::nullopt;
    ++position_;
    const std::size_t start = position_;
    while (IsDigit(Peek())) ++position_;
    std::string digits = "0.";
    digits.append(text_.substr(start, std::min<std::size_t>(position_ - start, 15)));
    double value = 0.0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
  }
  std::string_view Rest() const { return text_.substr(std::min(position_, text_.size())); }

 private:
  std::string_view text_;
  std::size_t position_ = 0;
};

// "N 46 30 30.00", "n 46.5", "S 12 30.5": degrees below maxDegrees, then decimal degrees, or
// minutes with a fraction, or minutes and seconds; a space must follow.
std::optional<double> ScanGeoCoordinate(Cursor& cursor, char positive, char negative,
                                        int maxDegrees) {
  cursor.SkipSpaces();
  const char hemisphere = static_cast<char>(cursor.Peek() & ~0x20);
  if (hemisphere != positive && hemisphere != negative) return std::nullopt;
  cursor.Skip();
  cursor.SkipSpaces();
  const auto degrees = cursor.Digits();
  if (!degrees || *degrees >= maxDegrees) return std::nullopt;
  double value = *degrees;
  if (const auto fraction = cursor.Fraction()) {
    value += *fraction;
  } else {
    if (cursor.SkipSpaces() == 0) return std::nullopt;
    const auto minutes = cursor.Digits();
    if (!minutes || *minutes >= 60) return std::nullopt;
    if (const auto minuteFraction = cursor.Fraction()) {
      value += (*minutes + *minuteFraction) / 60.0;
    } else {
      if (cursor.SkipSpaces() == 0) return std::nullopt;
      const auto seconds = cursor.Digits();
      if (!seconds || *seconds >= 60) return std::nullopt;
      const double secondFraction = cursor.Fraction().value_or(0.0);
      value += *minutes / 60.0 + (*seconds + secondFraction) / 3600.0;
    }
  }
  if (cursor.Peek() != ' ') return std::nullopt;
  return hemisphere == negative ? -value : value;
}

LineResult ParseGeoLine(std::string_view line, IdentifierFixer& fixer, Waypoint& waypoint) {
  const std::size_t idEnd = std::min(line.find(' '), line.size());
  std::string id;
  const auto outcome = fixer.Check(line.substr(0, idEnd), line, id);
  if (outcome == IdentifierFixer::Outcome::Skip) return LineResult::Skip;
  if (outcome == IdentifierFixer::Outcome::Bad) return LineResult::Bad;
  waypoint.SetId(id);

  Cursor cursor(line.substr(idEnd));
  const auto latitude = ScanGeoCoordinate(cursor, 'N', 'S', 90);
  if (!latitude) return LineResult::Bad;
  const auto longitude = ScanGeoCoordinate(cursor, 'E', 'W', 180);
  if (!longitude) return LineResult::Bad;
  waypoint.latitude = DegreesToSemicircles(*latitude);
  waypoint.longitude = DegreesToSemicircles(*longitude);

  const std::string_view rest = TrimLeading(cursor.Rest(), kSpaces);
  const std::size_t altitudeEnd = std::min(rest.find(' '), rest.size());
  const auto altitude = ParseWholeDecimal(rest.substr(0, altitudeEnd));
  if (!altitude) return LineResult::Bad;
  waypoint.altitude = NonNegativeAltitude(*altitude);
  SetDescriptionAndAirfieldMark(waypoint, TrimLeading(rest.substr(altitudeEnd), kSpaces));
  return LineResult::Waypoint;
}

}  // namespace

int ReadGeoWaypoints(std::string_view text, WaypointReadContext& context,
                     std::vector<Waypoint>& waypoints) {
  IdentifierFixer fixer(context);
  return ReadWaypointLines(text, 1, context, waypoints,
                           [&](std::string_view line, Waypoint& waypoint) {
                             return ParseGeoLine(line, fixer, waypoint);
                           });
}

std::string WriteGeoWaypoints(std::span<const Waypoint> waypoints) {
  std::string text = "$FormatGEO\r\n";
  for (const Waypoint& waypoint : waypoints) {
    const SplitCoordinate lat = SplitCentiSeconds(waypoint.latitude, 'N', 'S');
    const SplitCoordinate lon = SplitCentiSeconds(waypoint.longitude, 'E', 'W');
    text += Printf("%-10s%c %02d %02d %02d.%02d    %c %03d %02d %02d.%02d %5d  %s",
                   std::string(waypoint.Id()).c_str(), lat.hemisphere,
                   static_cast<int>(lat.units / 360000), static_cast<int>(lat.units / 6000 % 60),
                   static_cast<int>(lat.units / 100 % 60), static_cast<int>(lat.units % 100),
                   lon.hemisphere, static_cast<int>(lon.units / 360000),
                   static_cast<int>(lon.units / 6000 % 60), static_cast<int>(lon.units / 100 % 60),
                   static_cast<int>(lon.units % 100), waypoint.altitude,
                   std::string(waypoint.Description()).c_str());
    if (waypoint.type == 1) text += " [A]";
    text += "\r\n";
  }
  return text;
}

}  // namespace logwell
