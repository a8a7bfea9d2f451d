#include "track/formats/magellan_log.h"

#include <cmath>
#include <vector>

#include "base/ui.h"
#include "track/formats/format_text.h"
#include "track/formats/track_reader_messages.h"
#include "base/text.h"

namespace logwell {
namespace {

constexpr std::string_view kFormatSentence = "$PMGNFMT,";
constexpr std::string_view kTrackSentence = "PMGNTRK";
constexpr std::string_view kEndSentence = "PMGNCMD,END";
constexpr int kWindowYearsAhead = 20;
constexpr int kWindowYearsBack = 79;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The text between "$" and "*" of a sentence whose checksum is right.
std::optional<std::string_view> CheckedBody(std::string_view line) {
  if (line.size() < 4 || line.front() != '$' || line[line.size() - 3] != '*') return std::nullopt;
  const int high = HexValue(line[line.size() - 2]);
  const int low = HexValue(line[line.size() - 1]);
  if (high < 0 || low < 0) return std::nullopt;
  const std::string_view body = line.substr(1, line.size() - 4);
  unsigned sum = 0;
  for (const char c : body) sum ^= static_cast<unsigned char>(c);
  if (sum != static_cast<unsigned>(high * 16 + low)) return std::nullopt;
  return body;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<std::int32_t> AltitudeDecimetres(std::string_view field, std::string_view unit) {
  if (field.empty() || field.find_first_not_of("-0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  const auto value = formats::ParseWhole(field);
  if (!value || *value < -100000 || *value > 100000) return std::nullopt;
  if (unit == "M") return static_cast<std::int32_t>(*value * 10);
  if (unit == "F") return static_cast<std::int32_t>(static_cast<double>(*value) * 3.048 + 0.5);
  return std::nullopt;
}

// The time of day "hhmmss.ss" and the date "ddmmyy" as one time; half a second or more
// rounds up.
std::optional<GarminTime> PointTime(std::string_view timeField, std::string_view dateField,
                                    int referenceYear) {
  if (timeField.size() < 6 || !AllDigits(timeField.substr(0, 6)) || dateField.size() != 6 ||
      !AllDigits(dateField)) {
    return std::nullopt;
  }
  double fraction = 0.0;
  if (timeField.size() > 6) {
    if (timeField[6] != '.' || !AllDigits(timeField.substr(7))) return std::nullopt;
    fraction = *formats::ParseDecimal(std::string("0") + std::string(timeField.substr(6)));
  }
  const auto two = [](std::string_view text, std::size_t at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
  };
  CalendarTime t;
  t.hour = two(timeField, 0);
  t.minute = two(timeField, 2);
  t.second = two(timeField, 4);
  t.day = two(dateField, 0);
  t.month = two(dateField, 2);
  t.year = MagellanFullYear(two(dateField, 4), referenceYear);
  const auto time = formats::CheckedCalendarToGarminTime(t);
  if (!time) return std::nullopt;
  return *time + (fraction >= 0.5 ? 1u : 0u);
}

}  // namespace

std::vector<std::string_view> SplitMagellanFields(std::string_view body) {
  std::vector<std::string_view> fields;
  while (true) {
    const std::size_t comma = body.find(',');
    fields.push_back(body.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    body.remove_prefix(comma + 1);
  }
}

std::optional<std::int32_t> MagellanAngle(std::string_view field, std::string_view hemisphere,
                                          int maxDegrees, char positive, char negative) {
  const auto value = formats::ParseDecimal(field);
  if (!value || *value < 0.0 || hemisphere.size() != 1) return std::nullopt;
  const double degrees = std::floor(*value / 100.0);
  const double minutes = *value - degrees * 100.0;
  if (degrees >= maxDegrees || minutes >= 60.0) return std::nullopt;
  const double angle = degrees + minutes / 60.0;
  if (hemisphere[0] == positive) return formats::DegreesToSemicircles(angle);
  if (hemisphere[0] == negative) return formats::DegreesToSemicircles(-angle);
  return std::nullopt;
}

MagellanTrackLine ParseMagellanTrackSentence(std::string_view body, int referenceYear,
                                             TrackPoint& point) {
  const std::vector<std::string_view> f = SplitMagellanFields(body);
  if (f.size() != 11 || f[0] != kTrackSentence) return MagellanTrackLine::Bad;
  const auto latitude = MagellanAngle(f[1], f[2], 90, 'N', 'S');
  const auto longitude = MagellanAngle(f[3], f[4], 180, 'E', 'W');
  const auto altitude = AltitudeDecimetres(f[5], f[6]);
  const auto time = PointTime(f[7], f[10], referenceYear);
  if (!latitude || !longitude || !altitude || !time || f[8].empty()) return MagellanTrackLine::Bad;
  if (f[8] != "A") return MagellanTrackLine::NotValid;
  point = {};
  point.latitude = *latitude;
  point.longitude = *longitude;
  point.gpsAltitude = *altitude;
  point.time = *time;
  return MagellanTrackLine::Point;
}

int MagellanFullYear(int twoDigitYear, int referenceYear) {
  int year = referenceYear - referenceYear % 100 + twoDigitYear;
  if (year > referenceYear + kWindowYearsAhead) year -= 100;
  if (year < referenceYear - kWindowYearsBack) year += 100;
  return year;
}

std::optional<FileReadResult> ReadMagellanLog(std::string_view text, Ui& ui,
                                              std::optional<int> referenceYear) {
  const int reference = referenceYear ? *referenceYear : CurrentUtcCalendar().year;
  const std::vector<std::string_view> lines = formats::SplitLines(formats::UpToNul(text));
  FileReadResult result;
  for (std::size_t index = 0; index < lines.size(); ++index) {
    const std::string_view line = lines[index];
    if (index == 0 && line.starts_with(kFormatSentence)) continue;
    if (line.empty()) break;
    const auto body = CheckedBody(line);
    TrackPoint point;
    if (body && *body == kEndSentence) break;
    const MagellanTrackLine parsed =
        body ? ParseMagellanTrackSentence(*body, reference, point) : MagellanTrackLine::Bad;
    if (parsed == MagellanTrackLine::Bad) {
      ui.ShowErrorBox(FormatText("Bad line %d", static_cast<int>(index + 1)),
                      kDecodingTrackLogCaption);
      return std::nullopt;
    }
    if (parsed == MagellanTrackLine::NotValid) continue;
    point.segmentStart = result.points.empty() ? 1 : 0;
    if (!AppendTrackPoint(result.points, point)) {
      ui.ShowErrorBox(TrackPointsFailure(result.points.size() + 1), kDecodingTrackLogCaption);
      return std::nullopt;
    }
  }
  return result;
}

}  // namespace logwell
