// SeeYou .cup files: a header line, then quoted name, code, country, latitude DDMM.mmmN,
// longitude DDDMM.mmmE, elevation with its unit, style and further fields. A line beginning
// with "-----" starts the task section, which ends the waypoints.
#include "waypoints/reader_support.h"
#include "waypoints/waypoint_formats.h"
#include "waypoints/waypoint_text.h"

namespace logwell {
namespace {

constexpr std::string_view kCaption = "Decoding SeeYou file";
constexpr std::size_t kMaxFields = 8;
constexpr double kMetresPerFoot = 0.3048;

enum class CupLineResult { Waypoint, EndOfWaypoints, Bad };

// Splits at commas that are not inside double quotes, into at most kMaxFields fields.
std::vector<std::string_view> SplitCupFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ',' && !quoted && fields.size() + 1 < kMaxFields) {
      fields.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  }
  fields.push_back(line.substr(start));
  return fields;
}

bool IsQuoted(std::string_view field) {
  return field.size() >= 2 && field.front() == '"' && field.back() == '"';
}

// DDMM.mmm with its hemisphere letter; the number before the point must stay below limit.
std::optional<double> ParseCupCoordinate(std::string_view field, char positive, char negative,
                                         int limit) {
  field = TrimLeading(field, kSpaces);
  std::size_t i = 0;
  long whole = 0;
  while (i < field.size() && field[i] >= '0' && field[i] <= '9' && i < 9) {
    whole = whole * 10 + (field[i] - '0');
    ++i;
  }
  if (i == 0 || whole >= limit || i >= field.size() || field[i] != '.') return std::nullopt;
  const std::size_t fractionStart = i;
  ++i;
  while (i < field.size() && field[i] >= '0' && field[i] <= '9') ++i;
  const auto fraction = ParseWholeDecimal(field.substr(fractionStart, std::min<std::size_t>(i - fractionStart, 16)));
  if (i >= field.size()) return std::nullopt;
  const char hemisphere = static_cast<char>(field[i] & ~0x20);
  if (hemisphere != positive && hemisphere != negative) return std::nullopt;
  if (!IsBlank(field.substr(i + 1), kSpaces)) return std::nullopt;
  const double minutes = static_cast<double>(whole % 100) + fraction.value_or(0.0);
  const double degrees = static_cast<double>(whole / 100) + minutes / 60.0;
  return hemisphere == negative ? -degrees : degrees;
}

// Elevation "1234m", "1234.5M", "1234ft"; a lone final 't' gives 0. An empty field (elevation
// unknown, common in real files) gives 0 as well.
std::optional<std::int32_t> ParseCupElevation(std::string_view field) {
  field = Trim(field, kSpaces);
  if (field.empty()) return 0;
  if (field.size() < 2) return std::nullopt;
  const char last = static_cast<char>(field.back() | 0x20);
  const char beforeLast = static_cast<char>(field[field.size() - 2] | 0x20);
  double factor = 1.0;
  std::string_view number;
  if (last == 'm') {
    number = field.substr(0, field.size() - 1);
  } else if (last == 't' && beforeLast == 'f') {
    number = field.substr(0, field.size() - 2);
    factor = kMetresPerFoot;
  } else if (last == 't') {
    return 0;
  } else {
    return std::nullopt;
  }
  const auto value = ParseWholeDecimal(number);
  if (!value) return std::nullopt;
  return RoundHalfAway(*value * factor);
}

CupLineResult ParseCupLine(std::string_view line, bool anyAccepted, Waypoint& waypoint) {
  const std::vector<std::string_view> fields = SplitCupFields(line);
  const std::string_view name = fields[0];
  if (name.size() < 2 || name.starts_with("-----")) return CupLineResult::EndOfWaypoints;
  if (!anyAccepted && !IsQuoted(name)) return CupLineResult::EndOfWaypoints;
  if (fields.size() < 7 || !IsQuoted(name) || name.size() == 2) return CupLineResult::Bad;
  waypoint.SetDescription(name.substr(1, name.size() - 2));

  std::string_view code = fields[1];
  if (!code.empty() && code.front() == '"') {
    if (!IsQuoted(code)) return CupLineResult::Bad;
    code = code.substr(1, code.size() - 2);
  }
  waypoint.SetId(PlainReaderId(code));

  const auto latitude = ParseCupCoordinate(fields[3], 'N', 'S', 9000);
  const auto longitude = ParseCupCoordinate(fields[4], 'E', 'W', 18000);
  const auto elevation = ParseCupElevation(fields[5]);
  if (!latitude || !longitude || !elevation) return CupLineResult::Bad;
  waypoint.latitude = DegreesToSemicircles(*latitude);
  waypoint.longitude = DegreesToSemicircles(*longitude);
  waypoint.altitude = *elevation;

  const std::string_view style = Trim(fields[6], kSpaces);
  if (!style.empty()) {
    const auto value = ParseWholeInteger(style);
    if (!value) return CupLineResult::Bad;
    waypoint.type = *value == 2 || *value == 5 ? 1 : 0;
  }
  return CupLineResult::Waypoint;
}

}  // namespace

int ReadSeeYouWaypoints(std::string_view text, WaypointReadContext& context,
                        std::vector<Waypoint>& waypoints) {
  std::vector<Waypoint> read;
  const std::vector<TextLine> lines = SplitLines(text);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    // Lines beginning with '*' are comments in real files.
    if (lines[i].text.empty() || lines[i].text.front() == '*') continue;
    Waypoint waypoint;
    waypoint.time = context.now;
    const CupLineResult result = ParseCupLine(lines[i].text, !read.empty(), waypoint);
    if (result == CupLineResult::EndOfWaypoints) break;
    if (result == CupLineResult::Bad) return ReportBadLine(context.ui, lines[i].number, kCaption);
    ReserveForOneMore(read, 50);
    read.push_back(waypoint);
  }
  waypoints = std::move(read);
  return static_cast<int>(waypoints.size());
}

std::string WriteSeeYouWaypoints(std::span<const Waypoint> waypoints) {
  std::string text = "name,code,country,lat,lon,elev,style,rwdir,rwlen,freq,desc\r\n";
  for (const Waypoint& waypoint : waypoints) {
    const SplitCoordinate lat = SplitMilliMinutes(waypoint.latitude, 'N', 'S');
    const SplitCoordinate lon = SplitMilliMinutes(waypoint.longitude, 'E', 'W');
    std::string name(waypoint.Description().empty() ? waypoint.Id() : waypoint.Description());
    // A double quote inside the quoted name would end it early.
    for (char& c : name) {
      if (c == '"') c = '\'';
    }
    text += Printf("\"%s\",%s,,%02d%02d.%03d%c,%03d%02d.%03d%c,%d.0m,%d,,,,\r\n", name.c_str(),
                   std::string(waypoint.Id()).c_str(), static_cast<int>(lat.units / 60000),
                   static_cast<int>(lat.units / 1000 % 60), static_cast<int>(lat.units % 1000),
                   lat.hemisphere, static_cast<int>(lon.units / 60000),
                   static_cast<int>(lon.units / 1000 % 60), static_cast<int>(lon.units % 1000),
                   lon.hemisphere, waypoint.altitude, waypoint.type == 1 ? 2 : 1);
  }
  return text;
}

}  // namespace logwell
