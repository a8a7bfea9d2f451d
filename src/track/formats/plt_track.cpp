#include "track/formats/plt_track.h"

#include <cmath>
#include <utility>
#include <vector>

#include "base/ui.h"
#include "track/formats/format_text.h"
#include "track/formats/track_reader_messages.h"
#include "base/text.h"

namespace logwell {
namespace {

using formats::ParseDecimal;

constexpr std::string_view kFormatLine = "OziExplorer Track Point File";
constexpr std::string_view kDatum = "WGS 84";
constexpr std::size_t kPointCountLine = 6;  // counted from 1
// The last day whose seconds still fit the 32-bit time field.
constexpr double kLastDay = kPltDayOfTimeBase + 4294967295.0 / 86400.0;

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  while (true) {
    const std::size_t comma = line.find(',');
    fields.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    line.remove_prefix(comma + 1);
  }
}

// One point line; nothing when any field is missing or out of range.
std::optional<TrackPoint> ParsePointLine(std::string_view line) {
  const std::vector<std::string_view> fields = SplitFields(line);
  if (fields.size() < 5) return std::nullopt;
  const auto latitude = ParseDecimal(fields[0]);
  const auto longitude = ParseDecimal(fields[1]);
  const auto feet = ParseDecimal(fields[3]);
  const auto day = ParseDecimal(fields[4]);
  if (!latitude || !(*latitude > -90.0 && *latitude < 90.0)) return std::nullopt;
  if (!longitude || !(*longitude > -180.0 && *longitude < 180.0)) return std::nullopt;
  if (!feet || *feet < -2000.0 || *feet > 30000.0) return std::nullopt;
  if (!day || *day < kPltDayOfTimeBase || *day > kLastDay) return std::nullopt;
  TrackPoint point;
  point.latitude = formats::DegreesToSemicircles(*latitude);
  point.longitude = formats::DegreesToSemicircles(*longitude);
  point.gpsAltitude = formats::RoundHalfAway(*feet * 3.048);
  point.time = static_cast<GarminTime>(std::llround((*day - kPltDayOfTimeBase) * 86400.0));
  return point;
}

}  // namespace

std::optional<FileReadResult> ReadPltTrack(std::string_view text, Ui& ui) {
  const auto fail = [&ui](std::string_view message) -> std::optional<FileReadResult> {
    ui.ShowErrorBox(message, kDecodingTrackLogCaption);
    return std::nullopt;
  };
  std::vector<std::string_view> lines = formats::SplitLines(formats::UpToNul(text));
  if (lines.empty()) return fail("Missing format line (1)");
  // Some programs indent the whole file; the indent of line 1 is taken off every line.
  const std::size_t indent = lines[0].find_first_not_of(' ') == std::string_view::npos
                                 ? lines[0].size()
                                 : lines[0].find_first_not_of(' ');
  for (std::string_view& line : lines) line.remove_prefix(std::min(indent, line.size()));

  if (!lines[0].starts_with(kFormatLine)) return fail("Bad format line (1)");
  if (lines.size() < 2) return fail("Missing map datum line (2)");
  if (lines[1] != kDatum) return fail("Bad map datum line (2)");
  if (lines.size() < kPointCountLine) return fail("Missing line(s)");
  // The announced number of points. Writers that do not count first (GPSBabel among them)
  // write 0, which OziExplorer itself reads as "every point line that follows".
  const auto announced = formats::ParseWhole(lines[kPointCountLine - 1]);
  if (!announced || *announced < 0) {
    return fail(FormatText("Bad line %d", static_cast<int>(kPointCountLine)));
  }
  const bool counted = *announced > 0;

  FileReadResult result;
  for (std::size_t index = kPointCountLine; index < lines.size(); ++index) {
    if (counted && std::cmp_greater_equal(result.points.size(), *announced)) break;
    if (!counted && lines[index].empty()) break;
    auto point = ParsePointLine(lines[index]);
    if (!point) return fail(FormatText("Bad line %d", static_cast<int>(index + 1)));
    point->segmentStart = result.points.empty() ? 1 : 0;
    if (!AppendTrackPoint(result.points, *point)) {
      return fail(TrackPointsFailure(result.points.size() + 1));
    }
  }
  if (std::cmp_less(result.points.size(), *announced)) return fail("Missing line(s)");
  if (result.points.empty()) return fail("Missing line(s)");
  return result;
}

std::string WritePltTrack(std::span<const TrackPoint> points, const CalendarTime& nowUtc) {
  static constexpr const char* kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                              "jul", "aug", "sep", "oct", "nov", "dec"};
  std::string out;
  out.reserve(200 + points.size() * 80);
  out += "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n";
  formats::AppendFormat(out, "0,2,255,%02d.%02d.%02d %02d:%02d:%02d", nowUtc.day, nowUtc.month,
                        nowUtc.year % 100, nowUtc.hour, nowUtc.minute, nowUtc.second);
  out += "                  ,0,0,2,8421376\r\n";
  formats::AppendFormat(out, "%d\r\n", static_cast<int>(points.size()));
  for (const TrackPoint& p : points) {
    formats::AppendFormat(out, "  %.6f,  %.6f,%d,", formats::SemicirclesToDegrees(p.latitude),
                          formats::SemicirclesToDegrees(p.longitude),
                          static_cast<int>(p.segmentStart & 1u));
    // Feet: decimetres times 0.328084, plus 0.5, truncated (as the format has always done).
    const int feet = static_cast<int>(p.gpsAltitude * 0.328084 + 0.5);
    formats::AppendFormat(out, "%7d,%.7f, ", feet, p.time / 86400.0 + kPltDayOfTimeBase);
    const CalendarTime t = GarminTimeToCalendar(p.time);
    formats::AppendFormat(out, "%02d-%s-%02d, %02d:%02d:%02d\r\n", t.day, kMonths[t.month - 1],
                          t.year % 100, t.hour, t.minute, t.second);
  }
  return out;
}

}  // namespace logwell
